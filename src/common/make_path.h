// Path building for the program's own files: a directory joined with a file name, and the
// same with the file name's extension replaced. Paths of 260 characters or more are refused,
// never cut.
#pragma once

#include <cstddef>
#include <string>

namespace kelpa {

// Every path the program builds is shorter than this.
inline constexpr size_t kMaxPath = 260;

// Builds `directory` + '/' + `name` into `out`. No separator is added when the directory is
// null or empty or already ends in '/' or '\'. Fails (and clears `out`) when the name is null
// or empty, when the name has 260 characters or more, or when directory and name together
// have 259 or more.
bool MakePath(std::string& out, const char* directory, const char* name);

// As above, then replaces the extension of the file name (the last path component) by
// `extension`, which carries its own dot. The old extension runs from the component's last
// '.' that is not its first character; a name without one gets the extension appended. So
// with ".cfg.log": "kelpa.cfg" -> "kelpa.cfg.log", "kcommon" -> "kcommon.cfg.log". A null
// extension leaves the name as it is. A result of 260 characters or more fails.
bool MakePath(std::string& out, const char* directory, const char* name, const char* extension);

}  // namespace kelpa
