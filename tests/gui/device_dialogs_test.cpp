// The device pages as dialogs: the V4L2 controls on a scripted driver (sliders, check boxes and
// menus that set the device at once, Default), and the formats a device offers (lists and
// ranges) with the one in use preselected.
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

TEST(DeviceControlsDialog, ShowsTheDeviceAndSetsItWhileTheControlsMoveDefaultPutsThemBack) {
    test::MemoryProfile profile;
    // A webcam with a brightness slider, an auto-gain switch and a power-line menu, none at its
    // default.
    ScriptedV4l2 driver;
    driver.Add(V4L2_CID_AUTOGAIN, V4L2_CTRL_TYPE_BOOLEAN, "Gain, Automatic", 0, 1, 1);
    driver.values[V4L2_CID_BRIGHTNESS] = 40;
    driver.values[V4L2_CID_AUTOGAIN] = 0;
    driver.values[V4L2_CID_POWER_LINE_FREQUENCY] = 2;
    VideoCtrl ctrl;
    DevicePages pages{ctrl};
    pages.SetV4l2Opener([&driver](const std::string&) {
        return std::make_unique<V4l2Device>(std::make_unique<ScriptedV4l2Io>(driver));
    });
    CaptureDevice device;
    device.identity = "v4l2:test";
    device.name = "Webcam";
    device.node = "/dev/video9";
    pages.Build(&device);
    DeviceControlsDialog dialog(pages);
    auto* brightness = qobject_cast<QSlider*>(dialog.EditorOf(V4L2_CID_BRIGHTNESS));
    auto* autoGain = qobject_cast<QCheckBox*>(dialog.EditorOf(V4L2_CID_AUTOGAIN));
    auto* powerLine = qobject_cast<QComboBox*>(dialog.EditorOf(V4L2_CID_POWER_LINE_FREQUENCY));
    ASSERT_TRUE(brightness && autoGain && powerLine);
    // The device's values, not the defaults, are shown.
    EXPECT_EQ(std::tuple(brightness->value(), brightness->maximum(), autoGain->isChecked(),
                         powerLine->currentText()),
              std::tuple(40, 255, false, QStringLiteral("Mode 2")));

    brightness->setValue(90);
    autoGain->click();
    emit powerLine->activated(0);
    const auto values = [&driver] {
        return std::tuple(driver.values[V4L2_CID_BRIGHTNESS], driver.values[V4L2_CID_AUTOGAIN],
                          driver.values[V4L2_CID_POWER_LINE_FREQUENCY]);
    };
    EXPECT_EQ(values(), std::tuple(90, 1, 0));
    dialog.SetDefaults();
    EXPECT_EQ(std::pair(values(), brightness->value()), std::pair(std::tuple(128, 1, 1), 128));
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

// The formats offered each once; the one in use preselected at the rate nearest its own over
// every offer of its size. A range offers its largest size and the usual sizes and rates inside
// it, largest and fastest first; the lists follow the format chosen.
TEST(FormatDialog, OffersEachFormatOncePreselectsTheOneInUseAndFollowsTheChoice) {
    const uint32_t i420 = FourCC("I420");
    // 160 x 120 to 800 x 600 at 5 to 30 frames per second.
    FormatOffer range = Fixed(i420, 160, 120, {});
    std::tie(range.maxWidth, range.maxHeight, range.minTimePerFrame, range.maxTimePerFrame) =
        std::tuple(800, 600, k30, int64_t{2000000});
    DeviceFormatDialog dialog({Fixed(kYuy2, 640, 480, {k30}), Fixed(kYuy2, 320, 240, {k30}), range,
                               Fixed(kYuy2, 640, 480, {k15})},
                              PreferredFormat{kYuy2, 666000, 640, 480});
    const auto chosen = [&dialog] {
        const PreferredFormat c = dialog.Chosen();
        return std::tuple(c.subtype, c.width, c.height, c.timePerFrame);
    };
    EXPECT_EQ(std::pair(dialog.Formats()->count(), dialog.Sizes()->count()), std::pair(2, 2));
    EXPECT_EQ(chosen(), std::tuple(kYuy2, 640, 480, k15));
    dialog.Formats()->setCurrentIndex(1);
    EXPECT_EQ(chosen(), std::tuple(i420, 640, 480, k15));
    const auto ends = [](const QComboBox* box) {
        return std::pair(box->itemData(0), box->itemData(box->count() - 1));
    };
    EXPECT_EQ(ends(dialog.Sizes()),
              std::pair(QVariant(QSize(800, 600)), QVariant(QSize(160, 120))));
    EXPECT_EQ(ends(dialog.Rates()), std::pair(QVariant::fromValue<qlonglong>(k30),
                                              QVariant::fromValue<qlonglong>(2000000)));
}

}  // namespace
}  // namespace kelpa
