#include "gui/display_windows.h"

#include <QAction>

#include "gui/event_bridge.h"
#include "gui/live_window.h"
#include "gui/main_window.h"
#include "gui/processing_window.h"
#include "gui/statistic_window.h"
#include "gui/video_windows.h"

namespace kelpa {

DisplayWindowSet::DisplayWindowSet(VideoWindows& windows, MainWindow& main)
    : windows_(windows), main_(main) {
    QObject::connect(&windows_, &VideoWindows::closeRequested, &main_, &QWidget::close);
    QObject::connect(&windows_.Statistic(), &StatisticWindow::shownChanged, &main_,
                     [this] { main_.RefreshState(); });
    QObject::connect(&windows_.Processing(), &ProcessingWindow::editModeChanged, &main_,
                     [this] { main_.RefreshState(); });
    // The area popup of the Processing window shows the main menu's (replaced) texts.
    for (uint32_t command = kCmdAreaSetup; command <= kCmdAreaExitChange; ++command) {
        if (QAction* action = main_.ActionOf(command)) {
            windows_.Processing().SetAreaMenuText(static_cast<int32_t>(command), action->text());
        }
    }
}

bool DisplayWindowSet::Visible(ShownWindow window) const {
    switch (window) {
        case ShownWindow::kLive:
            return windows_.Live().Shown();
        case ShownWindow::kProcessing:
            return windows_.Processing().Shown();
        case ShownWindow::kStatistic:
            return windows_.Statistic().Shown();
    }
    return false;
}

void DisplayWindowSet::SetVisible(ShownWindow window, bool visible) {
    switch (window) {
        case ShownWindow::kLive:
            windows_.Live().SetShown(visible);
            break;
        case ShownWindow::kProcessing:
            windows_.Processing().SetShown(visible);
            break;
        case ShownWindow::kStatistic:
            windows_.Statistic().SetShown(visible);
            break;
    }
}

void DisplayWindowSet::ShowController(VideoCtrl* ctrl) {
    windows_.SetController(ctrl);
}

void DisplayWindowSet::Resize(SizeCommand command, int32_t fixedWidth) {
    windows_.ApplySizeCommand(command, fixedWidth);
}

void DisplayWindowSet::Repaint() {
    windows_.Repaint();
}

bool DisplayWindowSet::Flag(ViewFlag flag) const {
    const ProcViewFlags& flags = windows_.Processing().Flags();
    switch (flag) {
        case ViewFlag::kGrid:
            return flags.guideGrid;
        case ViewFlag::kArea:
            return flags.guideArea;
        case ViewFlag::kVirtualGuide:
            return flags.guideVirtual;
    }
    return false;
}

void DisplayWindowSet::SetFlag(ViewFlag flag, bool on) {
    ProcessingWindow& processing = windows_.Processing();
    switch (flag) {
        case ViewFlag::kGrid:
            processing.SetShowGrid(on);
            break;
        case ViewFlag::kArea:
            processing.SetShowArea(on);
            break;
        case ViewFlag::kVirtualGuide:
            processing.SetVirtualGuide(on);
            break;
    }
}

void DisplayWindowSet::AreaCommand(uint32_t command) {
    windows_.Processing().AreaCommand(static_cast<int32_t>(command), &main_);
}

uint32_t DisplayWindowSet::AreaMode() const {
    switch (windows_.Processing().Mode()) {
        case EditMode::kMove:
            return kCmdAreaMove;
        case EditMode::kResize:
            return kCmdAreaResize;
        case EditMode::kDraw:
            return kCmdAreaDraw;
        case EditMode::kNone:
            break;
    }
    return 0;
}

void DisplayWindowSet::SaveAndClose() {
    windows_.SaveAndClose();
}

void ConnectMainWindow(EventBridge& bridge, MainWindow& main) {
    QObject::connect(&bridge, &EventBridge::graphEvent, &main,
                     [&main](VideoCtrl* ctrl) { main.OnGraphEvent(ctrl); });
    QObject::connect(&bridge, &EventBridge::ampChanged, &main, [&main](VideoCtrl* ctrl, int v) {
        main.OnAutoChange(ctrl, StreamEvent::kAmpChanged, v);
    });
    QObject::connect(&bridge, &EventBridge::countAccumChanged, &main,
                     [&main](VideoCtrl* ctrl, int v) {
                         main.OnAutoChange(ctrl, StreamEvent::kCountAccumChanged, v);
                     });
    QObject::connect(&bridge, &EventBridge::delayChanged, &main, [&main](VideoCtrl* ctrl, int v) {
        main.OnAutoChange(ctrl, StreamEvent::kDelayChanged, v);
    });
    QObject::connect(
        &bridge, &EventBridge::captureProgress, &main,
        [&main](VideoCtrl* ctrl, unsigned count) { main.OnCaptureProgress(ctrl, count); });
    QObject::connect(&bridge, &EventBridge::captureDone, &main,
                     [&main](VideoCtrl* ctrl, const CaptureReport& report) {
                         main.OnCaptureDone(ctrl, report);
                     });
    QObject::connect(&bridge, &EventBridge::devicesChanged, &main,
                     [&main](VideoCtrl*) { main.OnDevicesChanged(); });
    QObject::connect(&bridge, &EventBridge::darkTakeEnded, &main,
                     [&main](VideoCtrl* ctrl) { main.OnDarkTakeEnded(ctrl); });
    QObject::connect(&bridge, &EventBridge::guideLogStopped, &main,
                     [&main](VideoCtrl* ctrl) { main.OnGuideLogStopped(ctrl); });
}

}  // namespace kelpa
