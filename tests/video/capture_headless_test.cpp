// Capture runs of the kelpa program as a user starts them: a Matroska file (times rounded to
// the millisecond) captured twice into one directory keeps every frame of both runs, and a
// capture that cannot be written (a directory that cannot be created, a full disk, a file
// size limit, a read-only file system) ends the program with exit code 3 and the reason.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "media/file_test_util.h"
#include "media/media_init.h"
#include "support/temp_files.h"
#include "video/capture_test_support.h"
#include "video/fits_reader.h"
#include "video/ser_reader.h"

namespace kelpa::test {
namespace {

using kelpa::testing::FilesIn;
using kelpa::testing::ReadFile;
using kelpa::testing::TempDir;

// What the child does before it runs the program; false ends it with kNoSetUp.
using ChildSetUp = std::function<bool()>;
constexpr int kNoSetUp = 126;

struct RunResult {
    int exitCode = -1;
    std::string output;  // standard output
    std::string errors;  // standard error
};

RunResult RunKelpa(const TempDir& dir, std::vector<std::string> args,
                   const ChildSetUp& setUp = nullptr) {
    args.insert(args.begin(), KELPA_BINARY);
    std::vector<char*> argv;
    for (std::string& word : args) argv.push_back(word.data());
    argv.push_back(nullptr);
    const std::string out = dir / "stdout";
    const std::string err = dir / "stderr";
    setenv("GST_DEBUG", "0", 1);
    const pid_t pid = fork();
    if (pid == 0) {
        const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (outFd < 0 || errFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) _exit(kNoSetUp);
        if (setUp && !setUp()) _exit(kNoSetUp);
        execv(argv[0], argv.data());
        _exit(127);
    }
    RunResult result;
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.output = ReadFile(out);
    result.errors = ReadFile(err);
    return result;
}

bool WriteText(const char* path, const std::string& text) {
    const int fd = open(path, O_WRONLY);
    if (fd < 0) return false;
    const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return ok;
}

// Child: a mount namespace of its own (inside a user namespace when not privileged), with a
// small tmpfs over `dir`. False when the system allows neither.
bool MountTmpfs(const std::string& dir, const char* options, unsigned long flags) {
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
           mount("tmpfs", dir.c_str(), "tmpfs", flags, options) == 0;
}

struct CaptureHeadlessTest : ::testing::Test {
    void SetUp() override {
        std::ofstream(profile) << "[kelpa]\nProcAuto=0\n";
        std::filesystem::create_directory(captures);
    }
    std::vector<std::string> Args(const std::string& source, const std::string& count,
                                  const std::string& into = "") const {
        return {"--headless",
                "--profile",
                profile,
                "--source",
                source,
                "--no-pacing",
                "--frames",
                "60",
                "--capture-dir",
                into.empty() ? captures : into,
                "--capture-count",
                count};
    }
    TempDir dir;
    const std::string profile = dir / "kelpa.ini";
    const std::string captures = dir / "caps";
};

// ---- Naming and collision ------------------------------------------------------------------

TEST_F(CaptureHeadlessTest, MatroskaFileCapturedTwiceKeepsEveryFrame) {
    ASSERT_TRUE(InitMedia());
    ClipParams clip;
    clip.width = 64;
    clip.height = 48;
    clip.rateNum = 30;
    clip.frames = 30;
    clip.muxer = "matroskamux";
    const std::string file = dir / "sky.mkv";
    std::string error;
    ASSERT_TRUE(WriteClip(file, clip, &error)) << error;

    const RunResult first = RunKelpa(dir, Args(file, "20"));
    ASSERT_EQ(first.exitCode, 0) << first.errors;
    EXPECT_NE(first.output.find("\"captured\": 20,"), std::string::npos) << first.output;
    std::map<std::string, std::string> kept;
    for (const std::string& name : FilesIn(captures)) kept[name] = ReadFile(captures + "/" + name);
    ASSERT_EQ(kept.size(), 20u);

    const RunResult second = RunKelpa(dir, Args(file, "20"));
    ASSERT_EQ(second.exitCode, 0) << second.errors;
    EXPECT_EQ(FilesIn(captures).size(), 40u);
    for (const auto& [name, bytes] : kept) {
        EXPECT_EQ(ReadFile(captures + "/" + name), bytes) << name << " changed";
    }
}

// ---- SER and FITS ------------------------------------------------------------------------

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The file keys given with --set choose SER files of the processed (grey) or the live (colour)
// picture, or FITS files.
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
        std::vector<std::string> args = Args("sim", "5");
        for (const std::string& set : c.sets) args.insert(args.end(), {"--set", set});
        const RunResult r = RunKelpa(dir, args);
        ASSERT_EQ(r.exitCode, 0) << r.errors;
        EXPECT_NE(r.output.find("\"captured\": 5,"), std::string::npos) << r.output;
        const std::vector<std::string> files = FilesIn(captures);
        if (c.colorId < 0) {
            ASSERT_EQ(files.size(), 5u);
            for (const std::string& name : files) {
                EXPECT_TRUE(EndsWith(name, ".fits")) << name;
                kelpa::testing::FitsContent fits;
                ASSERT_TRUE(kelpa::testing::ReadFits(captures + "/" + name, fits)) << name;
                EXPECT_EQ(fits.naxis, 2) << name;
                std::string report;
                EXPECT_TRUE(kelpa::testing::Verified(captures + "/" + name, &report)) << report;
            }
            continue;
        }
        ASSERT_EQ(files.size(), 1u);
        EXPECT_TRUE(EndsWith(files[0], ".ser")) << files[0];
        kelpa::testing::SerContent ser;
        ASSERT_TRUE(kelpa::testing::ReadSer(ReadFile(captures + "/" + files[0]), ser));
        EXPECT_EQ(ser.colorId, c.colorId);
        EXPECT_EQ(ser.frameCount, 5);
        EXPECT_EQ(ser.observer, c.sets.size() > 2 ? "Me" : "");
        EXPECT_FALSE(ser.instrument.empty());
        ASSERT_EQ(ser.times.size(), 5u);
        for (size_t i = 1; i < 5; ++i) EXPECT_GT(ser.times[i], ser.times[i - 1]) << i;
    }
}

