// Entry point: reads the options that are handled before anything else starts and runs the
// program the way they ask: the headless run, or the windowed program when a display answers
// (the headless run on the default source when none does).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/command_line.h"
#include "cli/headless_run.h"
#include "gui/display_probe.h"
#include "gui/windowed_run.h"

int main(int argc, char** argv) {
    kelpa::CommandLine options;
    std::string error;
    if (!kelpa::ParseCommandLine(argc, argv, &options, &error)) {
        std::fprintf(stderr, "kelpa: %s\nTry 'kelpa --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kelpa::UsageText(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("kelpa %s\n", KELPA_VERSION_TEXT);
        return 0;
    }
    if (options.headless) return kelpa::RunHeadless(options);

    // An empty platform name is no choice; Qt would read it as one.
    if (const char* platform = std::getenv("QT_QPA_PLATFORM"); platform && *platform == '\0') {
        unsetenv("QT_QPA_PLATFORM");
    }
    const kelpa::DisplayProbe display = kelpa::ProbeDisplay();
    const char* script = std::getenv("KELPA_TEST_SCRIPT");
    if (!display.usable && script != nullptr && *script != '\0') {
        // A test script drives windows; without them it could only wait for ever.
        std::fprintf(stderr, "kelpa: no display for the test script (%s)\n",
                     display.reason.c_str());
        return 1;
    }
    if (!display.usable) {
        std::fprintf(stderr, "kelpa: no display (%s): running headless on %s\n",
                     display.reason.c_str(),
                     options.videoFile.empty() ? "the default source" : options.videoFile.c_str());
        options.headless = true;
        options.source = options.videoFile;
        return kelpa::RunHeadless(options);
    }
    if (!display.platform.empty()) setenv("QT_QPA_PLATFORM", display.platform.c_str(), 1);
    return kelpa::RunWindowed(options, argc, argv);
}
