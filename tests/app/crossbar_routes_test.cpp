// The capture device's input routes: collected from the device's V4L2 inputs, the input type in
// use kept in the profile, and the saved type routed again on the next run.
#include "app/crossbar_routes.h"

#include <linux/videodev2.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "app/settings_tables.h"
#include "media/v4l2/crossbar.h"
#include "support/test_support.h"

namespace kelpa {
namespace {

// A capture card's inputs as its driver reports them.
class InputsDriver final : public V4l2Io {
  public:
    explicit InputsDriver(std::vector<int>* selected) : selected_(selected) {}
    int Ioctl(unsigned long request, void* arg) override {
        switch (request) {
            case VIDIOC_ENUMINPUT: {
                auto* in = static_cast<v4l2_input*>(arg);
                if (in->index >= std::size(kInputs)) return Fail();
                std::snprintf(reinterpret_cast<char*>(in->name), sizeof in->name, "%s",
                              kInputs[in->index].name);
                in->type = kInputs[in->index].type;
                return 0;
            }
            case VIDIOC_G_INPUT:
                *static_cast<int*>(arg) = current_;
                return 0;
            case VIDIOC_S_INPUT:
                current_ = *static_cast<int*>(arg);
                selected_->push_back(current_);
                return 0;
            default:
                return Fail();
        }
    }

  private:
    struct Input {
        const char* name;
        uint32_t type;
    };
    static constexpr Input kInputs[] = {{"Television", V4L2_INPUT_TYPE_TUNER},
                                        {"S-Video", V4L2_INPUT_TYPE_CAMERA},
                                        {"Composite1", V4L2_INPUT_TYPE_CAMERA}};
    static int Fail() {
        errno = EINVAL;
        return -1;
    }
    std::vector<int>* selected_;
    int current_ = 0;
};

class CrossbarRoutesTest : public ::testing::Test {
  protected:
    CrossbarRoutesTest() {
        pages.SetV4l2Opener([this](const std::string&) {
            return std::make_unique<V4l2Device>(std::make_unique<InputsDriver>(&selected));
        });
        device.node = "/dev/video3";
        pages.Build(&device);
    }
    test::MemoryProfile profile;
    VideoCtrl ctrl;
    DevicePages pages{ctrl};
    CaptureDevice device;
    std::vector<int> selected;
};

TEST_F(CrossbarRoutesTest, RoutesOfTheVideoInputs) {
    const CrossbarRoutes list = CrossbarRoutes::Collect(pages.Inputs());
    ASSERT_EQ(list.Routes().size(), 3u);
    const int32_t types[] = {kConnVideoTuner, kConnVideoSVideo, kConnVideoComposite};
    for (size_t i = 0; i < 3; ++i) {
        const CrossbarRoute& r = list.Routes()[i];
        EXPECT_EQ(r.input, static_cast<int32_t>(i));
        EXPECT_EQ(r.v4l2Index, i);
        EXPECT_EQ(r.inputType, types[i]);
        EXPECT_EQ(r.outputType, kConnVideoDecoder);
        EXPECT_EQ(r.related, -1);
        EXPECT_EQ(r.depth, 0);
    }
    // The tuner input is routed now.
    EXPECT_EQ(pages.CheckedInputIndex(), 0);
    EXPECT_EQ(list.PhysicalTypeInUse(pages.CheckedInputIndex()), kConnVideoTuner);
    EXPECT_EQ(list.PhysicalTypeInUse(7), 0);
}

TEST(CrossbarRoutesList, AudioInputsAreLeftOut) {
    const std::vector<VideoInputInfo> inputs = {{0, "Line", 4097, "Audio Line"},
                                                {1, "Composite", 2, "Video Composite"}};
    const CrossbarRoutes list = CrossbarRoutes::Collect(inputs);
    ASSERT_EQ(list.Routes().size(), 1u);
    EXPECT_EQ(list.Routes()[0].input, 1);
    // Nothing to route: what was saved stays.
    EXPECT_EQ(CrossbarRoutes::Collect({}).ToSave(0, {3}), CrossbarSettings{3});
    EXPECT_EQ(list.ToSave(0, {3}), CrossbarSettings{3});  // input 0 has no route
    EXPECT_EQ(list.ToSave(1, {3}), CrossbarSettings{2});
}

// The type in use is saved at the end of one run and routed again in the next.
TEST_F(CrossbarRoutesTest, SavedInputTypeIsRoutedAgain) {
    const CrossbarRoutes list = CrossbarRoutes::Collect(pages.Inputs());
    ASSERT_TRUE(pages.RouteToInput(1));  // the user picks S-Video
    EXPECT_TRUE(
        SaveCrossbarSettings(list.ToSave(pages.CheckedInputIndex(), LoadCrossbarSettings())));
    EXPECT_EQ(profile.Get("CrosInPhysicalType"), "3");

    DevicePages next(ctrl);
    std::vector<int> nextSelected;
    next.SetV4l2Opener([&](const std::string&) {
        return std::make_unique<V4l2Device>(std::make_unique<InputsDriver>(&nextSelected));
    });
    next.Build(&device);
    ASSERT_EQ(next.CheckedInputIndex(), 0);
    const CrossbarSettings saved = LoadCrossbarSettings();
    EXPECT_EQ(saved.inPhysicalType, kConnVideoSVideo);
    EXPECT_TRUE(CrossbarRoutes::Collect(next.Inputs()).Restore(next, saved));
    EXPECT_EQ(next.CheckedInputIndex(), 1);
    EXPECT_EQ(nextSelected, std::vector<int>{1});

    // A type no input has, or nothing saved, routes nothing.
    EXPECT_FALSE(CrossbarRoutes::Collect(next.Inputs()).Restore(next, {kConnVideoUsb}));
    EXPECT_FALSE(CrossbarRoutes::Collect(next.Inputs()).Restore(next, {}));
    EXPECT_FALSE(SaveCrossbarSettings({}));
    EXPECT_EQ(CheckProgramSetting("CrosInPhysicalType", "2"), "");
}

}  // namespace
}  // namespace kelpa
