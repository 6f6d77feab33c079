// Where the video windows go and how large they are: their outer size at creation with the
// remembered place, their first place on the screen, and the sizing commands (input size, half
// size, a fixed width) that keep them on the screen.
#pragma once

#include <cstdint>
#include <optional>

#include "view/surface_layout.h"
#include "view/view_settings.h"

namespace kelpa {

// The client area of a new video window.
inline constexpr int32_t kInitialClientWidth = 320;
inline constexpr int32_t kInitialClientHeight = 240;
inline constexpr const char* kLiveWindowTitle = "Live";
inline constexpr const char* kProcWindowTitle = "Processing";

// What a sizable frame adds on each side beyond the plain border, in pixels.
struct FrameMargins {
    int32_t horizontal = 0;
    int32_t vertical = 0;
};

// The outer rectangle a video window is created with: the client size plus the frame on both
// sides when sizable, replaced by the remembered place (size 36 ... 1024, kept on the screen),
// and finally held to 36 ... the screen size.
WindowPlace CreateWindowPlace(ViewWindow window, int32_t x, int32_t y, int32_t clientWidth,
                              int32_t clientHeight, bool sizable, FrameMargins margins,
                              ScreenSize screen);

// The first places of the two windows, side by side near the top of the screen, each with a
// client area of 320 x 240.
struct InitialPlaces {
    WindowPoint live;
    WindowPoint proc;
};
InitialPlaces InitialWindowPlaces(ScreenSize screen);

enum class SizeCommand : uint8_t {
    kInputSize,   // client = image size
    kHalfSize,    // client = half the image size
    kFixedWidth,  // client width given, height keeps the image's aspect
};

// The client size a sizing command asks for; none without an image.
std::optional<WindowPoint> RequestedClientSize(SizeCommand command, int32_t imageWidth,
                                               int32_t imageHeight, int32_t fixedWidth = 0);

// The outer rectangle after resizing a window's client area to `wanted`: each dimension held
// to 36 ... min(1024, screen), the frame kept as it is, the top-left corner kept unless the
// window would pass the right or bottom screen edge, when it moves left or up to end there
// (never past 0).
WindowPlace ResizeClient(const WindowPlace& outer, int32_t clientWidth, int32_t clientHeight,
                         WindowPoint wanted, ScreenSize screen);

}  // namespace kelpa
