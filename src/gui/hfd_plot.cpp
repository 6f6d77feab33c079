// The focusing plot of the statistic window.
#include "gui/hfd_plot.h"

#include <QPainter>
#include <QPalette>
#include <QRectF>

namespace kelpa {
namespace {

constexpr double kCurveWidth = 1.5;
constexpr double kNewestDot = 2.5;  // radius of the mark on the newest measurement
constexpr int kTickLength = 4;
constexpr double kMinuteSeconds = 60.0;

QRect ToQRect(const WindowRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

}  // namespace

void HfdPlot::TakeScale(const HfdScale& scale) {
    scale_ = scale;
    labelled_ = true;
    topLabel_ = scale.any ? QString::number(scale.high, 'f', scale.decimals) : QString();
    bottomLabel_ = scale.any ? QString::number(scale.low, 'f', scale.decimals) : QString();
}

void HfdPlot::Flush(QPainter& painter, size_t& count) {
    if (count == 1) {
        // A lone measurement between gaps: a dot as wide as the curve.
        painter.drawPoint(points_[0]);
    } else if (count > 1) {
        painter.drawPolyline(points_.data(), static_cast<int>(count));
    }
    count = 0;
}

void HfdPlot::Paint(QPainter& painter, const StatisticLayout& layout, const HfdHistory& history,
                    const QPalette& palette) {
    const HfdScale scale = ScaleHfd(history);
    if (!labelled_ || !(scale == scale_)) TakeScale(scale);
    const QRect box = ToQRect(layout.plot);
    if (box.width() < 2 || box.height() < 2) return;

    painter.save();
    painter.setPen(palette.color(QPalette::WindowText));
    painter.drawText(ToQRect(layout.plotCaption), Qt::AlignLeft | Qt::AlignVCenter, caption_);
    painter.fillRect(box, palette.color(QPalette::Base));
    // The curve is drawn inside the frame line.
    const QRectF inner = QRectF(box).adjusted(1.5, 1.5, -1.5, -1.5);
    const double range = scale.high - scale.low;
    const auto yOf = [&](double hfd) {
        return inner.bottom() - (hfd - scale.low) / range * inner.height();
    };

    // Grid lines at the scale's steps, ticks at every minute back from now.
    painter.setPen(QPen(palette.color(QPalette::Mid), 1, Qt::DotLine));
    if (scale.any) {
        for (int32_t k = 1; k < scale.steps; ++k) {
            const double y = yOf(scale.low + k * double{scale.step});
            painter.drawLine(QPointF(box.left(), y), QPointF(box.right(), y));
        }
    }
    painter.setPen(palette.color(QPalette::Mid));
    for (double back = kMinuteSeconds; back < kHfdSpanSeconds; back += kMinuteSeconds) {
        const int x = box.right() - static_cast<int>(back / kHfdSpanSeconds * box.width());
        painter.drawLine(x, box.bottom(), x, box.bottom() - kTickLength);
    }
    painter.drawRect(box.adjusted(0, 0, -1, -1));

    if (scale.any) {
        painter.setPen(palette.color(QPalette::WindowText));
        const QRect labels = ToQRect(layout.plotScale);
        painter.drawText(labels, Qt::AlignRight | Qt::AlignTop, topLabel_);
        painter.drawText(labels, Qt::AlignRight | Qt::AlignBottom, bottomLabel_);

        // Slot times run from the oldest slot of the span at the left to the newest at the
        // right, each in the middle of its share of the width.
        const int64_t newest = history.At(history.Size() - 1).slot;
        const int64_t oldest = newest - static_cast<int64_t>(kHfdSlotCount) + 1;
        const double slotWidth = inner.width() / static_cast<double>(kHfdSlotCount);
        painter.setClipRect(inner);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(QColor::fromRgb(kHfdCurveColour), kCurveWidth, Qt::SolidLine,
                            Qt::RoundCap, Qt::RoundJoin));
        size_t count = 0;
        const size_t first = history.FirstInSpan();
        QPointF last;
        bool lastValid = false;
        for (size_t i = first; i < history.Size(); ++i) {
            const HfdSample sample = history.At(i);
            if (i == first || !history.JoinsPrevious(i)) Flush(painter, count);
            lastValid = sample.valid;
            if (!sample.valid) continue;
            last = QPointF(
                inner.left() + (static_cast<double>(sample.slot - oldest) + 0.5) * slotWidth,
                yOf(sample.hfd));
            points_[count++] = last;
        }
        Flush(painter, count);
        if (lastValid) {
            painter.setBrush(QColor::fromRgb(kHfdCurveColour));
            painter.drawEllipse(last, kNewestDot, kNewestDot);
        }
    }
    painter.restore();
}

}  // namespace kelpa
