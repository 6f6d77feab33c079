// The headless run as a user runs it: the kelpa binary with its options, its JSON lines, its
// summary, its exit codes, its captures and a profile it must not change.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/kelpa_runner.h"
#include "media/file_test_util.h"
#include "media/media_init.h"

namespace kelpa::test {
namespace {

TEST_F(HeadlessTest, SimulatorFramesBecomeJsonLinesAndASummary) {
    const RunResult r = Run(Args({"--source", "sim", "--frames", "12"}));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    ASSERT_EQ(r.lines.size(), 13u);
    for (size_t i = 0; i < 12; ++i) {
        const std::string& line = r.lines[i];
        EXPECT_EQ(Field(line, "frame"), double(i + 1));
        EXPECT_EQ(Field(line, "width"), 640);
        EXPECT_EQ(Field(line, "height"), 480);
        for (const char* name : {"time", "histMin", "histMax", "mean", "rms", "bkgr", "bkgrRms",
                                 "starX", "starY", "amp", "countAccum", "delayMs"}) {
            EXPECT_GT(Field(line, name), -1e300) << name << " missing in " << line;
        }
        EXPECT_GT(Field(line, "mean"), Field(line, "bkgr") - 1);  // stars lift the mean
    }
    ASSERT_TRUE(IsSummary(r.lines.back()));
    EXPECT_EQ(Field(r.lines.back(), "frames"), 12);
    EXPECT_GE(Field(r.lines.back(), "dropped"), 0);
    EXPECT_GT(Field(r.lines.back(), "fps"), 0);
}

TEST_F(HeadlessTest, BadArgumentsExitWithTwo) {
    EXPECT_EQ(Run({"--headless", "--frames", "many"}).exitCode, 2);
    EXPECT_EQ(Run({"--frames", "5"}).exitCode, 2);  // headless options without --headless
    EXPECT_EQ(Run({"--headless", "--bogus"}).exitCode, 2);
    EXPECT_EQ(Run({"--headless", "--set", "NoValue"}).exitCode, 2);
    // A key no table declares, or a value that is none of the key's kind, names the key.
    const std::pair<const char*, const char*> sets[] = {
        {"ProcAmpp=200", "unknown setting ProcAmpp"},
        {"ProcAmp=abc", "bad value for ProcAmp: \"abc\" is not a whole number"},
        {"CapObserver="
         "12345678901234567890123456789012345678901",
         "bad value for CapObserver"}};
    for (const auto& [set, why] : sets) {
        const RunResult r = Run({"--headless", "--source", "sim", "--set", set});
        EXPECT_EQ(r.exitCode, 2) << set;
        EXPECT_NE(r.errors.find(why), std::string::npos) << r.errors;
        EXPECT_TRUE(r.lines.empty()) << set;
    }
}

TEST_F(HeadlessTest, SourcesThatCannotBeOpenedExitWithOneAndSayWhy) {
    const RunResult missing = Run(Args({"--source", dir / "no such file.avi"}));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.errors.find("no such file.avi' as a source: No such file"), std::string::npos)
        << missing.errors;
    const RunResult node = Run(Args({"--source", "/dev/video99", "--frames", "1"}));
    EXPECT_EQ(node.exitCode, 1);
    EXPECT_FALSE(node.errors.empty());
    std::ofstream(dir / "garbage.avi") << "RIFF this is not a video at all";
    const RunResult garbage = Run(Args({"--source", dir / "garbage.avi"}));
    EXPECT_EQ(garbage.exitCode, 1);
    EXPECT_NE(garbage.errors.find("Can't render video file"), std::string::npos) << garbage.errors;
}

TEST_F(HeadlessTest, OverridesApplyAndTheProfileIsNotWritten) {
    std::ofstream(profile) << "[kelpa]\nProcAuto=0\nProcAmp=200\nProcCountAccum=3\n";
    const std::string before = kelpa::testing::ReadText(profile);
    const RunResult r = Run(Args({"--source", "sim", "--frames", "4", "--set", "ProcCountAccum=1",
                                  "--set", "ProcTimeDelay=0"}));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_EQ(Field(r.lines.front(), "amp"), 200);       // from the profile
    EXPECT_EQ(Field(r.lines.front(), "countAccum"), 1);  // from --set
    EXPECT_EQ(kelpa::testing::ReadText(profile), before);
    // The camera's preferred format is a setting like the others.
    const RunResult small = Run(Args({"--source", "sim", "--frames", "2", "--set",
                                      "VidCapWidth=320", "--set", "vidcapheight=240"}));
    ASSERT_EQ(small.exitCode, 0) << small.errors;
    EXPECT_EQ(Field(small.lines.front(), "width"), 320);
    EXPECT_EQ(Field(small.lines.front(), "height"), 240);
}

TEST_F(HeadlessTest, CaptureDirectoryReceivesTheRequestedFrames) {
    const std::string captures = dir / "caps dir";
    const RunResult r = Run(Args(
        {"--source", "sim", "--frames", "10", "--capture-dir", captures, "--capture-count", "3"}));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    int bmps = 0;
    for (const auto& entry : std::filesystem::directory_iterator(captures)) {
        const std::string name = entry.path().filename().string();
        ASSERT_EQ(entry.path().extension(), ".bmp") << name;  // no temporary file left
        EXPECT_EQ(name.rfind("capTelescope_", 0), 0u) << name;
        EXPECT_EQ(entry.file_size(), 54u + 640u * 3u * 480u);
        ++bmps;
    }
    EXPECT_EQ(bmps, 3);
    EXPECT_EQ(Field(r.lines.back(), "captured"), 3);
}

TEST_F(HeadlessTest, VideoFilePlaysToItsEnd) {
    ASSERT_TRUE(InitMedia());
    const std::string file = dir / "m42 über.avi";
    ClipParams clip;
    clip.format = "YUY2";
    clip.frames = 20;
    std::string error;
    ASSERT_TRUE(WriteClip(file, clip, &error)) << error;
    const RunResult r = Run(Args({"--source", file, "--no-pacing"}));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    ASSERT_TRUE(IsSummary(r.lines.back()));
    EXPECT_EQ(Field(r.lines.back(), "frames"), 20);
    EXPECT_EQ(Field(r.lines.front(), "width"), 320);
}

}  // namespace
}  // namespace kelpa::test
