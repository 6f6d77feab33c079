// SingleInstance: an exclusive, non-blocking flock on the instance lock file.
#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <system_error>

#include "common/log.h"
#include "platform/program_paths.h"

namespace kelpa {

SingleInstance::SingleInstance(std::string lockPath) : lockPath_(std::move(lockPath)) {}

std::string SingleInstance::DefaultLockPath() {
    std::string name = kInstanceMutexName;
    if (!HasPrivateRuntimeDirectory()) name.append(1, '.').append(std::to_string(getuid()));
    return RuntimeDirectory() + "/" + name + ".lock";
}

bool SingleInstance::CheckSingleInstance() {
    if (fd_.valid()) return true;
    // Close-on-exec: a viewer or browser started by the program must not keep the lock alive.
    UniqueFd fd(open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid()) {
        LogPrintf("Can`t open the instance lock %s: %s", lockPath_.c_str(),
                  std::generic_category().message(errno).c_str());
        return true;
    }
    for (;;) {
        if (flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
            fd_ = std::move(fd);
            return true;
        }
        if (errno == EWOULDBLOCK) return false;
        if (errno != EINTR) break;
    }
    LogPrintf("Can`t lock the instance lock %s: %s", lockPath_.c_str(),
              std::generic_category().message(errno).c_str());
    return true;
}

namespace {

std::unique_ptr<SingleInstance>& ProcessInstance() {
    static std::unique_ptr<SingleInstance> instance;
    return instance;
}

}  // namespace

bool CheckSingleInstance() {
    std::unique_ptr<SingleInstance>& instance = ProcessInstance();
    if (!instance) instance = std::make_unique<SingleInstance>();
    const bool only = instance->CheckSingleInstance();
    if (!only) instance.reset();
    return only;
}

void ReleaseSingleInstance() {
    ProcessInstance().reset();
}

}  // namespace kelpa
