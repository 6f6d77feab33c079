// Where a headless run keeps its files: the log and the side logs in the user's state folder
// (created when missing, private to the user), the configuration read from the user's
// configuration folder, and nothing written into the working folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "cli/kelpa_runner.h"

namespace kelpa::test {
namespace {

using kelpa::testing::ReadText;

bool IsEmptyFolder(const std::string& path) {
    return std::filesystem::is_empty(path);
}

TEST_F(HeadlessTest, TheLogAndSideLogsGoToTheStateFolder) {
    std::filesystem::create_directories(config + "/kelpa");
    std::ofstream(config + "/kelpa/kcommon.cfg") << "[\n";  // stops the parser: logged twice
    const std::string work = dir / "work";
    std::filesystem::create_directories(work);
    RunOptions options;
    options.directory = work;
    const RunResult r = Run(Args({"--source", "sim", "--frames", "2"}), options);
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    for (const std::string& line : r.lines) EXPECT_EQ(line.front(), '{') << line;

    const std::string logs = state + "/kelpa/";
    EXPECT_NE(LogText().find("Parsing error. " + config + "/kelpa/kcommon.cfg"), std::string::npos)
        << LogText();
    EXPECT_EQ(ReadText(logs + "kcommon.cfg.log"), "1: stop parsing! -->  [\n");
    EXPECT_FALSE(std::filesystem::exists(config + "/kelpa/kcommon.cfg.log"));
    EXPECT_TRUE(IsEmptyFolder(work));
    struct stat st {};
    ASSERT_EQ(stat(logs.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// A run without any usable state folder still runs, and says that it writes no log.
TEST_F(HeadlessTest, AStateFolderThatCannotBeMadeCostsOnlyTheLog) {
    std::ofstream(state) << "a file where the folder should be";
    const RunResult r = Run(Args({"--source", "sim", "--frames", "1"}));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_NE(r.errors.find("no log is written"), std::string::npos) << r.errors;
    EXPECT_TRUE(IsSummary(r.lines.back()));
}

}  // namespace
}  // namespace kelpa::test
