// Process-wide diagnostic log ("kelpa.log") written one printf-style line at a time.
// Lines may come from the GUI thread and the streaming thread; each whole line is written
// under one lock, so lines never interleave.
#pragma once

#include <cstdio>

#if defined(__GNUC__)
#define KELPA_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KELPA_PRINTF(fmt, args)
#endif

namespace kelpa {

// Opens the log stream on first use; returns nullptr when it cannot be opened.
using LogOpener = std::FILE* (*)();
// An optional further receiver of each written line (the program passes none).
using LogSecondSink = void (*)(const char* line);

// Switches logging on. Returns 0 on success, non-zero on failure.
int clibInit(LogSecondSink secondSink, LogOpener opener);
void SetLogOpener(LogOpener opener);
bool IsLogEnabled();

// Writes one line and flushes it. A null format closes the log (the opener stays set).
void LogPrintf(const char* format, ...) KELPA_PRINTF(1, 2);
inline void LogClose() { LogPrintf(static_cast<const char*>(nullptr)); }

// The directory of the executable, ending in '/'; the program's log lives there.
void SetProgramDirectory(const char* directory);
const char* ProgramDirectory();

// The program's own opener: "kelpa.log" in the program directory, else in the current one.
std::FILE* OpenProgramLog();

}  // namespace kelpa
