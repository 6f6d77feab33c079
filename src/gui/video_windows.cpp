// Making and wiring the display windows.
#include "gui/video_windows.h"

#include "gui/event_bridge.h"
#include "gui/live_window.h"
#include "gui/processing_window.h"
#include "gui/statistic_window.h"

namespace kelpa {

VideoWindows::VideoWindows(EventBridge& bridge, QWidget* owner, const QRect& mainFrame)
    : live_(new LiveWindow(owner)),
      processing_(new ProcessingWindow(owner)),
      statistic_(new StatisticWindow(mainFrame)) {
    connect(&bridge, &EventBridge::livePicture, live_, &VideoWindow::OnPicture);
    connect(&bridge, &EventBridge::processedPicture, processing_, &VideoWindow::OnPicture);
    connect(&bridge, &EventBridge::statistics, statistic_, &StatisticWindow::OnStatistics);
    connect(live_, &VideoWindow::closeRequested, this, &VideoWindows::closeRequested);
    connect(processing_, &VideoWindow::closeRequested, this, &VideoWindows::closeRequested);
}

VideoWindows::~VideoWindows() {
    if (live_ && live_->parent() == nullptr) delete live_;
    if (processing_ && processing_->parent() == nullptr) delete processing_;
    delete statistic_;
}

void VideoWindows::SetController(VideoCtrl* ctrl) {
    live_->SetController(ctrl);
    processing_->SetController(ctrl);
    statistic_->SetController(ctrl);
}

void VideoWindows::ShowIfWanted() {
    live_->ShowIfWanted();
    processing_->ShowIfWanted();
    statistic_->ShowIfWanted();
}

void VideoWindows::SaveSettings() {
    live_->SaveSettings();
    processing_->SaveSettings();
    statistic_->SaveSettings();
}

void VideoWindows::Repaint() {
    live_->update();
    processing_->update();
}

void VideoWindows::SaveAndClose() {
    SaveSettings();
    SetController(nullptr);
    for (QWidget* window : {static_cast<QWidget*>(live_), static_cast<QWidget*>(processing_),
                            static_cast<QWidget*>(statistic_)}) {
        // Hidden, not closed: a closed video window asks to end the program.
        if (window != nullptr) window->hide();
    }
}

void VideoWindows::ApplySizeCommand(SizeCommand command, int32_t fixedWidth) {
    live_->ApplySizeCommand(command, fixedWidth);
    processing_->ApplySizeCommand(command, fixedWidth);
}

}  // namespace kelpa
