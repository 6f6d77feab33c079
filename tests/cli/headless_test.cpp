// The headless run as a user runs it: the kelpa binary with its options, its JSON lines and
// summary, its exit codes and their reasons, how it ends, where it keeps its files, dark frames
// and the guide star, and a profile it must not change. Each run starts the program, so each
// test makes the most of few runs.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/kelpa_runner.h"
#include "media/media_init.h"
#include "sim/sim_sky.h"
#include "support/video_clips.h"

namespace kelpa::test {
namespace {

namespace fs = std::filesystem;
using kelpa::testing::ReadFile;

// Says whether `text` holds `part`, showing the text when it does not.
::testing::AssertionResult Holds(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << part << "\" not in:\n" << text;
}

double MeanOfFrames(const RunResult& r) {
    double sum = 0;
    for (size_t i = 0; i + 1 < r.lines.size(); ++i) sum += Field(r.lines[i], "mean");
    return r.lines.size() > 1 ? sum / double(r.lines.size() - 1) : -1;
}

// One simulator run: a JSON line per frame with the profile's and --set's values, the summary;
// the log and the side logs in the user's state folder (private), the configuration from the
// user's configuration folder, nothing in the working folder, and the profile as it was.
TEST_F(HeadlessTest, SimulatorRunPrintsItsFramesAndWritesOnlyItsLogs) {
    std::ofstream(profile) << "[kelpa]\nProcAuto=0\nProcAmp=200\nProcCountAccum=3\n";
    const std::string before = ReadFile(profile);
    fs::create_directories(config + "/kelpa");
    std::ofstream(config + "/kelpa/kcommon.cfg") << "[\n";  // stops the parser
    RunOptions options;
    options.directory = dir / "work";
    fs::create_directories(options.directory);
    const RunResult r =
        Run(Args({"--source", "sim", "--frames", "6", "--set", "ProcCountAccum=1", "--set",
                  "ProcTimeDelay=0", "--set", "VidCapWidth=320", "--set", "vidcapheight=240"}),
            options);
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    ASSERT_EQ(r.lines.size(), 7u);
    for (size_t i = 0; i < 6; ++i) {
        const std::string& line = r.lines[i];
        SCOPED_TRACE(line);
        EXPECT_EQ(Field(line, "frame"), double(i + 1));
        EXPECT_EQ(Field(line, "width") * Field(line, "height"), 320 * 240);
        EXPECT_EQ(Field(line, "amp"), 200);       // from the profile
        EXPECT_EQ(Field(line, "countAccum"), 1);  // from --set
        for (const char* name :
             {"time", "histMin", "histMax", "rms", "bkgrRms", "starX", "starY"}) {
            EXPECT_GT(Field(line, name), -1e300) << name;
        }
        EXPECT_GT(Field(line, "mean"), Field(line, "bkgr") - 1);  // stars lift the mean
        EXPECT_TRUE(line.ends_with(", \"delayMs\": 0}"));         // the guide is off: no metrics
    }
    EXPECT_EQ(Field(r.lines.back(), "frames"), 6);  // the summary's field
    EXPECT_GE(Field(r.lines.back(), "dropped"), 0);
    EXPECT_GT(Field(r.lines.back(), "fps"), 0);

    EXPECT_EQ(ReadFile(profile), before);
    EXPECT_TRUE(Holds(ReadFile(state + "/kelpa/kelpa.log"),
                      "Parsing error. " + config + "/kelpa/kcommon.cfg"));
    EXPECT_EQ(ReadFile(state + "/kelpa/kcommon.cfg.log"), "1: stop parsing! -->  [\n");
    EXPECT_FALSE(fs::exists(config + "/kelpa/kcommon.cfg.log"));
    EXPECT_TRUE(fs::is_empty(options.directory));
    EXPECT_EQ(fs::status(state + "/kelpa").permissions(), fs::perms::owner_all);
}

// Exit code 2 for a --set the tables refuse, 1 for a source that cannot be opened and for
// standard output that cannot be written (a full disk, a reader that went away: not SIGPIPE in
// the middle of a frame); each names the reason.
TEST_F(HeadlessTest, BadSettingsExitWithTwoAndBadSourcesOrOutputWithOne) {
    RunOptions full;
    full.output = "/dev/full";
    RunOptions closed;
    closed.closeAfterLines = 2;
    const struct {
        std::vector<std::string> args;
        RunOptions options;
        int exitCode;
        std::string why;
    } cases[] = {
        {{"--source", "sim", "--set", "ProcAmpp=200"}, {}, 2, "unknown setting ProcAmpp"},
        {{"--source", "sim", "--set", "ProcAmp=abc"},
         {},
         2,
         "bad value for ProcAmp: \"abc\" is not a whole number"},
        {{"--source", dir / "none.avi"}, {}, 1, "none.avi' as a source: No such file or directory"},
        {{"--source", "sim", "--frames", "300"},
         full,
         1,
         "cannot write to standard output: No space left on device"},
        {{"--source", "sim", "--frames", "300"}, closed, 1, "Broken pipe"},
    };
    for (const auto& c : cases) {
        const RunResult r = Run(Args(c.args), c.options);
        EXPECT_EQ(r.signal, 0) << c.why;
        EXPECT_EQ(r.exitCode, c.exitCode) << c.why;
        EXPECT_TRUE(Holds(r.errors, c.why));
        EXPECT_EQ(r.lines.empty(), c.options.closeAfterLines == 0) << c.why;
    }
}

// A video file named without --source is the source: it plays to its end, and its name, bytes
// of an old archive that are no UTF-8, stays valid JSON. A profile that does not exist and a
// state folder that cannot be made cost only themselves: the run says so and goes on.
TEST_F(HeadlessTest, AVideoFileNamedAloneIsPlayedToItsEndWhateverIsMissing) {
    ASSERT_TRUE(InitMedia());
    const std::string file = dir / "m42 \xff\xfe.avi";
    ClipParams clip;
    clip.frames = 8;
    std::string error;
    ASSERT_TRUE(WriteClip(file, clip, &error)) << error;
    std::ofstream(state) << "a file where the folder should be";
    const std::string absent = dir / "absent.ini";
    const RunResult r =
        Run({"--headless", "--profile", absent, file, "--no-pacing", "--set", "ProcAuto=0"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_EQ(Field(r.lines.front(), "width"), 320);
    EXPECT_EQ(Field(r.lines.back(), "frames"), 8);  // not the simulator's endless frames
    EXPECT_TRUE(Holds(r.lines.back(), "\"source\": \"" + dir / "m42 \\ufffd\\ufffd.avi\"}"));
    EXPECT_TRUE(Holds(r.errors, "cannot read the profile '" + absent +
                                    "': it does not exist; using the defaults"));
    EXPECT_FALSE(fs::exists(absent));  // and is not made
    EXPECT_TRUE(Holds(r.errors, "no log is written"));
}

// SIGINT, SIGTERM and SIGHUP end the run with its summary and whole captures only: 320 x 240
// bitmaps under the camera's name, no temporaries.
TEST_F(HeadlessTest, SignalsEndTheRunWithItsSummaryAndCompleteCaptures) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        const std::string captures = dir / ("caps" + std::to_string(signal));
        RunOptions options;
        options.signalAfterLines = 3;
        options.signal = signal;
        const RunResult r =
            Run(Args({"--source", "sim", "--capture-dir", captures, "--capture-count", "100000",
                      "--set", "VidCapWidth=320", "--set", "VidCapHeight=240"}),
                options);
        ASSERT_EQ(r.exitCode, 0) << "signal " << r.signal << ": " << r.errors;
        EXPECT_EQ(Field(r.lines.back(), "frames"), double(r.lines.size() - 1));  // the summary
        const std::vector<std::string> names = FilesIn(captures);
        for (const std::string& name : names) {
            EXPECT_TRUE(name.starts_with("capTelescope_") && name.ends_with(".bmp")) << name;
            EXPECT_EQ(fs::file_size(captures + "/" + name), 54u + 320u * 3u * 240u) << name;
        }
        EXPECT_GE(names.size(), 3u);
        EXPECT_EQ(Field(r.lines.back(), "captured"), double(names.size()));
    }
}

// Taking a dark: a take the run cuts short stores nothing and fails; a take of the simulated
// camera's own sky is stored, and later runs with DarkUse=1 subtract it: much darker frames.
TEST_F(HeadlessTest, ATakenDarkIsStoredAndSubtractedByLaterRuns) {
    std::ofstream(profile) << "[kelpa]\nProcAuto=0\nProcCountAccum=1\nProcTimeDelay=0\n";
    const std::string darks = data + "/kelpa/darks";
    const RunResult cut =
        Run(Args({"--source", "sim", "--frames", "2", "--take-dark", "200", "--set", "DarkUse=1"}));
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_TRUE(Holds(cut.errors, "No dark frame stored for 640x480"));
    EXPECT_TRUE(Holds(cut.errors, "of 200 dark frames; nothing stored"));
    EXPECT_TRUE(FilesIn(darks).empty());

    const RunResult take = Run(Args({"--source", "sim", "--take-dark", "6"}));
    ASSERT_EQ(take.exitCode, 0) << take.errors;
    const std::vector<std::string> stored = FilesIn(darks, ".kdark");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_TRUE(Holds(take.errors, "Dark frame of 6 frames taken for 640x480"));
    EXPECT_TRUE(Holds(take.errors, darks + "/" + stored[0]));

    const RunResult with = Run(Args({"--source", "sim", "--frames", "4", "--set", "DarkUse=1"}));
    ASSERT_EQ(with.exitCode, 0) << with.errors;
    EXPECT_FALSE(Holds(with.errors, "Dark frame"));
    EXPECT_LT(MeanOfFrames(with), MeanOfFrames(take) * 0.5);
}

// With the guide and its refinement on an area around the simulator's guide star (the region
// its track keeps free of field stars and hot pixels), every line ends with the star's metrics
// as numbers (their accuracy is the star metrics tests'), and the guide log is written into
// the data folder (its name and columns are the guide log tests').
TEST_F(HeadlessTest, GuideOnAStarPrintsItsMetricsAndWritesTheGuideLog) {
    std::ofstream(profile) << "[kelpa]\nProcAuto=0\nProcGuideEnable=1\nProcGuideRefine=1\n"
                              "GuideLog=1\nProcCountAccum=1\nProcTimeDelay=0\n";
    const SimSkyParams sky;  // what the simulated camera renders at 640 x 480
    const SimRect zone = SimGuideTrack(sky).Zone();
    std::vector<std::string> args = {"--source", "sim", "--frames", "6"};
    for (const auto& [key, value] :
         {std::pair{"ProcAreaX", 0.5 * (zone.left + zone.right) / sky.width},
          {"ProcAreaY", 0.5 * (zone.top + zone.bottom) / sky.height},
          {"ProcAreaW", 0.9 * (zone.right - zone.left) / sky.width},
          {"ProcAreaH", 0.9 * (zone.bottom - zone.top) / sky.height}}) {
        args.insert(args.end(), {"--set", std::string(key) + "=" + std::to_string(value)});
    }
    const RunResult r = Run(Args(args));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    ASSERT_EQ(r.lines.size(), 7u);
    for (size_t i = 0; i < 6; ++i) {
        const std::string& line = r.lines[i];
        SCOPED_TRACE(line);
        for (const char* name : {"hfd", "fwhm"}) ASSERT_GT(Field(line, name), 0.0) << name;
        EXPECT_GT(Field(line, "peak"), Field(line, "bkgr") + 50);
        EXPECT_GT(Field(line, "snr"), 10.0);
    }
    const std::vector<std::string> logs = FilesIn(data + "/kelpa", ".csv");
    ASSERT_EQ(logs.size(), 1u);
    const std::string text = ReadFile(data + "/kelpa/" + logs[0]);
    EXPECT_GE(std::count(text.begin(), text.end(), '\n'), 2) << text;
}

}  // namespace
}  // namespace kelpa::test
