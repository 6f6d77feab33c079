// The common side of the live and processed windows.
#include "gui/video_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMetaObject>
#include <QScreen>
#include <QThread>
#include <cmath>

#include "video/video_ctrl.h"

namespace kelpa {

ScreenSize PrimaryScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return {kMaxWindowSize, kMaxWindowSize};
    const QSize size = screen->availableGeometry().size();
    return {size.width(), size.height()};
}

VideoWindow::VideoWindow(ViewWindow which, bool shown, QWidget* parent)
    : QWidget(parent, Qt::Window), which_(which), shown_(shown) {
    setWindowTitle(which == ViewWindow::kLive ? kLiveWindowTitle : kProcWindowTitle);
    setMinimumSize(kMinWindowSize, kMinWindowSize);
    setMaximumSize(kMaxWindowSize, kMaxWindowSize);
    // Every paint covers the whole client area.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);

    const ScreenSize screen = PrimaryScreenSize();
    const InitialPlaces first = InitialWindowPlaces(screen);
    const WindowPoint at = which == ViewWindow::kLive ? first.live : first.proc;
    const WindowPlace place = CreateWindowPlace(which, at.x, at.y, kInitialClientWidth,
                                                kInitialClientHeight, false, {}, screen);
    move(place.x, place.y);
    resize(place.width, place.height);
}

// The derived windows let their controller go in their own destructors (SurfaceOf is theirs).
VideoWindow::~VideoWindow() = default;

void VideoWindow::SetController(VideoCtrl* ctrl) {
    if (ctrl == ctrl_) return;
    if (VideoSurf* old = ctrl_ ? SurfaceOf(ctrl_) : nullptr) {
        old->SetVisible(false);
        if (old->Observer() == this) old->SetObserver(nullptr);
    }
    VideoCtrl* previous = ctrl_;
    ctrl_ = ctrl;
    if (VideoSurf* surface = ctrl_ ? SurfaceOf(ctrl_) : nullptr) {
        surface->SetObserver(this);
        surface->SetVisible(shown_);
    }
    ControllerChanged(previous);
    update();
}

void VideoWindow::SetShown(bool shown) {
    shown_ = shown;
    if (VideoSurf* surface = ctrl_ ? SurfaceOf(ctrl_) : nullptr) surface->SetVisible(shown);
    if (shown) {
        setEnabled(true);
        show();
        raise();
        update();
    } else {
        hide();
        setEnabled(false);
    }
}

void VideoWindow::ShowIfWanted() {
    if (shown_) SetShown(true);
}

QSize VideoWindow::DeviceClientSize() const {
    const qreal ratio = devicePixelRatio();
    return QSize(static_cast<int>(std::lround(width() * ratio)),
                 static_cast<int>(std::lround(height() * ratio)));
}

WindowPoint VideoWindow::DevicePoint(QPointF position) const {
    const qreal ratio = devicePixelRatio();
    return {static_cast<int32_t>(std::floor(position.x() * ratio)),
            static_cast<int32_t>(std::floor(position.y() * ratio))};
}

bool VideoWindow::ApplySizeCommand(SizeCommand command, int32_t fixedWidth) {
    const VideoSurf* surface = ctrl_ ? SurfaceOf(ctrl_) : nullptr;
    if (surface == nullptr) return false;
    const FrameBuffer& picture = surface->Picture();
    const std::optional<WindowPoint> wanted =
        RequestedClientSize(command, picture.width, picture.height, fixedWidth);
    if (!wanted) return false;
    // Screen pixels to the window system's: a picture at 1:1 covers as many device pixels.
    const qreal ratio = devicePixelRatio();
    const WindowPoint logical{static_cast<int32_t>(std::ceil(wanted->x / ratio)),
                              static_cast<int32_t>(std::ceil(wanted->y / ratio))};
    const WindowPlace outer{x(), y(), width(), height()};
    const WindowPlace place = ResizeClient(outer, width(), height(), logical, PrimaryScreenSize());
    move(place.x, place.y);
    resize(place.width, place.height);
    return true;
}

void VideoWindow::SaveSettings() {
    const VideoSurf* surface = ctrl_ ? SurfaceOf(ctrl_) : nullptr;
    if (surface == nullptr || !surface->Active()) return;
    SaveWindowPlace(which_, {x(), y(), width(), height()});
    SaveFlags();
}

void VideoWindow::OnPicture(VideoCtrl* ctrl) {
    if (ctrl == ctrl_ && ctrl_ != nullptr && isVisible()) update();
}

void VideoWindow::LayoutChanged() {
    RequestPaint();
}

void VideoWindow::ViewReset() {
    RequestPaint();
}

void VideoWindow::RequestPaint() {
    if (QThread::currentThread() == thread()) {
        update();
    } else {
        QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    }
}

void VideoWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closeRequested();
}

}  // namespace kelpa
