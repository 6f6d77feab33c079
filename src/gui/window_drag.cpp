// Window moves by the client area.
#include "gui/window_drag.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace kelpa {

void WindowDrag::Start(QWidget& window, const QMouseEvent& press) {
    QWindow* handle = window.windowHandle();
    if (handle != nullptr && handle->startSystemMove()) {
        following_ = false;
        return;
    }
    following_ = true;
    grabOffset_ = press.globalPosition().toPoint() - window.frameGeometry().topLeft();
}

void WindowDrag::Move(QWidget& window, const QMouseEvent& move) {
    if (!following_) return;
    window.move(move.globalPosition().toPoint() - grabOffset_);
}

}  // namespace kelpa
