// Starts GStreamer for the program and registers its built-in elements.
#pragma once

#include <string>

namespace kelpa {

// Initialises GStreamer once and registers the simulated telescope camera ("kelpasimsrc") and
// its device provider as a static plugin, so no plugin file is needed. Later calls return the
// first call's result. On failure returns false and, when `error` is given, the reason.
// Safe to call from any thread.
bool InitMedia(std::string* error = nullptr);

// Releases GStreamer at process exit, after every pipeline is gone. GStreamer cannot be
// started again: InitMedia fails from then on.
void ShutdownMedia();

}  // namespace kelpa
