// The fixture of the video-file tests: a file controller on a clock that moves only when the
// intake sleeps, its file graph, the windows it posts to, and files written into a temporary
// folder.
#pragma once

#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "media/file_graph.h"
#include "media/media_init.h"
#include "support/captured_log.h"
#include "support/temp_files.h"
#include "support/test_support.h"
#include "support/video_clips.h"

namespace kelpa::test {

// Time moves only when the intake sleeps; each pacing sleep (one per paced frame) notes the frame
// the live picture shows.
class ProbeClock final : public Clock {
  public:
    uint32_t TickMs() override { return now_.load(); }
    void SleepMs(uint32_t ms) override {
        now_.fetch_add(ms);
        std::lock_guard lock(mutex);
        slept += ms;
        if (surf) frames.push_back(ShownFrame(*surf));
    }
    std::mutex mutex;
    VideoSurf* surf = nullptr;
    uint32_t slept = 0;
    std::vector<int> frames;

  private:
    std::atomic<uint32_t> now_{1000};
};

inline MemoryProfile& Configured(MemoryProfile& profile, const std::string& captureDir) {
    profile.Set("ProcAuto", "0");
    profile.Set("CapWorkDir", captureDir);
    return profile;
}

class FileGraphTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // Freed memory is overwritten, as MALLOC_PERTURB_ does: a reference released twice or an
        // element used after its bin disposed of it crashes here instead of passing by luck.
        mallopt(M_PERTURB, 0xA5);
        std::string error;
        ASSERT_TRUE(InitMedia(&error)) << error;
        InitClipTable();
        kelpa::testing::CapturedLog::Start();
    }
    FileGraphTest() {
        clock.surf = &ctrl.sink.live;
        ctrl.Events().SetReceiver(&mainWindow);
        ctrl.sink.live.SetVisible(true);
        graph.SetNotice(&notice);
        graph.SetEvents(&ctrl.Events());
    }
    std::string Clip(const std::string& name, const ClipParams& clip) {
        std::string error;
        EXPECT_TRUE(WriteClip(dir.File(name), clip, &error)) << error;
        return dir.File(name);
    }
    // Builds the graph; the paused graph has handed its first frame to the intake on return.
    void Play(const std::string& path) {
        ASSERT_EQ(graph.PlayVideoFile(path.c_str()), MediaResult::kDone);
        Settle();
    }
    void Settle() {
        int32_t state = 0;
        ctrl.Control()->GetState(10000, &state);
    }
    int Shown() { return ShownFrame(ctrl.sink.live); }
    // Runs the file to its end (waiting generously for the graph event, not measuring), then lets
    // the main window handle the event; returns the frame shown at the end.
    int RunToEnd() {
        const int seen = mainWindow.Count(StreamEvent::kGraphEvent);
        EXPECT_FALSE(Failed(ctrl.Run()));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (mainWindow.Count(StreamEvent::kGraphEvent) == seen &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const int last = Shown();
        ctrl.DrainGraphEvents(&notice);
        Settle();
        return last;
    }
    std::vector<int> TakeFrames() {
        std::lock_guard lock(clock.mutex);
        return std::exchange(clock.frames, {});
    }

    kelpa::testing::TempDir dir;
    MemoryProfile profileStore;
    MemoryProfile& profile = Configured(profileStore, dir.Path());
    ProbeClock clock;
    VideoCtrl ctrl{clock, LoadControllerSettings()};
    RecordingReceiver mainWindow;
    RecordingNotice notice;
    FileGraph graph{ctrl};
};

}  // namespace kelpa::test
