// Program and per-user directories on Linux.
#include "platform/program_paths.h"

#include "platform/data_paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace kelpa {
namespace {

// The variable's value when it names an absolute path; relative values are ignored, as the
// XDG rules ask.
const char* AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    return (value && value[0] == '/') ? value : nullptr;
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string CurrentDirectory() {
    std::vector<char> buffer(4096);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size())) return buffer.data();
        if (errno != ERANGE || buffer.size() >= (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::string ExecutableDirectory() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) break;
        if (static_cast<size_t>(n) < buffer.size()) {
            const std::string exe(buffer.data(), static_cast<size_t>(n));
            const size_t slash = exe.rfind('/');
            if (slash != std::string::npos) return exe.substr(0, slash + 1);
            break;
        }
        if (buffer.size() >= (1u << 20)) break;
        buffer.resize(buffer.size() * 2);  // the link may have been cut: try again larger
    }
    std::string dir = CurrentDirectory();
    if (dir.empty()) return "./";
    if (dir.back() != '/') dir += '/';
    return dir;
}

std::string HomeDirectory() {
    if (const char* home = AbsoluteEnv("HOME")) return WithoutTrailingSlashes(home);
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/') {
        return WithoutTrailingSlashes(found->pw_dir);
    }
    return {};
}

std::string ConfigDirectory() {
    if (const char* config = AbsoluteEnv("XDG_CONFIG_HOME")) {
        return WithoutTrailingSlashes(config);
    }
    const std::string home = HomeDirectory();
    if (home.empty()) return {};
    return (home == "/" ? "" : home) + "/.config";
}

std::string StateDirectory() {
    if (const char* state = AbsoluteEnv("XDG_STATE_HOME")) return WithoutTrailingSlashes(state);
    const std::string home = HomeDirectory();
    if (home.empty()) return {};
    return (home == "/" ? "" : home) + "/.local/state";
}

std::string UserDataDirectory() {
    if (const char* data = AbsoluteEnv("XDG_DATA_HOME")) return WithoutTrailingSlashes(data);
    const std::string home = HomeDirectory();
    if (home.empty()) return {};
    return (home == "/" ? "" : home) + "/.local/share";
}

std::vector<std::string> ConfigFileDirectories() {
    std::vector<std::string> directories;
    const std::string config = ConfigDirectory();
    if (!config.empty()) directories.push_back(config + "/kelpa/");
    // The shipped defaults: the installed data folder, or the source tree's data/ folder when
    // the program runs from its build tree; then the program's own folder.
    directories.push_back(ProgramDataPaths().configDirectory);
    directories.push_back(ExecutableDirectory());
    return directories;
}

std::string FindConfigFile(const std::string& name, const std::vector<std::string>& directories) {
    for (const std::string& directory : directories) {
        struct stat st {};
        if (stat((directory + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) return directory;
    }
    return {};
}

std::string TempDirectory() {
    if (const char* tmp = AbsoluteEnv("TMPDIR")) return WithoutTrailingSlashes(tmp);
    return "/tmp";
}

std::string RuntimeDirectory() {
    if (const char* runtime = AbsoluteEnv("XDG_RUNTIME_DIR")) {
        return WithoutTrailingSlashes(runtime);
    }
    return TempDirectory();
}

bool HasPrivateRuntimeDirectory() {
    return AbsoluteEnv("XDG_RUNTIME_DIR") != nullptr;
}

std::string ParentDirectory(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool MakeDirectories(const std::string& directory, mode_t mode) {
    struct stat st {};
    if (stat(directory.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        errno = ENOTDIR;
        return false;
    }
    if (errno != ENOENT) return false;
    const std::string parent = ParentDirectory(directory);
    if (parent != directory && parent != "." && !MakeDirectories(parent, mode)) return false;
    if (mkdir(directory.c_str(), mode) == 0 || errno == EEXIST) {
        // Another process may have created it meanwhile; it must be a directory either way.
        return stat(directory.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    return false;
}

}  // namespace kelpa
