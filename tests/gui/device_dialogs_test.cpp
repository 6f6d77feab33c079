// The device pages as dialogs: the formats a device offers (lists and ranges), the V4L2 controls
// on a scripted driver (sliders, check boxes and menus that set the device at once, Default),
// and the video input choice.
#include <linux/videodev2.h>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSlider>
#include <cerrno>
#include <cstdio>
#include <map>
#include <vector>

#include "gui/device_dialogs.h"
#include "gui/device_format_dialog.h"
#include "media/media_format.h"
#include "support/test_support.h"

namespace kelpa {
namespace {

// A webcam driver with a brightness slider, an auto-gain switch and a power-line menu, and two
// video inputs.
struct ScriptedDriver {
    struct Control {
        uint32_t type;
        const char* name;
        int32_t minimum, maximum, defaultValue;
    };
    std::map<uint32_t, Control> controls = {
        {V4L2_CID_BRIGHTNESS, {V4L2_CTRL_TYPE_INTEGER, "Brightness", 0, 255, 128}},
        {V4L2_CID_AUTOGAIN, {V4L2_CTRL_TYPE_BOOLEAN, "Gain, Automatic", 0, 1, 1}},
        {V4L2_CID_POWER_LINE_FREQUENCY, {V4L2_CTRL_TYPE_MENU, "Power Line", 0, 2, 1}},
    };
    std::map<uint32_t, int32_t> values = {
        {V4L2_CID_BRIGHTNESS, 40}, {V4L2_CID_AUTOGAIN, 0}, {V4L2_CID_POWER_LINE_FREQUENCY, 2}};
    std::vector<std::pair<uint32_t, int32_t>> sets;
    uint32_t input = 0;

    int Ioctl(unsigned long request, void* arg) {
        switch (request) {
            case VIDIOC_QUERYCAP: {
                auto* cap = static_cast<v4l2_capability*>(arg);
                std::snprintf(reinterpret_cast<char*>(cap->card), sizeof cap->card, "Webcam");
                std::snprintf(reinterpret_cast<char*>(cap->bus_info), sizeof cap->bus_info,
                              "usb-0000:00:14.0-1");
                return 0;
            }
            case VIDIOC_QUERYCTRL: {
                auto* query = static_cast<v4l2_queryctrl*>(arg);
                const uint32_t id = query->id & ~V4L2_CTRL_FLAG_NEXT_CTRL;
                const auto found = (query->id & V4L2_CTRL_FLAG_NEXT_CTRL) ? controls.upper_bound(id)
                                                                          : controls.find(id);
                if (found == controls.end()) return Fail();
                *query = {};
                query->id = found->first;
                query->type = found->second.type;
                std::snprintf(reinterpret_cast<char*>(query->name), sizeof query->name, "%s",
                              found->second.name);
                query->minimum = found->second.minimum;
                query->maximum = found->second.maximum;
                query->step = 1;
                query->default_value = found->second.defaultValue;
                return 0;
            }
            case VIDIOC_QUERYMENU: {
                auto* item = static_cast<v4l2_querymenu*>(arg);
                static const char* const kNames[] = {"Disabled", "50 Hz", "60 Hz"};
                if (item->index > 2) return Fail();
                std::snprintf(reinterpret_cast<char*>(item->name), sizeof item->name, "%s",
                              kNames[item->index]);
                return 0;
            }
            case VIDIOC_G_CTRL: {
                auto* control = static_cast<v4l2_control*>(arg);
                control->value = values.at(control->id);
                return 0;
            }
            case VIDIOC_S_CTRL: {
                auto* control = static_cast<v4l2_control*>(arg);
                sets.emplace_back(control->id, control->value);
                values[control->id] = control->value;
                return 0;
            }
            case VIDIOC_ENUMINPUT: {
                auto* in = static_cast<v4l2_input*>(arg);
                static const char* const kInputs[] = {"Camera 1", "Composite"};
                if (in->index > 1) return Fail();
                std::snprintf(reinterpret_cast<char*>(in->name), sizeof in->name, "%s",
                              kInputs[in->index]);
                in->type = V4L2_INPUT_TYPE_CAMERA;
                return 0;
            }
            case VIDIOC_G_INPUT:
                *static_cast<int*>(arg) = static_cast<int>(input);
                return 0;
            case VIDIOC_S_INPUT:
                input = static_cast<uint32_t>(*static_cast<int*>(arg));
                return 0;
            default:
                return Fail();
        }
    }
    static int Fail() {
        errno = EINVAL;
        return -1;
    }
};

class ScriptedIo final : public V4l2Io {
  public:
    explicit ScriptedIo(ScriptedDriver& driver) : driver_(driver) {}
    int Ioctl(unsigned long request, void* arg) override { return driver_.Ioctl(request, arg); }

