// "If Slow?": its five boxes and their states for the program run, Cancel, and what OK does in
// order: the channel reset, a small and slow capture format on the device, small video windows.
#include "gui/if_slow_dialog.h"

#include <QCheckBox>
#include <QPushButton>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui/gui_test_support.h"
#include "media/device_settings.h"

namespace kelpa::test {
namespace {

class IfSlowTest : public CoreTest {
  protected:
    IfSlowTest() {
        profile.Set("ProcAuto", "0");
        CurrentIfSlowChoices() = IfSlowChoices{};
        ThePreferredFormat() = PreferredFormat{};
    }
    ~IfSlowTest() override {
        CurrentIfSlowChoices() = IfSlowChoices{};
        ThePreferredFormat() = PreferredFormat{};
    }
    // Records the main window's part, with the device format at the time it was asked.
    IfSlowActions Recorder() {
        return IfSlowActions{[this] { calls.push_back("channels"); },
                             [this](int32_t width) {
                                 const BitmapInfoHeader h = Connected().header;
                                 std::string call = "windows ";
                                 call += std::to_string(width) + " at " + std::to_string(h.width) +
                                         "x" + std::to_string(std::abs(h.height));
                                 calls.push_back(call);
                             }};
    }
    VideoMediaType Connected() { return App().CameraGraph().ConnectedType(); }

    std::vector<std::string> calls;
};

TEST_F(IfSlowTest, BoxesAndTheirFirstStates) {
    IfSlowDialog dialog(App(), {});
    EXPECT_EQ(dialog.windowTitle().toStdString(), "If Slow?");
    const struct {
        IfSlowBox box;
        const char* id;
        const char* text;
        bool on;
    } expected[] = {
        {IfSlowBox::kDisableColour, "1119", "Disable \"color processing\"", false},
        {IfSlowBox::kBlackAndWhite, "1135", "Enable \"black-and-white\" ", true},
        {IfSlowBox::kSmallFrameSize, "1151", "Small Frame Size", true},
        {IfSlowBox::kSlowFrameRate, "1152", "Slow Frame Rate", true},
        {IfSlowBox::kSmallWindows, "1153", "Small Video Windows", true},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.id);
        QCheckBox* box = dialog.Box(e.box);
        EXPECT_EQ(box->objectName().toStdString(), e.id);
        EXPECT_EQ(box->text().toStdString(), e.text);
        EXPECT_EQ(box->isChecked(), e.on);
    }
    KeepGrab(dialog, "if_slow.png");
}

// The states last for the program run: a later dialog opens with them; Cancel puts back the
// states the dialog opened with.
TEST_F(IfSlowTest, StatesLastAndCancelRestores) {
    {
        IfSlowDialog dialog(App(), {});
        dialog.Box(IfSlowBox::kDisableColour)->click();
        dialog.Box(IfSlowBox::kSmallWindows)->click();
        dialog.findChild<QPushButton*>("1")->click();
    }
    IfSlowChoices expected;
    expected[IfSlowBox::kDisableColour] = true;
    expected[IfSlowBox::kSmallWindows] = false;
    EXPECT_EQ(CurrentIfSlowChoices(), expected);
    IfSlowDialog dialog(App(), {});
    EXPECT_TRUE(dialog.Box(IfSlowBox::kDisableColour)->isChecked());
    EXPECT_FALSE(dialog.Box(IfSlowBox::kSmallWindows)->isChecked());
    dialog.Box(IfSlowBox::kSmallFrameSize)->click();
    dialog.Box(IfSlowBox::kDisableColour)->click();
    dialog.findChild<QPushButton*>("2")->click();
    EXPECT_EQ(CurrentIfSlowChoices(), expected);
}

struct FormatCase {
    bool smallSize;
    bool slowRate;
    PreferredFormat in;
    bool changes;
    PreferredFormat out;
};

TEST(IfSlowFormat, SizeAndRateRules) {
    const PreferredFormat vga{kSubtypeYuy2, 333333, 640, 480};
    const FormatCase cases[] = {
        {true, true, vga, true, {kSubtypeYuy2, 2000000, 320, 240}},
        {true, false, vga, true, {kSubtypeYuy2, 333333, 320, 240}},
        {false, true, vga, true, {kSubtypeYuy2, 2000000, 640, 480}},
        {false, false, vga, false, {}},
        {true, false, {kSubtypeYuy2, 333333, 320, 240}, false, {}},  // small already
        {true, false, {kSubtypeYuy2, 333333, 320, 241}, true, {kSubtypeYuy2, 333333, 320, 240}},
        {true, false, {kSubtypeYuy2, 333333, 321, 200}, true, {kSubtypeYuy2, 333333, 320, 240}},
        {false, true, {kSubtypeYuy2, 0, 640, 480}, false, {}},  // no rate to slow down
        {false, true, {kSubtypeYuy2, 2000000, 640, 480}, false, {}},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.in.width << "x" << c.in.height << " "
                                          << c.in.timePerFrame << " " << c.smallSize << c.slowRate);
        IfSlowChoices choices;
        choices[IfSlowBox::kSmallFrameSize] = c.smallSize;
        choices[IfSlowBox::kSlowFrameRate] = c.slowRate;
        const std::optional<PreferredFormat> out = SlowFormat(c.in, choices);
        ASSERT_EQ(out.has_value(), c.changes);
        if (!out) continue;
        EXPECT_EQ(out->subtype, c.out.subtype);
        EXPECT_EQ(out->timePerFrame, c.out.timePerFrame);
        EXPECT_EQ(out->width, c.out.width);
        EXPECT_EQ(out->height, c.out.height);
    }
}

