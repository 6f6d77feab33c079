// Test helpers for work done in a child process: tests that lower a limit of the process (file
// size, address space) or end it without clean-up run that part in a fork, so the test binary
// keeps its own limits.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelpa::testing {

// Runs `body` in a forked child and gives its result (the child's exit code, 0 ... 255), or -1
// when the child could not start or was killed by a signal.
template <typename Body>
int ExitCodeOfChild(Body&& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
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
