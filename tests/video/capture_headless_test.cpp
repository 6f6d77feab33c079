// Capture runs of the kelpa program as a user starts them: the file keys given with --set
// choose a SER file of the live picture with the device, the observer and rising frame times; a
// capture that cannot be written (a folder that cannot be created, a file size limit) ends the
// program with exit code 3 and the reason.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/kelpa_runner.h"
#include "support/temp_files.h"
#include "video/capture_test_support.h"

namespace kelpa::testing {
namespace {

struct CaptureHeadlessTest : test::HeadlessTest {
    // A run of the simulated camera, one frame more than the capture of `count` takes.
    test::RunResult Capture(int count, const std::string& folder, std::vector<std::string> extra) {
        extra.insert(extra.begin(),
                     {"--source", "sim", "--no-pacing", "--capture-dir", folder, "--capture-count",
                      std::to_string(count), "--frames", std::to_string(count + 1)});
        return Run(Args(extra));
    }
    static double Captured(const test::RunResult& r) {
        return r.lines.empty() ? -1 : test::Field(r.lines.back(), "captured");
    }
    std::string captures = dir / "caps";
};

TEST_F(CaptureHeadlessTest, SetKeysChooseASerFileOfTheLivePicture) {
    const test::RunResult r =
        Capture(3, captures,
                {"--set", "CapFileType=1", "--set", "CapContent=1", "--set", "CapObserver=Me"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_EQ(Captured(r), 3);
    const Names files = FilesIn(captures);
    ASSERT_EQ(files.size(), 1u);
    SerContent ser;
    ASSERT_TRUE(ReadSer(captures + "/" + files[0], ser)) << files[0];
    EXPECT_EQ(std::tie(ser.colorId, ser.frameCount, ser.observer), std::tuple(101, 3, "Me"));
    EXPECT_FALSE(ser.instrument.empty());
    ASSERT_EQ(ser.times.size(), 3u);
    EXPECT_TRUE(ser.times[0] < ser.times[1] && ser.times[1] < ser.times[2]);
}

// A folder that cannot be created; a file size limit below the simulated camera's BMP frames
// (921 654 bytes) that fails the first frame and leaves nothing partial or temporary. The
// limit is the test process's own while the program runs (a child inherits it).
TEST_F(CaptureHeadlessTest, FailuresExitWithThreeAndTheReason) {
    const std::string blocker = dir / "blocker";
    WriteFile(blocker, "x");
    const test::RunResult noFolder = Capture(3, blocker + "/sub", {});
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    ASSERT_TRUE(LimitProcess(RLIMIT_FSIZE, 500000));
    const test::RunResult tooLarge = Capture(5, captures, {});
    setrlimit(RLIMIT_FSIZE, &before);
    const std::pair<const test::RunResult*, std::string> cases[] = {
        {&noFolder,
         "Cannot create the capture folder " + blocker + "/sub/: " + std::strerror(ENOTDIR)},
        {&tooLarge,
         "Cannot write captured frames into " + captures + "/: " + std::strerror(EFBIG)}};
    for (const auto& [r, text] : cases) {
        EXPECT_EQ(r->exitCode, 3) << r->errors;
        EXPECT_NE(r->errors.find("kelpa: " + text + "\n"), std::string::npos) << r->errors;
    }
    EXPECT_EQ(std::pair(Captured(tooLarge), FilesIn(captures)), std::pair(0.0, Names{}));
}

}  // namespace
}  // namespace kelpa::testing
