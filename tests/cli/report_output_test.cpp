// The end of a headless run: frames recorded while the source stops still get their lines, and
// a full ring never holds up the stop. The guide star's metrics in a line.
#include "cli/report_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "processing/stream_events.h"
#include "support/temp_files.h"
#include "support/test_support.h"

namespace kelpa {
namespace {

struct ReportOutputTest : ::testing::Test {
    explicit ReportOutputTest(size_t capacity = 8) : report(capacity) {
        out = std::fopen(path.c_str(), "w");
    }
    ~ReportOutputTest() override {
        if (out) std::fclose(out);
    }
    // The frame numbers of the lines written so far.
    std::vector<int> Printed() {
        std::fflush(out);
        std::vector<int> frames;
        const std::string text = testing::ReadFile(path);
        for (size_t at = 0; (at = text.find("{\"frame\": ", at)) != std::string::npos; ++at) {
            frames.push_back(std::stoi(text.substr(at + 10)));
        }
        return frames;
    }
    void Record(int count) {
        for (int i = 0; i < count; ++i) {
            StatisticsSnapshot snapshot;
            snapshot.time = 0.04 * i;
            report.FrameProcessed(snapshot);
        }
    }

    FrameReport report;
    testing::TempDir dir;
    std::string path = dir / "out.json";
    std::FILE* out = nullptr;
};

// A failing source stops the graph while frames are still on their way to the report.
TEST_F(ReportOutputTest, FramesRecordedWhileTheSourceStopsArePrinted) {
    ReportOutput output(out, 0);
    std::vector<FrameRecord> batch;
    Record(3);
    report.Wait(0, &batch);
    ASSERT_TRUE(output.Print(batch));
    Record(2);  // processed after the main thread's last look
    FinishRun(report, output, [&] { Record(1); });
    EXPECT_EQ(Printed(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(report.Lost(), 0u);
    ASSERT_TRUE(output.PrintSummary({}));
}

// Stopping the source waits for the streaming thread; the report must not wait for room then.
TEST_F(ReportOutputTest, AFullRingNeverHoldsUpTheStop) {
    ReportOutput output(out, 0);
    FinishRun(report, output, [&] { Record(11); });  // the ring holds 8
    EXPECT_EQ(Printed(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(report.Lost(), 3u);
}

// The snapshot's metrics reach the line as numbers when they hold, as null when they do not (or
// are not finite: JSON has no NaN), and not at all with the guide off.
TEST_F(ReportOutputTest, GuideStarMetricsEndTheLine) {
    struct Case {
        bool guide, valid;
        float hfd;
        const char* tail;
    };
    const Case cases[] = {
        {true, true, 3.25f,
         ", \"hfd\": 3.250, \"fwhm\": 3.062, \"peak\": 170.000, \"snr\": 44.500}"},
        {true, false, 3.25f, ", \"hfd\": null, \"fwhm\": null, \"peak\": null, \"snr\": null}"},
        {true, true, NAN, ", \"hfd\": null, \"fwhm\": null, \"peak\": null, \"snr\": null}"},
        {true, true, INFINITY, ", \"hfd\": null, \"fwhm\": null, \"peak\": null, \"snr\": null}"},
        {false, true, 3.25f, ", \"delayMs\": 0}"},
    };
    for (const Case& c : cases) {
        StatisticsSnapshot s;
        s.guideEnable = c.guide;
        s.starMetricsValid = c.valid;
        s.hfd = c.hfd;
        s.fwhm = 3.0625f;
        s.peak = 170.0f;
        s.snr = 44.5f;
        report.FrameProcessed(s);
        std::vector<FrameRecord> batch;
        report.Wait(0, &batch);
        ASSERT_EQ(batch.size(), 1u);
        std::FILE* line = std::fopen(path.c_str(), "w");
        ASSERT_TRUE(PrintFrameRecord(line, batch[0]));
        std::fclose(line);
        const std::string text = testing::ReadFile(path);
        const std::string tail = std::string(c.tail) + "\n";
        ASSERT_GE(text.size(), tail.size());
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
        EXPECT_EQ(text.find("\"hfd\""), c.guide ? text.rfind("\"hfd\"") : std::string::npos);
    }
}

}  // namespace
}  // namespace kelpa
