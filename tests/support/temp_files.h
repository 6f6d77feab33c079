// Test helpers for files, the environment and child processes: a temporary directory that
// removes itself, whole-file reads and writes, an environment variable changed for one scope,
// and a function run in a child process, whose limits (file size, address space) it may lower
// while the test binary keeps its own.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

namespace kelpa::testing {

class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelpa-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        namespace fs = std::filesystem;
        std::error_code ignored;  // a test may have taken the owner's rights away
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::string operator/(const std::string& name) const { return File(name); }

  private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool FileExists(const std::string& path) {
    std::error_code error;  // a name too long to exist is not there
    return std::filesystem::exists(path, error);
}

// Sets (or, with nullptr, removes) an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv() { old_ ? setenv(name_.c_str(), old_->c_str(), 1) : unsetenv(name_.c_str()); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> old_;
};

// Runs `body` in a forked child, which exits with the body's result; returns the child's pid.
inline pid_t Spawn(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    return child;
}

// Waits for the child: its exit code, or -1 when it was killed or cannot be waited for.
inline int ExitCode(pid_t child) {
    int status = 0;
    const bool exited = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status);
    return exited ? WEXITSTATUS(status) : -1;
}

// Runs `body` in a forked child and gives its exit code (0 ... 255), or -1 when the child could
// not start or was killed by a signal.
template <typename Body>
int ExitCodeOfChild(Body&& body) {
    return ExitCode(Spawn(body));
}

// Lowers the soft limit `resource` to `bytes`; for RLIMIT_FSIZE a write beyond it then fails
// with EFBIG instead of raising SIGXFSZ. False when the limit cannot be set.
inline bool LimitProcess(decltype(RLIMIT_FSIZE) resource, rlim_t bytes) {
    if (resource == RLIMIT_FSIZE) signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0) return false;
    limit.rlim_cur = bytes;
    return setrlimit(resource, &limit) == 0;
}

}  // namespace kelpa::testing
