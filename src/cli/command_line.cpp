#include "cli/command_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "app/settings_tables.h"

namespace kelpa {
namespace {

constexpr const char* kUsage =
    "Usage: kelpa [OPTIONS] [VIDEO-FILE]\n"
    "       kelpa --headless [HEADLESS OPTIONS] [VIDEO-FILE]\n"
    "Live video processing for a camera on a telescope: stacking, gain, black level and\n"
    "gamma, banding removal, area statistics, guide-star tracking and capture to BMP, SER\n"
    "or FITS files.\n"
    "Without --headless Kelpa opens its windows on the camera it used last (else the first\n"
    "camera, else the simulated one) or on VIDEO-FILE; with no display to open them on, it\n"
    "says so and runs headless instead.\n"
    "\n"
    "Options:\n"
    "  -i, /i                 allow a second copy of the program to run\n"
    "  --help                 show this help and exit\n"
    "  --version              show the version and exit\n"
    "\n"
    "Headless run (the whole frame path without windows; one JSON line per processed frame on\n"
    "standard output, then a summary line; a VIDEO-FILE is the source when --source is not\n"
    "given; Ctrl+C, SIGTERM and SIGHUP end the run with its summary):\n"
    "  --headless             run without windows\n"
    "  --source SOURCE        'sim' (the simulated telescope camera), a video file, or a V4L2\n"
    "                         device such as /dev/video0; default: the first camera found,\n"
    "                         else the simulated one\n"
    "  --frames N             stop after N processed frames (default: at the end of a file,\n"
    "                         or on Ctrl+C)\n"
    "  --profile INI          read the settings from this profile instead of the user's\n"
    "  --set KEY=VALUE        override one setting of the profile for this run (may be\n"
    "                         repeated; nothing is written back); an unknown KEY or a VALUE\n"
    "                         that is not one of its kind is a bad argument\n"
    "  --capture-dir DIR      capture frames into DIR (BMP files; SER or FITS with\n"
    "                         --set CapFileType=1 or 2; the live picture with CapContent=1)\n"
    "  --capture-count N      frames to capture (default 1)\n"
    "  --no-pacing            play files as fast as they decode instead of at their frame rate\n"
    "  --take-dark N          with the lens cap on: average the next N frames (1 to 1024) into\n"
    "                         the master dark of this source, size and format, store it in\n"
    "                         the user's data folder, and end the run; --set DarkUse=1\n"
    "                         subtracts the stored dark from every frame of later runs\n"
    "\n"
    "Exit codes: 0 success, 1 the source could not be opened or failed, standard output\n"
    "could not be written, or the dark frame could not be taken or stored, 2 bad arguments,\n"
    "3 capture failed (a capture could not be written; the reason goes to standard error).\n";

bool ParseCount(const char* text, uint64_t max, uint64_t* out) {
    if (!text || !*text || *text == '-') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || v > max) return false;
    *out = v;
    return true;
}

}  // namespace

const char* UsageText() {
    return kUsage;
}

bool ParseCommandLine(int argc, const char* const* argv, CommandLine* out, std::string* error) {
    *out = CommandLine{};
    auto value = [&](int& i, const char* option) -> const char* {
        if (i + 1 >= argc) {
            *error = std::string(option) + " needs a value";
            return nullptr;
        }
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0) {
            out->help = true;
        } else if (std::strcmp(arg, "--version") == 0) {
            out->version = true;
        } else if (std::strcmp(arg, "--headless") == 0) {
            out->headless = true;
        } else if (std::strcmp(arg, "-i") == 0 || std::strcmp(arg, "/i") == 0) {
            out->secondCopy = true;
        } else if (std::strcmp(arg, "--no-pacing") == 0) {
            out->pacing = false;
        } else if (std::strcmp(arg, "--source") == 0) {
            const char* v = value(i, arg);
            if (!v) return false;
            out->source = v;
        } else if (std::strcmp(arg, "--profile") == 0) {
            const char* v = value(i, arg);
            if (!v) return false;
            out->profile = v;
        } else if (std::strcmp(arg, "--capture-dir") == 0) {
            const char* v = value(i, arg);
            if (!v) return false;
            out->captureDir = v;
        } else if (std::strcmp(arg, "--frames") == 0 || std::strcmp(arg, "--capture-count") == 0) {
            const char* v = value(i, arg);
            uint64_t n = 0;
            if (!v) return false;
            if (!ParseCount(v, UINT32_MAX, &n) || n == 0) {
                *error = std::string(arg) + " needs a positive number, not '" + v + "'";
                return false;
            }
            if (arg[2] == 'f') {
                out->frames = n;
            } else {
                out->captureCount = static_cast<uint32_t>(n);
                out->captureCountGiven = true;
            }
        } else if (std::strcmp(arg, "--take-dark") == 0) {
            const char* v = value(i, arg);
            uint64_t n = 0;
            if (!v) return false;
            if (!ParseCount(v, 1024, &n) || n == 0) {
                *error = std::string("--take-dark needs a number of frames from 1 to 1024, not '") +
                         v + "'";
                return false;
            }
            out->takeDarkFrames = static_cast<uint32_t>(n);
        } else if (std::strcmp(arg, "--set") == 0) {
            const char* v = value(i, arg);
            if (!v) return false;
            const char* eq = std::strchr(v, '=');
            if (!eq || eq == v) {
                *error = std::string("--set needs KEY=VALUE, not '") + v + "'";
                return false;
            }
            // A key no settings table declares, or a text that is no value of its kind, would
            // otherwise be ignored without a word.
            std::string key(v, eq);
            std::string text(eq + 1);
            if (const std::string why = CheckProgramSetting(key, text); !why.empty()) {
                *error = std::string("--set ") + v + ": " + why;
                return false;
            }
            out->settings.emplace_back(std::move(key), std::move(text));
        } else if (arg[0] == '-' && arg[1] == '-') {
            *error = std::string("unknown option '") + arg + "'";
            return false;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            *error = std::string("unknown option '") + arg + "'";
            return false;
        } else {
            out->videoFile = arg;
        }
    }
    const bool headlessOnly = !out->source.empty() || out->frames || !out->profile.empty() ||
                              !out->captureDir.empty() || out->captureCountGiven ||
                              !out->settings.empty() || !out->pacing || out->takeDarkFrames;
    if (headlessOnly && !out->headless && !out->help && !out->version) {
        *error = "the headless options need --headless";
        return false;
    }
    if (out->headless && !out->videoFile.empty()) {
        if (!out->source.empty()) {
            *error = "--source and the video file '" + out->videoFile + "' name two sources";
            return false;
        }
        out->source = out->videoFile;
    }
    if (out->captureCountGiven && out->captureDir.empty()) {
        *error = "--capture-count needs --capture-dir";
        return false;
    }
    return true;
}

}  // namespace kelpa
