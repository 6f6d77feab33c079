// Capture runs of the kelpa program as a user starts them: a Matroska file (times rounded to
// the millisecond) captured twice into one directory keeps every frame of both runs; the file
// keys given with --set choose SER or FITS files; a capture that cannot be written (a directory
// that cannot be created, a file size limit, a full disk, a read-only file system) ends the
// program with exit code 3 and the reason.
#include <sched.h>
#include <sys/mount.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/kelpa_runner.h"
#include "media/file_test_util.h"
#include "media/media_init.h"
#include "support/child_process.h"
#include "video/capture_test_support.h"
#include "video/fits_reader.h"

namespace kelpa::test {
namespace {

using kelpa::testing::FilesIn;
using kelpa::testing::ReadFile;

struct CaptureHeadlessTest : HeadlessTest {
    // A run of `frames` frames (one more than the capture takes) with `extra` arguments.
    RunResult Capture(const std::string& source, int count, std::vector<std::string> extra = {},
                      int frames = 0) const {
        std::vector<std::string> args = {"--source",
                                         source,
                                         "--no-pacing",
                                         "--frames",
                                         std::to_string(frames ? frames : count + 1),
                                         "--capture-count",
                                         std::to_string(count)};
        if (std::find(extra.begin(), extra.end(), "--capture-dir") == extra.end()) {
            args.insert(args.end(), {"--capture-dir", captures});
        }
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(Args(args));
    }
    std::string captures = dir / "caps";
};

double Captured(const RunResult& r) {
    return r.lines.empty() ? -1 : Field(r.lines.back(), "captured");
}

TEST_F(CaptureHeadlessTest, MatroskaFileCapturedTwiceKeepsEveryFrame) {
    ASSERT_TRUE(InitMedia());
    const ClipParams clip{
        .width = 64, .height = 48, .rateNum = 30, .frames = 30, .muxer = "matroskamux"};
    const std::string file = dir / "sky.mkv";
    std::string error;
    ASSERT_TRUE(WriteClip(file, clip, &error)) << error;
    const RunResult first = Capture(file, 20, {}, 30);
    ASSERT_EQ(first.exitCode, 0) << first.errors;
    EXPECT_EQ(Captured(first), 20);
    std::map<std::string, std::string> kept;
    for (const std::string& name : FilesIn(captures)) kept[name] = ReadFile(captures + "/" + name);
    ASSERT_EQ(kept.size(), 20u);
    ASSERT_EQ(Capture(file, 20, {}, 30).exitCode, 0);
    EXPECT_EQ(FilesIn(captures).size(), 40u);
    for (const auto& [name, bytes] : kept)
        EXPECT_EQ(ReadFile(captures + "/" + name), bytes) << name;
}

// SER files of the processed (grey) or the live (colour) picture, or FITS files.
TEST_F(CaptureHeadlessTest, SetKeysChooseSerOrFitsFiles) {
    struct Case {
        std::vector<std::string> sets;
        int colorId;  // SER: the colour id; -1 for FITS
    };
    const Case cases[] = {{{"CapFileType=1"}, 0},
                          {{"CapFileType=1", "CapContent=1", "CapObserver=Me"}, 101},
                          {{"CapFileType=2"}, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sets.back());
        std::filesystem::remove_all(captures);
        std::vector<std::string> args;
        for (const std::string& set : c.sets) args.insert(args.end(), {"--set", set});
        const RunResult r = Capture("sim", 3, args);
        ASSERT_EQ(r.exitCode, 0) << r.errors;
        EXPECT_EQ(Captured(r), 3);
        const kelpa::testing::Names files = FilesIn(captures);
        if (c.colorId < 0) {
            ASSERT_EQ(files.size(), 3u);
            kelpa::testing::FitsContent fits;
            ASSERT_TRUE(kelpa::testing::ReadFits(captures + "/" + files[0], fits)) << files[0];
            EXPECT_EQ(fits.naxis, 2);
            continue;
        }
        ASSERT_EQ(files.size(), 1u);
        kelpa::testing::SerContent ser;
        ASSERT_TRUE(kelpa::testing::ReadSer(captures + "/" + files[0], ser)) << files[0];
        EXPECT_EQ(ser.colorId, c.colorId);
        EXPECT_EQ(ser.frameCount, 3);
        EXPECT_EQ(ser.observer, c.sets.size() > 2 ? "Me" : "");
        EXPECT_FALSE(ser.instrument.empty());
        ASSERT_EQ(ser.times.size(), 3u);
        EXPECT_LT(ser.times[0], ser.times[1]);
        EXPECT_LT(ser.times[1], ser.times[2]);
    }
}

void ExpectCaptureFailed(const RunResult& r, const std::string& text) {
    EXPECT_EQ(r.exitCode, 3) << r.errors;
    EXPECT_NE(r.errors.find("kelpa: " + text + "\n"), std::string::npos) << r.errors;
}

// A directory that cannot be created; a file size limit below the simulated camera's frames
// (921 654 bytes as BMP files) that fails the first frame and leaves nothing partial or
// temporary; one that ends a SER run of grey frames (307 200 bytes) after three frames, which
// the file keeps with their times under its name. The limit is the test process's own while
// the program runs (a child inherits it).
TEST_F(CaptureHeadlessTest, FailuresExitWithThreeAndTheReason) {
    const std::string blocker = dir / "blocker";
    kelpa::testing::WriteFile(blocker, "x");
    ExpectCaptureFailed(
        Capture("sim", 3, {"--capture-dir", blocker + "/sub"}),
        "Cannot create the capture folder " + blocker + "/sub/: " + std::strerror(ENOTDIR));

    const std::string tooLarge =
        "Cannot write captured frames into " + captures + "/: " + std::strerror(EFBIG);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    ASSERT_TRUE(kelpa::testing::LimitProcess(RLIMIT_FSIZE, 500000));
    const RunResult bmp = Capture("sim", 5);
    ASSERT_TRUE(kelpa::testing::LimitProcess(RLIMIT_FSIZE, 1000000));
    const RunResult ser = Capture("sim", 50, {"--set", "CapFileType=1"});
    setrlimit(RLIMIT_FSIZE, &before);
    ExpectCaptureFailed(bmp, tooLarge);
    EXPECT_EQ(Captured(bmp), 0);
    ExpectCaptureFailed(ser, tooLarge);
    EXPECT_EQ(Captured(ser), 3);
    const kelpa::testing::Names files = FilesIn(captures);
    ASSERT_EQ(files.size(), 1u);
    kelpa::testing::SerContent content;
    ASSERT_TRUE(kelpa::testing::ReadSer(captures + "/" + files[0], content)) << files[0];
    EXPECT_EQ(content.width * content.height, 307200);
    EXPECT_EQ(content.frameCount, 3);
    EXPECT_EQ(content.times.size(), 3u);
}

bool WriteText(const char* path, const std::string& text) {
    FILE* f = std::fopen(path, "w");
    const bool ok = f && std::fputs(text.c_str(), f) >= 0;
    return f && std::fclose(f) == 0 && ok;
}

// Child: a mount namespace of its own (inside a user namespace when not privileged), with a
// small tmpfs over `dir`. False when the system allows neither.
bool MountTmpfs(const std::string& dir, unsigned long flags) {
    if (unshare(CLONE_NEWNS) != 0) {
        const std::string uidMap = "0 " + std::to_string(getuid()) + " 1";
        const std::string gidMap = "0 " + std::to_string(getgid()) + " 1";
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
            !WriteText("/proc/self/setgroups", "deny") ||
            !WriteText("/proc/self/uid_map", uidMap) || !WriteText("/proc/self/gid_map", gidMap)) {
            return false;
        }
    }
    return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount("tmpfs", dir.c_str(), "tmpfs", flags, "size=1m") == 0;
}

// A disk of 1 MiB takes the first frame and fails the second; a read-only one takes none. The
// program runs from a child that has the small disk mounted in a namespace of its own.
TEST_F(CaptureHeadlessTest, FullDiskAndReadOnlyFileSystemExitWithThree) {
    constexpr int kNoMount = 100;
    std::filesystem::create_directory(captures);
    for (const int error : {ENOSPC, EROFS}) {
        const unsigned long mountFlags = error == EROFS ? MS_RDONLY : 0;
        SCOPED_TRACE(error);
        const std::string text =
            "Cannot write captured frames into " + captures + "/: " + std::strerror(error);
        const int code = kelpa::testing::ExitCodeOfChild([&] {
            if (!MountTmpfs(captures, mountFlags)) return kNoMount;
            const RunResult r = Capture("sim", 5);
            std::fprintf(stderr, "exit %d, errors: %s\n", r.exitCode, r.errors.c_str());
            return r.exitCode == 3 && r.errors.find("kelpa: " + text + "\n") != std::string::npos
                       ? 0
                       : 1;
        });
        if (code == kNoMount) GTEST_SKIP() << "no mount namespace for a small tmpfs here";
        EXPECT_EQ(code, 0) << text;
    }
}

}  // namespace
}  // namespace kelpa::test
