// The guide log: synthetic star frames through the intake with the guide on give one CSV line
// per measurement with the engine's positions, the offset from the reference and the star's
// size; sessions start files of their own and end with every line written; a log that cannot
// write switches itself off with a message while frames keep flowing.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "support/intake_harness.h"
#include "support/temp_files.h"

namespace kelpa::test {
namespace {

using Strings = std::vector<std::string>;

// 2023-11-14T22:13:20.123Z, then 40 ms a measurement.
std::atomic<int64_t> g_utcMs{0};
constexpr int64_t kStartMs = 1700000000123;
int64_t TestClock() {
    return g_utcMs.fetch_add(40);
}

// The parts of `text` between separators.
Strings Split(const std::string& text, char separator) {
    Strings parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

// Records the engine's star position of every processed frame.
class PositionObserver final : public FrameObserver {
  public:
    void FrameProcessed(const StatisticsSnapshot& s) override {
        positions.emplace_back(s.starX, s.starY);
    }
    std::vector<std::pair<float, float>> positions;
};

class GuideLogTest : public ::testing::Test, public IntakeHarness {
  protected:
    static constexpr int32_t kW = 96;
    static constexpr int32_t kH = 64;
    static constexpr double kSigma = 1.5;

    GuideLogTest() {
        g_utcMs.store(kStartMs);
        sink.SetPacing(false);
        EXPECT_TRUE(Connect(0, 24, kW, kH));
        sink.guideLog.SetDirectory(dir.Path());
        sink.guideLog.SetUtcClock(&TestClock);
        sink.SetObserver(&observer);
    }
    // `frames` frames of a Gaussian star of peak 150 at (x, y), moving by (dx, dy) a frame, on
    // a sky of 17 to 23.
    void FeedStar(double x, double y, int frames = 1, double dx = 0, double dy = 0) {
        for (int n = 0; n < frames; ++n, x += dx, y += dy) {
            Bytes sample = Random(Stride24(kW) * kH, static_cast<uint32_t>(rng_()), 17, 23);
            for (int32_t row = 0; row < kH; ++row) {
                for (int32_t col = 0; col < kW; ++col) {
                    const double r2 = (col - x) * (col - x) + (row - y) * (row - y);
                    const double star = 150 * std::exp(-0.5 * r2 / (kSigma * kSigma));
                    uint8_t* p = &sample[Stride24(kW) * row + 3 * size_t(col)];
                    std::fill_n(p, 3, static_cast<uint8_t>(*p + std::lround(star)));
                }
            }
            Feed(sample);
        }
    }
    // The lines of the current file, once what was recorded is written.
    Strings LogLines(bool flush = true) {
        if (flush) sink.guideLog.Flush();
        return Split(kelpa::testing::ReadFile(sink.guideLog.CurrentPath()), '\n');
    }
    std::string FileName() const {
        return std::filesystem::path(sink.guideLog.CurrentPath()).filename();
    }

    kelpa::testing::TempDir dir;
    FrameSink& sink = Sink();
    PositionObserver observer;
    std::mt19937 rng_{7};
};

// One line a measurement, the engine's values in it; a guide session ends with its file
// complete, and the next one gets a file of its own, never the same name, even within the same
// second. Switching the log off writes what was recorded and lets go of the engine.
TEST_F(GuideLogTest, OneLinePerMeasurementInAFilePerSession) {
    sink.SetGuideLogEnabled(true);
    sink.engine.SetGuideEnable(true);
    constexpr int kFrames = 12;
    FeedStar(40.0, 30.0, kFrames, 0.7, -0.4);
    ASSERT_EQ(observer.positions.size(), size_t{kFrames});
    const Strings lines = LogLines();
    EXPECT_EQ(FileName(), "guide-20231114-221320.csv");
    ASSERT_EQ(lines.size(), size_t{kFrames} + 1);
    EXPECT_EQ(lines[0], "time_utc,star_x,star_y,dx,dy,hfd,snr");
    EXPECT_EQ(lines[2].substr(0, 25), "2023-11-14T22:13:20.163Z,");
    for (int n = 0; n < kFrames; ++n) {
        SCOPED_TRACE(lines[n + 1]);
        const Strings f = Split(lines[n + 1], ',');
        ASSERT_EQ(f.size(), 7u);
        const auto [x, y] = observer.positions[static_cast<size_t>(n)];
        const double engine[] = {x, y, x - kW / 2.0, y - kH / 2.0};
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(std::stod(f[i + 1]), engine[i], 0.0005);
        // The star's HFD, 2.507 sigma, and its SNR (where the engine finds it: the star metrics
        // tests).
        EXPECT_NEAR(std::stod(f[5]), 2.507 * kSigma, 0.1 * 2.507 * kSigma);
        EXPECT_GT(std::stod(f[6]), 20.0);
    }
    EXPECT_EQ(sink.guideLog.Dropped(), 0u);

    const std::string firstPath = sink.guideLog.CurrentPath();
    sink.engine.SetGuideEnable(false);
    FeedStar(50, 30, 2);  // no guide: no lines
    sink.engine.SetGuideEnable(true);
    FeedStar(50, 30, 2);
    EXPECT_EQ(LogLines().size(), 3u);
    EXPECT_EQ(FileName(), "guide-20231114-221320-2.csv");
    EXPECT_EQ(Split(kelpa::testing::ReadFile(firstPath), '\n'), lines);  // left alone
    FeedStar(50, 30);
    sink.SetGuideLogEnabled(false);
    EXPECT_EQ(LogLines(false).size(), 4u);
    FeedStar(50, 30);
    EXPECT_EQ(LogLines(false).size(), 4u);
}

// The log cannot create its file: it stops (the main window's warning, whose test covers the
// message, the text and the menu), the frames go on, and switched on again with a usable folder
// it works.
TEST_F(GuideLogTest, FailureSwitchesTheLogOffWhileFramesGoOn) {
    kelpa::testing::WriteFile(dir.File("taken"), "a file where the folder should be");
    sink.guideLog.SetDirectory(dir.File("taken/logs"));
    sink.SetGuideLogEnabled(true);
    sink.engine.SetGuideEnable(true);
    FeedStar(50, 30);
    sink.guideLog.Flush();  // the log writes on a thread of its own
    EXPECT_FALSE(sink.guideLog.Recording());
    FeedStar(50, 30);
    EXPECT_EQ(observer.positions.size(), 2u);
    sink.SetGuideLogEnabled(false);
    sink.guideLog.SetDirectory(dir.File("logs"));
    sink.SetGuideLogEnabled(true);
    FeedStar(50, 30);
    EXPECT_EQ(LogLines().size(), 2u);
}

// A star without metrics leaves their fields empty, no star every field but the time. (Lines of
// a star with metrics: the session test, against the engine's values.)
TEST(GuideLogLineTest, FieldsForEveryKindOfMeasurement) {
    // A star at (812.25, 604.5), 1.25 and -0.5 off the reference, HFD 3.4142, SNR 52.25.
    const GuideMeasurement star{true, 812.25f, 604.5f, 1.25f, -0.5f, true, 3.4142f, 52.25f};
    GuideMeasurement faint = star;
    faint.metrics = false;
    EXPECT_EQ(GuideLogLine(kStartMs + 877, faint),
              "2023-11-14T22:13:21.000Z,812.250,604.500,1.250,-0.500,,");
    EXPECT_EQ(GuideLogLine(-1, {}), "1969-12-31T23:59:59.999Z,,,,,,");
}

}  // namespace
}  // namespace kelpa::test
