// The fit of a picture into a window and the processed window's additions to it.
#include "view/surface_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace kelpa {
namespace {

// Scales closer than this (single-precision epsilon) count as equal: the picture then fills
// the client area exactly.
constexpr double kSameScale = 1.1920928955078125e-07;
// Distance of the grid from the picture's edges.
constexpr int32_t kGridInset = 5;

// The picture fills the whole client area at the given scale.
void FillClient(SurfaceLayout& layout, double scale) {
    layout.scale = scale;
    layout.pictureWidth = layout.clientWidth;
    layout.pictureHeight = layout.clientHeight;
    layout.origin = {0, 0};
    layout.grid = {kGridInset, kGridInset, layout.clientWidth - kGridInset,
                   layout.clientHeight - kGridInset};
    layout.clip = false;
    layout.position = layout.origin;
}

}  // namespace

int32_t TruncateToPixel(double value) {
    if (std::isnan(value)) return 0;
    constexpr double kLimit = 1e9;
    return static_cast<int32_t>(std::clamp(value, -kLimit, kLimit));
}

void FitLayout(SurfaceLayout& layout, int32_t imageWidth, int32_t imageHeight, int32_t clientWidth,
               int32_t clientHeight) {
    layout.clientWidth = clientWidth;
    layout.clientHeight = clientHeight;
    if (imageWidth <= 0 || imageHeight <= 0) return;
    if (clientWidth <= 0 || clientHeight <= 0 ||
        (clientWidth == imageWidth && clientHeight == imageHeight)) {
        FillClient(layout, 1.0);
        return;
    }
    const double scaleX = clientWidth == imageWidth ? 1.0 : double(clientWidth) / imageWidth;
    const double scaleY = clientHeight == imageHeight ? 1.0 : double(clientHeight) / imageHeight;
    if (std::abs(scaleX - scaleY) < kSameScale && scaleY >= scaleX) {
        FillClient(layout, scaleX);
        return;
    }
    const double scale = std::min(scaleX, scaleY);
    layout.scale = scale;
    if (scale == 1.0) {
        layout.pictureWidth = imageWidth;
        layout.pictureHeight = imageHeight;
    } else {
        layout.pictureWidth = std::max(TruncateToPixel(imageWidth * scale), 1);
        layout.pictureHeight = std::max(TruncateToPixel(imageHeight * scale), 1);
    }
    layout.origin = {(clientWidth - layout.pictureWidth) >> 1,
                     (clientHeight - layout.pictureHeight) >> 1};
    const WindowRect picture = layout.PictureRect();
    layout.grid = {picture.left + kGridInset, picture.top + kGridInset, picture.right - kGridInset,
                   picture.bottom - kGridInset};
    layout.clip = true;
    layout.position = layout.origin;
}

int32_t HalftoneBrushOrigin(double scale) {
    if (scale == 1.0 || !(scale > 0.0)) return 1;
    const double d = scale >= 1.0 ? scale * 0.5 : 0.5 / scale;
    if (d < 0.5) return 1;
    const int32_t origin = TruncateToPixel(d + 0.5);
    return origin > 1 ? origin : 1;
}

void FitProcLayout(SurfaceLayout& layout, int32_t imageWidth, int32_t imageHeight,
                   int32_t clientWidth, int32_t clientHeight, bool virtualGuideActive) {
    const WindowPoint shifted = layout.position;
    FitLayout(layout, imageWidth, imageHeight, clientWidth, clientHeight);
    if (virtualGuideActive) layout.position = shifted;
    layout.halftoneBrushOrigin = HalftoneBrushOrigin(layout.scale);
}

}  // namespace kelpa
