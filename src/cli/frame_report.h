// Collects one record per processed frame on the streaming thread and hands them to the main
// thread, which prints them as JSON lines. The streaming thread only copies numbers into a
// preallocated ring; it waits only when the printing side has fallen a whole ring behind.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <vector>

#include "video/frame_sink.h"

namespace kelpa {

struct FrameRecord {
    uint64_t frame = 0;
    double time = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t histMin = 0;
    int32_t histMax = 0;
    float mean = 0;
    float rms = 0;
    float bkgr = 0;
    float bkgrRms = 0;
    float starX = -1;
    float starY = -1;
    int32_t amp = 0;
    int32_t countAccum = 0;
    uint32_t delayMs = 0;
    // With the guide on, the line ends with the star's metrics (null when they do not hold).
    bool guideEnable = false;
    bool starMetricsValid = false;
    float hfd = 0;
    float fwhm = 0;
    float peak = 0;
    float snr = 0;
};

// Writes the record as one JSON line; false when the write failed (errno tells why). With the
// guide on, "hfd", "fwhm", "peak" and "snr" follow the other fields: numbers when the star's
// metrics hold, null when they do not (no star, a star cut by the window's edge, or one lost in
// the noise). With the guide off the four are left out.
bool PrintFrameRecord(std::FILE* out, const FrameRecord& r);

class FrameReport final : public FrameObserver, public StreamEventReceiver {
  public:
    explicit FrameReport(size_t capacity = 1024);

    // Streaming thread: one record from the frame's statistics snapshot.
    void FrameProcessed(const StatisticsSnapshot& snapshot) override;
    // Any thread: a graph event wakes the main thread; the other kinds are not shown.
    void Notify(StreamEvents& source, StreamEvent kind) override;

    // Main thread: waits up to timeoutMs for records or a graph event; moves the records into
    // `out` and returns whether a graph event is pending.
    bool Wait(uint32_t timeoutMs, std::vector<FrameRecord>* out);
    // Main thread, when the run ends and before the source is stopped: from now on the
    // streaming thread never waits for room (stopping the source waits for that thread). A
    // frame that still finds room is recorded, so a last Wait hands over every frame
    // processed until the source stopped; one that finds the ring full is only counted.
    void StopWaiting();
    uint64_t Recorded() const;
    uint64_t Lost() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<FrameRecord> ring_;
    size_t head_ = 0;
    size_t count_ = 0;
    uint64_t recorded_ = 0;
    uint64_t lost_ = 0;
    bool graphEvent_ = false;
    bool stopWaiting_ = false;
};

}  // namespace kelpa
