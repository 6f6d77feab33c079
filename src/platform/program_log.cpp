// The program's log file in the user's state folder: creating the folder, and opening the log
// so that a run starts it afresh unless another running copy is writing into it.
#include "platform/program_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/log.h"
#include "common/make_path.h"
#include "platform/program_paths.h"
#include "platform/unique_fd.h"

namespace kelpa {

std::string ProgramLogDirectory() {
    const std::string state = StateDirectory();
    if (state.empty()) return {};
    return (state == "/" ? "" : state) + "/kelpa/";
}

bool UseLogDirectory(const std::string& directory) {
    // New folders are the user's own, as state folders should be.
    if (directory.empty() || !MakeDirectories(directory, 0700)) {
        if (directory.empty()) errno = ENOENT;
        SetLogDirectory(nullptr);
        return false;
    }
    SetLogDirectory(directory.c_str());
    return true;
}

std::FILE* OpenProgramLog() {
    // Called with the log's lock held: nothing in here may write to the log.
    const std::string directory = LogDirectory();
    if (directory.empty() || directory.size() >= kMaxPath) return nullptr;
    const std::string path = directory + kProgramLogName;
    // O_NONBLOCK: a FIFO under the log's name must not hold the program up in open().
    UniqueFd fd(open(path.c_str(),
                     O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    if (!fd.valid()) return nullptr;
    struct stat st {};
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    const int flags = fcntl(fd.get(), F_GETFL);
    if (flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return nullptr;
    // Every copy holds a shared lock on its log while it runs. Whoever gets the exclusive lock
    // is alone and may start the log afresh; otherwise the lines are appended to the others'.
    if (flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
        if (ftruncate(fd.get(), 0) != 0) return nullptr;
    }
    flock(fd.get(), LOCK_SH | LOCK_NB);
    std::FILE* stream = fdopen(fd.get(), "a");
    if (stream) fd.Release();
    return stream;
}

}  // namespace kelpa
