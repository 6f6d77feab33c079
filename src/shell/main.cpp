// Entry point: reads the options that are handled before anything else starts.
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kUsage =
    "Usage: kelpa [OPTIONS] [VIDEO-FILE]\n"
    "Live video processing for a camera on a telescope.\n"
    "\n"
    "Options:\n"
    "  -i, /i          allow a second copy of the program to run\n"
    "  --help          show this help and exit\n"
    "  --version       show the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kelpa %s\n", KELPA_VERSION_TEXT);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    std::fputs(kUsage, stdout);
    return 0;
}
