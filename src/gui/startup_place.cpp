#include "gui/startup_place.h"

#include <algorithm>

namespace kelpa {
namespace {

constexpr int32_t kMinWorkWidth = 100;
constexpr int32_t kMinWorkHeight = 80;
constexpr int32_t kScreenMargin = 24;
// How far from the right and bottom edges of the work area the main window starts.
constexpr int32_t kDefaultRightGap = 513;
constexpr int32_t kDefaultBottomGap = 31;

}  // namespace

ScreenSize WorkAreaFrom(ScreenSize available, ScreenSize screen) {
    ScreenSize work = available;
    if (available.width <= 0 || available.height <= 0) {
        work.width = std::max(screen.width, kMinWorkWidth) - kScreenMargin;
        work.height = std::max(screen.height, kMinWorkHeight) - kScreenMargin;
    }
    work.width = std::max(work.width, kMinWorkWidth);
    work.height = std::max(work.height, kMinWorkHeight);
    return work;
}

WindowPoint RememberedMainPosition(ScreenSize work) {
    const MainWindowPlace place =
        LoadMainWindowPlace({work.width - kDefaultRightGap, work.height - kDefaultBottomGap});
    return {place.x, place.y};
}

void SaveMainPosition(WindowPoint topLeft) {
    SaveMainWindowPlace({topLeft.x, topLeft.y});
}

WindowPoint FitOnScreen(WindowPoint topLeft, int32_t width, int32_t height, WindowPoint origin,
                        ScreenSize work) {
    const auto fit = [](int32_t position, int32_t size, int32_t start, int32_t length) {
        if (position + size > start + length) position = start + length - size;
        return std::max(position, start);
    };
    return {fit(topLeft.x, width, origin.x, work.width),
            fit(topLeft.y, height, origin.y, work.height)};
}

}  // namespace kelpa
