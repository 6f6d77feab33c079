// Capture runs of the kelpa program as a user starts them: the file keys given with --set
// choose SER or FITS files; a capture that cannot be written (a folder that cannot be created,
// a file size limit) ends the program with exit code 3 and the reason.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "cli/kelpa_runner.h"
#include "support/child_process.h"
#include "video/capture_test_support.h"
#include "video/fits_reader.h"

namespace kelpa::testing {
namespace {

struct CaptureHeadlessTest : test::HeadlessTest {
    // A run of the simulated camera, one frame more than the capture of `count` takes.
    test::RunResult Capture(int count, const std::vector<std::string>& extra,
                            const std::string& folder = "") const {
        std::vector<std::string> args = {"--source",
                                         "sim",
                                         "--no-pacing",
                                         "--frames",
                                         std::to_string(count + 1),
                                         "--capture-count",
                                         std::to_string(count),
                                         "--capture-dir",
                                         folder.empty() ? captures : folder};
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(Args(args));
    }
    static double Captured(const test::RunResult& r) {
        return r.lines.empty() ? -1 : test::Field(r.lines.back(), "captured");
    }
    std::string captures = dir / "caps";
};

// SER files of the processed (grey) or the live (colour) picture, or FITS files.
TEST_F(CaptureHeadlessTest, SetKeysChooseSerOrFitsFiles) {
    const std::pair<std::vector<std::string>, int> cases[] = {
        // SER colour id; -1 FITS
        {{"--set", "CapFileType=1"}, 0},
        {{"--set", "CapFileType=1", "--set", "CapContent=1", "--set", "CapObserver=Me"}, 101},
        {{"--set", "CapFileType=2"}, -1}};
    for (const auto& [sets, colorId] : cases) {
        SCOPED_TRACE(sets.back());
        std::filesystem::remove_all(captures);
        const test::RunResult r = Capture(3, sets);
        ASSERT_EQ(r.exitCode, 0) << r.errors;
        EXPECT_EQ(Captured(r), 3);
        const Names files = FilesIn(captures);
        ASSERT_EQ(files.size(), colorId < 0 ? 3u : 1u);
        if (colorId < 0) {
            FitsContent fits;
            ASSERT_TRUE(ReadFits(captures + "/" + files[0], fits)) << files[0];
            EXPECT_EQ(fits.naxis, 2);
            continue;
        }
        SerContent ser;
        ASSERT_TRUE(ReadSer(captures + "/" + files[0], ser)) << files[0];
        EXPECT_EQ(ser.colorId, colorId);
        EXPECT_EQ(ser.frameCount, 3);
        EXPECT_EQ(ser.observer, sets.size() > 2 ? "Me" : "");
        EXPECT_FALSE(ser.instrument.empty());
        ASSERT_EQ(ser.times.size(), 3u);
        EXPECT_TRUE(ser.times[0] < ser.times[1] && ser.times[1] < ser.times[2]);
    }
}

// A folder that cannot be created; a file size limit below the simulated camera's BMP frames
// (921 654 bytes) that fails the first frame and leaves nothing partial or temporary. The
// limit is the test process's own while the program runs (a child inherits it).
TEST_F(CaptureHeadlessTest, FailuresExitWithThreeAndTheReason) {
    const std::string blocker = dir / "blocker";
    WriteFile(blocker, "x");
    const test::RunResult noFolder = Capture(3, {}, blocker + "/sub");
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    ASSERT_TRUE(LimitProcess(RLIMIT_FSIZE, 500000));
    const test::RunResult tooLarge = Capture(5, {});
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
    EXPECT_EQ(Captured(tooLarge), 0);
    EXPECT_TRUE(FilesIn(captures).empty());
}

}  // namespace
}  // namespace kelpa::testing
