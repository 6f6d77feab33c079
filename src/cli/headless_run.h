// The headless run: the whole frame path without windows. It builds the same graph and video
// controller as the windowed program, applies the profile (and --set overrides, never written
// back), starts the graph and prints one JSON line per processed frame on standard output, then
// a summary line.
#pragma once

#include "cli/command_line.h"

namespace kelpa {

// Returns the process exit code: 0 success, 1 the source could not be opened or failed,
// 2 bad arguments.
int RunHeadless(const CommandLine& options);

}  // namespace kelpa