// OK with every remedy on the simulated camera: the channel is reset first, then the camera
// delivers 320 x 240 at 5 frames per second, then the windows are made small.
TEST_F(IfSlowTest, OkAppliesTheRemediesInOrder) {
    const CommandResult opened = App().OpenSource("sim");
    ASSERT_TRUE(opened.ok) << opened.message;
    ASSERT_EQ(Connected().header.width, 640);
    ProcEngine& engine = App().Current()->sink.engine;
    engine.SetChannel(0);
    engine.SetOutsideAsIs(true);
    ASSERT_TRUE(App().Run().ok);

    IfSlowDialog dialog(App(), Recorder());
    dialog.findChild<QPushButton*>("1")->click();

    EXPECT_EQ(calls, (std::vector<std::string>{"channels", "windows 240 at 320x240"}));
    EXPECT_EQ(engine.params.channels, -1);
    EXPECT_EQ(engine.params.outsideAsIs.load(), 0);
    EXPECT_EQ(Connected().header.width, 320);
    EXPECT_EQ(std::abs(Connected().header.height), 240);
    EXPECT_EQ(Connected().timePerFrame100ns, int64_t{2000000});
    EXPECT_EQ(App().PlayState(), kStateRunning);  // running again after the change
    EXPECT_NEAR(App().Current()->sink.fps.load(), 5.0, 1e-9);
    App().Stop();
}

// Only "Small Video Windows": the windows shrink, the device and the channel stay as they are.
TEST_F(IfSlowTest, OnlySmallWindowsLeavesTheDeviceAlone) {
    ASSERT_TRUE(App().OpenSource("sim").ok);
    ProcEngine& engine = App().Current()->sink.engine;
    engine.SetChannel(1);
    IfSlowChoices only;
    only.on = {false, false, false, false, true};
    ApplyIfSlow(App(), only, Recorder());
    EXPECT_EQ(calls, (std::vector<std::string>{"windows 240 at 640x480"}));
    EXPECT_EQ(engine.params.channels, 1);
    EXPECT_EQ(Connected().header.width, 640);
}

// With a video file current and no camera graph, the small format waits for the camera: no
// camera is opened behind the user's back.
TEST_F(IfSlowTest, WithoutCameraGraphTheFormatIsKeptForLater) {
    App().MakeCurrent(SourceKind::kFile);
    ThePreferredFormat() = PreferredFormat{kSubtypeYuy2, 333333, 1280, 720};
    ApplyIfSlow(App(), IfSlowChoices{}, Recorder());
    EXPECT_FALSE(App().DeviceCtrl().graphBuilt);
    EXPECT_EQ(ThePreferredFormat().width, 320);
    EXPECT_EQ(ThePreferredFormat().height, 240);
    EXPECT_EQ(ThePreferredFormat().timePerFrame, 2000000);
    EXPECT_EQ(calls.size(), 2u);
}

// Without a current controller OK does nothing.
TEST_F(IfSlowTest, WithoutSourceNothingHappens) {
    ApplyIfSlow(App(), IfSlowChoices{}, Recorder());
    EXPECT_TRUE(calls.empty());
}

}  // namespace
}  // namespace kelpa::test
