// Where the program finds itself and its per-user places: the executable's directory (log and
// configuration files live there), the home, configuration, temporary and runtime directories.
#pragma once

#include <string>

namespace kelpa {

// The directory of /proc/self/exe with a trailing '/'; the current directory when that link
// cannot be read; "./" when neither is known.
std::string ExecutableDirectory();

// $HOME when set, else the password database's home of this user; empty when neither is known.
std::string HomeDirectory();

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config; empty without a home.
std::string ConfigDirectory();

// $TMPDIR when it is an absolute path, else "/tmp". No trailing '/'.
std::string TempDirectory();

// $XDG_RUNTIME_DIR when it is an absolute path, else the temporary directory. No trailing '/'.
std::string RuntimeDirectory();

// True when RuntimeDirectory() is the per-user runtime directory, not the shared fall-back.
bool HasPrivateRuntimeDirectory();

// Creates `directory` and its missing parents (mode 0777 less the umask). True when it exists
// as a directory afterwards; errno tells why otherwise.
bool MakeDirectories(const std::string& directory);

// The part of `path` before its last '/', or "." when there is none ("/" for a root entry).
std::string ParentDirectory(const std::string& path);

}  // namespace kelpa
