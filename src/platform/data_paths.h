// Where the program finds the files it ships with: the default configuration files
// ("kelpa.cfg", "kcommon.cfg") and the HTML manual. An installed program finds them in
// <prefix>/share/kelpa beside its <prefix>/bin; a program run from its build tree finds them in
// the source tree it was built from.
#pragma once

#include <string>

namespace kelpa {

// The manual's first page, inside DataPaths::manualDirectory.
inline constexpr const char* kManualFirstPage = "index.html";

struct DataPaths {
    std::string configDirectory;  // the default "kelpa.cfg" and "kcommon.cfg"; ends in '/'
    std::string manualDirectory;  // the HTML manual; ends in '/'
    bool installed = false;       // found in the installed data folder
};

// The data folders of a program whose executable lies in `executableDirectory`: the installed
// folder `executableDirectory`/../share/kelpa/ (config files at its top, the manual in docs/)
// when that is a directory, else `sourceDirectory`/data/ and `sourceDirectory`/docs/. Either
// directory may end in '/' or not.
DataPaths FindDataPaths(const std::string& executableDirectory, const std::string& sourceDirectory);

// The data folders of this program: FindDataPaths for the directory of the running executable
// and the source tree it was built from.
DataPaths ProgramDataPaths();

}  // namespace kelpa