  private:
    ScriptedDriver& driver_;
};

class DevicePageDialogsTest : public ::testing::Test {
  protected:
    DevicePageDialogsTest() {
        pages.SetV4l2Opener([this](const std::string&) {
            return std::make_unique<V4l2Device>(std::make_unique<ScriptedIo>(driver));
        });
        device.identity = "v4l2:test";
        device.name = "Webcam";
        device.node = "/dev/video9";
        pages.Build(&device);
    }

    test::MemoryProfile profile;
    ScriptedDriver driver;
    VideoCtrl ctrl;
    DevicePages pages{ctrl};
    CaptureDevice device;
};

TEST_F(DevicePageDialogsTest, ControlsAreSetOnTheDeviceWhileTheyMove) {
    DeviceControlsDialog dialog(pages);
    auto* brightness = qobject_cast<QSlider*>(dialog.EditorOf(V4L2_CID_BRIGHTNESS));
    auto* autoGain = qobject_cast<QCheckBox*>(dialog.EditorOf(V4L2_CID_AUTOGAIN));
    auto* powerLine = qobject_cast<QComboBox*>(dialog.EditorOf(V4L2_CID_POWER_LINE_FREQUENCY));
    ASSERT_NE(brightness, nullptr);
    ASSERT_NE(autoGain, nullptr);
    ASSERT_NE(powerLine, nullptr);
    // The device's values, not the defaults, are shown.
    EXPECT_EQ(brightness->value(), 40);
    EXPECT_EQ(brightness->maximum(), 255);
    EXPECT_FALSE(autoGain->isChecked());
    EXPECT_EQ(powerLine->currentText(), QStringLiteral("60 Hz"));
    ASSERT_EQ(powerLine->count(), 3);

    brightness->setValue(90);
    autoGain->click();
    powerLine->activated(0);
    EXPECT_EQ(driver.values[V4L2_CID_BRIGHTNESS], 90);
    EXPECT_EQ(driver.values[V4L2_CID_AUTOGAIN], 1);
    EXPECT_EQ(driver.values[V4L2_CID_POWER_LINE_FREQUENCY], 0);
}

TEST_F(DevicePageDialogsTest, DefaultPutsEveryControlBackAndShowsIt) {
    DeviceControlsDialog dialog(pages);
    dialog.SetDefaults();
    EXPECT_EQ(driver.values[V4L2_CID_BRIGHTNESS], 128);
    EXPECT_EQ(driver.values[V4L2_CID_AUTOGAIN], 1);
    EXPECT_EQ(driver.values[V4L2_CID_POWER_LINE_FREQUENCY], 1);
    EXPECT_EQ(qobject_cast<QSlider*>(dialog.EditorOf(V4L2_CID_BRIGHTNESS))->value(), 128);
    EXPECT_TRUE(qobject_cast<QCheckBox*>(dialog.EditorOf(V4L2_CID_AUTOGAIN))->isChecked());
    // Nothing is written twice: a control already at its default is left alone.
    const size_t sets = driver.sets.size();
    dialog.SetDefaults();
    EXPECT_EQ(driver.sets.size(), sets);
}

TEST_F(DevicePageDialogsTest, VideoInputDialogChecksTheInputInUse) {
    VideoInputDialog dialog(pages);
    const QList<QRadioButton*> buttons = dialog.findChildren<QRadioButton*>();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(dialog.ChosenInput(), pages.CheckedInputIndex());
    buttons[1]->click();
    EXPECT_EQ(dialog.ChosenInput(), 1);
}

// ---- Formats
// --------------------------------------------------------------------------------------

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

TEST(FormatOffers, ListsSubtypesSizesAndRatesAsOffered) {
    const uint32_t yuy2 = FourCC("YUY2");
    const uint32_t mjpg = kSubtypeMjpg;
    const std::vector<FormatOffer> offers = {
        Fixed(yuy2, 320, 240, {k30}), Fixed(yuy2, 640, 480, {k15, k30}),
        Fixed(mjpg, 1280, 720, {k30}), Fixed(yuy2, 640, 480, {k15})};
    EXPECT_EQ(OfferedSubtypes(offers), (std::vector<uint32_t>{yuy2, mjpg}));
    EXPECT_EQ(OfferedSizes(offers, yuy2), (std::vector<FrameSize>{{640, 480}, {320, 240}}));
    EXPECT_EQ(OfferedTimesPerFrame(offers, yuy2, {640, 480}), (std::vector<int64_t>{k30, k15}));
    EXPECT_TRUE(OfferedTimesPerFrame(offers, mjpg, {640, 480}).empty());
}

TEST(FormatOffers, RangesOfferTheUsualSizesAndRatesInside) {
    FormatOffer range;
    range.subtype = FourCC("YUY2");
    range.minWidth = 160;
    range.maxWidth = 800;
    range.minHeight = 120;
    range.maxHeight = 600;
    range.minTimePerFrame = 333333;   // 30 fps at most
    range.maxTimePerFrame = 2000000;  // 5 fps at least
    const std::vector<FrameSize> sizes = OfferedSizes({range}, range.subtype);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.front(), (FrameSize{800, 600}));
    EXPECT_EQ(sizes.back(), (FrameSize{160, 120}));
    for (const FrameSize& size : sizes) {
        EXPECT_LE(size.width, 800);
        EXPECT_GE(size.height, 120);
    }
    const std::vector<int64_t> times = OfferedTimesPerFrame({range}, range.subtype, {640, 480});
    ASSERT_FALSE(times.empty());
    EXPECT_EQ(times.front(), 333333);
    EXPECT_EQ(times.back(), 2000000);
    // A size outside the range has no rate.
    EXPECT_TRUE(OfferedTimesPerFrame({range}, range.subtype, {1024, 768}).empty());
}

TEST(FormatDialog, PreselectsTheFormatInUseAndFollowsTheChoice) {
    const uint32_t yuy2 = FourCC("YUY2");
    const uint32_t i420 = FourCC("I420");
    const std::vector<FormatOffer> offers = {Fixed(yuy2, 640, 480, {k30, k15}),
                                             Fixed(yuy2, 320, 240, {k30}),
                                             Fixed(i420, 352, 288, {k15})};
    PreferredFormat current;
    current.subtype = yuy2;
    current.width = 640;
    current.height = 480;
    current.timePerFrame = 666000;
    DeviceFormatDialog dialog(offers, current);
    PreferredFormat chosen = dialog.Chosen();
    EXPECT_EQ(chosen.subtype, yuy2);
    EXPECT_EQ(chosen.width, 640);
    EXPECT_EQ(chosen.timePerFrame, k15);  // the nearest rate offered

    dialog.Formats()->setCurrentIndex(dialog.Formats()->findData(i420));
    chosen = dialog.Chosen();
    EXPECT_EQ(chosen.subtype, i420);
    EXPECT_EQ(chosen.width, 352);
    EXPECT_EQ(chosen.height, 288);
    EXPECT_EQ(chosen.timePerFrame, k15);
}

}  // namespace
}  // namespace kelpa
