// The program's one receiver of stream events: notifications from the streaming thread (and the
// media framework's threads) become Qt signals on the GUI thread, one signal per kind, carrying
// the video controller they came from.
//
// Notify never waits: it marks the kind pending for its controller and, unless a wake-up is
// already on its way, posts one event to the GUI thread. The stream events coalesce each kind
// until it is acknowledged, and the bridge acknowledges a kind just before it signals it, so a
// display slower than the camera skips pictures; nothing queues up.
#pragma once

#include <QObject>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "processing/stream_events.h"
#include "video/video_ctrl.h"

namespace kelpa {

class Application;

class EventBridge final : public QObject, public StreamEventReceiver {
    Q_OBJECT

  public:
    // The two controllers of the program, and room for tests that watch their own.
    static constexpr size_t kMaxControllers = 4;

    explicit EventBridge(QObject* parent = nullptr);
    // Stops receiving from every watched controller. Destroy the bridge only while no frames
    // flow (graphs stopped), as with any change of receiver.
    ~EventBridge() override;

    // GUI thread, while no frames flow: this bridge becomes the receiver of the controller's
    // events. Returns false when kMaxControllers are watched already.
    bool Watch(VideoCtrl& ctrl);
    // Both controllers of the application.
    void Watch(Application& app);

    // Any thread.
    void Notify(StreamEvents& source, StreamEvent kind) override;

  signals:
    // The controller's live or processed picture holds a new frame (copy it from the surface).
    void livePicture(kelpa::VideoCtrl* ctrl);
    void processedPicture(kelpa::VideoCtrl* ctrl);
    // The newest statistics of a processed frame (already taken from the controller's events).
    void statistics(kelpa::VideoCtrl* ctrl, const kelpa::StatisticsSnapshot& snapshot);
    // The automatic control changed a setting; the new value.
    void ampChanged(kelpa::VideoCtrl* ctrl, int value);
    void countAccumChanged(kelpa::VideoCtrl* ctrl, int value);
    void delayChanged(kelpa::VideoCtrl* ctrl, int delayMs);
    // The media graph has events: Application::HandleGraphEvents(ctrl->Events()).
    void graphEvent(kelpa::VideoCtrl* ctrl);
    // Frames written in the capture run so far.
    void captureProgress(kelpa::VideoCtrl* ctrl, unsigned capturedCount);
    // A capture run ended (its report already taken).
    void captureDone(kelpa::VideoCtrl* ctrl, const kelpa::CaptureReport& report);
    // A capture device was plugged in or pulled out: Application::DevicesChanged().
    void devicesChanged(kelpa::VideoCtrl* ctrl);
    // A dark frame take ended: Application::FinishDarkTake(ctrl->Events()) stores and uses it.
    void darkTakeEnded(kelpa::VideoCtrl* ctrl);
    // The guide log stopped on a write failure: ctrl->sink.guideLog.FailureText() says why.
    void guideLogStopped(kelpa::VideoCtrl* ctrl);

  protected:
    void customEvent(QEvent* event) override;

  private:
    struct Watched {
        StreamEvents* events = nullptr;
        VideoCtrl* ctrl = nullptr;
        // Bit per StreamEvent kind notified and not yet signalled.
        std::atomic<uint32_t> pending{0};
    };

    void Dispatch(Watched& watched, StreamEvent kind);

    std::array<Watched, kMaxControllers> watched_;
    // Written before the controllers' receivers are set, read by any thread after that.
    std::atomic<size_t> count_{0};
    // An event is on its way to the GUI thread.
    std::atomic<bool> posted_{false};
};

}  // namespace kelpa
