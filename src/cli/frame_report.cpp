#include "cli/frame_report.h"

#include <chrono>

namespace kelpa {

bool PrintFrameRecord(std::FILE* out, const FrameRecord& r) {
    return std::fprintf(out,
                        "{\"frame\": %llu, \"time\": %.6f, \"width\": %d, \"height\": %d, "
                        "\"histMin\": %d, \"histMax\": %d, \"mean\": %.3f, \"rms\": %.3f, "
                        "\"bkgr\": %.3f, \"bkgrRms\": %.3f, \"starX\": %.3f, \"starY\": %.3f, "
                        "\"amp\": %d, \"countAccum\": %d, \"delayMs\": %u}\n",
                        static_cast<unsigned long long>(r.frame), r.time, r.width, r.height,
                        r.histMin, r.histMax, r.mean, r.rms, r.bkgr, r.bkgrRms, r.starX, r.starY,
                        r.amp, r.countAccum, r.delayMs) > 0;
}

FrameReport::FrameReport(size_t capacity) : ring_(capacity) {}

void FrameReport::FrameProcessed(double sampleTime) {
    if (!engine_) return;
    const ProcEngine& engine = *engine_;
    FrameRecord r;
    r.time = sampleTime;
    const FrameBuffer& picture = engine.surf.Picture();
    r.width = picture.width;
    r.height = picture.height;
    r.histMin = engine.histMin.load();
    r.histMax = engine.histMax.load();
    r.mean = engine.mean.load();
    r.rms = engine.rms.load();
    r.bkgr = engine.bkgr.load();
    r.bkgrRms = engine.bkgrRms.load();
    r.starX = engine.starX.load();
    r.starY = engine.starY.load();
    r.amp = engine.params.amp.load();
    r.countAccum = engine.params.countAccum.load();
    r.delayMs = engine.params.delayMs.load();

    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopWaiting_ || count_ < ring_.size(); });
    if (count_ == ring_.size()) {
        ++lost_;
        return;
    }
    r.frame = ++recorded_;
    ring_[(head_ + count_) % ring_.size()] = r;
    ++count_;
    changed_.notify_all();
}

void FrameReport::Post(uint32_t message) {
    std::lock_guard lock(mutex_);
    if (message == WM_GRAPH_EVENT) graphEvent_ = true;
    changed_.notify_all();
}

bool FrameReport::Wait(uint32_t timeoutMs, std::vector<FrameRecord>* out) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [this] { return count_ > 0 || graphEvent_; });
    out->clear();
    while (count_ > 0) {
        out->push_back(ring_[head_]);
        head_ = (head_ + 1) % ring_.size();
        --count_;
    }
    const bool event = graphEvent_;
    graphEvent_ = false;
    changed_.notify_all();
    return event;
}

void FrameReport::StopWaiting() {
    std::lock_guard lock(mutex_);
    stopWaiting_ = true;
    changed_.notify_all();
}

uint64_t FrameReport::Recorded() const {
    std::lock_guard lock(mutex_);
    return recorded_;
}

uint64_t FrameReport::Lost() const {
    std::lock_guard lock(mutex_);
    return lost_;
}

}  // namespace kelpa
