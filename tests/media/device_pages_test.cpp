// The Sources menu's page items and their data: V4L2 controls, inputs and tuner read from a
// scripted driver, the exposure captured files record, the checked input, and the formats a
// device's caps offer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "media/device_pages.h"
#include "media/media_init.h"
#include "media/v4l2/v4l2_exposure.h"
#include "support/scripted_v4l2.h"
#include "support/test_devices.h"
#include "support/test_support.h"
#include "video/intake_fakes.h"

namespace kelpa {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

using test::ScriptedV4l2;
using test::ScriptedV4l2Io;

class PagesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InitMedia()); }
    void SetUp() override {
        pages.SetV4l2Opener([this](const std::string& node) {
            opened.push_back(node);
            return std::make_unique<V4l2Device>(std::make_unique<ScriptedV4l2Io>(driver));
        });
        device.device = test::MakeTestDevice("Card", "test:card",
                                             "video/x-raw,format=YUY2,width=720,height=576,"
                                             "framerate=25/1");
        device.node = "/dev/video7";
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const SourcesMenuItem& item : pages.Items()) {
            texts.push_back(std::to_string(item.slot) + " " + item.text);
            for (const SourcesMenuItem& in : item.items) {
                texts.push_back(std::to_string(in.slot) + (in.checked ? " * " : " ") + in.text);
            }
        }
        return texts;
    }

    test::MemoryProfile profile;
    VideoCtrl ctrl;
    DevicePages pages{ctrl};
    ScriptedV4l2 driver;
    std::vector<std::string> opened;
    CaptureDevice device;
};

// Composite is routed and checked when the driver names no input; choosing another moves the
// mark. (An input the driver routes staying checked, and not routed again, is the crossbar
// routes' test.) A page command stops the graph around its dialog and restores the run state;
// an input item is no page.
TEST_F(PagesTest, CaptureCardOffersEveryPageChecksTheRoutedInputAndStopsTheGraphForAPage) {
    pages.Build(&device);
    EXPECT_THAT(opened, ElementsAre("/dev/video7"));
    EXPECT_THAT(Texts(), ElementsAre("0 Video Format [Capture Pin]...", "1 Video Capture Filter...",
                                     "2 Video Crossbar...", "3 TV Tuner...", "-1 Video Input",
                                     "4 Video Tuner", "5 Video SVideo", "6 * Video Composite"));
    EXPECT_EQ(pages.Tuner().frequency, 1600u);
    EXPECT_TRUE(pages.SetTunerFrequency(200 * 16));
    EXPECT_EQ(pages.Tuner().frequency, 3200u);
    ASSERT_TRUE(pages.ChooseVideoInput(4));
    EXPECT_THAT(driver.selectedInputs, ElementsAre(2, 0));
    EXPECT_THAT(Texts(), ::testing::IsSupersetOf({"4 * Video Tuner", "6 Video Composite"}));

    test::FakeMediaControl control;
    ctrl.AttachGraph(&control, nullptr, nullptr);
    ctrl.graphBuilt = true;
    ctrl.Run();
    std::pair<DevicePage, int32_t> inDialog{DevicePage::kNone, -1};  // the page, the run state
    const auto show = [&](DevicePage page) { inDialog = {page, ctrl.PlayState()}; };
    EXPECT_EQ(pages.RunPageItem(1, show), 1);
    EXPECT_EQ(inDialog, std::pair(DevicePage::kCaptureFilter, kStateStopped));
    EXPECT_EQ(ctrl.PlayState(), kStateRunning);
    EXPECT_EQ(pages.RunPageItem(4, nullptr), 0);
    ctrl.DetachGraph();
}

// A webcam has no crossbar or tuner page. Its controls leave out what a page cannot set (a
// class, a disabled control, a 64-bit one), read with or without the driver's next-control
// flag; a value set is the one the driver keeps.
TEST_F(PagesTest, WebcamOffersFormatAndControlsOnly) {
    driver.inputs = {{"Camera 1", V4L2_INPUT_TYPE_CAMERA}};
    driver.hasTuner = false;
    driver.values[V4L2_CID_BRIGHTNESS] = 200;
    for (bool nextCtrl : {true, false}) {
        SCOPED_TRACE(nextCtrl);
        driver.nextCtrl = nextCtrl;
        pages.Build(&device);
        EXPECT_THAT(Texts(),
                    ElementsAre("0 Video Format [Capture Pin]...", "1 Video Capture Filter..."));
        const std::vector<V4l2Control>& controls = pages.Controls();
        ASSERT_EQ(controls.size(), 2u);
        EXPECT_EQ(std::tuple(controls[0].name, controls[0].defaultValue, controls[0].value),
                  std::tuple("Brightness", 128, 200));
        EXPECT_THAT(controls[1].menu, ElementsAre(Pair(0, "Mode 0"), Pair(2, "Mode 2")));
    }
    EXPECT_TRUE(pages.SetControl(V4L2_CID_BRIGHTNESS, 999));
    EXPECT_EQ(pages.Controls()[0].value, 255);
}

// Only a fixed exposure is recorded, in seconds.
// {controls the driver has, seconds told (-1: none)}
TEST(V4l2ExposureTest, OnlyAFixedExposureIsReported) {
    constexpr uint32_t kAuto = V4L2_CID_EXPOSURE_AUTO, kTime = V4L2_CID_EXPOSURE_ABSOLUTE;
    for (const auto& [controls, expected] :
         std::vector<std::pair<std::map<uint32_t, int32_t>, double>>{
             {{{kTime, 250}}, 0.025},  // no automatic to ask
             {{{kAuto, V4L2_EXPOSURE_MANUAL}, {kTime, 1}}, 1e-4},
             {{{kAuto, V4L2_EXPOSURE_SHUTTER_PRIORITY}, {kTime, 10000}}, 1.0},
             {{{kAuto, V4L2_EXPOSURE_AUTO}, {kTime, 250}}, -1},
             {{{kAuto, V4L2_EXPOSURE_MANUAL}}, -1},  // no absolute exposure
         }) {
        ScriptedV4l2 driver;
        driver.values = controls;
        V4l2Device device(std::make_unique<ScriptedV4l2Io>(driver));
        const double seconds = FixedExposureSeconds(device);
        EXPECT_DOUBLE_EQ(seconds < 0 ? -1.0 : seconds, expected);  // negative: none
    }
}

TEST_F(PagesTest, FormatOffersListRangesAndRatesOfKnownSubtypes) {
    GstCapsPtr caps(gst_caps_from_string(
        "video/x-raw,format={YUY2,NV12,I420},width=640,height=480,framerate={30/1,15/1};"
        "video/x-raw,format=BGR,width=[16,1920],height=[16,1080],framerate=[1/1,60/1];"
        "image/jpeg,width={1280,1920},height=720,framerate=0/1;"
        "video/x-h264,width=640,height=480"));
    // {subtype, width from, to, height from, to, listed rates, range of rates}
    EXPECT_EQ(FormatOffersFromCaps(caps.get()),
              (std::vector<FormatOffer>{{kSubtypeYuy2, 640, 640, 480, 480, {333333, 666667}},
                                        {kSubtypeI420, 640, 640, 480, 480, {333333, 666667}},
                                        {kSubtypeRgb24, 16, 1920, 16, 1080, {}, 166667, 10000000},
                                        {kSubtypeMjpg, 1280, 1280, 720, 720, {}},
                                        {kSubtypeMjpg, 1920, 1920, 720, 720, {}}}));
}

}  // namespace
}  // namespace kelpa
