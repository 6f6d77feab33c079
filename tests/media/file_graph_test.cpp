// The video-file graph on files that GStreamer writes in the test: every format plays with the
// right geometry, subtype search and frame rate, and frames are paced to the file's rate up to
// its end. Files that cannot be played (garbage, cut short, empty, missing, a folder, AVI
// headers crafted to claim frame sizes no picture can have) fail with "Can't render video file"
// without touching freed memory (the suite overwrites freed memory and GLib's critical warnings
// are fatal while such a file is opened), and the next file plays; a header that claims larger
// frames than the file holds plays with every frame dropped.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <random>
#include <ranges>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "media/file_graph.h"
#include "media/media_init.h"
#include "support/captured_log.h"
#include "support/temp_files.h"
#include "support/test_support.h"
#include "support/video_clips.h"

namespace kelpa::test {
namespace {

using kelpa::testing::CapturedLog;
using kelpa::testing::ReadFile;
using kelpa::testing::WriteFile;
using ::testing::Contains;

// Time moves only when the intake sleeps; each pacing sleep (one per paced frame) notes the frame
// the live picture shows.
struct ProbeClock final : Clock {
    uint32_t TickMs() override { return now.load(); }
    void SleepMs(uint32_t ms) override {
        now.fetch_add(ms);
        std::lock_guard lock(mutex);
        frames.push_back(ShownFrame(*surf));
    }
    std::atomic<uint32_t> now{1000};
    std::mutex mutex;
    VideoSurf* surf = nullptr;
    std::vector<int> frames;
};

// GLib's critical warnings (a reference count gone wrong) end the test binary during `body`.
template <typename Body>
void WithFatalCriticals(Body body) {
    const GLogLevelFlags previous = g_log_set_always_fatal(
        static_cast<GLogLevelFlags>(G_LOG_FATAL_MASK | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING));
    body();
    g_log_set_always_fatal(previous);
}

class FileGraphTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // Freed memory is overwritten, as MALLOC_PERTURB_ does: a reference released twice or an
        // element used after its bin disposed of it crashes here instead of passing by luck.
        mallopt(M_PERTURB, 0xA5);
        ASSERT_TRUE(InitMedia());
        InitClipTable();
        CapturedLog::Start();
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
    // Runs the file to its end (waiting generously for the graph event, not measuring), then lets
    // the main window handle the event; returns the frame shown at the end.
    int RunToEnd() {
        const int seen = mainWindow.Count(StreamEvent::kGraphEvent);
        EXPECT_FALSE(Failed(ctrl.Run()));
        WaitUntil([&] { return mainWindow.Count(StreamEvent::kGraphEvent) > seen; }, 30000);
        const int last = ShownFrame(ctrl.sink.live);
        ctrl.DrainGraphEvents(&notice);
        Settle();
        return last;
    }

    kelpa::testing::TempDir dir;
    MemoryProfile profile;
    // Set before the controller reads its settings.
    bool configured = (profile.Set("ProcAuto", "0"), profile.Set("CapWorkDir", dir.Path()), true);
    ProbeClock clock;
    VideoCtrl ctrl{clock, LoadControllerSettings()};
    RecordingReceiver mainWindow;
    RecordingNotice notice;
    FileGraph graph{ctrl};
};

struct FormatCase {
    const char* name;
    const char* format;
    int width;
    const char* encoder;
    const char* muxer;
    int step;  // the step of the subtype search that connects; 0: the decoder's choice
    bool converted;
    bool secondAttempt = false;  // built as the second attempt alone: converted and rewound
};

// Odd widths give rows that need padding and chroma planes of odd width.
const FormatCase kFormats[] = {
    {"BGR", "BGR", 322, nullptr, "avimux", 1, false},
    {"YUY2", "YUY2", 320, nullptr, "avimux", 3, false},
    {"UYVY_SecondAttempt", "UYVY", 320, nullptr, "avimux", 1, true, true},
    {"I420", "I420", 322, nullptr, "avimux", 5, false},
    {"YV12", "YV12", 320, nullptr, "matroskamux", 6, false},
    {"AYUV_NeedsConverter", "AYUV", 320, nullptr, "matroskamux", 1, true},
    {"MJPEG", "I420", 320, "jpegenc", "avimux", 0, false},
    {"MPEG4_MP4", "I420", 320, "avenc_mpeg4", "mp4mux", 5, false},
    {"H264_MP4", "I420", 320, "x264enc", "mp4mux", 0, false},  // tools/setup-debian installs it
};

class FileFormatTest : public FileGraphTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FileFormatTest, PlaysEveryFrameWithItsGeometry) {
    const FormatCase& c = GetParam();
    const ClipParams clip{c.format,  c.width, c.width == 322 ? 242 : 240, 25, 1, 6,
                          c.encoder, c.muxer};
    const std::string path = Clip(c.name, clip);
    if (c.secondAttempt) {
        ctrl.useBuilderRender = ctrl.secondOption = true;
        ASSERT_EQ(graph.BuildFileGraph(path.c_str()), MediaResult::kDone);
        Settle();
    } else {
        Play(path);
        EXPECT_THAT(notice.status, Contains("Previewing Video File"));
    }
    EXPECT_EQ(std::pair(ctrl.sink.frameWidth, std::abs(ctrl.sink.frameHeight)),
              std::pair(clip.width, clip.height));
    if (!clip.encoder) {  // an MPEG-4 stream in MP4 of six frames reads as 125 a second
        EXPECT_NEAR(ctrl.sink.fps.load(), 25.0, 1e-6);
        EXPECT_EQ(std::tuple(ctrl.durationFrames, ctrl.durationTime, ctrl.timeFormat),
                  std::tuple(clip.frames, clip.frames * 400000, TimeFormat::kMediaTime));
    }
    EXPECT_EQ(graph.Converted(), c.converted);
    EXPECT_TRUE(c.step == 0 || graph.ConnectedStep() == c.step) << graph.ConnectedStep();
    EXPECT_EQ(ShownFrame(ctrl.sink.live), 0);
    EXPECT_EQ(RunToEnd(), clip.frames - 1);
}

