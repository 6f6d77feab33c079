// Capture through the intake, as a running graph drives it: the saved picture is upright for
// every source row order and shows the vertical flip as the window does; and a capture run
// writes the frames it promises when the chain renders whole frames (an empty area, frames too
// small for an area, no accumulator).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/temp_files.h"
#include "support/test_support.h"
#include "video/capture_test_support.h"
#include "video/intake_fakes.h"
#include "video/ser_reader.h"
#include "video/video_ctrl.h"

namespace kelpa::test {
namespace {

using kelpa::testing::DecodeBmp;
using kelpa::testing::FilesIn;
using kelpa::testing::TempDir;

constexpr uint8_t kBright = 200;
constexpr uint8_t kDark = 40;

// How a source delivers its rows, as the media layer hands them over.
struct Source {
    const char* name;
    uint32_t code;
    uint16_t bits;
    bool positiveHeight;  // the header's height sign
    bool topRowFirst;     // the first row in the sample is the picture's top row
};

void PrintTo(const Source& source, std::ostream* out) {
    *out << source.name;
}

// A picture whose upper half is bright and lower half dark, laid out as the source sends it.
std::vector<uint8_t> HalfBrightSample(const Source& s, const ConvGeometry& g) {
    std::vector<uint8_t> sample(g.srcRequiredSize, 128);  // neutral chroma
    for (int32_t row = 0; row < g.height; ++row) {
        const int32_t y = s.topRowFirst ? row : g.height - 1 - row;
        const uint8_t level = y < g.height / 2 ? kBright : kDark;
        uint8_t* line = sample.data() + g.planeOffset[0] + size_t{g.planeStride[0]} * row;
        if (s.code == kFormatRgb) {
            std::memset(line, level, size_t{3} * g.width);
        } else if (s.code == kFormatYuy2) {
            for (int32_t x = 0; x < g.width; ++x) line[2 * x] = level;  // luma bytes
        } else {
            std::memset(line, level, g.width);  // the luma plane
        }
    }
    return sample;
}

// A controller whose graph runs (a run resets the chain as a real start does), with a capture
// run into a directory of its own. Public, for the child process of the allocation test.
class CaptureIntakeTest : public ::testing::Test {
  public:
    CaptureIntakeTest() {
        InitClipTable();
        profile.Set("ProcAuto", "0");
        profile.Set("CapWorkDir", dir.Path());
    }
    // Constructs the controller with the profile's settings and connects the format.
    bool Connect(uint32_t code, uint16_t bits, int32_t w, int32_t h) {
        ctrl = std::make_unique<VideoCtrl>(clock, LoadControllerSettings());
        ctrl->AttachGraph(&control, &seeking, &events);
        ctrl->sink.isLive = true;
        ctrl->Events().SetReceiver(&mainWindow);
        return ctrl->sink.SetSourceHeader(
            BitmapInfoHeader{.width = w, .height = h, .bitCount = bits, .compression = code});
    }
    void StartCapture(uint32_t frames) {
        ctrl->sink.capture.captureCount.store(frames);
        ctrl->sink.capture.ToggleCapture(nullptr);
        ASSERT_EQ(ctrl->Run(), MediaResult::kDone);
    }
    void Feed(const std::vector<uint8_t>& sample, int frames) {
        for (int i = 0; i < frames; ++i) {
            ctrl->sink.SampleCB(i / 25.0, sample.data(), sample.size());
        }
    }

