// Prints where the running program finds its shipped files. The install test copies it into an
// installed tree and into a bare folder and reads what it found.
#include <cstdio>

#include "platform/data_paths.h"

int main() {
    const kelpa::DataPaths paths = kelpa::ProgramDataPaths();
    std::printf("config=%s\nmanual=%s\ninstalled=%d\n", paths.configDirectory.c_str(),
                paths.manualDirectory.c_str(), paths.installed ? 1 : 0);
    return 0;
}
