// The statistic window without its widget: its texts, the values of one statistics snapshot as
// the window shows them, and where the labels and values go once the window's font has measured
// them. With the guide on, the star's metrics and the HFD plot follow below the statistics.
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

// The guide star's metrics, shown below those while the guide is on.
inline constexpr std::string_view kStatisticMetricLabels = "HFD:\nFWHM:\nPeak:\nSNR:";
inline constexpr int32_t kStatisticMetricLines = 4;
// The caption over the HFD plot, and the widest label of its y axis.
inline constexpr const char* kHfdPlotCaption = "HFD (px), last 3 min";
inline constexpr const char* kHfdScaleWidthSample = "00.0";

// A formatted value text shorter than this is drawn; a longer one is not.
inline constexpr size_t kStatisticTextSize = 100;

// The values of one snapshot, a line each: the pixel at the star as (red, green, blue), the
// minimum and maximum, then the mean, background and RMS with one decimal. False (and nothing
// to draw) when the text would not fit the window's text buffer.
bool FormatStatisticValues(const StatisticsSnapshot& snapshot, char (&text)[kStatisticTextSize]);

// The metrics of the guide star, a line each: HFD and FWHM in px with two decimals, the peak
// level, the signal-to-noise ratio with one decimal; "-" on each line when the guide found no
// star whose metrics hold. False (and nothing to draw) when the text would not fit.
bool FormatStarMetrics(const StatisticsSnapshot& snapshot, char (&text)[kStatisticTextSize]);

struct StatisticLayout {
    WindowRect labels{10, 10, 50, 110};
    WindowRect values{68, 10, 218, 110};
    // The client area that holds both columns with a margin.
    int32_t clientWidth = 228;
    int32_t clientHeight = 120;
    // With the guide on, below those: the metric lines in two columns, the plot's caption, the
    // column of its y axis labels and the plot itself; the client area is then
    // guideClientWidth x guideClientHeight (wider only when the plot needs it).
    WindowRect metricLabels;
    WindowRect metricValues;
    WindowRect plotCaption;
    WindowRect plotScale;
    WindowRect plot;
    int32_t guideClientWidth = 0;
    int32_t guideClientHeight = 0;
};

// What the window's font measured: the widest label line and the height of all label lines
// plus 1, and the width of kStatisticWidthSample (0 when it could not be measured); for the
// guide's lines the widest metric label, the height of one line and the width of
// kHfdScaleWidthSample.
struct StatisticMeasures {
    int32_t widestLabel = 0;
    int32_t labelsHeight = 0;
    int32_t sampleWidth = 0;
    int32_t widestMetricLabel = 0;
    int32_t lineHeight = 0;
    int32_t scaleWidth = 0;
};

StatisticLayout LayOutStatistic(const StatisticMeasures& measures, ScreenSize screen);

}  // namespace kelpa
