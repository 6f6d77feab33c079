// The single-instance lock across processes.
#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "support/temp_files.h"

namespace kelpa {
namespace {

using testing::ExitCode;
using testing::Spawn;

// 1 when a copy started now would run, 0 when it would stop.
int CheckInChild(const std::string& lockPath) {
    return ExitCode(Spawn([&] { return SingleInstance(lockPath).CheckSingleInstance() ? 1 : 0; }));
}

TEST(SingleInstanceTest, ASecondCopyIsRefusedWhileTheFirstRuns) {
    testing::TempDir dir;
    const std::string lockPath = dir.File("KELPO ORB.lock");
    {
        SingleInstance first(lockPath);
        ASSERT_TRUE(first.CheckSingleInstance());
        EXPECT_EQ(CheckInChild(lockPath), 0);
    }
    EXPECT_EQ(CheckInChild(lockPath), 1);  // gone with its owner

    SingleInstance unopenable(dir.File("missing/dir/KELPO ORB.lock"));
    EXPECT_TRUE(unopenable.CheckSingleInstance());  // the program runs without the lock
    EXPECT_FALSE(unopenable.held());
}

TEST(SingleInstanceTest, TheLockDiesWithItsProcess) {
    testing::TempDir dir;
    const std::string lockPath = dir.File("KELPO ORB.lock");
    const pid_t holder = Spawn([&] {
        SingleInstance first(lockPath);
        // The parent's checks hold the lock for moments: try until it is ours, then keep it.
        while (!first.CheckSingleInstance()) usleep(1000);
        pause();  // held until killed
        return 1;
    });
    SingleInstance second(lockPath);
    // Wait (without a time limit of our own) until the holder has taken the lock.
    while (second.CheckSingleInstance()) {
        second.Release();
        ASSERT_EQ(waitpid(holder, nullptr, WNOHANG), 0) << "the holder ended";
        usleep(1000);
    }
    kill(holder, SIGKILL);
    EXPECT_EQ(ExitCode(holder), -1);
    EXPECT_TRUE(second.CheckSingleInstance());
}

}  // namespace
}  // namespace kelpa
