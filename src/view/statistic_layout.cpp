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
// Without measures: lines about as tall as those of the default label rectangle.
constexpr int32_t kDefaultLineHeight = 16;
constexpr int32_t kDefaultMetricLabelWidth = 40;
constexpr int32_t kDefaultScaleWidth = 24;
// The plot: at least this wide (the window grows for it), at least this tall or five lines;
// its labels this far left of it.
constexpr int32_t kPlotMinWidth = 200;
constexpr int32_t kPlotLines = 5;
constexpr int32_t kPlotMinHeight = 48;
constexpr int32_t kScaleGap = 4;
constexpr int32_t kMetricGap = 8;

void LayOutGuideLines(const StatisticMeasures& m, StatisticLayout& layout) {
    const int32_t line = m.lineHeight > 0 ? m.lineHeight : kDefaultLineHeight;
    const int32_t labelWidth =
        m.widestMetricLabel > 0 ? m.widestMetricLabel : kDefaultMetricLabelWidth;
    const int32_t scaleWidth = m.scaleWidth > 0 ? m.scaleWidth : kDefaultScaleWidth;
    layout.guideClientWidth =
        std::max(layout.clientWidth, kMargin + scaleWidth + kScaleGap + kPlotMinWidth + kMargin);
    const int32_t right = layout.guideClientWidth - kMargin;
    // Half a line apart from the statistics above.
    const int32_t top = layout.labels.bottom + line / 2;
    const int32_t bottom = top + kStatisticMetricLines * line + 1;
    layout.metricLabels = {kMargin, top, kMargin + labelWidth, bottom};
    // In the value column above, unless a wider label would come closer than kMetricGap.
    const int32_t valuesLeft = std::max(layout.values.left, kMargin + labelWidth + kMetricGap);
    layout.metricValues = {valuesLeft, top, std::max(layout.values.right, valuesLeft), bottom};
    const int32_t captionTop = bottom + line / 2;
    layout.plotCaption = {kMargin, captionTop, right, captionTop + line};
    const int32_t plotTop = layout.plotCaption.bottom + line / 4;
    const int32_t plotBottom = plotTop + std::max(kPlotLines * line, kPlotMinHeight);
    layout.plotScale = {kMargin, plotTop, kMargin + scaleWidth, plotBottom};
    layout.plot = {layout.plotScale.right + kScaleGap, plotTop, right, plotBottom};
    layout.guideClientHeight = plotBottom + kMargin;
}

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

bool FormatStarMetrics(const StatisticsSnapshot& s, char (&text)[kStatisticTextSize]) {
    const int n = s.starMetricsValid
                      ? std::snprintf(text, sizeof text, "%.2f px\n%.2f px\n%.0f\n%.1f",
                                      double{s.hfd}, double{s.fwhm}, double{s.peak}, double{s.snr})
                      : std::snprintf(text, sizeof text, "-\n-\n-\n-");
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
    LayOutGuideLines(m, layout);
    return layout;
}

}  // namespace kelpa
