// The statistic window.
#include "gui/statistic_window.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <string_view>

#include "gui/video_window.h"
#include "processing/proc_engine.h"
#include "video/video_ctrl.h"

namespace kelpa {
namespace {

constexpr Qt::WindowFlags kCaptionAndClose = Qt::Window | Qt::CustomizeWindowHint |
                                             Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                             Qt::WindowCloseButtonHint;

// The widest of the lines of `labels` and how many there are.
int32_t WidestLine(const QFontMetrics& metrics, std::string_view labels, int32_t* lines) {
    int32_t widest = 0;
    *lines = 0;
    while (!labels.empty()) {
        const size_t end = std::min(labels.find('\n'), labels.size());
        const QString line = QString::fromLatin1(labels.data(), static_cast<qsizetype>(end));
        widest = std::max(widest, metrics.horizontalAdvance(line));
        ++*lines;
        labels.remove_prefix(std::min(end + 1, labels.size()));
    }
    return widest;
}

// The engine's statistics as they stand (before the first snapshot of a source arrives).
StatisticsSnapshot CurrentStatistics(const ProcEngine& e) {
    StatisticsSnapshot s;
    s.histMin = e.histMin.load();
    s.histMax = e.histMax.load();
    s.mean = e.mean.load();
    s.bkgr = e.bkgr.load();
    s.rms = e.rms.load();
    s.pixelValue = e.pixelValue.load();
    // The metrics wait for the next measurement.
    s.guideEnable = e.params.guideEnable.load() != 0;
    return s;
}

// Draws `text` a line at a time from the top of `r`.
void DrawLines(QPainter& painter, const WindowRect& r, std::string_view text, int32_t lineHeight) {
    int32_t top = r.top;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        painter.drawText(QRect(r.left, top, r.Width(), lineHeight), Qt::AlignLeft | Qt::AlignTop,
                         QString::fromLatin1(text.data(), static_cast<qsizetype>(end)));
        top += lineHeight;
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}

QRect ToQRect(const WindowRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

}  // namespace

StatisticWindow::StatisticWindow(const QRect& beside, QWidget* owner)
    : QWidget(owner, kCaptionAndClose) {
    setWindowTitle(kInfoWindowTitle);
    setAttribute(Qt::WA_ShowWithoutActivating);
    const ScreenSize screen = PrimaryScreenSize();
    const InfoWindowSettings settings = LoadInfoWindowSettings(beside.left(), beside.top(), screen);
    shown_ = settings.visible;

    // The columns as the window's font measures the texts.
    const QFontMetrics metrics(font());
    lineHeight_ = metrics.height();
    StatisticMeasures measures;
    int32_t lines = 0;
    measures.widestLabel = WidestLine(metrics, kStatisticLabels, &lines);
    measures.labelsHeight = lines * lineHeight_ + 1;
    measures.sampleWidth = metrics.horizontalAdvance(kStatisticWidthSample);
    measures.widestMetricLabel = WidestLine(metrics, kStatisticMetricLabels, &lines);
    measures.lineHeight = lineHeight_;
    measures.scaleWidth = metrics.horizontalAdvance(kHfdScaleWidthSample);
    layout_ = LayOutStatistic(measures, screen);
    setFixedSize(layout_.clientWidth, layout_.clientHeight);
    // Moved left or up, never past 0, when the window would pass the screen's edge.
    const int32_t x = std::max(std::min(settings.x, screen.width - layout_.clientWidth), 0);
    const int32_t y = std::max(std::min(settings.y, screen.height - layout_.clientHeight), 0);
    move(x, y);
}

void StatisticWindow::SetController(VideoCtrl* ctrl) {
    ctrl_ = ctrl;
    values_[0] = '\0';
    metrics_[0] = '\0';
    hfd_.Clear();
    bool guide = false;
    if (ctrl_ != nullptr) {
        const StatisticsSnapshot now = CurrentStatistics(ctrl_->sink.engine);
        TakeValues(now);
        guide = now.guideEnable;
    }
    ShowGuideLines(guide);
    update();
}

void StatisticWindow::ShowGuideLines(bool on) {
    if (on == guideShown_) return;
    guideShown_ = on;
    const int32_t width = on ? layout_.guideClientWidth : layout_.clientWidth;
    const int32_t height = on ? layout_.guideClientHeight : layout_.clientHeight;
    setFixedSize(width, height);
    // The larger window is moved left or up as far as it needs to stay on the screen.
    const ScreenSize screen = PrimaryScreenSize();
    if (on && (x() + width > screen.width || y() + height > screen.height)) {
        move(std::max(std::min(x(), screen.width - width), 0),
             std::max(std::min(y(), screen.height - height), 0));
    }
    update();
}

void StatisticWindow::ShowIfWanted() {
    if (shown_) {
        SetShown(true);
    } else {
        emit shownChanged(false);
    }
}

void StatisticWindow::SetShown(bool shown) {
    if (shown) {
        setEnabled(true);
        show();
        raise();
        update();
    } else {
        hide();
        setEnabled(false);
    }
    shown_ = isVisible();
    emit shownChanged(shown_);
}

void StatisticWindow::SaveSettings() {
    SaveInfoWindowSettings({shown_, x(), y()});
}

void StatisticWindow::OnStatistics(VideoCtrl* ctrl, const StatisticsSnapshot& snapshot) {
    if (ctrl == nullptr || ctrl != ctrl_) return;
    TakeValues(snapshot);
    // Frames without the guide are gaps in the plot.
    hfd_.Add(snapshot.time, snapshot.guideEnable && snapshot.starMetricsValid, snapshot.hfd);
    if (snapshot.guideEnable != guideShown_) {
        ShowGuideLines(snapshot.guideEnable);
    } else if (isVisible()) {
        update(ToQRect(layout_.values));
        if (guideShown_) {
            update(ToQRect(layout_.metricValues));
            update(ToQRect(layout_.plotScale).united(ToQRect(layout_.plot)));
        }
    }
}

void StatisticWindow::TakeValues(const StatisticsSnapshot& snapshot) {
    if (!FormatStatisticValues(snapshot, values_)) values_[0] = '\0';
    if (!FormatStarMetrics(snapshot, metrics_)) metrics_[0] = '\0';
}

void StatisticWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (ctrl_ == nullptr) return;
    painter.setPen(palette().color(QPalette::WindowText));
    DrawLines(painter, layout_.labels, kStatisticLabels, lineHeight_);
    DrawLines(painter, layout_.values, values_, lineHeight_);
    if (!guideShown_) return;
    DrawLines(painter, layout_.metricLabels, kStatisticMetricLabels, lineHeight_);
    DrawLines(painter, layout_.metricValues, metrics_, lineHeight_);
    plot_.Paint(painter, layout_, hfd_, palette());
}

void StatisticWindow::closeEvent(QCloseEvent* event) {
    // The close box hides the window; F6 shows it again where it was.
    event->ignore();
    SetShown(false);
}

void StatisticWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        drag_.Start(*this, *event);
    }
}

void StatisticWindow::mouseMoveEvent(QMouseEvent* event) {
    drag_.Move(*this, *event);
}

void StatisticWindow::mouseReleaseEvent(QMouseEvent*) {
    drag_.End();
}

}  // namespace kelpa
