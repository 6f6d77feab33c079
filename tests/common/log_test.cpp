// The process log: line ends, the size cap, closing and reopening, and whole lines from two
// threads at once. (The program's one start-up call and its first line in the log file are the
// headless run's.)
#include "common/log.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>

#include "common/log_detail.h"
#include "support/temp_files.h"

namespace kelpa {
namespace {

using testing::ReadFile;

std::string g_logPath;
const LogOpener kOpenTestLog = [] { return std::fopen(g_logPath.c_str(), "w"); };
const LogOpener kOpenNothing = []() -> std::FILE* { return nullptr; };

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        detail::ResetLogState();
        g_logPath = dir_.File("test.log");
    }
    void TearDown() override { detail::ResetLogState(); }
    std::string LogText() const { return ReadFile(g_logPath); }

    testing::TempDir dir_;
};

TEST_F(LogTest, LineEndsTheCapAndAFreshFileAfterClosing) {
    SetLogOpener(kOpenTestLog);
    LogPrintf("first %d", 1);
    LogPrintf("%s", "");  // empty lines write nothing
    LogPrintf("second");
    EXPECT_EQ(detail::LogBytesWritten(), 15u);
    detail::SetLogBytesWritten(detail::kLogByteCap);
    LogPrintf("at the cap");
    LogPrintf("beyond the cap");
    EXPECT_EQ(LogText(), "first 1\nsecond\nat the cap\n");
    LogClose();
    SetLogOpener(kOpenNothing);  // a failed open is retried at the next line
    LogPrintf("dropped");
    SetLogOpener(kOpenTestLog);
    LogPrintf("new run");
    EXPECT_EQ(LogText(), "new run\n");
}

TEST_F(LogTest, LinesFromTwoThreadsNeverInterleave) {
    SetLogOpener(kOpenTestLog);
    constexpr int kLines = 5000;
    auto writer = [](char tag) {
        for (int i = 0; i < kLines; ++i) LogPrintf("%c line %d %c", tag, i, tag);
    };
    std::thread a(writer, 'A'), b(writer, 'B');
    a.join();
    b.join();
    std::istringstream lines(LogText());
    int counts[2] = {0, 0};
    for (std::string line; std::getline(lines, line);) {
        const char tag = line.empty() ? '?' : line.front();
        ASSERT_TRUE(tag == 'A' || tag == 'B') << line;
        const int index = counts[tag - 'A']++;
        ASSERT_EQ(line, std::string(1, tag) + " line " + std::to_string(index) + " " + tag);
    }
    EXPECT_EQ(counts[0] + counts[1], 2 * kLines);
}

}  // namespace
}  // namespace kelpa
