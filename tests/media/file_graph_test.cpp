// The video-file graph on files that GStreamer writes in the test: every format plays with the
// right geometry, the frame rate comes from the file, frames are paced to it, the end of the
// file stops and rewinds, frame steps move the shown frame, and broken files fail cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

#include "media/file_graph_fixture.h"
#include "support/captured_log.h"
#include "support/temp_files.h"

namespace kelpa::test {
namespace {

using kelpa::testing::CapturedLog;
using kelpa::testing::TempDir;

struct FormatCase {
    const char* name;
    ClipParams clip;
    int step;  // the step of the subtype search that connects; 0: the decoder's choice
    bool converted;
};

ClipParams Clip6(const char* format, int width, const char* encoder, const char* muxer) {
    return {format, width, width == 322 ? 242 : 240, 25, 1, 6, encoder, muxer};
}

const FormatCase kFormats[] = {
    {"BGR", Clip6("BGR", 322, nullptr, "avimux"), 1, false},
    {"YUY2", Clip6("YUY2", 320, nullptr, "avimux"), 3, false},
    {"UYVY", Clip6("UYVY", 320, nullptr, "avimux"), 4, false},
    {"I420", Clip6("I420", 322, nullptr, "avimux"), 5, false},
    {"YV12", Clip6("YV12", 320, nullptr, "matroskamux"), 6, false},
    {"AYUV_NeedsConverter", Clip6("AYUV", 320, nullptr, "matroskamux"), 1, true},
    {"MJPEG", Clip6("I420", 320, "jpegenc", "avimux"), 0, false},
    {"MPEG4_MP4", Clip6("I420", 320, "avenc_mpeg4", "mp4mux"), 5, false},
    {"H264_MP4", Clip6("I420", 320, "h264", "mp4mux"), 0, false},
};

class FileFormatTest : public FileGraphTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FileFormatTest, PlaysEveryFrameWithItsGeometry) {
    const FormatCase& c = GetParam();
    ClipParams clip = c.clip;
    const std::string path = dir.File(c.name);
    std::string error = "none of x264enc, openh264enc, avenc_h264_omx is installed";
    if (clip.encoder && std::string(clip.encoder) == "h264") {
        clip.encoder = FirstAvailable({"x264enc", "openh264enc", "avenc_h264_omx"});
        if (!clip.encoder || !WriteClip(path, clip, &error)) {
            GTEST_SKIP() << "No working H.264 encoder to write the test file: " << error;
        }
    } else {
        ASSERT_TRUE(WriteClip(path, clip, &error)) << error;
    }
    Play(path);
    EXPECT_TRUE(notice.Showed("Previewing Video File"));
    EXPECT_EQ(ctrl.sink.frameWidth, clip.width);
    EXPECT_EQ(std::abs(ctrl.sink.frameHeight), clip.height);
    if (c.step != 0) {
        EXPECT_EQ(graph.ConnectedStep(), c.step);
    }
    EXPECT_EQ(graph.Converted(), c.converted);
    EXPECT_EQ(Shown(), 0);
    mainWindow.Clear();
    EXPECT_EQ(RunToEnd(), clip.frames - 1);
    EXPECT_GE(mainWindow.Count(StreamEvent::kLivePicture), clip.frames - 1);
}

INSTANTIATE_TEST_SUITE_P(Files, FileFormatTest, ::testing::ValuesIn(kFormats),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(FileGraphTest, I420SearchLogsEachStepUntilTheFifth) {
    const std::string path = Clip("i420.avi", {"I420", 160, 120, 25, 1, 3, nullptr, "avimux"});
    CapturedLog::Start();
    Play(path);
    const std::vector<std::string> lines = CapturedLog::Lines();
    auto it = std::find(lines.begin(), lines.end(), "----------------------");
    std::vector<std::string> search;
    for (++it; it < lines.end() && *it != "----------------------"; ++it) {
        if (it->rfind("find", 0) == 0 || it->rfind("Can`t", 0) == 0) search.push_back(*it);
    }
    EXPECT_EQ(search,
              (std::vector<std::string>{
                  "find Media Type step 1", "Can`t connect to media type: MEDIASUBTYPE_RGB24",
                  "find Media Type step 2", "Can`t connect to media type: MEDIASUBTYPE_RGB32",
                  "find Media Type step 3", "Can`t connect to media type: MEDIASUBTYPE_YUY2",
                  "find Media Type step 4", "Can`t connect to media type: MEDIASUBTYPE_UYVY",
                  "find Media Type step 5"}));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "FPS=25.00"), lines.end());
}

