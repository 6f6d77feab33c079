// Moving a window by pressing a mouse button anywhere in its client area, as if its caption were
// dragged. The window system moves the window itself where it can (X11 and Wayland both offer
// it); elsewhere the window follows the pointer.
#pragma once

#include <QPoint>

class QMouseEvent;
class QWidget;

namespace kelpa {

class WindowDrag {
  public:
    // Starts moving `window` on a button press.
    void Start(QWidget& window, const QMouseEvent& press);
    // True while the window follows the pointer (the window system did not take the move).
    bool Following() const { return following_; }
    // Pointer moves and the release while following.
    void Move(QWidget& window, const QMouseEvent& move);
    void End() { following_ = false; }

  private:
    bool following_ = false;
    QPoint grabOffset_;  // pointer position relative to the window's frame
};

}  // namespace kelpa
