// The live window.
#include "gui/live_window.h"

#include <QMouseEvent>
#include <QPainter>

#include "gui/device_painter.h"
#include "video/video_ctrl.h"

namespace kelpa {

LiveWindow::LiveWindow(QWidget* parent)
    : VideoWindow(ViewWindow::kLive, LoadLiveViewFlags().visible, parent) {}

LiveWindow::~LiveWindow() {
    SetController(nullptr);
}

VideoSurf* LiveWindow::SurfaceOf(VideoCtrl* ctrl) const {
    return ctrl ? &ctrl->sink.live : nullptr;
}

void LiveWindow::SaveFlags() {
    SaveLiveViewFlags({Shown()});
}

void LiveWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    UseDevicePixels(painter, *this);
    frame_.Take(Controller() ? &Controller()->sink.live : nullptr);
    frame_.Paint(painter, DeviceClientSize());
}

void LiveWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        drag_.Start(*this, *event);
    }
}

void LiveWindow::mouseMoveEvent(QMouseEvent* event) {
    drag_.Move(*this, *event);
}

void LiveWindow::mouseReleaseEvent(QMouseEvent*) {
    drag_.End();
}

}  // namespace kelpa
