// The process log: line ends, the size cap, closing and reopening, the program's opener with
// its fall-back, and whole lines from two threads at once.
#include "common/clib/log.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "common/clib/log_detail.h"
#include "common/temp_files.h"

namespace kelpa {
namespace {

using testing::FileExists;
using testing::ReadFile;

std::string g_logPath;
std::FILE* OpenTestLog() {
    return std::fopen(g_logPath.c_str(), "w");
}
std::FILE* OpenNothing() {
    return nullptr;
}

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        detail::ResetLogState();
        g_logPath = dir_.File("test.log");
    }
    void TearDown() override {
        detail::ResetLogState();
        SetProgramDirectory(nullptr);
    }
    std::string LogText() const { return ReadFile(g_logPath); }

    testing::TempDir dir_;
};

TEST_F(LogTest, InitSwitchesLoggingOnOnce) {
    LogPrintf("lost");
    EXPECT_FALSE(IsLogEnabled());
    EXPECT_FALSE(IsMainThread());
    EXPECT_EQ(clibInit(nullptr, &OpenTestLog), 0);
    EXPECT_TRUE(IsLogEnabled());
    EXPECT_TRUE(IsMainThread());
    bool otherIsMain = true;
    std::thread([&] { otherIsMain = IsMainThread(); }).join();
    EXPECT_FALSE(otherIsMain);
    EXPECT_FALSE(FileExists(g_logPath));            // created by the first line only
    EXPECT_EQ(clibInit(nullptr, &OpenNothing), 0);  // a second one keeps the first opener
    LogPrintf("kept");
    EXPECT_EQ(LogText(), "kept\n");
}

TEST_F(LogTest, LineEndsTheCapAndAFreshFileAfterClosing) {
    SetLogOpener(&OpenTestLog);
    LogPrintf("first %d", 1);
    LogPrintf("%s", "");  // empty lines write nothing
    LogPrintf("second");
    EXPECT_EQ(detail::LogBytesWritten(), 15u);
    detail::SetLogBytesWritten(detail::kLogByteCap);
    LogPrintf("at the cap");
    LogPrintf("beyond the cap");
    EXPECT_EQ(LogText(), "first 1\nsecond\nat the cap\n");
    EXPECT_EQ(detail::LogBytesWritten(), detail::kLogByteCap + 11);
    LogClose();
    EXPECT_TRUE(IsLogEnabled());
    LogPrintf("new run");
    EXPECT_EQ(LogText(), "new run\n");
}

TEST_F(LogTest, FailedOpenIsRetriedAtTheNextLine) {
    SetLogOpener(&OpenNothing);
    LogPrintf("dropped");
    SetLogOpener(&OpenTestLog);
    LogPrintf("written");
    EXPECT_EQ(LogText(), "written\n");
}

TEST_F(LogTest, ExceptionsInsideTheWriterAreSwallowed) {
    clibInit([](const char*) { throw std::runtime_error("sink failed"); }, &OpenTestLog);
    EXPECT_NO_THROW(LogPrintf("one"));
    EXPECT_NO_THROW(LogPrintf("two"));
    EXPECT_EQ(LogText(), "one\ntwo\n");
}

TEST_F(LogTest, ProgramLogLivesInTheProgramDirectory) {
    SetProgramDirectory(dir_.Path().c_str());
    EXPECT_EQ(std::string(ProgramDirectory()), dir_.Path() + "/");
    SetLogOpener(&OpenProgramLog);
    LogPrintf("hello");
    EXPECT_EQ(ReadFile(dir_.File("kelpa.log")), "hello\n");
}

TEST_F(LogTest, ProgramLogFallsBackToTheCurrentDirectoryUnlessTooLong) {
    testing::ScopedWorkingDirectory cwd(dir_.Path());
    SetProgramDirectory(("/" + std::string(258, 'd') + "/").c_str());
    EXPECT_EQ(OpenProgramLog(), nullptr);
    EXPECT_FALSE(FileExists(dir_.File("kelpa.log")));
    SetProgramDirectory("/nonexistent-kelpa-directory/");
    SetLogOpener(&OpenProgramLog);
    LogPrintf("here");
    LogClose();
    EXPECT_EQ(ReadFile(dir_.File("kelpa.log")), "here\n");
}

TEST_F(LogTest, LinesFromTwoThreadsNeverInterleave) {
    SetLogOpener(&OpenTestLog);
    constexpr int kLines = 5000;
    auto writer = [](char tag) {
        for (int i = 0; i < kLines; ++i) LogPrintf("%c line %d %c", tag, i, tag);
    };
    std::thread a(writer, 'A');
    std::thread b(writer, 'B');
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
    EXPECT_EQ(counts[0], kLines);
    EXPECT_EQ(counts[1], kLines);
}

}  // namespace
}  // namespace kelpa