TEST_F(FileGraphTest, SecondAttemptRendersThroughAConverter) {
    const std::string path = Clip("uyvy.avi", {"UYVY", 160, 120, 25, 1, 4, nullptr, "avimux"});
    ctrl.useBuilderRender = ctrl.secondOption = true;
    ASSERT_EQ(graph.BuildFileGraph(path.c_str()), MediaResult::kDone);
    Settle();
    EXPECT_TRUE(graph.Converted());
    EXPECT_EQ(graph.ConnectedStep(), 1);
    EXPECT_EQ(Shown(), 0);
    EXPECT_EQ(RunToEnd(), 3);
}

// Rates below one a second and files without frame counts are covered over a fake in
// file_seek_test.cpp.
TEST_F(FileGraphTest, FrameRateAndDurationsComeFromTheFile) {
    Play(Clip("rate.avi", {"I420", 160, 120, 10, 1, 20, nullptr, "avimux"}));
    EXPECT_NEAR(ctrl.sink.fps.load(), 10.0, 1e-6);
    EXPECT_EQ(ctrl.durationFrames, 20);
    EXPECT_EQ(ctrl.durationTime, 20000000);
    EXPECT_EQ(ctrl.timeFormat, TimeFormat::kMediaTime);
}

struct PacedCase {
    const char* name;
    int rateNum;
    int rateDen;
    int frames;
};

void PrintTo(const PacedCase& c, std::ostream* out) {
    *out << c.name << " fps";
}

class PacedFileTest : public FileGraphTest, public ::testing::WithParamInterface<PacedCase> {};

// A run of N frames sleeps N periods in all, every frame in order (time moves only when the
// intake sleeps; a wait longer than 100 ms is slept in slices).
TEST_P(PacedFileTest, FramesArePacedToTheFileRate) {
    const PacedCase& c = GetParam();
    graph.SetShowPausedFrames(false);  // every frame arrives in the run
    Play(Clip("paced.avi", {"I420", 160, 120, c.rateNum, c.rateDen, c.frames, nullptr, "avimux"}));
    RunToEnd();
    const double periodMs = 1000.0 * c.rateDen / c.rateNum;
    EXPECT_NEAR(clock.slept, c.frames * periodMs, 2.0);
    std::vector<int> frames = TakeFrames();
    EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end()));
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    EXPECT_EQ(frames.size(), static_cast<size_t>(c.frames));
    EXPECT_EQ(frames.back(), c.frames - 1);
}

INSTANTIATE_TEST_SUITE_P(Rates, PacedFileTest,
                         ::testing::Values(PacedCase{"23_976", 24000, 1001, 48},
                                           PacedCase{"24", 24, 1, 48}, PacedCase{"25", 25, 1, 50},
                                           PacedCase{"29_97", 30000, 1001, 48},
                                           PacedCase{"30", 30, 1, 48}, PacedCase{"60", 60, 1, 48},
                                           PacedCase{"5", 5, 1, 10}),
                         [](const auto& p) { return std::string(p.param.name); });

// On the real clock a 30 frames a second file of 60 frames plays for about two seconds. The
// bounds are loose: a correct run cannot end before 1.9 s; a busy machine may take longer.
TEST_F(FileGraphTest, ThirtyFramesASecondPlayInRealTime) {
    VideoCtrl realCtrl;
    FileGraph realGraph(realCtrl);
    realGraph.SetShowPausedFrames(false);
    RecordingReceiver events;
    realCtrl.Events().SetReceiver(&events);
    realGraph.SetEvents(&realCtrl.Events());
    const std::string path = Clip("real.avi", {"I420", 160, 120, 30, 1, 60, nullptr, "avimux"});
    ASSERT_EQ(realGraph.PlayVideoFile(path.c_str()), MediaResult::kDone);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_FALSE(Failed(realCtrl.Run()));
    while (events.Count(StreamEvent::kGraphEvent) == 0 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(realCtrl.sink.samplesReceived.load(), 60u);
    EXPECT_GT(seconds, 1.9);
    EXPECT_LT(seconds, 6.0);
}

TEST_F(FileGraphTest, EndOfFileStopsAndRewindsAndStartPlaysAgain) {
    Play(Clip("end.avi", {"I420", 160, 120, 25, 1, 10, nullptr, "avimux"}));
    EXPECT_EQ(RunToEnd(), 9);
    EXPECT_EQ(ctrl.sink.playState.load(), kStateStopped);
    EXPECT_EQ(notice.status.back(), "Stopped...");
    EXPECT_EQ(Shown(), 0);
    TakeFrames();
    EXPECT_EQ(RunToEnd(), 9);
    const std::vector<int> frames = TakeFrames();
    ASSERT_FALSE(frames.empty());
    EXPECT_LE(frames.front(), 1);  // frame 0 was shown by the rewind already
    EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end()));
}

