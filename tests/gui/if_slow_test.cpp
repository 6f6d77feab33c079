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
                                 calls.push_back("windows " + std::to_string(width) + " at " +
                                                 std::to_string(h.width) + "x" +
                                                 std::to_string(std::abs(h.height)));
                             }};
    }
    VideoMediaType Connected() { return App().CameraGraph().ConnectedType(); }

    std::vector<std::string> calls;
};

// The boxes and their first states; the states last for the program run, and Cancel puts back
// the states the dialog opened with.
TEST_F(IfSlowTest, BoxesStatesLastAndCancelRestores) {
    const IfSlowBox boxes[] = {IfSlowBox::kDisableColour, IfSlowBox::kBlackAndWhite,
                               IfSlowBox::kSmallFrameSize, IfSlowBox::kSlowFrameRate,
                               IfSlowBox::kSmallWindows};
    const auto states = [&boxes](auto&& dialog) {
        std::string text;
        for (const IfSlowBox box : boxes) text += dialog.Box(box)->isChecked() ? '1' : '0';
        return text;
    };
    {
        IfSlowDialog dialog(App(), {});
        EXPECT_EQ(dialog.windowTitle().toStdString(), "If Slow?");
        std::string texts;
        for (const IfSlowBox box : boxes) texts += dialog.Box(box)->text().toStdString() + "|";
        EXPECT_EQ(texts,
                  "Disable \"color processing\"|Enable \"black-and-white\" |Small Frame Size|"
                  "Slow Frame Rate|Small Video Windows|");
        EXPECT_EQ(states(dialog), "01111");
        KeepGrab(dialog, "if_slow.png");
        dialog.Box(IfSlowBox::kDisableColour)->click();
        dialog.Box(IfSlowBox::kSmallWindows)->click();
        dialog.findChild<QPushButton*>("1")->click();
    }
    IfSlowDialog dialog(App(), {});
    EXPECT_EQ(states(dialog), "11110");
    dialog.Box(IfSlowBox::kSmallFrameSize)->click();
    dialog.Box(IfSlowBox::kDisableColour)->click();
    dialog.findChild<QPushButton*>("2")->click();
    EXPECT_EQ(states(IfSlowDialog(App(), {})), "11110");
}

// Small: 320 x 240 unless smaller or already so; slow: 5 frames per second unless the rate is
// unknown or that slow already.
TEST(IfSlowFormat, SizeAndRateRules) {
    const auto text = [](const std::optional<PreferredFormat>& f) {
        return f ? std::to_string(f->width) + "x" + std::to_string(f->height) + "@" +
                       std::to_string(f->timePerFrame) + (f->subtype == kSubtypeYuy2 ? "" : "?")
                 : std::string("none");
    };
    // small, slow, width, height, time per frame, expected
    const std::tuple<bool, bool, int32_t, int32_t, int64_t, const char*> cases[] = {
        {true, true, 640, 480, 333333, "320x240@2000000"},
        {true, false, 640, 480, 333333, "320x240@333333"},
        {false, true, 640, 480, 333333, "640x480@2000000"},
        {false, false, 640, 480, 333333, "none"},
        {true, false, 320, 240, 333333, "none"},
        {true, false, 321, 200, 333333, "320x240@333333"},
        {false, true, 640, 480, 0, "none"},
        {false, true, 640, 480, 2000000, "none"},
    };
    for (const auto& [small, slow, width, height, time, expected] : cases) {
        IfSlowChoices choices;
        choices[IfSlowBox::kSmallFrameSize] = small;
        choices[IfSlowBox::kSlowFrameRate] = slow;
        const PreferredFormat in{kSubtypeYuy2, time, width, height};
        EXPECT_EQ(text(SlowFormat(in, choices)), expected) << text(in) << " " << small << slow;
    }
}

// OK with every remedy on the simulated camera: the channel is reset first, then the camera
// delivers 320 x 240 at 5 frames per second, then the windows are made small. With only
// "Small Video Windows" the device and the channel stay as they are.
TEST_F(IfSlowTest, OkAppliesTheRemediesInOrder) {
    const CommandResult opened = App().OpenSource("sim");
    ASSERT_TRUE(opened.ok) << opened.message;
    ASSERT_EQ(Connected().header.width, 640);
    ProcEngine& engine = App().Current()->sink.engine;
    engine.SetChannel(1);
    IfSlowChoices only;
    only.on = {false, false, false, false, true};
    ApplyIfSlow(App(), only, Recorder());
    EXPECT_EQ(calls, (std::vector<std::string>{"windows 240 at 640x480"}));
    EXPECT_EQ(engine.params.channels, 1);
    EXPECT_EQ(Connected().header.width, 640);

    calls.clear();
    engine.SetChannel(0);
    engine.SetOutsideAsIs(true);
    ASSERT_TRUE(App().Run().ok);
    IfSlowDialog dialog(App(), Recorder());
    dialog.findChild<QPushButton*>("1")->click();
    EXPECT_EQ(calls, (std::vector<std::string>{"channels", "windows 240 at 320x240"}));
    EXPECT_EQ(engine.params.channels, -1);
    EXPECT_EQ(engine.params.outsideAsIs.load(), 0);
    EXPECT_EQ(std::abs(Connected().header.height), 240);
    EXPECT_EQ(Connected().timePerFrame100ns, int64_t{2000000});
    EXPECT_EQ(App().PlayState(), kStateRunning);  // running again after the change
    EXPECT_NEAR(App().Current()->sink.fps.load(), 5.0, 1e-9);
    App().Stop();
}

// Without a source OK does nothing; with a video file current and no camera graph, the small
// format waits for the camera: no camera is opened behind the user's back.
TEST_F(IfSlowTest, WithoutCameraGraphTheFormatIsKeptForLater) {
    ApplyIfSlow(App(), IfSlowChoices{}, Recorder());
    EXPECT_TRUE(calls.empty());
    App().MakeCurrent(SourceKind::kFile);
    ThePreferredFormat() = PreferredFormat{kSubtypeYuy2, 333333, 1280, 720};
    ApplyIfSlow(App(), IfSlowChoices{}, Recorder());
    EXPECT_FALSE(App().DeviceCtrl().graphBuilt);
    const PreferredFormat& kept = ThePreferredFormat();
    EXPECT_EQ(std::tuple(kept.width, kept.height, kept.timePerFrame),
              std::tuple(320, 240, 2000000));
    EXPECT_EQ(calls.size(), 2u);
}

}  // namespace
}  // namespace kelpa::test
