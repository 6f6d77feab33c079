// The program's own log file: "kelpa.log" in the log directory, which the program places in the
// user's state folder ($XDG_STATE_HOME/kelpa/).
#pragma once

#include <cstdio>
#include <string>

namespace kelpa {

inline constexpr const char* kProgramLogName = "kelpa.log";

// The folder of the log and side logs: StateDirectory() + "/kelpa/"; empty without a home.
std::string ProgramLogDirectory();

// Creates `directory` (private to the user when it is new) and makes it the log directory.
// False, with errno, when it cannot be created; the log directory is then left unset, so the
// program runs without a log rather than writing one into some other folder.
bool UseLogDirectory(const std::string& directory);

// The opener handed to clibInit: opens "kelpa.log" in the log directory for appending. A run
// that finds no other copy writing into the log empties it first, so every run starts a fresh
// log while two running copies never cut each other's lines. Returns nullptr without a log
// directory, for a directory path of 260 characters or more, and when the name is taken by
// something that is not a regular file (never blocking on a FIFO).
std::FILE* OpenProgramLog();

}  // namespace kelpa
