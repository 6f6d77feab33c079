// Putting captured files in place without replacing anything, and removing the temporaries of
// programs that ended while writing one.
#include "video/capture_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/unique_fd.h"

namespace kelpa {
namespace {

constexpr const char kTempPrefix[] = ".kelpa-capture-";

bool NoReplaceUnsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP;
}

// The pid of a name ".kelpa-capture-<pid>-<writer>.tmp", or 0 when the name is not one.
pid_t TempOwner(const char* name) {
    long pid = 0;
    unsigned writer = 0;
    int end = 0;
    if (std::sscanf(name, ".kelpa-capture-%ld-%u.tmp%n", &pid, &writer, &end) != 2 || end == 0 ||
        name[end] != '\0' || pid <= 0) {
        return 0;
    }
    return static_cast<pid_t>(pid);
}

}  // namespace

int MoveWithoutReplacing(const char* from, const char* to, MoveMethod method) {
    if (method == MoveMethod::kRenameNoReplace) {
        if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
        return errno;
    }
    // Holding the name first: a rename onto our own empty file replaces nothing of anyone's.
    UniqueFd hold(::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!hold.valid()) return errno;
    hold.Reset();
    if (::rename(from, to) == 0) return 0;
    const int error = errno;
    ::unlink(to);
    return error;
}

bool SuffixedName(const char* path, size_t extensionAt, uint32_t suffix, char* out, size_t size) {
    const size_t length = std::strlen(path);
    if (extensionAt > length) extensionAt = length;
    char number[16];
    const int digits = std::snprintf(number, sizeof number, "_%u", suffix);
    const size_t total = length + static_cast<size_t>(digits);
    if (digits <= 0 || total >= size) return false;
    std::memcpy(out, path, extensionAt);
    std::memcpy(out + extensionAt, number, static_cast<size_t>(digits));
    std::memcpy(out + extensionAt + digits, path + extensionAt, length - extensionAt + 1);
    return true;
}

int PlaceCaptureFile(const char* temp, const char* path, size_t extensionAt, char* placed,
                     size_t placedSize) {
    const size_t length = std::strlen(path);
    if (length >= placedSize) return ENAMETOOLONG;
    std::memcpy(placed, path, length + 1);
    MoveMethod method = MoveMethod::kRenameNoReplace;
    for (uint32_t suffix = 0;;) {
        int error = MoveWithoutReplacing(temp, placed, method);
        if (error != 0 && method == MoveMethod::kRenameNoReplace && NoReplaceUnsupported(error)) {
            method = MoveMethod::kReserveName;
            error = MoveWithoutReplacing(temp, placed, method);
        }
        if (error != EEXIST) return error;
        if (++suffix > kMaxNameSuffix) return EEXIST;
        if (!SuffixedName(path, extensionAt, suffix, placed, placedSize)) return ENAMETOOLONG;
    }
}

int FreeCaptureName(const char* path, size_t extensionAt, char* out, size_t size) {
    const size_t length = std::strlen(path);
    if (length >= size) return ENAMETOOLONG;
    std::memcpy(out, path, length + 1);
    struct stat info;
    for (uint32_t suffix = 0; ::lstat(out, &info) == 0;) {
        if (++suffix > kMaxNameSuffix) return EEXIST;
        if (!SuffixedName(path, extensionAt, suffix, out, size)) return ENAMETOOLONG;
    }
    return 0;
}

int FormatCaptureTempName(char* out, size_t size, pid_t pid, uint32_t writer) {
    return std::snprintf(out, size, "%s%ld-%u.tmp", kTempPrefix, static_cast<long>(pid), writer);
}

int CreateCaptureTemp(const char* path) {
    // O_EXCL: never write through a link someone placed under the temporary name.
    UniqueFd fd(::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid() || ::flock(fd.get(), LOCK_EX) != 0) return -1;
    return fd.Release();
}

int RemoveStaleCaptureTemps(const char* dir) {
    DIR* stream = ::opendir(dir[0] != '\0' ? dir : ".");
    if (!stream) return -1;
    const int dirFd = ::dirfd(stream);
    const pid_t self = ::getpid();
    int removed = 0;
    while (const dirent* entry = ::readdir(stream)) {
        if (std::strncmp(entry->d_name, kTempPrefix, sizeof kTempPrefix - 1) != 0) continue;
        const pid_t owner = TempOwner(entry->d_name);
        // A pid that answers may have been reused by another program: the file is kept then.
        if (owner == 0 || owner == self || ::kill(owner, 0) == 0 || errno != ESRCH) continue;
        const UniqueFd file(
            ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (!file.valid() || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
            ::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
            continue;
        }
        if (::unlinkat(dirFd, entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(stream);
    return removed;
}

bool WriteAll(int fd, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

const char* SystemReason(int error, char* out, size_t size) {
    // The GNU strerror_r returns either `out` or a static text; both are safe on any thread.
    return ::strerror_r(error, out, size);
}

}  // namespace kelpa
