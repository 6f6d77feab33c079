// The "Info: Statistic" window: the histogram statistics of the processing area in two columns,
// fixed labels on the left and the values of the newest statistics snapshot on the right. While
// the guide is on, the window grows to show the guide star's metrics (HFD, FWHM, peak, SNR)
// below those and a plot of its HFD over the last few minutes, for focusing. View
// "Info: Statistic" (F6, command 40315) shows and hides it; its close box only hides it; either
// mouse button drags it. With no video open it shows only its background.
#pragma once

#include <QRect>
#include <QWidget>

#include "gui/hfd_plot.h"
#include "gui/window_drag.h"
#include "processing/stream_events.h"
#include "view/hfd_history.h"
#include "view/statistic_layout.h"

namespace kelpa {

class VideoCtrl;

class StatisticWindow final : public QWidget {
    Q_OBJECT

  public:
    // `beside`: the frame of the window the default place is taken from (the owner, or the
    // main window when, as in the program, there is no owner). ProcInfo, InfoX and InfoY are
    // read.
    explicit StatisticWindow(const QRect& beside, QWidget* owner = nullptr);

    // The current controller (nullptr: no video open); its statistics are shown.
    void SetController(VideoCtrl* ctrl);
    VideoCtrl* Controller() const { return ctrl_; }

    // At start-up: shows the window when ProcInfo says so.
    void ShowIfWanted();
    // Shows (without taking the focus) or hides; the shown flag follows the window.
    void SetShown(bool shown);
    bool Shown() const { return shown_; }
    // Command 40315.
    void Toggle() { SetShown(!shown_); }

    // Shutdown: ProcInfo, then InfoX and InfoY.
    void SaveSettings();

    const StatisticLayout& Layout() const { return layout_; }
    // The values as last drawn ("" before any).
    const char* ValueText() const { return values_; }
    // The guide star's metrics as last taken ("" before any); drawn only while the guide is on.
    const char* MetricText() const { return metrics_; }
    // Whether the metric lines and the plot are shown (the guide was on in the last snapshot).
    bool GuideLinesShown() const { return guideShown_; }
    const HfdHistory& Hfd() const { return hfd_; }

  public slots:
    // From the event bridge: a new snapshot of `ctrl` (ignored unless it is the current one).
    void OnStatistics(kelpa::VideoCtrl* ctrl, const kelpa::StatisticsSnapshot& snapshot);

  signals:
    // The window was shown or hidden (the menu's check mark; statistics are only measured on
    // every frame while someone shows them: Application::SetStatisticsWanted).
    void shownChanged(bool shown);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void TakeValues(const StatisticsSnapshot& snapshot);
    // Grows the window for the guide's lines or shrinks it back.
    void ShowGuideLines(bool on);

    VideoCtrl* ctrl_ = nullptr;
    bool shown_ = false;
    StatisticLayout layout_;
    int32_t lineHeight_ = 0;
    // Empty when nothing is to be drawn.
    char values_[kStatisticTextSize] = {};
    char metrics_[kStatisticTextSize] = {};
    bool guideShown_ = false;
    HfdHistory hfd_;
    HfdPlot plot_;
    WindowDrag drag_;
};

}  // namespace kelpa
