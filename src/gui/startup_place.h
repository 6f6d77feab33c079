// Where the main window starts: the work area of the screen and the remembered position (MX,
// MY), and the move that keeps a window of a given size on the screen.
#pragma once

#include <cstdint>

#include "view/surface_layout.h"
#include "view/view_settings.h"

namespace kelpa {

// The work area: the usable screen without panels. `available` is what the system reports
// (width or height 0 or less: the query failed), `screen` the whole screen. A failed query
// takes the screen raised to at least 100 x 80, less 24 in each direction; the result is at
// least 100 x 80.
ScreenSize WorkAreaFrom(ScreenSize available, ScreenSize screen);

// MX and MY from the profile (section "kelpa"): defaults work area - 513 and - 31; a value
// below 1 becomes 1, then a value above that default becomes the default.
WindowPoint RememberedMainPosition(ScreenSize work);
// Writes MX and MY.
void SaveMainPosition(WindowPoint topLeft);

// The top-left corner that keeps a window of `width` x `height` at `topLeft` on a screen
// whose usable part starts at `origin` and has the size `work`: moved left or up when it would
// pass the right or bottom edge, moved right or down when it starts before the edge, never
// before the origin.
WindowPoint FitOnScreen(WindowPoint topLeft, int32_t width, int32_t height, WindowPoint origin,
                        ScreenSize work);

}  // namespace kelpa
