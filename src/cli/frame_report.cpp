#include "cli/frame_report.h"

#include <chrono>
#include <cmath>

namespace kelpa {

bool PrintFrameRecord(std::FILE* out, const FrameRecord& r) {
    // JSON has no not-a-number: metrics that are not finite do not hold.
    const bool numbers = r.starMetricsValid && std::isfinite(r.hfd) && std::isfinite(r.fwhm) &&
                         std::isfinite(r.peak) && std::isfinite(r.snr);
    // Room for the four at their widest (floats printed with %.3f).
    char metrics[256] = "";
    if (r.guideEnable && numbers) {
        std::snprintf(metrics, sizeof metrics,
                      ", \"hfd\": %.3f, \"fwhm\": %.3f, \"peak\": %.3f, \"snr\": %.3f", r.hfd,
                      r.fwhm, r.peak, r.snr);
    } else if (r.guideEnable) {
        std::snprintf(metrics, sizeof metrics, "%s",
                      ", \"hfd\": null, \"fwhm\": null, \"peak\": null, \"snr\": null");
    }
    return std::fprintf(out,
                        "{\"frame\": %llu, \"time\": %.6f, \"width\": %d, \"height\": %d, "
                        "\"histMin\": %d, \"histMax\": %d, \"mean\": %.3f, \"rms\": %.3f, "
                        "\"bkgr\": %.3f, \"bkgrRms\": %.3f, \"starX\": %.3f, \"starY\": %.3f, "
                        "\"amp\": %d, \"countAccum\": %d, \"delayMs\": %u%s}\n",
                        static_cast<unsigned long long>(r.frame), r.time, r.width, r.height,
                        r.histMin, r.histMax, r.mean, r.rms, r.bkgr, r.bkgrRms, r.starX, r.starY,
                        r.amp, r.countAccum, r.delayMs, metrics) > 0;
}

FrameReport::FrameReport(size_t capacity) : ring_(capacity) {}

void FrameReport::FrameProcessed(const StatisticsSnapshot& s) {
    FrameRecord r;
    r.time = s.time;
    r.width = s.width;
    r.height = s.height;
    r.histMin = s.histMin;
    r.histMax = s.histMax;
    r.mean = s.mean;
    r.rms = s.rms;
    r.bkgr = s.bkgr;
    r.bkgrRms = s.bkgrRms;
    r.starX = s.starX;
    r.starY = s.starY;
    r.amp = s.amp;
    r.countAccum = s.countAccum;
    r.delayMs = s.delayMs;
    r.guideEnable = s.guideEnable;
    r.starMetricsValid = s.starMetricsValid;
    r.hfd = s.hfd;
    r.fwhm = s.fwhm;
    r.peak = s.peak;
    r.snr = s.snr;

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

void FrameReport::Notify(StreamEvents& source, StreamEvent kind) {
    source.Acknowledge(kind);
    if (kind != StreamEvent::kGraphEvent) return;
    std::lock_guard lock(mutex_);
    graphEvent_ = true;
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
