// The whole windowed program on an X server of its own (Xvfb), driven by a test script inside
// it: the first night on the simulated camera (stars in the Processing window, the other
// windows), a capture with F10, the area and the gamma changed while it runs, Exit from the
// menu, and the settings found again at the next start; and the single-instance rule.
#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "cli/kelpa_runner.h"
#include "support/temp_files.h"

namespace kelpa::test {
namespace {

using kelpa::testing::ReadFile;
using kelpa::testing::TempDir;
using kelpa::testing::WriteFile;

// The program's surroundings: `display`, no Wayland, no platform forced, its folders in `dir`.
std::vector<std::string> BaseEnvironment(const TempDir& dir, const std::string& display) {
    return {display,
            "WAYLAND_DISPLAY=",
            "QT_QPA_PLATFORM=",
            "XDG_RUNTIME_DIR=" + (dir / "run"),
            "XDG_CONFIG_HOME=" + (dir / "config"),
            "XDG_STATE_HOME=" + (dir / "state")};
}

// Runs on the X server its command gives it (xvfb-run): the display is this process's.
class WindowedProgramTest : public ::testing::Test {
  protected:
    WindowedProgramTest() {
        std::filesystem::create_directories(runtime);
        chmod(runtime.c_str(), 0700);
        std::filesystem::create_directories(captures);
        // The simulated camera even on a machine with a camera of its own.
        WriteFile(profile, "[kelpa]\nViewLiveVis=1\nProcInfo=1\nCapCount=3\nCapWorkDir=" +
                               captures + "\n[quill]\nVideoDevice2=sim:telescope\n");
    }

