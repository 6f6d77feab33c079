#include "processing/stream_events.h"

namespace kelpa {
namespace {

// The slot of an automatic-control kind; -1 for the others.
int AutoSlot(StreamEvent kind) {
    switch (kind) {
        case StreamEvent::kAmpChanged:
            return 0;
        case StreamEvent::kCountAccumChanged:
            return 1;
        case StreamEvent::kDelayChanged:
            return 2;
        default:
            return -1;
    }
}

}  // namespace

void StreamEvents::SetReceiver(StreamEventReceiver* receiver) {
    receiver_.store(receiver, std::memory_order_release);
    for (std::atomic<bool>& flag : pending_) flag.store(false, std::memory_order_release);
}

void StreamEvents::Post(StreamEvent kind) {
    StreamEventReceiver* receiver = receiver_.load(std::memory_order_acquire);
    if (receiver == nullptr) return;
    if (!pending_[Index(kind)].exchange(true, std::memory_order_acq_rel)) {
        receiver->Notify(*this, kind);
    }
}

void StreamEvents::PostStatistics(const StatisticsSnapshot& snapshot) {
    statistics_.Publish(snapshot);
    Post(StreamEvent::kStatistics);
}

void StreamEvents::PostAutoChange(StreamEvent kind, int32_t value) {
    const int slot = AutoSlot(kind);
    if (slot < 0) return;
    autoValues_[slot].store(value, std::memory_order_release);
    Post(kind);
}

void StreamEvents::PostCaptureProgress(uint32_t capturedCount) {
    captured_.store(capturedCount, std::memory_order_release);
    Post(StreamEvent::kCaptureProgress);
}

void StreamEvents::PostCaptureDone(const CaptureReport& report) {
    captured_.store(report.capturedCount, std::memory_order_release);
    captureDone_.Publish(report);
    Post(StreamEvent::kCaptureDone);
}

void StreamEvents::Acknowledge(StreamEvent kind) {
    pending_[Index(kind)].store(false, std::memory_order_release);
}

bool StreamEvents::Pending(StreamEvent kind) const {
    return pending_[Index(kind)].load(std::memory_order_acquire);
}

bool StreamEvents::TakeStatistics(StatisticsSnapshot* out) {
    Acknowledge(StreamEvent::kStatistics);
    return statistics_.Take(out);
}

bool StreamEvents::TakeCaptureDone(CaptureReport* out) {
    Acknowledge(StreamEvent::kCaptureDone);
    return captureDone_.Take(out);
}

int32_t StreamEvents::AutoValue(StreamEvent kind) const {
    const int slot = AutoSlot(kind);
    return slot < 0 ? 0 : autoValues_[slot].load(std::memory_order_acquire);
}

}  // namespace kelpa
