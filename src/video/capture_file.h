// Files of the capture writer on disk: a frame is written into a hidden temporary file in the
// capture directory and then put in place under a name nobody has taken, so that no partial
// picture ever shows under a picture's name and no existing file is ever replaced, even by
// another program capturing into the same directory. Temporaries that ended programs left
// behind are removed when a capture starts.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace kelpa {

// How a finished temporary file takes its final name without replacing anything.
enum class MoveMethod {
    kRenameNoReplace,  // one rename that fails when the name exists
    kReserveName,      // the name is first created exclusively, then the file renamed onto it
};

// Moves `from` to `to` unless `to` exists. Returns 0, or the errno of the failure (EEXIST when
// the name is taken); `from` stays where it was on failure.
int MoveWithoutReplacing(const char* from, const char* to, MoveMethod method);

// The most "_N" suffixes tried for one name before a frame is given up.
inline constexpr uint32_t kMaxNameSuffix = 9999;
// Room a name may grow by when a suffix is added.
inline constexpr size_t kNameSuffixRoom = 8;

// Builds path[0, extensionAt) + "_<suffix>" + path[extensionAt, end) into `out`; false when it
// does not fit `size`.
bool SuffixedName(const char* path, size_t extensionAt, uint32_t suffix, char* out, size_t size);

// Puts `temp` in place as `path`, or, when that name is taken, as the first free of the names
// with "_1", "_2", ... inserted at `extensionAt` (in front of the extension). The name taken
// is copied into `placed`. Tries the single no-replace rename first and reserves the name on
// file systems that do not offer it. Returns 0, or the errno of the failure: EEXIST when every
// suffix is taken, ENAMETOOLONG when a suffixed name does not fit `placed`. `temp` stays where
// it was on failure. Allocates nothing.
int PlaceCaptureFile(const char* temp, const char* path, size_t extensionAt, char* placed,
                     size_t placedSize);

// The name PlaceCaptureFile would give a file now: `path` when nothing exists under it, else
// the first free of its suffixed names. Returns 0, or EEXIST when every suffix is taken,
// ENAMETOOLONG when a suffixed name does not fit `out`.
int FreeCaptureName(const char* path, size_t extensionAt, char* out, size_t size);

// The hidden name of a writer's temporary file: ".kelpa-capture-<pid>-<writer>.tmp".
int FormatCaptureTempName(char* out, size_t size, pid_t pid, uint32_t writer);

// Opens a new temporary file exclusively and locks it for as long as it is open, so that no
// other program takes it for a leftover. Returns the descriptor or -1 with errno set.
int CreateCaptureTemp(const char* path);

// Removes from `dir` the capture temporaries of processes that no longer exist. A temporary
// that is locked is kept: it is being written by a program whose process this one cannot see
// (another process namespace sharing the directory). Returns how many were removed; -1 when
// the directory cannot be read.
int RemoveStaleCaptureTemps(const char* dir);

// Writes everything, going on after partial writes. False with errno set on an error or on a
// write that makes no progress.
bool WriteAll(int fd, const void* data, size_t size);

// The system's text for an error number, into `out`; returns `out` or a static text.
// Safe on any thread.
const char* SystemReason(int error, char* out, size_t size);

}  // namespace kelpa
