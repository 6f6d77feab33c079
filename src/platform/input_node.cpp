// Examining a source path: stat, then a non-blocking open and fstat of the kinds we read.
#include "platform/input_node.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <system_error>

#include "platform/unique_fd.h"

namespace kelpa {
namespace {

// The character-device major number Linux gives every V4L2 node (/dev/video*, /dev/v4l-*).
constexpr unsigned kVideoDeviceMajor = 81;

InputKind KindOf(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return InputKind::kFile;
    if (S_ISCHR(st.st_mode) && major(st.st_rdev) == kVideoDeviceMajor) {
        return InputKind::kVideoDevice;
    }
    return InputKind::kRefused;
}

std::string RefusalOf(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return "it is a directory";
    if (S_ISFIFO(st.st_mode)) return "it is a FIFO";
    if (S_ISSOCK(st.st_mode)) return "it is a socket";
    if (S_ISBLK(st.st_mode)) return "it is a block device";
    if (S_ISCHR(st.st_mode)) return "it is a character device that is not a camera";
    return "it is not a regular file";
}

InputNode Refused(std::string reason) {
    return {InputKind::kRefused, std::move(reason)};
}

InputNode FromErrno(int error) {
    return Refused(std::generic_category().message(error));
}

}  // namespace

InputNode ExamineInput(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return FromErrno(errno);
    const InputKind kind = KindOf(st);
    if (kind == InputKind::kRefused) return Refused(RefusalOf(st));
    // The node may have been replaced since the stat: what counts is what the open reached.
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) return FromErrno(errno);
    struct stat opened {};
    if (fstat(fd.get(), &opened) != 0) return FromErrno(errno);
    if (KindOf(opened) != kind) return Refused("it was replaced while it was examined");
    return {kind, {}};
}

bool IsSameNode(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace kelpa
