// Stream events turned into signals on the GUI thread.
#include "gui/event_bridge.h"

#include <QCoreApplication>
#include <QEvent>

#include "app/application.h"

namespace kelpa {
namespace {

// The wake-up posted to the GUI thread; it carries nothing, the pending bits say what happened.
const QEvent::Type kWakeUp = static_cast<QEvent::Type>(QEvent::registerEventType());

uint32_t Bit(StreamEvent kind) {
    return 1u << static_cast<uint32_t>(kind);
}

}  // namespace

EventBridge::EventBridge(QObject* parent) : QObject(parent) {}

EventBridge::~EventBridge() {
    const size_t count = count_.load();
    for (size_t i = 0; i < count; ++i) {
        if (watched_[i].events->Receiver() == this) watched_[i].events->SetReceiver(nullptr);
    }
}

bool EventBridge::Watch(VideoCtrl& ctrl) {
    const size_t count = count_.load();
    for (size_t i = 0; i < count; ++i) {
        if (watched_[i].ctrl == &ctrl) return true;
    }
    if (count == kMaxControllers) return false;
    watched_[count].events = &ctrl.Events();
    watched_[count].ctrl = &ctrl;
    count_.store(count + 1);
    ctrl.Events().SetReceiver(this);
    return true;
}

void EventBridge::Watch(Application& app) {
    Watch(app.FileCtrl());
    Watch(app.DeviceCtrl());
}

void EventBridge::Notify(StreamEvents& source, StreamEvent kind) {
    const size_t count = count_.load(std::memory_order_acquire);
    for (size_t i = 0; i < count; ++i) {
        if (watched_[i].events != &source) continue;
        watched_[i].pending.fetch_or(Bit(kind), std::memory_order_acq_rel);
        // One wake-up at a time: the GUI thread reads every pending bit when it arrives.
        if (!posted_.exchange(true, std::memory_order_acq_rel)) {
            QCoreApplication::postEvent(this, new QEvent(kWakeUp));
        }
        return;
    }
}

void EventBridge::customEvent(QEvent* event) {
    if (event->type() != kWakeUp) {
        QObject::customEvent(event);
        return;
    }
    // Cleared first: a notification from now on posts the next wake-up.
    posted_.store(false, std::memory_order_release);
    const size_t count = count_.load();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t pending = watched_[i].pending.exchange(0, std::memory_order_acq_rel);
        for (size_t k = 0; k < kStreamEventKinds; ++k) {
            if (pending & (1u << k)) Dispatch(watched_[i], static_cast<StreamEvent>(k));
        }
    }
}

void EventBridge::Dispatch(Watched& watched, StreamEvent kind) {
    StreamEvents& events = *watched.events;
    VideoCtrl* ctrl = watched.ctrl;
    switch (kind) {
        case StreamEvent::kStatistics: {
            StatisticsSnapshot snapshot;
            if (events.TakeStatistics(&snapshot)) emit statistics(ctrl, snapshot);
            return;
        }
        case StreamEvent::kCaptureDone: {
            CaptureReport report;
            if (events.TakeCaptureDone(&report)) emit captureDone(ctrl, report);
            return;
        }
        default:
            break;
    }
    // Acknowledged before the signal: a post while the receivers work notifies again.
    events.Acknowledge(kind);
    switch (kind) {
        case StreamEvent::kLivePicture:
            emit livePicture(ctrl);
            break;
        case StreamEvent::kProcessedPicture:
            emit processedPicture(ctrl);
            break;
        case StreamEvent::kAmpChanged:
            emit ampChanged(ctrl, events.AutoValue(kind));
            break;
        case StreamEvent::kCountAccumChanged:
            emit countAccumChanged(ctrl, events.AutoValue(kind));
            break;
        case StreamEvent::kDelayChanged:
            emit delayChanged(ctrl, events.AutoValue(kind));
            break;
        case StreamEvent::kGraphEvent:
            emit graphEvent(ctrl);
            break;
        case StreamEvent::kCaptureProgress:
            emit captureProgress(ctrl, events.CapturedCount());
            break;
        case StreamEvent::kDevicesChanged:
            emit devicesChanged(ctrl);
            break;
        case StreamEvent::kDarkTake:
            emit darkTakeEnded(ctrl);
            break;
        case StreamEvent::kGuideLog:
            emit guideLogStopped(ctrl);
            break;
        case StreamEvent::kStatistics:
        case StreamEvent::kCaptureDone:
            break;
    }
}

}  // namespace kelpa
