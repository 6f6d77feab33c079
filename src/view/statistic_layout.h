// The statistic window without its widget: its texts, the values of one statistics snapshot as
// the window shows them, and where the labels and values go once the window's font has measured
// them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "processing/stream_events.h"
#include "view/surface_layout.h"
#include "view/view_settings.h"

namespace kelpa {

inline constexpr const char* kInfoWindowTitle = "Info: Statistic";
// View -> "Info: Statistic" (F6) shows or hides the window.
inline constexpr int32_t kCommandInfoStatistic = 40315;
// One label a line; the values follow the same lines.
inline constexpr std::string_view kStatisticLabels = "Value:\nMin:\nMax:\nMean:\nBkgr:\nRMS:";
// The widest value text the value column is sized for.
inline constexpr const char* kStatisticWidthSample = "(000, 000, 000)";

// A formatted value text shorter than this is drawn; a longer one is not.
inline constexpr size_t kStatisticTextSize = 100;

// The values of one snapshot, a line each: the pixel at the star as (red, green, blue), the
// minimum and maximum, then the mean, background and RMS with one decimal. False (and nothing
// to draw) when the text would not fit the window's text buffer.
bool FormatStatisticValues(const StatisticsSnapshot& snapshot, char (&text)[kStatisticTextSize]);

struct StatisticLayout {
    WindowRect labels{10, 10, 50, 110};
    WindowRect values{68, 10, 218, 110};
    // The client area that holds both columns with a margin.
    int32_t clientWidth = 228;
    int32_t clientHeight = 120;
};

// What the window's font measured: the widest label line and the height of all label lines
// plus 1, and the width of kStatisticWidthSample (0 when it could not be measured).
struct StatisticMeasures {
    int32_t widestLabel = 0;
    int32_t labelsHeight = 0;
    int32_t sampleWidth = 0;
};

StatisticLayout LayOutStatistic(const StatisticMeasures& measures, ScreenSize screen);

}  // namespace kelpa