    void SetUp() override { ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run"; }

    // Runs the program with `script`, which writes its report beside it (read by Report).
    RunResult Start(const std::string& name, const std::string& script,
                    std::vector<std::string> args = {}) {
        const std::string path = dir / (name + ".script");
        WriteFile(path, script);
        RunOptions options;
        std::vector<std::string>& environment = options.environment;
        environment = BaseEnvironment(dir, std::string("DISPLAY=") + std::getenv("DISPLAY"));
        environment.push_back("KELPA_PROFILE=" + profile);
        environment.push_back("KELPA_TEST_SCRIPT=" + path);
        // Under AddressSanitizer: the X keyboard library copies counted names with strndup,
        // which the strict string checks read past; that is not this program's fault.
        if (const char* asan = std::getenv("ASAN_OPTIONS")) {
            environment.push_back(std::string("ASAN_OPTIONS=") + asan + ":strict_string_checks=0");
        }
        return RunKelpa(std::move(args), options);
    }
    std::vector<std::string> Report(const std::string& name) const {
        std::vector<std::string> lines;
        std::ifstream in(dir / (name + ".script.report"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // The run ended well: exit code 0, nothing on stderr, its script to the end.
    void ExpectDone(const RunResult& run, const std::string& name) const {
        EXPECT_EQ(run.exitCode, 0) << name;
        EXPECT_EQ(run.errors, "") << name;
        const std::vector<std::string> report = Report(name);
        EXPECT_TRUE(!report.empty() && report.back() == "done") << name;
    }
    // The value the script printed for `what` in the report of `name`.
    std::string Value(const std::string& name, const std::string& what) const {
        for (const std::string& line : Report(name)) {
            if (line.rfind(what + "=", 0) == 0) return line.substr(what.size() + 1);
        }
        return "<missing>";
    }

    TempDir dir;
    std::string runtime = dir / "run";
    std::string captures = dir / "captures";
    std::string profile = dir / "kelpa.ini";
};

TEST_F(WindowedProgramTest, FirstNightShowsStarsCapturesAndKeepsItsSettings) {
    std::string script =
        "timeout 15\nwait-window KELPA v. 2.2\nwait-window Live\nwait-window Info: Statistic\n"
        "wait-picture Processing\nprint windows\nkey F10\nwait-files ";
    script += captures + " 3\nwait-status Capturing 3 (+3) frame(s)\narea 80 60 400 300\n";
    script += "gamma 200\nwait-picture Processing\nprint gamma\nprint area\nmenu Control/Exit\n";
    ExpectDone(Start("first", script), "first");
    EXPECT_EQ(Value("first", "windows"), "Info: Statistic,KELPA v. 2.2,Live,Processing");
    int bitmaps = 0;
    for (const auto& entry : std::filesystem::directory_iterator(captures)) {
        EXPECT_EQ(ReadFile(entry.path()).substr(0, 2), "BM") << entry.path();
        bitmaps += entry.path().extension() == ".bmp";
    }
    EXPECT_EQ(bitmaps, 3);
    EXPECT_EQ(Value("first", "gamma"), "200");
    const std::string area = Value("first", "area");
    EXPECT_NE(area, "<missing>");
    // Closing the main window wrote the profile.
    const std::string saved = ReadFile(profile);
    for (const char* key : {"ProcGamma=200", "MX=", "VideoDevice2=", "VLW=", "View2Mode="}) {
        EXPECT_NE(saved.find(key), std::string::npos) << key << "\n" << saved;
    }

    ExpectDone(Start("second",
                     "wait-window KELPA v. 2.2\nprint gamma\nprint area\nprint state\n"
                     "menu Control/Exit\n"),
               "second");
    EXPECT_EQ(Value("second", "gamma"), "200");
    EXPECT_EQ(Value("second", "area"), area);
    EXPECT_EQ(Value("second", "state"), "2");  // the saved camera, running
}

// A copy that waits for the file `go`; a second one ends at once without a window (its script
// never runs), unless /i allows it.
TEST_F(WindowedProgramTest, ASecondCopyEndsAtOnceUnlessAllowed) {
    const std::string go = dir / "go";
    const std::string script = "wait-window KELPA v. 2.2\nprint state\ntimeout 25\nwait-file ";
    // Should a check below fail, the first copy ends at its script's timeout.
    std::future<RunResult> first = std::async(std::launch::async, [&] {
        return Start("running", script + go + "\nmenu Control/Exit\n");
    });
    // The first copy is up once its report has a line.
    for (int i = 0; i < 300 && Report("running").empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_FALSE(Report("running").empty());

    const RunResult second = Start("second", "wait-window KELPA v. 2.2\nmenu Control/Exit\n");
    EXPECT_EQ(std::pair(second.exitCode, second.errors), std::pair(0, std::string()));
    EXPECT_FALSE(std::filesystem::exists(dir / "second.script.report"));

    ExpectDone(Start("allowed", "wait-window KELPA v. 2.2\nmenu Control/Exit\n", {"/i"}),
               "allowed");
    WriteFile(go, "");
    ExpectDone(first.get(), "running");
}

// Without a display the program says so in one line and runs headless on its default source;
// Qt never gets to abort with its platform message.
TEST(NoDisplayTest, SaysSoInOneLineAndRunsHeadless) {
    TempDir dir;
    WriteFile(dir / "kelpa.ini", "[kelpa]\nProcAuto=0\n");
    for (const char* display : {"DISPLAY=:97", "DISPLAY="}) {
        RunOptions options;
        options.environment = BaseEnvironment(dir, display);
        options.environment.push_back("KELPA_TEST_SCRIPT=");
        options.environment.push_back("KELPA_PROFILE=" + (dir / "kelpa.ini"));
        options.signalAfterLines = 5;
        options.signal = SIGINT;
        const RunResult run = RunKelpa({}, options);
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        ASSERT_GE(run.lines.size(), 6u) << display;  // five frames and the summary
        EXPECT_NE(run.lines[0].find("\"frame\""), std::string::npos) << run.lines[0];
        EXPECT_TRUE(IsSummary(run.lines.back()));
        const std::string first = run.errors.substr(0, run.errors.find('\n'));
        EXPECT_EQ(first.rfind("kelpa: no display (", 0), 0u) << run.errors;
        EXPECT_NE(first.find("running headless on the default source"), std::string::npos)
            << run.errors;
        EXPECT_EQ(run.errors.find("qt."), std::string::npos) << run.errors;
    }
}

}  // namespace
}  // namespace kelpa::test
