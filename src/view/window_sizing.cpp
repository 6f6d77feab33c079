// Outer sizes, first places and the sizing commands of the video windows.
#include "view/window_sizing.h"

#include <algorithm>
#include <cstdint>

namespace kelpa {
namespace {

// The two windows side by side: 320 + 6 between their left edges beyond the client width.
constexpr int32_t kProcWindowOffsetX = 326;
constexpr int32_t kBothWindowsWidth = 646;
constexpr int32_t kInitialTop = 50;
// Below this screen height the windows sit at the bottom of the screen.
constexpr int32_t kLowScreenHeight = 290;

// Moves a span that would pass `limit` back so that it ends there, never before 0.
int32_t KeepOnScreen(int32_t start, int32_t length, int32_t limit) {
    if (start + length > limit) start = limit - length;
    return std::max(start, 0);
}

int32_t ClampClient(int32_t wanted, int32_t screen) {
    return std::clamp(wanted, kMinWindowSize,
                      std::max(std::min(kMaxWindowSize, screen), kMinWindowSize));
}

}  // namespace

WindowPlace CreateWindowPlace(ViewWindow window, int32_t x, int32_t y, int32_t clientWidth,
                              int32_t clientHeight, bool sizable, FrameMargins margins,
                              ScreenSize screen) {
    WindowPlace outer{x, y, clientWidth, clientHeight};
    if (sizable) {
        outer.width += 2 * margins.horizontal;
        outer.height += 2 * margins.vertical;
    }
    WindowPlace place = LoadWindowPlace(window, outer, screen);
    place.width = std::max(std::min(place.width, screen.width), kMinWindowSize);
    place.height = std::max(std::min(place.height, screen.height), kMinWindowSize);
    return place;
}

InitialPlaces InitialWindowPlaces(ScreenSize screen) {
    const int32_t x0 = std::max((screen.width - kBothWindowsWidth) / 2, 0);
    const int32_t y0 = screen.height < kLowScreenHeight
                           ? std::max(screen.height - kInitialClientHeight, 0)
                           : kInitialTop;
    return {{x0, y0}, {x0 + kProcWindowOffsetX, y0}};
}

std::optional<WindowPoint> RequestedClientSize(SizeCommand command, int32_t imageWidth,
                                               int32_t imageHeight, int32_t fixedWidth) {
    if (imageWidth <= 0 || imageHeight <= 0) return std::nullopt;
    switch (command) {
        case SizeCommand::kInputSize:
            return WindowPoint{imageWidth, imageHeight};
        case SizeCommand::kHalfSize:
            return WindowPoint{imageWidth / 2, imageHeight / 2};
        case SizeCommand::kFixedWidth: {
            const int64_t height =
                (int64_t{imageHeight} * fixedWidth + imageWidth / 2) / imageWidth;
            return WindowPoint{fixedWidth,
                               static_cast<int32_t>(std::clamp<int64_t>(height, 0, INT32_MAX))};
        }
    }
    return std::nullopt;
}

WindowPlace ResizeClient(const WindowPlace& outer, int32_t clientWidth, int32_t clientHeight,
                         WindowPoint wanted, ScreenSize screen) {
    const int32_t frameWidth = outer.width - clientWidth;
    const int32_t frameHeight = outer.height - clientHeight;
    WindowPlace place;
    place.width = ClampClient(wanted.x, screen.width) + frameWidth;
    place.height = ClampClient(wanted.y, screen.height) + frameHeight;
    place.x = KeepOnScreen(outer.x, place.width, screen.width);
    place.y = KeepOnScreen(outer.y, place.height, screen.height);
    return place;
}

}  // namespace kelpa
