// The installed data folder, or the source tree's folders when the program runs from a build.
#include "platform/data_paths.h"

#include <filesystem>
#include <system_error>

#include "platform/program_paths.h"

#ifndef KELPA_SOURCE_DIR
#error "KELPA_SOURCE_DIR must name the source tree (set by the build)"
#endif

namespace kelpa {
namespace {

namespace fs = std::filesystem;

// `path` as text with exactly one trailing '/'.
std::string AsDirectory(const fs::path& path) {
    std::string text = path.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    if (text != "/") text += '/';
    return text;
}

}  // namespace

DataPaths FindDataPaths(const std::string& executableDirectory,
                        const std::string& sourceDirectory) {
    // The executable's directory comes from /proc/self/exe with every link resolved, so going
    // up from it by name reaches the real installation prefix.
    const fs::path installed = fs::path(executableDirectory) / ".." / "share" / "kelpa";

    std::error_code error;
    if (!executableDirectory.empty() && fs::is_directory(installed, error)) {
        return {AsDirectory(installed), AsDirectory(installed / "docs"), true};
    }
    const fs::path source(sourceDirectory);
    return {AsDirectory(source / "data"), AsDirectory(source / "docs"), false};
}

DataPaths ProgramDataPaths() {
    return FindDataPaths(ExecutableDirectory(), KELPA_SOURCE_DIR);
}

}  // namespace kelpa
