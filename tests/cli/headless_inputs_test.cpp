// What a headless run accepts as input: sources judged by their node (FIFOs, directories and
// other devices refused at once, files played wherever they live, a plain file name used as the
// source) and profiles that cannot be read reported while the run goes on with the defaults.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "cli/kelpa_runner.h"
#include "media/file_test_util.h"
#include "media/media_init.h"

namespace kelpa::test {
namespace {

void WriteTestClip(const std::string& path) {
    ASSERT_TRUE(InitMedia());
    ClipParams clip;
    clip.format = "YUY2";
    clip.frames = 20;
    std::string error;
    ASSERT_TRUE(WriteClip(path, clip, &error)) << error;
}

TEST_F(HeadlessTest, SourcesThatAreNoFileOrCameraAreRefusedAtOnce) {
    const std::string fifo = dir / "m42.avi";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir / "folder.avi";
    std::filesystem::create_directories(folder);
    const std::pair<std::string, const char*> cases[] = {
        {fifo, "it is a FIFO"},  // used to wait in open() for a writer forever
        {folder, "it is a directory"},
        {"/dev/null", "it is a character device that is not a camera"},
    };
    for (const auto& [source, reason] : cases) {
        const RunResult r = Run(Args({"--source", source, "--frames", "1"}));
        EXPECT_EQ(r.exitCode, 1) << source;
        EXPECT_NE(r.errors.find("'" + source + "' as a source: " + reason), std::string::npos)
            << r.errors;
    }
}

TEST_F(HeadlessTest, AFileUnderDevIsPlayedAsAFile) {
    if (access("/dev/shm", W_OK) != 0) GTEST_SKIP() << "no writable /dev/shm";
    const std::string file = "/dev/shm/kelpa-headless-" + std::to_string(getpid()) + ".avi";
    WriteTestClip(file);
    const RunResult r = Run(Args({"--source", file, "--no-pacing"}));
    unlink(file.c_str());
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_EQ(Field(r.lines.back(), "frames"), 20);
    EXPECT_EQ(Field(r.lines.front(), "width"), 320);
}

TEST_F(HeadlessTest, APlainVideoFileIsTheSource) {
    const std::string file = dir / "m42.avi";
    WriteTestClip(file);
    const RunResult r = Run(Args({file, "--no-pacing"}));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_EQ(Field(r.lines.back(), "frames"), 20);  // not the simulator's endless frames
    EXPECT_EQ(Field(r.lines.front(), "width"), 320);
    EXPECT_NE(r.lines.back().find("\"source\": \"" + file + "\""), std::string::npos);
    EXPECT_EQ(Run(Args({file, "--source", "sim"})).exitCode, 2);
}

TEST_F(HeadlessTest, ProfilesThatCannotBeReadLeaveTheDefaults) {
    const std::string path = dir / "bad.ini";
    struct Case {
        std::function<void()> make;
        const char* reason;
    };
    const Case cases[] = {
        {[&] { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }, "it is not a regular file"},
        {[] {}, "it does not exist"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(path);
        c.make();
        const RunResult r =
            Run({"--headless", "--profile", path, "--source", "sim", "--frames", "2"});
        ASSERT_EQ(r.exitCode, 0) << c.reason << ": " << r.errors;
        const std::string message = "cannot read the profile '" + path + "': " + c.reason;
        EXPECT_NE(r.errors.find(message + "; using the defaults"), std::string::npos) << r.errors;
        EXPECT_NE(LogText().find(path), std::string::npos) << LogText();
        EXPECT_EQ(Field(r.lines.back(), "frames"), 2);
    }
}

}  // namespace
}  // namespace kelpa::test
