// The device pages as dialogs: the V4L2 controls on a scripted driver (sliders, check boxes and
// menus that set the device at once, Default), and the formats a device offers (lists and
// ranges).
#include <linux/videodev2.h>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QSlider>
#include <tuple>
#include <vector>

#include "gui/device_dialogs.h"
#include "gui/device_format_dialog.h"
#include "media/media_format.h"
#include "support/scripted_v4l2.h"
#include "support/test_support.h"

namespace kelpa {
namespace {

using test::ScriptedV4l2;
using test::ScriptedV4l2Io;

class DevicePageDialogsTest : public ::testing::Test {
  protected:
    // A webcam with a brightness slider, an auto-gain switch and a power-line menu, none at
    // its default.
    DevicePageDialogsTest() {
        driver.Add(V4L2_CID_AUTOGAIN, V4L2_CTRL_TYPE_BOOLEAN, "Gain, Automatic", 0, 1, 1);
        driver.values[V4L2_CID_BRIGHTNESS] = 40;
        driver.values[V4L2_CID_AUTOGAIN] = 0;
        driver.values[V4L2_CID_POWER_LINE_FREQUENCY] = 2;
        pages.SetV4l2Opener([this](const std::string&) {
            return std::make_unique<V4l2Device>(std::make_unique<ScriptedV4l2Io>(driver));
        });
        device.identity = "v4l2:test";
        device.name = "Webcam";
        device.node = "/dev/video9";
        pages.Build(&device);
    }

    test::MemoryProfile profile;
    ScriptedV4l2 driver;
    VideoCtrl ctrl;
    DevicePages pages{ctrl};
    CaptureDevice device;
};

TEST_F(DevicePageDialogsTest, ControlsShowTheDeviceAndSetItWhileTheyMoveDefaultPutsThemBack) {
    DeviceControlsDialog dialog(pages);
    auto* brightness = qobject_cast<QSlider*>(dialog.EditorOf(V4L2_CID_BRIGHTNESS));
    auto* autoGain = qobject_cast<QCheckBox*>(dialog.EditorOf(V4L2_CID_AUTOGAIN));
    auto* powerLine = qobject_cast<QComboBox*>(dialog.EditorOf(V4L2_CID_POWER_LINE_FREQUENCY));
    ASSERT_TRUE(brightness && autoGain && powerLine);
    // The device's values, not the defaults, are shown.
    EXPECT_EQ(std::pair(brightness->value(), brightness->maximum()), std::pair(40, 255));
    EXPECT_FALSE(autoGain->isChecked());
    EXPECT_EQ(powerLine->currentText(), QStringLiteral("Mode 2"));

    brightness->setValue(90);
    autoGain->click();
    emit powerLine->activated(0);
    const auto values = [this] {
        return std::tuple(driver.values[V4L2_CID_BRIGHTNESS], driver.values[V4L2_CID_AUTOGAIN],
                          driver.values[V4L2_CID_POWER_LINE_FREQUENCY]);
    };
    EXPECT_EQ(values(), std::tuple(90, 1, 0));
    dialog.SetDefaults();
    EXPECT_EQ(values(), std::tuple(128, 1, 1));
    EXPECT_EQ(brightness->value(), 128);
}

FormatOffer Fixed(uint32_t subtype, int32_t w, int32_t h, std::vector<int64_t> times) {
    FormatOffer offer;
    offer.subtype = subtype;
    offer.minWidth = offer.maxWidth = w;
    offer.minHeight = offer.maxHeight = h;
    offer.timesPerFrame = std::move(times);
    return offer;
}

constexpr int64_t k30 = 333333;
constexpr int64_t k15 = 666667;
const uint32_t kYuy2 = FourCC("YUY2");

TEST(FormatOffers, ListsWhatIsOfferedAndTheUsualSizesAndRatesInsideRanges) {
    const std::vector<FormatOffer> offers = {
        Fixed(kYuy2, 320, 240, {k30}), Fixed(kYuy2, 640, 480, {k15, k30}),
        Fixed(kSubtypeMjpg, 1280, 720, {k30}), Fixed(kYuy2, 640, 480, {k15})};
    EXPECT_EQ(OfferedSubtypes(offers), (std::vector<uint32_t>{kYuy2, kSubtypeMjpg}));
    EXPECT_EQ(OfferedSizes(offers, kYuy2), (std::vector<FrameSize>{{640, 480}, {320, 240}}));
    EXPECT_EQ(OfferedTimesPerFrame(offers, kYuy2, {640, 480}), (std::vector<int64_t>{k30, k15}));
    EXPECT_TRUE(OfferedTimesPerFrame(offers, kSubtypeMjpg, {640, 480}).empty());

    // 160 x 120 to 800 x 600 at 5 to 30 frames per second.
    FormatOffer range = Fixed(kYuy2, 160, 120, {});
    range.maxWidth = 800;
    range.maxHeight = 600;
    range.minTimePerFrame = 333333;
    range.maxTimePerFrame = 2000000;
    const std::vector<FrameSize> sizes = OfferedSizes({range}, kYuy2);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(std::pair(sizes.front(), sizes.back()),
              std::pair(FrameSize{800, 600}, FrameSize{160, 120}));
    const std::vector<int64_t> times = OfferedTimesPerFrame({range}, kYuy2, {640, 480});
    ASSERT_FALSE(times.empty());
    EXPECT_EQ(std::pair(times.front(), times.back()), std::pair(int64_t{333333}, int64_t{2000000}));
    EXPECT_TRUE(OfferedTimesPerFrame({range}, kYuy2, {1024, 768}).empty());  // outside
}

TEST(FormatDialog, PreselectsTheFormatInUseAndFollowsTheChoice) {
    const uint32_t i420 = FourCC("I420");
    PreferredFormat current{kYuy2, 666000, 640, 480};
    DeviceFormatDialog dialog({Fixed(kYuy2, 640, 480, {k30, k15}), Fixed(kYuy2, 320, 240, {k30}),
                               Fixed(i420, 352, 288, {k15})},
                              current);
    PreferredFormat chosen = dialog.Chosen();
    // The nearest rate offered.
    EXPECT_EQ(std::tuple(chosen.subtype, chosen.width, chosen.timePerFrame),
              std::tuple(kYuy2, 640, k15));
    dialog.Formats()->setCurrentIndex(dialog.Formats()->findData(i420));
    chosen = dialog.Chosen();
    EXPECT_EQ(std::tuple(chosen.subtype, chosen.width, chosen.height, chosen.timePerFrame),
              std::tuple(i420, 352, 288, k15));
}

}  // namespace
}  // namespace kelpa
