// How a video window shows its picture: the picture scaled to fit the client area, centred,
// with black bands around it, and the grid rectangle inset from the picture. Plain geometry in
// window pixels; the windows that draw it call these functions with their current sizes.
#pragma once

#include <cstdint>

namespace kelpa {

struct WindowPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const WindowPoint&, const WindowPoint&) = default;
};

// A rectangle in window pixels. Whether `right` and `bottom` are inside depends on the user:
// filled rectangles end before them, outlines and lines run along them.
struct WindowRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

struct SurfaceLayout {
    double scale = 1.0;  // window pixels per image pixel
    WindowPoint origin;  // top-left corner of the centred picture
    // Where the picture is drawn: the origin, unless the virtual guide shifts the picture.
    WindowPoint position;
    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
    WindowRect grid;
    // The picture does not fill the client area: drawing is clipped to the picture rectangle.
    bool clip = false;
    // Processed window only: brush origin for the halftone stretch mode.
    int32_t halftoneBrushOrigin = 1;

    // The unshifted picture rectangle (right and bottom excluded).
    WindowRect PictureRect() const {
        return {origin.x, origin.y, origin.x + pictureWidth, origin.y + pictureHeight};
    }
    // The virtual-guide shift of the drawn picture.
    WindowPoint Shift() const { return {position.x - origin.x, position.y - origin.y}; }
};

// Fits an image into a client area and puts the picture at the origin. The client size is
// always recorded; with an empty image nothing else changes. The live window uses this as it is.
void FitLayout(SurfaceLayout& layout, int32_t imageWidth, int32_t imageHeight, int32_t clientWidth,
               int32_t clientHeight);

// The processed window's layout: the fit, keeping the drawn position while the virtual guide
// is active (its shift is placed again with the next star position), and the halftone brush
// origin that follows the scale.
void FitProcLayout(SurfaceLayout& layout, int32_t imageWidth, int32_t imageHeight,
                   int32_t clientWidth, int32_t clientHeight, bool virtualGuideActive);

// The brush origin that keeps the halftone pattern aligned to the scaled image pixels.
int32_t HalftoneBrushOrigin(double scale);

// Truncation toward zero of a window coordinate, safe for any input (NaN gives 0).
int32_t TruncateToPixel(double value);

}  // namespace kelpa
