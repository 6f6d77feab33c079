// Process-wide diagnostic log ("kelpa.log") written one printf-style line at a time, and the
// directory where it and the side logs live.
// Lines may come from the GUI thread and the streaming thread; each whole line is written
// under one lock, so lines never interleave.
#pragma once

#include <cstdio>
#include <string>

#if defined(__GNUC__)
#define KELPA_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KELPA_PRINTF(fmt, args)
#endif

namespace kelpa {

// Opens the log stream on first use; returns nullptr when it cannot be opened. It is called
// with the log's lock held, so it must not write to the log itself.
using LogOpener = std::FILE* (*)();
// An optional further receiver of each line written to the log, without its line end (the
// program passes none).
using LogSecondSink = void (*)(const char* line);

// Switches logging on: stores the opener (and the second sink) when none is set yet and, on
// the first call, records the calling thread as the main thread. Returns 0 on success,
// non-zero on failure; nothing in it can fail today.
int clibInit(LogSecondSink secondSink, LogOpener opener);
// Replaces the opener; nullptr switches logging off. An open stream stays open.
void SetLogOpener(LogOpener opener);
bool IsLogEnabled();
// True on the thread that first called clibInit (false before that call).
bool IsMainThread();

// Writes one line and flushes it. A line that formats to nothing writes nothing. A null
// format closes the log (the opener stays set, so the next line reopens it). Lines are dropped
// while the log cannot be opened and once it has grown past about 1 GiB.
void LogPrintf(const char* format, ...) KELPA_PRINTF(1, 2);
inline void LogClose() {
    LogPrintf(static_cast<const char*>(nullptr));
}

// The directory the program's log and side logs are written into; a '/' is appended when it is
// missing, and null or empty forgets it. Side logs opened while it is set go there too.
void SetLogDirectory(const char* directory);
std::string LogDirectory();

}  // namespace kelpa
