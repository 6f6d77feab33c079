// The options read before anything else starts: --help, --version and the headless run's.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kelpa {

struct CommandLine {
    bool help = false;
    bool version = false;
    bool headless = false;
    bool secondCopy = false;  // "/i" or "-i"
    std::string videoFile;    // a plain argument: a video file to play at start

    // Headless run.
    std::string source;   // "sim", a video file, or a V4L2 device node; empty: the first camera
    uint64_t frames = 0;  // 0: until the end of the file (or until interrupted)
    std::string profile;  // INI file to read instead of the user's profile
    std::string captureDir;
    uint32_t captureCount = 1;
    bool captureCountGiven = false;
    std::vector<std::pair<std::string, std::string>> settings;  // --set Key=Value
    uint32_t takeDarkFrames = 0;  // --take-dark N: take a dark frame of N frames, then end
    bool pacing = true;
};

// Fills `out`; false with a message in `error` for an unknown option or a bad value.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine* out, std::string* error);

// The text of --help.
const char* UsageText();

}  // namespace kelpa