INSTANTIATE_TEST_SUITE_P(Files, FileFormatTest, ::testing::ValuesIn(kFormats),
                         [](const auto& p) { return std::string(p.param.name); });

// Without paused frames the opened file shows nothing, and a run of N frames hands on every
// frame once, from the first, in order, paced at the file's own rate (time moves only when the
// intake sleeps), and stops at the end. How long the intake sleeps at every rate is checked in
// tests/video/frame_sink_test.cpp; the rewind at the end and steps on a real file are the
// application's and the main window's tests.
TEST_F(FileGraphTest, FramesArePacedToTheFileRateAndStopAtTheEnd) {
    graph.SetShowPausedFrames(false);
    constexpr int kFrames = 24;
    Play(Clip("m42.avi", {"I420", 160, 120, 24000, 1001, kFrames, nullptr, "avimux"}));
    EXPECT_EQ(ctrl.sink.samplesReceived.load(), 0u);
    RunToEnd();
    EXPECT_EQ(std::tuple(ctrl.sink.playState.load(), notice.status.back()),
              std::tuple(kStateStopped, "Stopped..."));
    EXPECT_EQ(ctrl.sink.samplesReceived.load(), uint64_t{kFrames});
    EXPECT_NEAR(ctrl.sink.fps.load(), 24000.0 / 1001, 1e-4);
    std::unique_lock lock(clock.mutex);  // the frames the pacing sleeps noted
    std::vector<int> shown = clock.frames;
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    EXPECT_THAT(shown, ::testing::ElementsAreArray(std::views::iota(0, kFrames)));
}

class UnplayableFileTest : public FileGraphTest {
  protected:
    // A file cut inside its headers can stall the demuxer instead of failing it.
    UnplayableFileTest() { graph.SetPrerollStall(std::chrono::milliseconds(500)); }
    // A small AVI whose two headers claim this frame size: the main header ("avih", width and
    // height at bytes 32 and 36 of its data) and the stream's bitmap header ("strf", 4 and 8).
    std::string Crafted(int32_t width, int32_t height) {
        std::string avi =
            ReadFile(Clip("small.avi", {"I420", 64, 48, 25, 1, 5, nullptr, "avimux"}));
        for (const auto& [chunk, offset] : {std::pair{"avih", 32}, std::pair{"strf", 4}}) {
            const size_t at = avi.find(chunk);
            EXPECT_NE(at, std::string::npos) << chunk;
            std::memcpy(avi.data() + at + 8 + offset, &width, 4);
            std::memcpy(avi.data() + at + 12 + offset, &height, 4);
        }
        WriteFile(dir.File("crafted.avi"), avi);
        return dir.File("crafted.avi");
    }
};

TEST_F(UnplayableFileTest, FailsWithCantRenderAndTheNextFilePlays) {
    std::mt19937 rng(7);
    std::string garbage(65536, '\0');
    for (char& byte : garbage) byte = static_cast<char>(rng());
    WriteFile(dir.File("garbage.avi"), garbage);
    WriteFile(dir.File("empty.avi"), "");
    std::string cut = ReadFile(Clip("whole.avi", {"I420", 160, 120, 25, 1, 5, nullptr, "avimux"}));
    cut.resize(400);  // inside the headers
    WriteFile(dir.File("cut.avi"), cut);
    const std::string good = Clip("good.avi", {"I420", 160, 120, 25, 1, 3, nullptr, "avimux"});
    const auto failsAndTheNextPlays = [&](const std::string& path, const std::string& reason) {
        SCOPED_TRACE(path + " " + reason);
        notice = RecordingNotice();
        WithFatalCriticals([&] { EXPECT_TRUE(Failed(graph.PlayVideoFile(path.c_str()))); });
        EXPECT_THAT(notice.status, Contains("Can't render video file"));
        EXPECT_TRUE(reason.empty() || graph.FailureReason() == reason) << graph.FailureReason();
        EXPECT_FALSE(graph.Built());
        EXPECT_EQ(ctrl.Control(), nullptr);
        Play(good);
        EXPECT_EQ(graph.FailureReason(), "");
        EXPECT_EQ(RunToEnd(), 2);
    };
    for (const char* name : {"garbage.avi", "cut.avi", "empty.avi", "no such file.avi", ""}) {
        failsAndTheNextPlays(dir.File(name), "");  // "": the folder
    }
    for (const auto& [width, height] :
         {std::pair{0, 48}, {2147483647, 48}, {-64, 48}, {100000, 100000}}) {
        failsAndTheNextPlays(Crafted(width, height),
                             "the video stream's frame size " + std::to_string(width) + " x " +
                                 std::to_string(height) + " cannot be shown");
    }
}

// A header that claims twice the rows the frames hold: every frame is shorter than its format
// says, so each is dropped and counted, and the log says so once.
TEST_F(UnplayableFileTest, FramesShorterThanTheHeaderSaysAreDroppedAndCounted) {
    graph.SetShowPausedFrames(false);
    const std::string path = Crafted(64, 96);
    CapturedLog::Start();
    WithFatalCriticals([&] { Play(path); });
    RunToEnd();
    EXPECT_EQ(ctrl.sink.samplesReceived.load(), 0u);
    EXPECT_EQ(ctrl.sink.samplesDropped.load(), 5u);
    EXPECT_EQ(CapturedLog::Count("is shorter than the"), 1);
}

}  // namespace
}  // namespace kelpa::test
