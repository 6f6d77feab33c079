// The statistic window's focusing plot: the guide star's HFD over the last few minutes as a
// curve with a gap wherever no star was measured, on a y axis that follows the values, with its
// caption and axis labels. GUI thread.
#pragma once

#include <QColor>
#include <QPointF>
#include <QString>
#include <array>

#include "view/hfd_history.h"
#include "view/statistic_layout.h"

class QPainter;
class QPalette;

namespace kelpa {

// The curve's colour, the same on every style (tests look for it in grabbed windows).
inline constexpr QRgb kHfdCurveColour = 0xff1f6fd0;

class HfdPlot {
  public:
    // Draws the caption, the axis and the curve of `history` into the layout's plot rectangles.
    // Allocates nothing but what the painter does; the axis labels are made again only when
    // the scale changes.
    void Paint(QPainter& painter, const StatisticLayout& layout, const HfdHistory& history,
               const QPalette& palette);

    // The scale of the last paint.
    const HfdScale& Scale() const { return scale_; }

  private:
    void TakeScale(const HfdScale& scale);
    // Draws the points gathered so far as one piece of the curve, and starts the next.
    void Flush(QPainter& painter, size_t& count);

    const QString caption_ = QString::fromLatin1(kHfdPlotCaption);
    HfdScale scale_;
    bool labelled_ = false;
    QString topLabel_;
    QString bottomLabel_;
    std::array<QPointF, kHfdSlotCount> points_{};
};

}  // namespace kelpa
