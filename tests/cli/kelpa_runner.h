// Test helper: runs the kelpa binary as a user would (arguments, environment, working folder,
// where standard output goes, a signal or a reader that goes away), and reads its JSON lines.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstddef>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/temp_files.h"

namespace kelpa::test {

struct RunResult {
    int exitCode = -1;               // -1: ended by a signal
    int signal = 0;                  // the signal that ended it
    std::vector<std::string> lines;  // standard output
    std::string errors;              // standard error
};

struct RunOptions {
    std::vector<std::string> environment;  // NAME=value, added to or replacing this process's
    std::string directory;                 // the working directory; empty: this one
    std::string output;                    // a file for standard output instead of the pipe
    size_t signalAfterLines = 0;           // send `signal` once this many lines arrived
    int signal = 0;
    size_t closeAfterLines = 0;  // stop reading (the reader goes away) after this many lines
};

using LineObserver = std::function<void(const std::string& line, pid_t child)>;

// Runs the program with `args`; `onLine` sees every output line as it arrives, with the
// child's pid (for reading its memory). A run that has not ended after two minutes is ended
// by SIGALRM.
RunResult RunKelpa(std::vector<std::string> args, const RunOptions& options = {},
                   const LineObserver& onLine = nullptr);

// The value of a numeric field of a JSON line ("frame": 12 -> 12); -1e300 when missing.
double Field(const std::string& line, const std::string& name);
bool IsSummary(const std::string& line);
// The names of the files in `folder` that end in `extension` ("" for all); none when the
// folder is missing.
std::vector<std::string> FilesIn(const std::string& folder, const std::string& extension = "");

// Every run reads this profile, never the user's, and keeps its log, configuration files, dark
// frames and guide logs in folders of its own.
struct HeadlessTest : ::testing::Test {
    void SetUp() override { std::ofstream(profile) << "[kelpa]\nProcAuto=0\n"; }
    std::vector<std::string> Args(std::vector<std::string> extra) const;
    RunResult Run(std::vector<std::string> args, RunOptions options = {},
                  const LineObserver& onLine = nullptr) const;

    kelpa::testing::TempDir dir;
    std::string profile = dir / "kelpa.ini";
    std::string state = dir / "state";
    std::string config = dir / "config";
    std::string data = dir / "data";
};

}  // namespace kelpa::test
