// Whether the windowed program can open its windows, found out before Qt is started: Qt ends
// the process with its platform-plugin message when it cannot reach a display, so the program
// tries the connection itself and falls back to the headless run instead.
#pragma once

#include <string>

namespace kelpa {

struct DisplayProbe {
    bool usable = false;
    // The Qt platform to ask for: "xcb" or "wayland" when only that one answers; empty: Qt's
    // own choice (both answer, or $QT_QPA_PLATFORM names one).
    std::string platform;
    std::string reason;  // why no display can be used
};

// With $QT_QPA_PLATFORM set (not empty), Qt is trusted with it. Otherwise the X server of
// $DISPLAY is connected to (and let go), and the Wayland socket of $WAYLAND_DISPLAY.
DisplayProbe ProbeDisplay();

}  // namespace kelpa
