// The "Live" window: the input picture as it arrives, scaled to fit, in black bands. Either
// mouse button moves the window.
#pragma once

#include "gui/frame_render.h"
#include "gui/video_window.h"
#include "gui/window_drag.h"

namespace kelpa {

class LiveWindow final : public VideoWindow {
    Q_OBJECT

  public:
    // Placed beside the processed window, or where it was last time; ViewLiveVis is read.
    explicit LiveWindow(QWidget* parent = nullptr);
    ~LiveWindow() override;

    const SurfaceLayout& Layout() const { return frame_.Layout(); }

  protected:
    VideoSurf* SurfaceOf(VideoCtrl* ctrl) const override;
    void SaveFlags() override;

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    LiveFrame frame_;
    WindowDrag drag_;
};

}  // namespace kelpa
