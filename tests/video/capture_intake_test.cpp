// Capture through the intake, as a running graph drives it: the saved picture is upright for
// every source row order and shows the vertical flip as the window does; content and processor
// choose the captured picture and its colour; and a capture run writes the frames it promises
// when the chain renders whole frames (an empty area, frames too small for an area, no
// accumulator).
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "support/intake_harness.h"
#include "video/capture_test_support.h"
#include "video/intake_fakes.h"

namespace kelpa::test {
namespace {

using kelpa::testing::FilesIn;
using kelpa::testing::Names;

// A controller whose graph runs (a run resets the chain as a real start does), with a capture
// run into a directory of its own.
class CaptureIntakeTest : public ::testing::Test, public IntakeHarness {
  protected:
    CaptureIntakeTest() { profile.Set("CapWorkDir", dir.Path()); }
    // A new controller with the profile's settings, its graph attached, the format connected;
    // the capture directory empty.
    bool Start(uint32_t code, uint16_t bits, int32_t w, int32_t h) {
        std::filesystem::remove_all(dir.Path());
        events.Clear();
        Restart();
        ctrl->AttachGraph(&control, nullptr, nullptr);
        ctrl->sink.isLive = true;
        return Connect(code, bits, w, h);
    }
    // A capture run of `count` frames, then `frames` frames of the sample 40 ms apart; the
    // files written.
    Names Capture(uint32_t count, const Bytes& sample, int frames) {
        ctrl->sink.capture.captureCount.store(count);
        ctrl->sink.capture.ToggleCapture(nullptr);
        EXPECT_EQ(ctrl->Run(), MediaResult::kDone);
        for (int i = 0; i < frames; ++i) Feed(sample, i / 25.0);
        return FilesIn(dir.Path());
    }

