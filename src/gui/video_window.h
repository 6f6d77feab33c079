// What the live and processed windows share: a top-level window that shows the pictures of the
// current video controller's surface, 36 to 1024 pixels in each direction, placed where it was
// last time, moved by dragging its client area; closing it ends the program (closeRequested).
// Its place and flags are written back only while its controller is the current one.
//
// The window works in device pixels: the picture is laid out for the client area as the screen
// has it, so a picture at 1:1 shows each of its pixels on one pixel of a high-DPI screen too.
#pragma once

#include <QWidget>
#include <cstdint>

#include "image/video_surf.h"
#include "view/surface_layout.h"
#include "view/view_settings.h"
#include "view/window_sizing.h"

namespace kelpa {

class VideoCtrl;

class VideoWindow : public QWidget, protected SurfaceObserver {
    Q_OBJECT

  public:
    // Destroy the window before the controller it shows, or set no controller first.
    ~VideoWindow() override;

    // The controller whose pictures are shown (nullptr: none; the window stays black). The main
    // window sets the current controller on every change of source.
    void SetController(VideoCtrl* ctrl);
    VideoCtrl* Controller() const { return ctrl_; }

    // View "Live Preview" (F4) and "Preview" (F5): show without taking the focus, or hide. The
    // shown flag is what is saved; the intake announces pictures only to a shown window.
    void SetShown(bool shown);
    bool Shown() const { return shown_; }
    // At start-up: shows the window when its saved flag says so.
    void ShowIfWanted();

    // The window sizing commands: the client area becomes the input size, half of it, or the
    // given width with the picture's aspect (in screen pixels), held to 36 ... min(1024,
    // screen) and kept on the screen. False without a picture.
    bool ApplySizeCommand(SizeCommand command, int32_t fixedWidth = 0);

    // Shutdown: writes the place (X, Y, W, H) and the flags, only while the controller is the
    // current one.
    void SaveSettings();

    // The client area and a pointer position in device pixels.
    QSize DeviceClientSize() const;
    WindowPoint DevicePoint(QPointF position) const;

  public slots:
    // From the event bridge: a new picture of `ctrl` (ignored unless it is this window's).
    void OnPicture(kelpa::VideoCtrl* ctrl);

  signals:
    // The window was closed: the program is to end.
    void closeRequested();

  protected:
    VideoWindow(ViewWindow which, bool shown, QWidget* parent);

    virtual VideoSurf* SurfaceOf(VideoCtrl* ctrl) const = 0;
    // Called after the controller changed (the surfaces are already re-attached).
    virtual void ControllerChanged(VideoCtrl* previous) { (void)previous; }
    virtual void SaveFlags() = 0;

    // SurfaceObserver: the picture was sized anew or the view was reset.
    void LayoutChanged() override;
    void ViewReset() override;

    void closeEvent(QCloseEvent* event) override;
    // Schedules a paint; safe from any thread.
    void RequestPaint();

  private:
    ViewWindow which_;
    VideoCtrl* ctrl_ = nullptr;
    bool shown_ = false;
};

// The usable size of the primary screen, in the window system's pixels.
ScreenSize PrimaryScreenSize();

}  // namespace kelpa
