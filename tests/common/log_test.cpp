// The process log: line ends, the size cap, closing and reopening, and whole lines from two
// threads at once.
#include "common/log.h"

#include <gtest/gtest.h>

#include <future>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "common/log_detail.h"
#include "support/temp_files.h"

namespace kelpa {
namespace {

using testing::FileExists;
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

// The first init records the main thread and the opener; a second keeps them. The file is
// made by the first line, and a sink that throws harms neither the line nor the caller.
TEST_F(LogTest, InitSwitchesLoggingOnOnce) {
    EXPECT_FALSE(IsLogEnabled());
    EXPECT_FALSE(IsMainThread());
    EXPECT_EQ(clibInit([](const char*) { throw std::runtime_error("sink failed"); }, kOpenTestLog),
              0);
    EXPECT_TRUE(IsLogEnabled());
    EXPECT_TRUE(IsMainThread());
    EXPECT_FALSE(std::async(std::launch::async, IsMainThread).get());
    EXPECT_FALSE(FileExists(g_logPath));
    EXPECT_EQ(clibInit(nullptr, kOpenNothing), 0);
    EXPECT_NO_THROW(LogPrintf("kept"));
    EXPECT_EQ(LogText(), "kept\n");
}

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
