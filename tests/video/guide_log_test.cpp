// The guide log: synthetic star frames through the intake with the guide on give one CSV line
// per measurement with the engine's positions, the offset from the reference and the star's
// size; sessions start files of their own and end with every line written; a log that cannot
// write switches itself off with a message while frames keep flowing.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <random>
#include <sstream>

#include "support/temp_files.h"
#include "support/test_support.h"
#include "video/frame_sink.h"
#include "video/video_ctrl.h"

namespace kelpa::test {
namespace {

using kelpa::testing::ReadFile;
using kelpa::testing::TempDir;
using kelpa::testing::WriteFile;

// 2023-11-14T22:13:20.123Z, then 40 ms a measurement.
std::atomic<int64_t> g_utcMs{0};
constexpr int64_t kStartMs = 1700000000123;
int64_t TestClock() {
    return g_utcMs.fetch_add(40);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ',')) fields.push_back(field);
    if (!line.empty() && line.back() == ',') fields.emplace_back();
    return fields;
}

// Records the engine's star position of every processed frame.
class PositionObserver final : public FrameObserver {
  public:
    void FrameProcessed(const StatisticsSnapshot& s) override {
        positions.emplace_back(s.starX, s.starY);
    }
    std::vector<std::pair<float, float>> positions;
};

class GuideLogTest : public ::testing::Test {
  protected:
    static constexpr int32_t kW = 96;
    static constexpr int32_t kH = 64;
    static constexpr double kSigma = 1.5;

    GuideLogTest() {
        g_utcMs.store(kStartMs);
        InitClipTable();
        sink.events.SetReceiver(&events);
        sink.SetPacing(false);
        EXPECT_TRUE(sink.SetSourceHeader(
            BitmapInfoHeader{.width = kW, .height = kH, .bitCount = 24, .compression = 0}));
        sink.guideLog.SetDirectory(dir.Path());
        sink.guideLog.SetUtcClock(&TestClock);
        sink.SetObserver(&observer);
    }
    // A Gaussian star of peak 150 at (x, y) on a sky of 20 with noise 3.
    void FeedStar(double x, double y) {
        std::vector<uint8_t> sample(Stride24(kW) * kH);
        std::normal_distribution<double> noise(0.0, 3.0);
        for (int32_t row = 0; row < kH; ++row) {
            for (int32_t col = 0; col < kW; ++col) {
                const double dx = (col - x) / kSigma;
                const double dy = (row - y) / kSigma;
                const double v = 20 + 150 * std::exp(-0.5 * (dx * dx + dy * dy)) + noise(rng_);
                const auto level = static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
                std::fill_n(&sample[Stride24(kW) * row + 3 * size_t(col)], 3, level);
            }
        }
        sink.SampleCB(0.0, sample.data(), sample.size());
    }
    std::vector<std::string> LogLines() {
        sink.guideLog.Flush();
        return SplitLines(ReadFile(sink.guideLog.CurrentPath()));
    }

    MemoryProfile profile;
    const bool autoOff_ = [this] { return profile.WriteString("kelpa", "ProcAuto", "0"); }();
    TempDir dir;
    FakeClock clock;
    VideoCtrl ctrl{clock, LoadControllerSettings()};
    FrameSink& sink = ctrl.sink;
    RecordingReceiver events;
    PositionObserver observer;
    std::mt19937 rng_{7};
};

TEST_F(GuideLogTest, OneParseableLinePerMeasurementWithTheEnginesValues) {
    sink.SetGuideLogEnabled(true);
    sink.engine.SetGuideEnable(true);
    constexpr int kFrames = 12;
    for (int n = 0; n < kFrames; ++n) FeedStar(40.0 + 0.7 * n, 30.0 - 0.4 * n);
    ASSERT_EQ(observer.positions.size(), size_t{kFrames});
    const std::vector<std::string> lines = LogLines();
    EXPECT_EQ(std::filesystem::path(sink.guideLog.CurrentPath()).filename(),
              "guide-20231114-221320.csv");
    ASSERT_EQ(lines.size(), size_t{kFrames} + 1);
    EXPECT_EQ(lines[0], "time_utc,star_x,star_y,dx,dy,hfd,snr");
    EXPECT_EQ(lines[1].substr(0, 25), "2023-11-14T22:13:20.123Z,");
    EXPECT_EQ(lines[2].substr(0, 25), "2023-11-14T22:13:20.163Z,");
    for (int n = 0; n < kFrames; ++n) {
        const std::vector<std::string> f = SplitFields(lines[n + 1]);
        ASSERT_EQ(f.size(), 7u) << lines[n + 1];
        const auto [x, y] = observer.positions[static_cast<size_t>(n)];
        EXPECT_NEAR(std::stod(f[1]), x, 0.0005) << lines[n + 1];
        EXPECT_NEAR(std::stod(f[2]), y, 0.0005) << lines[n + 1];
        EXPECT_NEAR(std::stod(f[3]), x - kW / 2.0, 0.0005) << lines[n + 1];
        EXPECT_NEAR(std::stod(f[4]), y - kH / 2.0, 0.0005) << lines[n + 1];
        // The star itself: within a pixel of where it was drawn, its HFD 2.507 sigma.
        EXPECT_NEAR(std::stod(f[1]), 40.0 + 0.7 * n, 1.0);
        EXPECT_NEAR(std::stod(f[5]), 2.507 * kSigma, 0.1 * 2.507 * kSigma) << lines[n + 1];
        EXPECT_GT(std::stod(f[6]), 20.0) << lines[n + 1];
    }
    EXPECT_EQ(sink.guideLog.Dropped(), 0u);
}

