// Only one copy of the program runs at a time: the first copy holds an exclusive lock on a file
// named after the instance name in the user's runtime directory. The lock is tied to the open
// file, so it vanishes with the process however that ends.
#pragma once

#include <string>

#include "platform/unique_fd.h"

namespace kelpa {

// The name the running copy is known by.
inline constexpr const char* kInstanceMutexName = "KELPO ORB";

class SingleInstance {
  public:
    explicit SingleInstance(std::string lockPath = DefaultLockPath());
    // Releases the lock if held.
    ~SingleInstance() = default;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // "KELPO ORB.lock" in $XDG_RUNTIME_DIR; in the shared temporary directory the user id is
    // added ("KELPO ORB.<uid>.lock") so that different users do not shut each other out.
    static std::string DefaultLockPath();

    // True when this is the only copy (the lock is now held until Release or destruction);
    // false when another copy holds it. A lock file that cannot be opened is logged and the
    // program runs, since refusing to start would be worse than running twice.
    bool CheckSingleInstance();
    void Release() { fd_.Reset(); }
    bool held() const { return fd_.valid(); }
    const std::string& lockPath() const { return lockPath_; }

  private:
    std::string lockPath_;
    UniqueFd fd_;
};

// The process-wide check of start-up and its release at shutdown.
bool CheckSingleInstance();
void ReleaseSingleInstance();

}  // namespace kelpa
