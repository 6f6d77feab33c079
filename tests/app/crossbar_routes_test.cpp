// The capture device's input routes: collected from the device's V4L2 inputs, the input type in
// use kept in the profile, and the saved type routed again on the next run.
#include "app/crossbar_routes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/v4l2/crossbar.h"
#include "support/scripted_v4l2.h"
#include "support/test_support.h"

namespace kelpa {
namespace {

// Builds the pages on the scripted capture card (a tuner, an S-Video and a composite input),
// the tuner routed.
void Build(DevicePages& pages, CaptureDevice& device, test::ScriptedV4l2& driver) {
    driver.currentInput = 0;
    pages.SetV4l2Opener([&driver](const std::string&) {
        return std::make_unique<V4l2Device>(std::make_unique<test::ScriptedV4l2Io>(driver));
    });
    pages.Build(&device);
}

// The routes of the driver's inputs; the type in use (S-Video, picked by the user) saved at the
// end of one run is routed again in the next.
TEST(CrossbarRoutesTest, RoutesOfTheInputsAndTheSavedTypeRoutedAgain) {
    test::MemoryProfile profile;
    VideoCtrl ctrl;
    CaptureDevice device;
    device.node = "/dev/video3";
    DevicePages pages(ctrl);
    test::ScriptedV4l2 driver;
    Build(pages, device, driver);
    const CrossbarRoutes list = CrossbarRoutes::Collect(pages.Inputs());
    EXPECT_EQ(list.Routes(), (std::vector<CrossbarRoute>{
                                 {0, 0, 0, -1, kConnVideoDecoder, kConnVideoTuner, 0},
                                 {1, 1, 0, -1, kConnVideoDecoder, kConnVideoSVideo, 0},
                                 {2, 2, 0, -1, kConnVideoDecoder, kConnVideoComposite, 0}}));
    EXPECT_EQ(list.PhysicalTypeInUse(pages.CheckedInputIndex()), kConnVideoTuner);
    ASSERT_TRUE(pages.RouteToInput(1));
    EXPECT_TRUE(
        SaveCrossbarSettings(list.ToSave(pages.CheckedInputIndex(), LoadCrossbarSettings())));
    EXPECT_EQ(profile.Get("CrosInPhysicalType"), "3");

    DevicePages next(ctrl);
    test::ScriptedV4l2 nextDriver;
    Build(next, device, nextDriver);
    ASSERT_EQ(next.CheckedInputIndex(), 0);
    const CrossbarRoutes nextList = CrossbarRoutes::Collect(next.Inputs());
    EXPECT_TRUE(nextList.Restore(next, LoadCrossbarSettings()));
    EXPECT_EQ(next.CheckedInputIndex(), 1);
    EXPECT_EQ(nextDriver.selectedInputs, std::vector<int>{1});
    // A type no input has, or nothing saved, routes nothing.
    EXPECT_FALSE(nextList.Restore(next, {kConnVideoUsb}));
    EXPECT_FALSE(nextList.Restore(next, {}));
    EXPECT_FALSE(SaveCrossbarSettings({}));
}

// Audio inputs are left out; with no route for the input in use, what was saved stays.
TEST(CrossbarRoutesList, AudioInputsAreLeftOut) {
    const std::vector<VideoInputInfo> inputs = {{0, "Line", 4097, "Audio Line"},
                                                {1, "Composite", 2, "Video Composite"}};
    const CrossbarRoutes list = CrossbarRoutes::Collect(inputs);
    ASSERT_EQ(list.Routes().size(), 1u);
    EXPECT_EQ(list.Routes()[0].input, 1);
    EXPECT_EQ(list.PhysicalTypeInUse(0), 0);
    EXPECT_EQ(list.ToSave(0, {3}), CrossbarSettings{3});
    EXPECT_EQ(list.ToSave(1, {3}), CrossbarSettings{2});
}

}  // namespace
}  // namespace kelpa
