// The application core driven as a front end drives it, without a command line: the simulated
// camera and a small video file opened, run, paused, stepped and captured, their events taken on
// the test's thread as a window would take them, and the failures a user can cause.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/commands.h"
#include "media/capture_graph.h"
#include "media/device_keys.h"
#include "media/media_init.h"
#include "support/temp_files.h"
#include "support/test_support.h"
#include "support/video_clips.h"

namespace kelpa::test {
namespace {

using kelpa::testing::TempDir;
using std::chrono::seconds;

// The GUI thread's side: notifications queue up here from any thread, and the test takes them
// one by one, the way a window's event loop does.
class WindowQueue final : public StreamEventReceiver {
  public:
    void Notify(StreamEvents& source, StreamEvent kind) override {
        std::lock_guard lock(mutex_);
        queue_.push_back({&source, kind});
        changed_.notify_all();
    }
    // Waits for `kind` and acknowledges every notification taken on the way.
    StreamEvents* WaitFor(StreamEvent kind, seconds timeout = seconds(20)) {
        std::unique_lock lock(mutex_);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            while (!queue_.empty()) {
                const auto [source, got] = queue_.front();
                queue_.pop_front();
                if (got == kind) return source;
                source->Acknowledge(got);
            }
            if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) return nullptr;
        }
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<StreamEvents*, StreamEvent>> queue_;
};

class ApplicationTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(InitMedia(&error)) << error;
        ASSERT_TRUE(InitClipTable());
    }
    ApplicationTest() {
        app.SetNotice(&notice);
        app.SetEventReceiver(&window);
    }

    TempDir captures;
    MemoryProfile profile;
    // Read by the controllers when the core is made.
    const bool configured_ =
        (profile.Set("ProcAuto", "0"), profile.Set("CapWorkDir", captures.Path()), true);
    RecordingNotice notice;
    WindowQueue window;
    Application app;
};

// The simulated telescope camera: opened as a capture device, it becomes current, runs, posts
// statistics of its stars and processed pictures, and stops. (Its status texts are the main
// window's tests'; its captures, which the headless runs take through this core, the headless
// tests'.)
TEST_F(ApplicationTest, SimulatedCameraRunsAndStops) {
    app.SetStatisticsWanted(true);
    const CommandResult opened = app.OpenSource("sim");
    ASSERT_TRUE(opened.ok) << opened.message;
    ASSERT_EQ(app.Current(), &app.DeviceCtrl());
    VideoCtrl& ctrl = *app.Current();
    ctrl.sink.engine.surf.SetVisible(true);
    ASSERT_TRUE(app.StartStop().ok);
    StatisticsSnapshot s;  // taken as they come, until one of a frame past the third
    while (s.frame <= 3) {
        StreamEvents* source = window.WaitFor(StreamEvent::kStatistics);
        ASSERT_NE(source, nullptr);
        source->TakeStatistics(&s);
    }
    EXPECT_EQ(std::pair(s.width, s.height), std::pair(640, 480));
    EXPECT_GT(s.histMax, s.histMin);  // stars on a sky
    EXPECT_EQ(window.WaitFor(StreamEvent::kProcessedPicture), &ctrl.Events());
    EXPECT_EQ(app.StartStop().message, "Stopped...");
}

// A video file: it becomes current in place of the camera, plays to its end, which stops it
// without a failure, and then steps frame by frame.
TEST_F(ApplicationTest, VideoFilePlaysToItsEndAndSteps) {
    ASSERT_TRUE(app.OpenSource("sim").ok);
    ClipParams clip;
    clip.frames = 8;
    std::string error;
    ASSERT_TRUE(WriteClip(captures.File("clip.avi"), clip, &error)) << error;
    app.SetPacing(false);
    const CommandResult opened = app.OpenSource(captures.File("clip.avi"));
    ASSERT_TRUE(opened.ok) << opened.message;
    EXPECT_EQ(app.CurrentKind(), SourceKind::kFile);
    EXPECT_FALSE(app.DeviceCtrl().IsCurrent());
    int32_t state = 0;
    app.FileCtrl().Control()->GetState(10000, &state);  // paused on its first frame
    ASSERT_TRUE(app.Run().ok);
    StreamEvents* source = window.WaitFor(StreamEvent::kGraphEvent);
    ASSERT_EQ(source, &app.FileCtrl().Events());
    EXPECT_EQ(ShownFrame(app.FileCtrl().sink.live), 7);  // the last frame
    const Application::GraphOutcome outcome = app.HandleGraphEvents(*source);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_FALSE(outcome.failed) << outcome.message;
    EXPECT_EQ(app.PlayState(), kStateStopped);
    app.FileCtrl().Control()->GetState(10000, &state);
    for (int i = 1; i <= 3; ++i) {  // stopped at the start again: each step shows the next frame
        ASSERT_TRUE(app.Step(1).ok);
        app.FileCtrl().Control()->GetState(10000, &state);
        EXPECT_EQ(ShownFrame(app.FileCtrl().sink.live), i);
    }
}

