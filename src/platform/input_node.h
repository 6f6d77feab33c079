// What a path given as a video source names, decided by the file system node itself rather than
// by how the path is spelled: a regular file (a video file, wherever it lives, /dev/shm
// included), a V4L2 device node, or something the program must not open because reading it
// could block or mean something else (a FIFO, a socket, a directory, another device).
#pragma once

#include <string>

namespace kelpa {

enum class InputKind {
    kFile,
    kVideoDevice,
    kRefused,  // exists, or cannot be examined, but is no source: see the reason
};

struct InputNode {
    InputKind kind = InputKind::kRefused;
    std::string reason;  // for kRefused: why, as a phrase ("it is a FIFO", "No such file ...")
};

// Examines `path` without blocking: nodes other than regular files and V4L2 character
// devices are never opened; those two are opened non-blocking and checked again through the
// descriptor, which also proves that they can be read.
InputNode ExamineInput(const std::string& path);

// True when both paths name the same node (a device given through a symbolic link, say).
bool IsSameNode(const std::string& a, const std::string& b);

}  // namespace kelpa
