// Entry point: reads the options that are handled before anything else starts and runs the
// program the way they ask.
#include <cstdio>
#include <string>

#include "cli/command_line.h"
#include "cli/headless_run.h"

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
    std::fprintf(stderr,
                 "kelpa: this build has no windows yet; run 'kelpa --headless' (see "
                 "'kelpa --help')\n");
    return 2;
}
