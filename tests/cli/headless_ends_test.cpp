// How a headless run ends: on SIGINT, SIGTERM and SIGHUP with its summary and complete
// captures, with exit code 1 when standard output cannot be written (a full disk, a reader
// that went away), and with valid JSON whatever its source file is called.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "cli/kelpa_runner.h"
#include "media/file_test_util.h"
#include "media/media_init.h"

namespace kelpa::test {
namespace {

TEST_F(HeadlessTest, SignalsEndTheRunWithItsSummaryAndCompleteCaptures) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        const std::string captures = dir / ("caps" + std::to_string(signal));
        RunOptions options;
        options.signalAfterLines = 5;
        options.signal = signal;
        const RunResult r =
            Run(Args({"--source", "sim", "--capture-dir", captures, "--capture-count", "100000"}),
                options);
        ASSERT_EQ(r.exitCode, 0) << "signal " << r.signal << ": " << r.errors;
        ASSERT_TRUE(IsSummary(r.lines.back()));
        EXPECT_EQ(Field(r.lines.back(), "frames"), double(r.lines.size() - 1));
        int bmps = 0;
        for (const auto& entry : std::filesystem::directory_iterator(captures)) {
            ASSERT_EQ(entry.path().extension(), ".bmp") << entry.path();  // nothing half-done
            EXPECT_EQ(entry.file_size(), 54u + 640u * 3u * 480u);
            ++bmps;
        }
        EXPECT_GE(bmps, 5);
        EXPECT_EQ(Field(r.lines.back(), "captured"), bmps);
    }
}

TEST_F(HeadlessTest, AFullOutputEndsTheRunWithOne) {
    RunOptions options;
    options.output = "/dev/full";
    const RunResult r = Run(Args({"--source", "sim", "--frames", "20"}), options);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.errors.find("cannot write to standard output: No space left on device"),
              std::string::npos)
        << r.errors;
}

TEST_F(HeadlessTest, AReaderThatGoesAwayEndsTheRunWithOne) {
    RunOptions options;
    options.closeAfterLines = 3;
    const RunResult r = Run(Args({"--source", "sim", "--frames", "300"}), options);
    EXPECT_EQ(r.signal, 0);  // not killed by SIGPIPE in the middle of a frame
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.errors.find("Broken pipe"), std::string::npos) << r.errors;
}

TEST_F(HeadlessTest, NamesThatAreNotUtf8StayValidJson) {
    ASSERT_TRUE(InitMedia());
    const std::string file = dir / "m42 \xff\xfe.avi";  // Latin-1 bytes from an old archive
    ClipParams clip;
    clip.frames = 3;
    std::string error;
    ASSERT_TRUE(WriteClip(file, clip, &error)) << error;
    const RunResult r = Run(Args({"--source", file, "--no-pacing"}));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    const std::string& summary = r.lines.back();
    EXPECT_NE(summary.find("m42 \\ufffd\\ufffd.avi\"}"), std::string::npos) << summary;
    EXPECT_EQ(summary.find('\xff'), std::string::npos);
}

}  // namespace
}  // namespace kelpa::test
