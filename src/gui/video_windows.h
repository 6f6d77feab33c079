// The program's display windows together: the "Live" and "Processing" windows and the
// "Info: Statistic" window, connected to the event bridge, shown, switched to a new source and
// saved as one. The main window makes one of these after the bridge.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <cstdint>

#include "view/window_sizing.h"

class QWidget;

namespace kelpa {

class EventBridge;
class LiveWindow;
class ProcessingWindow;
class StatisticWindow;
class VideoCtrl;

class VideoWindows final : public QObject {
    Q_OBJECT

  public:
    // `owner`: the main window; the video windows belong to it and stay with it (nullptr: they
    // stand alone). The statistic window has no owner; `mainFrame` is the main window's frame,
    // beside which it goes when it has no remembered place.
    VideoWindows(EventBridge& bridge, QWidget* owner, const QRect& mainFrame);
    // Deletes the windows that have no owner. Destroy before the application's controllers,
    // or set no controller first.
    ~VideoWindows() override;

    LiveWindow& Live() const { return *live_; }
    ProcessingWindow& Processing() const { return *processing_; }
    StatisticWindow& Statistic() const { return *statistic_; }

    // The current controller (nullptr: no video open), on every change of source.
    void SetController(VideoCtrl* ctrl);
    // At start-up: each window whose saved flag says so is shown.
    void ShowIfWanted();
    // Shutdown: places and flags (the video windows' only while their controller is current).
    void SaveSettings();
    // Both video windows: input size, half size or a fixed width.
    void ApplySizeCommand(SizeCommand command, int32_t fixedWidth = 0);
    // Both video windows draw their pictures again (after a settings change while stopped).
    void Repaint();
    // The main window closes: places and flags are saved, then the windows are hidden (without
    // asking to end the program again) and show no source.
    void SaveAndClose();

  signals:
    // A video window was closed: the program ends.
    void closeRequested();

  private:
    QPointer<LiveWindow> live_;
    QPointer<ProcessingWindow> processing_;
    QPointer<StatisticWindow> statistic_;
};

}  // namespace kelpa