// ---- Failures ------------------------------------------------------------------------------

void ExpectCaptureFailed(const RunResult& r, const std::string& text) {
    EXPECT_EQ(r.exitCode, 3) << r.errors;
    EXPECT_NE(r.errors.find("kelpa: " + text + "\n"), std::string::npos) << r.errors;
}

TEST_F(CaptureHeadlessTest, DirectoryThatCannotBeCreatedExitsWithThree) {
    const std::string blocker = dir / "blocker";
    kelpa::testing::WriteFile(blocker, "x");
    ExpectCaptureFailed(
        RunKelpa(dir, Args("sim", "3", blocker + "/sub")),
        "Cannot create the capture folder " + blocker + "/sub/: " + std::strerror(ENOTDIR));
}

// A file size limit below the simulated camera's frames (921 654 bytes as BMP files) fails the
// first frame; nothing partial or temporary is left.
TEST_F(CaptureHeadlessTest, FileSizeLimitExitsWithThree) {
    const RunResult r = RunKelpa(dir, Args("sim", "5"), [] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{500000, RLIM_INFINITY};
        return setrlimit(RLIMIT_FSIZE, &limit) == 0;
    });
    ExpectCaptureFailed(
        r, "Cannot write captured frames into " + captures + "/: " + std::strerror(EFBIG));
    EXPECT_NE(r.output.find("\"captured\": 0,"), std::string::npos) << r.output;
    EXPECT_TRUE(FilesIn(captures).empty());
}

// A disk of 1 MiB takes the first frame and fails the second.
TEST_F(CaptureHeadlessTest, FullDiskAndReadOnlyFileSystemExitWithThree) {
    struct Case {
        const char* options;
        unsigned long flags;
        int error;
    };
    for (const Case& c : {Case{"size=1m", 0, ENOSPC}, Case{"size=1m", MS_RDONLY, EROFS}}) {
        SCOPED_TRACE(c.options);
        const RunResult r = RunKelpa(dir, Args("sim", "5"),
                                     [&] { return MountTmpfs(captures, c.options, c.flags); });
        if (r.exitCode == kNoSetUp) GTEST_SKIP() << "no mount namespace for a small tmpfs here";
        ExpectCaptureFailed(
            r, "Cannot write captured frames into " + captures + "/: " + std::strerror(c.error));
    }
}

// A SER run that reaches a file size limit (a full disk to the file): the frame that does not
// fit is cut off, the file keeps the frames before it with their times and takes its name; the
// program ends with 3. The simulated camera's grey frames take 307 200 bytes.
TEST_F(CaptureHeadlessTest, FileSizeLimitEndsSerRunWithTheFramesThatFit) {
    std::vector<std::string> args = Args("sim", "50");
    args.insert(args.end(), {"--set", "CapFileType=1"});
    const RunResult r = RunKelpa(dir, args, [] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000000, RLIM_INFINITY};
        return setrlimit(RLIMIT_FSIZE, &limit) == 0;
    });
    ExpectCaptureFailed(
        r, "Cannot write captured frames into " + captures + "/: " + std::strerror(EFBIG));
    EXPECT_NE(r.output.find("\"captured\": 3,"), std::string::npos) << r.output;
    const std::vector<std::string> files = FilesIn(captures);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(EndsWith(files[0], ".ser")) << files[0];
    kelpa::testing::SerContent ser;
    ASSERT_TRUE(kelpa::testing::ReadSer(ReadFile(captures + "/" + files[0]), ser));
    EXPECT_EQ(ser.width * ser.height, 307200);
    EXPECT_EQ(ser.frameCount, 3);
    EXPECT_EQ(ser.times.size(), 3u);
}

}  // namespace
}  // namespace kelpa::test
