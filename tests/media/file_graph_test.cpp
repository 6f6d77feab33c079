// The video-file graph on files that GStreamer writes in the test: every format plays with the
// right geometry, subtype search and frame rate, frames are paced to the file's rate, the end
// of the file stops and rewinds, frame steps move the shown frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "media/file_graph_fixture.h"

namespace kelpa::test {
namespace {

using kelpa::testing::CapturedLog;

struct FormatCase {
    const char* name;
    ClipParams clip;
    int step;  // the step of the subtype search that connects; 0: the decoder's choice
    bool converted;
};

ClipParams Clip6(const char* format, int width, const char* encoder, const char* muxer) {
    return {format, width, width == 322 ? 242 : 240, 25, 1, 6, encoder, muxer};
}

// Odd widths give rows that need padding and chroma planes of odd width.
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

// The log of an unconverted search names each step until the one that links, each failed one
// followed by its "Can`t connect" line.
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
    CapturedLog::Start();
    Play(path);
    EXPECT_TRUE(notice.Showed("Previewing Video File"));
    EXPECT_EQ(ctrl.sink.frameWidth, clip.width);
    EXPECT_EQ(std::abs(ctrl.sink.frameHeight), clip.height);
    if (!clip.encoder) {  // an MPEG-4 stream in MP4 of six frames reads as 125 a second
        EXPECT_NEAR(ctrl.sink.fps.load(), 25.0, 1e-6);
        EXPECT_EQ(ctrl.durationFrames, clip.frames);
        EXPECT_EQ(ctrl.durationTime, clip.frames * 400000);
        EXPECT_EQ(ctrl.timeFormat, TimeFormat::kMediaTime);
    }
    EXPECT_EQ(graph.Converted(), c.converted);
    if (c.step != 0) {
        EXPECT_EQ(graph.ConnectedStep(), c.step);
    }
    if (c.step != 0 && !c.converted) {
        const std::vector<std::string> lines = CapturedLog::Lines();
        auto it = std::find(lines.begin(), lines.end(), "----------------------");
        int steps = 0, refused = 0;
        for (++it; it < lines.end() && *it != "----------------------"; ++it) {
            steps += it->rfind("find Media Type step " + std::to_string(steps + 1), 0) == 0;
            refused += it->rfind("Can`t connect to media type: MEDIASUBTYPE_", 0) == 0;
        }
        EXPECT_EQ(steps, c.step);
        EXPECT_EQ(refused, c.step - 1);
    }
    EXPECT_EQ(Shown(), 0);
    mainWindow.Clear();
    EXPECT_EQ(RunToEnd(), clip.frames - 1);
    EXPECT_GE(mainWindow.Count(StreamEvent::kLivePicture), clip.frames - 1);
}

INSTANTIATE_TEST_SUITE_P(Files, FileFormatTest, ::testing::ValuesIn(kFormats),
                         [](const auto& p) { return std::string(p.param.name); });

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

// A run of N frames sleeps N periods in all, every frame in order (time moves only when the
// intake sleeps; a wait longer than 100 ms is slept in slices). The intake's pacing at every
// rate is checked in tests/video/frame_sink_test.cpp; here the file's own times drive it.
TEST_F(FileGraphTest, FramesArePacedToTheFileRate) {
    graph.SetShowPausedFrames(false);  // every frame arrives in the run
    const struct {
        int rateNum;
        int rateDen;
        int frames;
    } rates[] = {{24000, 1001, 48}, {5, 1, 10}};
    for (const auto& r : rates) {
        SCOPED_TRACE(std::to_string(r.rateNum) + "/" + std::to_string(r.rateDen));
        clock.slept = 0;
        TakeFrames();
        Play(Clip("paced.avi",
                  {"I420", 160, 120, r.rateNum, r.rateDen, r.frames, nullptr, "avimux"}));
        RunToEnd();
        EXPECT_NEAR(clock.slept, r.frames * 1000.0 * r.rateDen / r.rateNum, 2.0);
        std::vector<int> frames = TakeFrames();
        EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end()));
        frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
        EXPECT_EQ(frames.size(), static_cast<size_t>(r.frames));
        EXPECT_EQ(frames.back(), r.frames - 1);
    }
}

// The end stops and rewinds to the first frame; the next run plays from there. Without paused
// frames the opened file shows nothing and the run hands on every frame once, from the first.
TEST_F(FileGraphTest, EndOfFileStopsAndRewindsAndStartPlaysAgain) {
    Play(Clip("end.avi", {"I420", 160, 120, 25, 1, 10, nullptr, "avimux"}));
    EXPECT_EQ(RunToEnd(), 9);
    EXPECT_EQ(ctrl.sink.playState.load(), kStateStopped);
    EXPECT_EQ(notice.status.back(), "Stopped...");
    EXPECT_EQ(Shown(), 0);
    TakeFrames();
    EXPECT_EQ(RunToEnd(), 9);
    std::vector<int> frames = TakeFrames();
    ASSERT_FALSE(frames.empty());
    EXPECT_LE(frames.front(), 1);  // frame 0 was shown by the rewind already

    graph.SetShowPausedFrames(false);
    const std::string unshown =
        Clip("unshown.avi", {"I420", 160, 120, 25, 1, 12, nullptr, "avimux"});
    const uint64_t before = ctrl.sink.samplesReceived.load();
    Play(unshown);
    EXPECT_EQ(ctrl.sink.samplesReceived.load(), before);
    TakeFrames();
    EXPECT_EQ(RunToEnd(), 11);
    EXPECT_EQ(ctrl.sink.samplesReceived.load(), before + 12);
    frames = TakeFrames();
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

}  // namespace
}  // namespace kelpa::test