// Without paused frames the opened file shows nothing, and the run hands on every frame once,
// starting with the first.
TEST_F(FileGraphTest, WithoutPausedFramesTheRunDeliversEveryFrameOnce) {
    graph.SetShowPausedFrames(false);
    Play(Clip("unshown.avi", {"I420", 160, 120, 25, 1, 12, nullptr, "avimux"}));
    EXPECT_EQ(ctrl.sink.samplesReceived.load(), 0u);
    EXPECT_EQ(RunToEnd(), 11);
    EXPECT_EQ(ctrl.sink.samplesReceived.load(), 12u);
    const std::vector<int> frames = TakeFrames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front(), 0);
}

TEST_F(FileGraphTest, StepFramesMovesTheShownFrame) {
    Play(Clip("steps.avi", {"I420", 160, 120, 25, 1, 30, nullptr, "avimux"}));
    ASSERT_EQ(Shown(), 0);
    const struct {
        int64_t frames;
        bool preferTime;
        int shown;
    } steps[] = {{1, true, 1},    {10, true, 11},  {-1, true, 10}, {-10, true, 0},  {1, false, 1},
                 {10, false, 11}, {-1, false, 10}, {20, true, 29}, {10, false, 29}, {-30, true, 0}};
    for (const auto& step : steps) {
        EXPECT_FALSE(Failed(graph.StepFrames(step.frames, step.preferTime)));
        Settle();
        EXPECT_EQ(Shown(), step.shown) << step.frames << (step.preferTime ? " in time" : "");
    }
}

TEST_F(FileGraphTest, PathWithSpacesAndNonAsciiPlaysAndNamesCaptures) {
    std::filesystem::create_directories(dir.File("Nächte am Teleskop"));
    Play(Clip("Nächte am Teleskop/m42.avi", {"YUY2", 160, 120, 25, 1, 3, nullptr, "avimux"}));
    EXPECT_EQ(Shown(), 0);
    EXPECT_EQ(std::string(ctrl.sink.capture.BuildCaptureName(0.0, 25.0)),
              dir.Path() + "/capm42_00001.bmp");
}

enum class Breakage { kGarbage, kTruncatedAvi, kEmpty, kMissing, kDirectory };

class BrokenFileTest : public FileGraphTest, public ::testing::WithParamInterface<Breakage> {
  protected:
    std::string Broken(Breakage kind) {
        if (kind == Breakage::kMissing) return dir.File("no such file.avi");
        if (kind == Breakage::kDirectory) return dir.Path();
        std::string bytes;
        if (kind == Breakage::kGarbage) {
            std::mt19937 rng(7);
            for (int i = 0; i < 65536; ++i) bytes.push_back(static_cast<char>(rng()));
        } else if (kind == Breakage::kTruncatedAvi) {
            bytes = kelpa::testing::ReadFile(
                Clip("whole.avi", {"I420", 160, 120, 25, 1, 5, nullptr, "avimux"}));
            bytes.resize(400);  // inside the headers
        }
        kelpa::testing::WriteFile(dir.File("broken.avi"), bytes);
        return dir.File("broken.avi");
    }
};

TEST_P(BrokenFileTest, FailsWithCantRenderAndTheNextFilePlays) {
    EXPECT_TRUE(Failed(graph.PlayVideoFile(Broken(GetParam()).c_str())));
    EXPECT_TRUE(notice.Showed("Can't render video file"));
    EXPECT_FALSE(graph.Built());
    EXPECT_EQ(ctrl.Control(), nullptr);
    Play(Clip("good.avi", {"I420", 160, 120, 25, 1, 3, nullptr, "avimux"}));
    EXPECT_EQ(RunToEnd(), 2);
}

INSTANTIATE_TEST_SUITE_P(Files, BrokenFileTest,
                         ::testing::Values(Breakage::kGarbage, Breakage::kTruncatedAvi,
                                           Breakage::kEmpty, Breakage::kMissing,
                                           Breakage::kDirectory));

}  // namespace
}  // namespace kelpa::test
