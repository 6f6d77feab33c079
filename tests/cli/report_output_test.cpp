// The headless run's standard output: frames recorded while the source stops still get their
// lines, a full ring never holds up the stop, the guide star's metrics end a line, and texts
// are escaped into valid UTF-8.
#include "cli/report_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/json_text.h"

namespace kelpa {
namespace {

// Output written into memory.
struct MemoryFile {
    ~MemoryFile() {
        std::fclose(file);
        std::free(buffer);
    }
    std::string Text() {
        std::fflush(file);
        return std::string(buffer, size);
    }
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* file = open_memstream(&buffer, &size);
};

struct ReportOutputTest : ::testing::Test {
    // The frame numbers of the lines written so far.
    std::vector<int> Printed() {
        std::vector<int> frames;
        const std::string text = out.Text();
        for (size_t at = 0; (at = text.find("{\"frame\": ", at)) != std::string::npos; ++at) {
            frames.push_back(std::stoi(text.substr(at + 10)));
        }
        return frames;
    }
    void Record(int count) {
        for (int i = 0; i < count; ++i) report.FrameProcessed(StatisticsSnapshot{});
    }

    FrameReport report{8};
    MemoryFile out;
    ReportOutput output{out.file, 0};
};

// A failing source stops the graph while frames are still on their way to the report.
TEST_F(ReportOutputTest, FramesRecordedWhileTheSourceStopsArePrinted) {
    std::vector<FrameRecord> batch;
    Record(3);
    report.Wait(0, &batch);
    ASSERT_TRUE(output.Print(batch));
    Record(2);  // processed after the main thread's last look
    FinishRun(report, output, [&] { Record(1); });
    EXPECT_EQ(Printed(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(report.Lost(), 0u);
}

// Stopping the source waits for the streaming thread; the report must not wait for room then.
TEST_F(ReportOutputTest, AFullRingNeverHoldsUpTheStop) {
    FinishRun(report, output, [&] { Record(11); });  // the ring holds 8
    EXPECT_EQ(Printed(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(report.Lost(), 3u);
}

// The record's metrics reach the line as numbers when they hold, as null when they do not (or
// are not finite: JSON has no NaN). (Lines without the guide, and the snapshot's metrics
// reaching the record, are the headless runs'.)
TEST_F(ReportOutputTest, GuideStarMetricsEndTheLine) {
    const std::string none = ", \"hfd\": null, \"fwhm\": null, \"peak\": null, \"snr\": null}\n";
    const struct {
        bool valid;
        float hfd;
        std::string tail;
    } cases[] = {
        {true, 3.25f, ", \"hfd\": 3.250, \"fwhm\": 3.062, \"peak\": 170.000, \"snr\": 44.500}\n"},
        {false, 3.25f, none},
        {true, NAN, none},
    };
    for (const auto& c : cases) {
        const FrameRecord record{.guideEnable = true,
                                 .starMetricsValid = c.valid,
                                 .hfd = c.hfd,
                                 .fwhm = 3.0625f,
                                 .peak = 170.0f,
                                 .snr = 44.5f};
        MemoryFile line;
        ASSERT_TRUE(PrintFrameRecord(line.file, record));
        const std::string text = line.Text();
        EXPECT_TRUE(text.ends_with(c.tail)) << text;
        EXPECT_EQ(text.find("\"hfd\""), text.rfind("\"hfd\""));
    }
}

TEST(JsonTextTest, EscapesAndValidatesEveryByte) {
    const std::pair<std::string, std::string> cases[] = {
        {"say \"hi\"\\now", "say \\\"hi\\\"\\\\now"},
        {"tab\there\n\x7f", "tab\\u0009here\\u000a\\u007f"},
        {std::string("nul\0in", 6), "nul\\u0000in"},
        {"\xc3\xbc \xe2\x82\xac \xf0\x9f\x94\xad", "\xc3\xbc \xe2\x82\xac \xf0\x9f\x94\xad"},
        {"latin1 \xfc!", "latin1 \\ufffd!"},               // a lone lead byte
        {"cut \xe2\x82", "cut \\ufffd\\ufffd"},            // a sequence cut short
        {"overlong \xc0\xaf", "overlong \\ufffd\\ufffd"},  // two bytes for one
        {"surrogate \xed\xa0\x80", "surrogate \\ufffd\\ufffd\\ufffd"},
        {"too high \xf4\x90\x80\x80", "too high \\ufffd\\ufffd\\ufffd\\ufffd"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(JsonText(in), out) << in;
}

}  // namespace
}  // namespace kelpa