// What a user can get wrong: nothing happens without a source; a file or device that cannot
// be opened leaves the current source as it was and says why. (A missing source's message and
// a capture folder that cannot be made are the headless tests'.)
TEST_F(ApplicationTest, FailuresSayWhyAndLeaveTheCurrentSource) {
    for (const CommandResult& r : {app.StartStop(), app.Run(), app.Stop(), app.PauseToggle(),
                                   app.ToggleCapture(), app.Step(1)}) {
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.message.empty());
    }
    EXPECT_EQ(app.StateText(), std::string("Stopped..."));
    EXPECT_EQ(app.OpenFile("/nonexistent/clip.avi").message,
              "Can't render video file /nonexistent/clip.avi: the file cannot be read");
    EXPECT_EQ(app.CurrentKind(), SourceKind::kNone);
    ASSERT_TRUE(app.OpenSource("sim").ok);
    EXPECT_EQ(app.OpenDevice("/dev/video99").message, "no capture device at /dev/video99");
    EXPECT_FALSE(app.OpenSource("/nonexistent/clip.avi").ok);
    EXPECT_FALSE(app.ChooseDevice(99).ok);
    EXPECT_EQ(app.CurrentKind(), SourceKind::kDevice);
}

// The core hands both controllers the profile's settings and the camera its preferred format.
// At teardown it writes back the settings of the current controller only. The device keys and
// the preferred format are written when the front end saves the device settings.
TEST(ApplicationSettingsTest, ControllersTakeTheProfileAndOnlyTheCurrentOneIsSaved) {
    ASSERT_TRUE(InitMedia());
    TempDir home;
    kelpa::testing::ScopedEnv homeEnv("HOME", home.Path());
    MemoryProfile profile;
    profile.Set("ProcAmp", "200");
    profile.Set("CapFramesDelay", "2");
    profile.Set("ActivateGraph", "1");
    profile.Set("VidCapWidth", "320");
    {
        ControllerSettings expected = LoadControllerSettings();
        expected.captureRun.directory = home.Path() + "/Pictures/kelpa/";  // "~/" in the home
        Application app;
        for (VideoCtrl* ctrl : {&app.FileCtrl(), &app.DeviceCtrl()}) {
            EXPECT_EQ(ctrl->Settings(), expected);
            EXPECT_EQ(ctrl->sink.engine.params.amp.load(), 200);
        }
        EXPECT_EQ(ThePreferredFormat().width, 320);
    }
    EXPECT_TRUE(profile.WriteOrder().empty());  // no controller was current
    for (const SourceKind kind : {SourceKind::kFile, SourceKind::kDevice}) {
        MemoryProfile fresh;
        {
            Application app;
            app.MakeCurrent(kind);
            app.FileCtrl().sink.capture.captureCount.store(7);
            app.DeviceCtrl().sink.capture.captureCount.store(9);
        }
        // The run flag, a capture key, the frame-size flag and a processing key.
        EXPECT_EQ(std::tuple(fresh.Get("ActivateGraph"), fresh.Get("CapFileType"),
                             fresh.Get("ViewFrameSize"), fresh.Get("ProcAmp")),
                  std::tuple("0", "0", "0", "128"));
        EXPECT_EQ(fresh.Get("CapCount"), kind == SourceKind::kFile ? "7" : "9");
    }
    MemoryProfile fresh;
    Application app;
    ThePreferredFormat().width = 640;
    app.SaveDeviceSettings();
    EXPECT_EQ(fresh.WriteOrder().size(), 6u);  // VideoDevice2, MasterStream, the four VidCap
    EXPECT_EQ(LoadPreferredFormat().width, 640);
    ThePreferredFormat() = PreferredFormat{};
}

// The command table the menus are built from: every number names one command, and the item
// ranges map to indexes and back. (Every key naming a command of a menu or the toolbar is the
// manual's test.)
TEST(CommandTableTest, NumbersAreUniqueAndRangesMapBothWays) {
    for (const MenuItem& item : MenuItems()) {
        EXPECT_EQ(FindMenuItem(item.command), &item);
        EXPECT_FALSE(DeviceIndexOf(item.command) || SourcesSlotOf(item.command));
    }
    EXPECT_EQ(DeviceIndexOf(DeviceCommand(8)), 8u);
    EXPECT_EQ(DeviceIndexOf(kCmdLastDevice + 1), std::nullopt);
    EXPECT_EQ(SourcesSlotOf(SourcesItemCommand(19)), 19);
    EXPECT_EQ(SourcesSlotOf(SourcesItemCommand(20)), std::nullopt);
    EXPECT_EQ(SourcesSlotOf(kCmdFirstSourcesItem - 1), std::nullopt);
}

}  // namespace
}  // namespace kelpa::test
