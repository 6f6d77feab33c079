// Where the log and the configuration files live: the state and configuration folders taken
// from the environment, the search order of the configuration files, and a log that starts
// afresh for each run without cutting another copy's lines.
#include "platform/program_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/log_detail.h"
#include "platform/data_paths.h"
#include "platform/program_paths.h"
#include "support/temp_files.h"

namespace kelpa {
namespace {

using testing::ReadFile;
using testing::ScopedEnv;
using testing::WriteFile;

// Without XDG folders, or with relative ones (which are ignored), the folders under the home.
// (Absolute XDG folders are the headless run's.)
TEST(LogLocationTest, StateAndConfigFoldersFollowTheEnvironment) {
    for (const char* xdg : {static_cast<const char*>(nullptr), "relative"}) {
        SCOPED_TRACE(xdg ? xdg : "unset");
        ScopedEnv home("HOME", "/home/u"), state("XDG_STATE_HOME", xdg),
            config("XDG_CONFIG_HOME", xdg);
        EXPECT_EQ(ProgramLogDirectory(), "/home/u/.local/state/kelpa/");
        EXPECT_EQ(
            ConfigFileDirectories(),
            (std::vector<std::string>{"/home/u/.config/kelpa/", ProgramDataPaths().configDirectory,
                                      ExecutableDirectory()}));
    }
}

// The user's folder before the shipped files' before the program's (the headless run reads the
// user's); a folder under the file's name is skipped.
TEST(LogLocationTest, TheFirstFolderHoldingTheFileWins) {
    testing::TempDir dir;
    const std::vector<std::string> folders = {dir / "user/", dir / "data/", dir / "program/"};
    for (const std::string& folder : folders) ASSERT_TRUE(MakeDirectories(folder));
    EXPECT_EQ(FindConfigFile("kcommon.cfg", folders), "");
    WriteFile(folders[2] + "kcommon.cfg", "; build tree\n");
    WriteFile(folders[1] + "kcommon.cfg", "; installed\n");
    ASSERT_EQ(mkdir((folders[0] + "kcommon.cfg").c_str(), 0755), 0);
    EXPECT_EQ(FindConfigFile("kcommon.cfg", folders), folders[1]);
}

// A run empties the last run's log unless another copy is writing into it; a FIFO or a folder
// under the log's name is never opened (a FIFO would wait for a reader).
TEST(ProgramLogTest, EachRunStartsAFreshLogAndOtherNodesAreNeverOpened) {
    detail::ResetLogState();
    testing::TempDir dir;
    ASSERT_TRUE(UseLogDirectory(dir.Path()));
    const std::string path = dir / "kelpa.log";
    WriteFile(path, "the last run's lines\n");
    std::FILE* first = OpenProgramLog();
    ASSERT_NE(first, nullptr);
    std::fputs("first\n", first);
    std::fflush(first);
    std::FILE* second = OpenProgramLog();  // a second copy while the first runs
    ASSERT_NE(second, nullptr);
    std::fputs("second\n", second);
    std::fflush(second);
    std::fputs("first again\n", first);
    std::fflush(first);
    EXPECT_EQ(ReadFile(path), "first\nsecond\nfirst again\n");
    std::fclose(first);
    std::fclose(second);
    std::fclose(OpenProgramLog());  // alone again: a fresh log
    EXPECT_EQ(ReadFile(path), "");

    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(OpenProgramLog(), nullptr);
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    EXPECT_EQ(OpenProgramLog(), nullptr);
    detail::ResetLogState();
}

}  // namespace
}  // namespace kelpa
