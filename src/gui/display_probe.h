// Whether the windowed program can open its windows, found out before Qt is started: Qt ends
// the process with its platform-plugin message when it cannot reach a display, so the program
// tries the connection itself and falls back to the headless run instead.
#pragma once

#include <string>

namespace kelpa {

struct DisplayProbe {
    bool usable = false;
    // The Qt platform to ask for ("wayland" when only a Wayland compositor answers); empty:
    // Qt's own choice.
    std::string platform;
    std::string reason;  // why no display can be used
};

// With $QT_QPA_PLATFORM set, Qt is trusted with it. Otherwise the X server of $DISPLAY is
// connected to (and let go), then the Wayland socket of $WAYLAND_DISPLAY.
DisplayProbe ProbeDisplay();

}  // namespace kelpa
