#include "gui/startup_place.h"

#include <algorithm>
#include <cstdio>

#include "common/profile.h"

namespace kelpa {
namespace {

constexpr int32_t kMinWorkWidth = 100;
constexpr int32_t kMinWorkHeight = 80;
constexpr int32_t kScreenMargin = 24;
// How far from the right and bottom edges of the work area the main window starts.
constexpr int32_t kDefaultRightGap = 513;
constexpr int32_t kDefaultBottomGap = 31;

int32_t ReadClamped(const char* key, int32_t maximum) {
    int32_t value = GetProfileInt(kProfileSection, key, maximum);
    if (value < 1) value = 1;
    if (value > maximum) value = maximum;
    return value;
}

void WriteNumber(const char* key, int32_t value) {
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%d", value);
    if (length >= 1 && length <= 11) WriteProfileString(kProfileSection, key, text);
}

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
    return {ReadClamped("MX", work.width - kDefaultRightGap),
            ReadClamped("MY", work.height - kDefaultBottomGap)};
}

void SaveMainPosition(WindowPoint topLeft) {
    WriteNumber("MX", topLeft.x);
    WriteNumber("MY", topLeft.y);
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
