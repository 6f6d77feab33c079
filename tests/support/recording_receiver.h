// An event receiver for tests: records every notification and acknowledges it at once, so that
// every post is seen (a window takes its time and sees only the latest).
#pragma once

#include <algorithm>
#include <mutex>
#include <vector>

#include "processing/stream_events.h"

namespace kelpa::test {

class RecordingReceiver final : public StreamEventReceiver {
  public:
    void Notify(StreamEvents& source, StreamEvent kind) override {
        source.Acknowledge(kind);
        std::lock_guard lock(mutex_);
        events_.push_back(kind);
    }
    int Count(StreamEvent kind) const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count(events_.begin(), events_.end(), kind));
    }
    std::vector<StreamEvent> Events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<StreamEvent> events_;
};

}  // namespace kelpa::test
