// Where the program finds itself and its per-user places: the executable's directory, the home,
// configuration, state, data, temporary and runtime directories, and the folders searched for the
// configuration files.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kelpa {

// The directory of /proc/self/exe with a trailing '/'; the current directory when that link
// cannot be read; "./" when neither is known.
std::string ExecutableDirectory();

// $HOME when set, else the password database's home of this user; empty when neither is known.
std::string HomeDirectory();

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config; empty without a home.
std::string ConfigDirectory();

// $XDG_STATE_HOME when it is an absolute path, else ~/.local/state; empty without a home. The
// log and the side logs live in its "kelpa" folder.
std::string StateDirectory();

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share; empty without a home. Files
// the program makes for the user to keep (dark frames, guide logs) live in its "kelpa" folder.
std::string UserDataDirectory();

// The folders searched for "kcommon.cfg" and "kelpa.cfg", first match wins, each with a
// trailing '/': the user's ($XDG_CONFIG_HOME/kelpa/), the installed data folder
// (<exe dir>/../share/kelpa/), then the executable's own directory (the build tree).
std::vector<std::string> ConfigFileDirectories();

// The first of `directories` that holds `name` as a regular file; empty when none does.
std::string FindConfigFile(const std::string& name, const std::vector<std::string>& directories);

// $TMPDIR when it is an absolute path, else "/tmp". No trailing '/'.
std::string TempDirectory();

// $XDG_RUNTIME_DIR when it is an absolute path, else the temporary directory. No trailing '/'.
std::string RuntimeDirectory();

// True when RuntimeDirectory() is the per-user runtime directory, not the shared fall-back.
bool HasPrivateRuntimeDirectory();

// Creates `directory` and its missing parents (with `mode` less the umask). True when it exists
// as a directory afterwards; errno tells why otherwise.
bool MakeDirectories(const std::string& directory, mode_t mode = 0777);

// The part of `path` before its last '/', or "." when there is none ("/" for a root entry).
std::string ParentDirectory(const std::string& path);

}  // namespace kelpa