    TempDir dir;
    MemoryProfile profile;
    FakeClock clock;
    FakeMediaControl control;
    FakeSeeking seeking;
    FakeEvents events;
    RecordingReceiver mainWindow;
    std::unique_ptr<VideoCtrl> ctrl;
};

// ---- Orientation --------------------------------------------------------------------------

using OrientationCase = std::tuple<Source, bool>;
class CaptureOrientationTest : public CaptureIntakeTest,
                               public ::testing::WithParamInterface<OrientationCase> {};

// The saved file, read by a viewer, shows the sky as the window does: upright, or upside down
// with the vertical flip on.
TEST_P(CaptureOrientationTest, SavedPictureShowsWhatTheWindowShows) {
    const auto& [source, flip] = GetParam();
    constexpr int32_t w = 16;
    constexpr int32_t h = 8;
    profile.Set("ProcFlipV", flip ? "1" : "0");
    ASSERT_TRUE(Connect(source.code, source.bits, w, source.positiveHeight ? h : -h));
    const std::vector<uint8_t> sample = HalfBrightSample(source, ctrl->sink.geometry);
    StartCapture(1);
    Feed(sample, 1);

    const kelpa::testing::Names files = FilesIn(dir.Path());
    ASSERT_EQ(files.size(), 1u);
    std::vector<uint8_t> image;
    int32_t height = 0;
    ASSERT_TRUE(DecodeBmp(kelpa::testing::ReadFile(dir.File(files[0])), image, height));
    ASSERT_EQ(image.size(), size_t{3} * w * h);
    // The shown top row is the source's top row, or its bottom row when flipped.
    const uint8_t top = image[w * 3 / 2];
    const uint8_t bottom = image[image.size() - w * 3 / 2];
    EXPECT_GT(flip ? bottom : top, 150) << "top " << int(top) << " bottom " << int(bottom);
    EXPECT_LT(flip ? top : bottom, 90) << "top " << int(top) << " bottom " << int(bottom);
    EXPECT_EQ(height, ctrl->sink.engine.surf.HeaderHeight());
}

const Source kSources[] = {
    {"BGR", kFormatRgb, 24, false, true},  // GStreamer's RGB rows: a top-down header
    {"BGRBottomUp", kFormatRgb, 24, true, false},
    {"YUY2", kFormatYuy2, 16, true, true},
    {"I420", kFormatI420, 12, true, true},
};

INSTANTIATE_TEST_SUITE_P(SourcesAndFlip, CaptureOrientationTest,
                         ::testing::Combine(::testing::ValuesIn(kSources), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<OrientationCase>& param) {
                             return std::string(std::get<0>(param.param).name) +
                                    (std::get<1>(param.param) ? "Flipped" : "Upright");
                         });

// ---- What is captured -----------------------------------------------------------------------

// The processed picture as the window shows it, one level a pixel for a grey processor and
// three bytes for As Is; or the live picture, every frame as it arrived.
TEST_F(CaptureIntakeTest, ContentAndProcessorChooseThePictureAndItsColour) {
    struct Case {
        const char* content;
        const char* channels;  // -2 Grey, 0 As Is
        int colorId;
    };
    const Case cases[] = {{"0", "-2", 0}, {"0", "0", 101}, {"1", "-2", 101}};
    constexpr int32_t w = 16;
    constexpr int32_t h = 8;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "content " << c.content << " channels " << c.channels);
        std::filesystem::remove_all(dir.Path());
        std::filesystem::create_directory(dir.Path());
        profile.Set("CapFileType", "1");
        profile.Set("CapContent", c.content);
        profile.Set("ProcChannels", c.channels);
        profile.Set("ProcAmp", "256");  // the processed picture is twice as bright
        ASSERT_TRUE(Connect(kFormatRgb, 24, w, -h));
        std::vector<uint8_t> sample(ctrl->sink.geometry.srcRequiredSize);
        for (size_t i = 0; i < sample.size(); ++i) sample[i] = static_cast<uint8_t>(20 + i % 90);
        StartCapture(3);
        Feed(sample, 3);
        const kelpa::testing::Names files = FilesIn(dir.Path());
        ASSERT_EQ(files.size(), 1u);
        kelpa::testing::SerContent ser;
        ASSERT_TRUE(kelpa::testing::ReadSer(kelpa::testing::ReadFile(dir.File(files[0])), ser));
        EXPECT_EQ(ser.colorId, c.colorId);
        ASSERT_EQ(ser.frameCount, 3);
        std::vector<uint8_t> expected;
        if (c.content[0] == '1') {
            expected = sample;  // top row first, as the source sent it
        } else {
            const FrameBuffer& shown = ctrl->sink.engine.surf.Picture();
            const bool topDown = ctrl->sink.engine.surf.HeaderHeight() < 0;
            for (int32_t y = 0; y < h; ++y) {
                const uint8_t* row = shown.data + (topDown ? y : h - 1 - y) * shown.stride;
                for (int32_t x = 0; x < w; ++x) {
                    if (c.colorId == 0) {
                        expected.push_back(row[3 * x + 1]);
                    } else {
                        expected.insert(expected.end(), row + 3 * x, row + 3 * x + 3);
                    }
                }
            }
            // As Is: the amplified picture, not the one that arrived.
            if (c.colorId == 101) {
                EXPECT_NE(expected, sample);
            }
        }
        EXPECT_EQ(ser.frames[2], expected);
    }
}

// ---- Whole-frame rendering ----------------------------------------------------------------

// Without accumulation nothing is ever pending: every frame of the run is written, after the
// reset of the graph's start, with an empty area and for frames too small for an area.
TEST_F(CaptureIntakeTest, WholeFrameRenderingCapturesEveryFrame) {
    struct Case {
        int32_t w;
        int32_t h;
        const char* areaW;  // ProcAreaW as stored, the bits of a float: 0.0 or 0.5
    };
    constexpr const char* kHalf = "1056964608";
    const Case cases[] = {
        {16, 8, "0"}, {1, 1, kHalf}, {640, 1, kHalf}, {1, 480, kHalf}, {2, 2, kHalf}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h);
        std::filesystem::remove_all(dir.Path());
        std::filesystem::create_directory(dir.Path());
        mainWindow.Clear();
        profile.Set("ProcAreaW", c.areaW);
        ASSERT_TRUE(Connect(kFormatRgb, 24, c.w, -c.h));
        ASSERT_EQ(ctrl->sink.engine.accumulateStage, nullptr);
        StartCapture(3);
        Feed(std::vector<uint8_t>(ctrl->sink.geometry.srcRequiredSize, 90), 4);
        EXPECT_EQ(FilesIn(dir.Path()).size(), 3u);
        EXPECT_EQ(mainWindow.Count(StreamEvent::kCaptureDone), 1);
        EXPECT_FALSE(ctrl->sink.capture.RunFailed()) << ctrl->sink.capture.FailureText();
    }
}

// Child process: a frame whose accumulator cannot be allocated (the address space is limited
// to little more than its pictures), then a capture run of two frames. Returns a bit for each
// expectation that failed.
int CaptureWithoutAccumulator(CaptureIntakeTest& t) {
    constexpr int32_t w = 2000;
    constexpr int32_t h = 1500;  // pictures of 9 MB, an accumulator of 36 MB
    const std::vector<uint8_t> sample(size_t{w} * 3 * h, 90);
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
    const bool connected = t.Connect(kFormatRgb, 24, w, -h);
    setrlimit(RLIMIT_AS, &old);
    int failed = 0;
    if (!connected || t.ctrl->sink.engine.accumulator != nullptr) return 2;
    t.StartCapture(2);
    t.Feed(sample, 2);
    if (FilesIn(t.dir.Path()).size() != 2) failed |= 4;
    if (t.mainWindow.Count(StreamEvent::kCaptureDone) != 1) failed |= 8;
    return failed;
}

TEST_F(CaptureIntakeTest, FrameWithoutAccumulatorIsCaptured) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer reserves more address space than the limit leaves";
#endif
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(CaptureWithoutAccumulator(*this));
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "child killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace kelpa::test
