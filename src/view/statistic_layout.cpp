// Texts and layout of the statistic window.
#include "view/statistic_layout.h"

#include <algorithm>
#include <cstdio>

namespace kelpa {
namespace {

constexpr int32_t kMargin = 10;
// The value column starts this far right of the labels; without a measured sample it is
// kValueWidth wide.
constexpr int32_t kColumnGap = 18;
constexpr int32_t kValueWidth = 150;

}  // namespace

bool FormatStatisticValues(const StatisticsSnapshot& s, char (&text)[kStatisticTextSize]) {
    const uint32_t pixel = s.pixelValue;
    const int n =
        std::snprintf(text, sizeof text, "(%d, %d, %d)\n%d\n%d\n%.1f\n%.1f\n%.1f",
                      static_cast<int>((pixel >> 16) & 0xff), static_cast<int>((pixel >> 8) & 0xff),
                      static_cast<int>(pixel & 0xff), s.histMin, s.histMax, double{s.mean},
                      double{s.bkgr}, double{s.rms});
    return n >= 0 && static_cast<size_t>(n) < sizeof text;
}

StatisticLayout LayOutStatistic(const StatisticMeasures& m, ScreenSize screen) {
    StatisticLayout layout;
    WindowRect& labels = layout.labels;
    if (m.widestLabel > 0 && m.labelsHeight > 0) {
        // Kept on the screen.
        const int32_t width = std::min(m.widestLabel, std::max(screen.width - kMargin, 0));
        const int32_t height = std::min(m.labelsHeight, std::max(screen.height - kMargin, 0));
        labels = {kMargin, kMargin, kMargin + width, kMargin + height};
    }
    WindowRect& values = layout.values;
    values = {labels.right + kColumnGap, labels.top, labels.right + kColumnGap + kValueWidth,
              labels.bottom};
    if (m.sampleWidth > 0 && values.left + m.sampleWidth < screen.width) {
        values.right = values.left + m.sampleWidth;
    }
    layout.clientWidth = values.right + kMargin;
    layout.clientHeight = labels.bottom + kMargin;
    return layout;
}

}  // namespace kelpa