    kelpa::testing::TempDir dir;
    FakeMediaControl control;
};

// The saved file, read by a viewer, shows the sky as the window does: upright, or upside down
// with the vertical flip on, for every source row order (GStreamer's RGB rows come with a
// top-down header). The sample's upper half is bright, its lower half dark.
TEST_F(CaptureIntakeTest, SavedPictureShowsWhatTheWindowShows) {
    constexpr int32_t w = 16;
    constexpr int32_t h = 8;
    // Format, bits, the header's height sign, whether the sample's first row is the top row.
    const std::tuple<uint32_t, uint16_t, int, bool> sources[] = {{kFormatRgb, 24, -1, true},
                                                                 {kFormatRgb, 24, 1, false},
                                                                 {kFormatYuy2, 16, 1, true},
                                                                 {kFormatI420, 12, 1, true}};
    for (const auto& [code, bits, sign, topRowFirst] : sources) {
        for (const bool flip : {false, true}) {
            SCOPED_TRACE(::testing::Message() << code << " " << sign << " flip " << flip);
            profile.Set("ProcFlipV", flip ? "1" : "0");
            ASSERT_TRUE(Start(code, bits, w, sign * h));
            const ConvGeometry& g = ctrl->sink.geometry;
            Bytes sample(g.srcRequiredSize, 128);          // neutral chroma
            const int step = code == kFormatYuy2 ? 2 : 1;  // the luma bytes of a row
            const size_t bytes = code == kFormatRgb ? 3 * w : code == kFormatYuy2 ? 2 * w : w;
            for (int32_t row = 0; row < h; ++row) {
                const bool top = (topRowFirst ? row : h - 1 - row) < h / 2;
                uint8_t* line = sample.data() + g.planeOffset[0] + size_t{g.planeStride[0]} * row;
                for (size_t i = 0; i < bytes; i += step) line[i] = top ? 200 : 40;
            }
            const Names files = Capture(1, sample, 1);
            ASSERT_EQ(files.size(), 1u);
            kelpa::testing::BmpContent bmp;
            ASSERT_TRUE(ReadBmp(dir.File(files[0]), bmp));
            ASSERT_EQ(bmp.image.size(), size_t{3} * w * h);
            // The shown top row is the source's top row, or its bottom row when flipped.
            const uint8_t top = bmp.image[w * 3 / 2];
            const uint8_t bottom = bmp.image[bmp.image.size() - w * 3 / 2];
            EXPECT_GT(flip ? bottom : top, 150) << "top " << int(top) << " bottom " << int(bottom);
            EXPECT_LT(flip ? top : bottom, 90) << "top " << int(top) << " bottom " << int(bottom);
        }
    }
}

// The processed picture as the window shows it, one level a pixel for a grey processor and
// three bytes for As Is; or the live picture, every frame as it arrived.
TEST_F(CaptureIntakeTest, ContentAndProcessorChooseThePictureAndItsColour) {
    // CapContent, ProcChannels (-2 Grey, 0 As Is), the SER colour id.
    const std::tuple<const char*, const char*, int> cases[] = {
        {"0", "-2", 0}, {"0", "0", 101}, {"1", "-2", 101}};
    for (const auto& [content, channels, colorId] : cases) {
        SCOPED_TRACE(::testing::Message() << "content " << content << " channels " << channels);
        profile.Set("CapFileType", "1");
        profile.Set("CapContent", content);
        profile.Set("ProcChannels", channels);
        profile.Set("ProcAmp", "256");  // the processed picture is twice as bright
        ASSERT_TRUE(Start(kFormatRgb, 24, 16, -8));
        const Bytes sample = Sample(3, 20, 110);
        const Names files = Capture(3, sample, 3);
        ASSERT_EQ(files.size(), 1u);
        kelpa::testing::SerContent ser;
        ASSERT_TRUE(kelpa::testing::ReadSer(dir.File(files[0]), ser));
        ASSERT_EQ(std::tie(ser.colorId, ser.frameCount), std::tuple(colorId, 3));
        // The shown picture, top row first as the surface of a top-down source keeps it.
        ASSERT_LT(ctrl->sink.engine.surf.HeaderHeight(), 0);
        const Bytes shown = Processed();
        Bytes grey;
        for (size_t i = 1; i < shown.size(); i += 3) grey.push_back(shown[i]);
        EXPECT_NE(shown, sample);  // As Is: the amplified picture, not the one that arrived
        EXPECT_EQ(ser.frames[2], content[0] == '1' ? sample : colorId == 0 ? grey : shown);
    }
}

// Without accumulation nothing is ever pending: every frame of the run is written, after the
// reset of the graph's start, with an empty area and for frames too small for an area
// (ProcAreaW as stored, the bits of a float: 0.0 or 0.5).
TEST_F(CaptureIntakeTest, WholeFrameRenderingCapturesEveryFrame) {
    constexpr const char* kHalf = "1056964608";
    const std::tuple<int32_t, int32_t, const char*> cases[] = {
        {16, 8, "0"}, {1, 1, kHalf}, {640, 1, kHalf}, {1, 480, kHalf}};
    for (const auto& [w, h, areaW] : cases) {
        SCOPED_TRACE(::testing::Message() << w << "x" << h);
        profile.Set("ProcAreaW", areaW);
        ASSERT_TRUE(Start(kFormatRgb, 24, w, -h));
        ASSERT_EQ(ctrl->sink.engine.accumulateStage, nullptr);
        EXPECT_EQ(Capture(3, Sample(0, 90, 90), 4).size(), 3u);
        EXPECT_EQ(events.Count(StreamEvent::kCaptureDone), 1) << ctrl->sink.capture.FailureText();
    }
}

// In a child process, a frame whose accumulator cannot be allocated (the address space is
// limited to little more than its pictures), then a capture run of two frames; the child's exit
// code has a bit for each expectation that failed.
TEST_F(CaptureIntakeTest, FrameWithoutAccumulatorIsCaptured) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer reserves more address space than the limit leaves";
#endif
    EXPECT_EQ(kelpa::testing::ExitCodeOfChild([this] {
                  constexpr int32_t w = 2000;
                  constexpr int32_t h = 1500;  // pictures of 9 MB, an accumulator of 36 MB
                  const Bytes sample(size_t{w} * 3 * h, 90);
                  long pages = 0;
                  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
                      if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
                      std::fclose(statm);
                  }
                  rlimit old{};
                  getrlimit(RLIMIT_AS, &old);
                  rlimit tight = old;
                  tight.rlim_cur = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (30u << 20);
                  if (pages == 0 || setrlimit(RLIMIT_AS, &tight) != 0) return 1;
                  const bool connected = Start(kFormatRgb, 24, w, -h);
                  setrlimit(RLIMIT_AS, &old);
                  if (!connected || ctrl->sink.engine.accumulator != nullptr) return 2;
                  const size_t files = Capture(2, sample, 2).size();
                  return (files != 2) << 2 | (events.Count(StreamEvent::kCaptureDone) != 1) << 3;
              }),
              0);
}

}  // namespace
}  // namespace kelpa::test