// A guide session ends with its file complete; the next one gets a file of its own, never the
// same name, even within the same second.
TEST_F(GuideLogTest, EachGuideSessionHasItsOwnFile) {
    sink.SetGuideLogEnabled(true);
    sink.engine.SetGuideEnable(true);
    for (int n = 0; n < 3; ++n) FeedStar(50, 30);
    sink.engine.SetGuideEnable(false);
    for (int n = 0; n < 2; ++n) FeedStar(50, 30);  // no guide: no lines
    const std::vector<std::string> first = LogLines();
    const std::string firstPath = sink.guideLog.CurrentPath();
    EXPECT_EQ(first.size(), 4u);

    sink.engine.SetGuideEnable(true);
    for (int n = 0; n < 2; ++n) FeedStar(50, 30);
    const std::vector<std::string> second = LogLines();
    EXPECT_NE(sink.guideLog.CurrentPath(), firstPath);
    EXPECT_EQ(std::filesystem::path(sink.guideLog.CurrentPath()).filename(),
              "guide-20231114-221320-2.csv");
    EXPECT_EQ(second.size(), 3u);
    EXPECT_EQ(SplitLines(ReadFile(firstPath)), first);  // the first file was left alone

    // Switching the log off writes what was recorded and lets go of the engine.
    FeedStar(50, 30);
    sink.SetGuideLogEnabled(false);
    EXPECT_EQ(SplitLines(ReadFile(sink.guideLog.CurrentPath())).size(), 4u);
    FeedStar(50, 30);
    EXPECT_EQ(SplitLines(ReadFile(sink.guideLog.CurrentPath())).size(), 4u);
}

// The log cannot create its file: it stops with the reason, posts kGuideLog, and the frames go
// on; switched on again with a usable folder it works.
TEST_F(GuideLogTest, FailureSwitchesTheLogOffWithAMessage) {
    WriteFile(dir.File("taken"), "a file where the folder should be");
    sink.guideLog.SetDirectory(dir.File("taken/logs"));
    sink.SetGuideLogEnabled(true);
    sink.engine.SetGuideEnable(true);
    FeedStar(50, 30);
    sink.guideLog.Flush();
    EXPECT_NE(sink.guideLog.FailureText().find("Guide log stopped: cannot create"),
              std::string::npos)
        << sink.guideLog.FailureText();
    EXPECT_EQ(events.Count(StreamEvent::kGuideLog), 1);
    EXPECT_FALSE(sink.guideLog.Recording());
    const uint64_t processed = observer.positions.size();
    FeedStar(50, 30);
    EXPECT_EQ(observer.positions.size(), processed + 1);

    sink.SetGuideLogEnabled(false);
    sink.guideLog.SetDirectory(dir.File("logs"));
    sink.SetGuideLogEnabled(true);
    EXPECT_EQ(sink.guideLog.FailureText(), "");
    FeedStar(50, 30);
    EXPECT_EQ(LogLines().size(), 2u);
}

TEST(GuideLogLineTest, FieldsForEveryKindOfMeasurement) {
    GuideMeasurement star{.star = true,
                          .x = 812.25f,
                          .y = 604.5f,
                          .dx = 1.25f,
                          .dy = -0.5f,
                          .metrics = true,
                          .hfd = 3.4142f,
                          .snr = 52.25f};
    GuideMeasurement faint = star;
    faint.metrics = false;
    const struct {
        int64_t utcMs;
        GuideMeasurement m;
        const char* line;
    } kCases[] = {
        {kStartMs, star, "2023-11-14T22:13:20.123Z,812.250,604.500,1.250,-0.500,3.414,52.25"},
        {kStartMs + 877, faint, "2023-11-14T22:13:21.000Z,812.250,604.500,1.250,-0.500,,"},
        {0, GuideMeasurement{}, "1970-01-01T00:00:00.000Z,,,,,,"},
        {-1, GuideMeasurement{}, "1969-12-31T23:59:59.999Z,,,,,,"},
    };
    for (const auto& c : kCases) EXPECT_EQ(GuideLogLine(c.utcMs, c.m), c.line);
    EXPECT_EQ(GuideLogFileName(kStartMs), "guide-20231114-221320.csv");
}

}  // namespace
}  // namespace kelpa::test
