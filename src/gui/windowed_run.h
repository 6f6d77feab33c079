// The windowed program from start to end: log, command line, single instance, processor report,
// byte-clamping table, profile, media graph, "kcommon.cfg", the application core with its two
// video controllers, the work area and the main window's place, the main window with the other
// windows, the event loop; then everything taken down in reverse, each part writing its
// settings back.
#pragma once

#include "cli/command_line.h"

namespace kelpa {

// Returns the process exit code: 0 after a normal run and when another copy already runs, 1
// when the log or the media graph cannot start, -1 without the byte-clamping table.
int RunWindowed(const CommandLine& options, int argc, char** argv);

}  // namespace kelpa
