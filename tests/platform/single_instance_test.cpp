// The single-instance lock across processes and the program's directory helpers.
#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "platform/program_paths.h"
#include "support/temp_files.h"

namespace kelpa {
namespace {

// Runs the check in a child process: 1 when the child would run, 0 when it would stop.
int CheckInChild(const std::string& lockPath) {
    const pid_t child = fork();
    if (child == 0) {
        SingleInstance other(lockPath);
        _exit(other.CheckSingleInstance() ? 1 : 0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(SingleInstanceTest, ASecondCopyIsRefusedWhileTheFirstRuns) {
    testing::TempDir dir;
    const std::string lockPath = dir.File("KELPO ORB.lock");
    {
        SingleInstance first(lockPath);
        ASSERT_TRUE(first.CheckSingleInstance());
        EXPECT_TRUE(first.held());
        EXPECT_TRUE(first.CheckSingleInstance());  // asking again keeps it
        EXPECT_EQ(CheckInChild(lockPath), 0);
        first.Release();
        EXPECT_EQ(CheckInChild(lockPath), 1);
        ASSERT_TRUE(first.CheckSingleInstance());
    }
    EXPECT_EQ(CheckInChild(lockPath), 1);  // gone with its owner
}

TEST(SingleInstanceTest, TheLockDiesWithItsProcess) {
    testing::TempDir dir;
    const std::string lockPath = dir.File("KELPO ORB.lock");
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        SingleInstance first(lockPath);
        if (!first.CheckSingleInstance()) _exit(1);
        pause();  // held until killed
        _exit(0);
    }
    SingleInstance second(lockPath);
    // Wait (without a time limit of our own) until the holder has taken the lock.
    while (second.CheckSingleInstance()) {
        second.Release();
        int status = 0;
        ASSERT_EQ(waitpid(holder, &status, WNOHANG), 0) << "the holder could not lock";
        usleep(1000);
    }
    kill(holder, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    EXPECT_TRUE(second.CheckSingleInstance());
}

TEST(SingleInstanceTest, AnUnopenableLockLetsTheProgramRun) {
    testing::TempDir dir;
    SingleInstance instance(dir.File("missing/dir/KELPO ORB.lock"));
    EXPECT_TRUE(instance.CheckSingleInstance());
    EXPECT_FALSE(instance.held());
}

TEST(SingleInstanceTest, TheLockFileIsNamedAfterTheInstance) {
    testing::ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/1000");
    EXPECT_EQ(SingleInstance::DefaultLockPath(), "/run/user/1000/KELPO ORB.lock");
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(SingleInstance::DefaultLockPath(),
              TempDirectory() + "/KELPO ORB." + std::to_string(getuid()) + ".lock");
}

TEST(ProgramPathsTest, ExecutableDirectoryHoldsThisTest) {
    const std::string dir = ExecutableDirectory();
    EXPECT_TRUE(dir.starts_with('/') && dir.ends_with('/')) << dir;
    EXPECT_EQ(access((dir + "kelpa_platform_basics_tests").c_str(), X_OK), 0) << dir;
}

}  // namespace
}  // namespace kelpa
