// What the streaming thread (and the media framework's own threads) tell the GUI thread, as
// typed notifications with their data. A video controller owns one StreamEvents; its engine,
// intake, capture writer and graphs post into it, and one receiver (the main window of the
// windowed program, the headless run, a test) is notified.
//
// Posting never blocks and nothing queues up: each kind has a "notification pending" flag, so a
// receiver hears of a kind once until it acknowledges it; the data of a kind is the latest value
// (pictures live in their surfaces, statistics and capture reports in three-slot mailboxes,
// automatic-control values and capture progress in atomic words). A slow receiver therefore
// skips values, it never makes anything grow.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "common/latest_value.h"

namespace kelpa {

enum class StreamEvent : uint8_t {
    kLivePicture,        // the live picture holds a new frame: copy it from the live surface
    kProcessedPicture,   // the processed picture holds a new frame
    kStatistics,         // a new statistics snapshot: TakeStatistics
    kAmpChanged,         // the automatic control changed the amplification: AutoValue
    kCountAccumChanged,  // ... the accumulation count
    kDelayChanged,       // ... the processing delay (milliseconds)
    kGraphEvent,         // the media graph has events pending: VideoCtrl::DrainGraphEvents
    kCaptureProgress,    // frames were written: CapturedCount
    kCaptureDone,        // a capture run ended: TakeCaptureDone
    kDevicesChanged,     // a capture device was plugged in or pulled out
    kDarkTake,           // a dark frame take ended (or failed): DarkFrames::FinishTake
    kGuideLog,           // the guide log stopped on a write failure: GuideLog::FailureText
};
inline constexpr size_t kStreamEventKinds = 12;

// The results of one processed frame, copied together under the engine's chain lock, so a
// receiver never sees numbers of two different frames side by side.
struct StatisticsSnapshot {
    uint64_t frame = 0;  // processed frames of this controller so far (this one included)
    double time = 0.0;   // sample time of the frame, seconds
    int32_t width = 0;   // processed picture
    int32_t height = 0;
    // Histogram statistics of the statistics window.
    int32_t histMin = 255;
    int32_t histMax = 0;
    float mean = 0.0f;
    float rms = 0.0f;
    float bkgr = 0.0f;
    float bkgrRms = 0.0f;
    // Guide star position in picture pixels (-1: none) and the level it was found above.
    float starX = -1.0f;
    float starY = -1.0f;
    int32_t starThreshold = 0;
    uint32_t pixelValue = 0;  // processed pixel at the star: red << 16 | green << 8 | blue
    // The guide was on for this frame (the star fields and the metrics below mean something).
    bool guideEnable = false;
    // Size and brightness of the guide star (processed levels): set only when the guide found a
    // star whose metrics hold (its aperture inside the guide window, enough background around
    // it, at least 5 times the noise); otherwise starMetricsValid is false and the four are 0.
    bool starMetricsValid = false;
    float hfd = 0.0f;   // half-flux diameter, px
    float fwhm = 0.0f;  // full width at half maximum from the second moments, px
    float peak = 0.0f;  // highest level at the star, background included (255: saturated)
    float snr = 0.0f;   // star flux over the background noise in the same aperture
    // Settings the frame was processed with.
    int32_t amp = 0;
    int32_t countAccum = 0;
    uint32_t delayMs = 0;
};

// Room for the reason of a failed capture run (a path and the system's reason).
inline constexpr size_t kCaptureReportTextSize = 512;

// How a capture run ended.
struct CaptureReport {
    uint32_t capturedCount = 0;                 // frames written in the run
    bool failed = false;                        // a write failed and ended the run
    char failure[kCaptureReportTextSize] = {};  // why, for the user ("" when it did not fail)
};

class StreamEvents;

// Implemented by the front ends (a Qt widget posting a QEvent, the headless run waking its
// main thread) and by test fakes.
class StreamEventReceiver {
  public:
    virtual ~StreamEventReceiver() = default;
    // Any thread (streaming thread, a GStreamer bus thread, the GUI thread): must return at once
    // without waiting for the receiving thread. Called once per kind until the receiver takes
    // or acknowledges that kind on `source`.
    virtual void Notify(StreamEvents& source, StreamEvent kind) = 0;
};

class StreamEvents {
  public:
    StreamEvents() = default;
    StreamEvents(const StreamEvents&) = delete;
    StreamEvents& operator=(const StreamEvents&) = delete;

    // Set while no frames flow; nullptr: nobody is notified (the data is still kept). Clears
    // every pending flag, so the new receiver hears of the next post of each kind.
    void SetReceiver(StreamEventReceiver* receiver);
    StreamEventReceiver* Receiver() const { return receiver_.load(std::memory_order_acquire); }

    // --- Producers: any thread, never block ------------------------------------------------
    void Post(StreamEvent kind);
    // Statistics: one thread at a time (the engine posts under its chain lock).
    void PostStatistics(const StatisticsSnapshot& snapshot);
    // kAmpChanged, kCountAccumChanged or kDelayChanged with the new value.
    void PostAutoChange(StreamEvent kind, int32_t value);
    void PostCaptureProgress(uint32_t capturedCount);
    // One thread at a time (the streaming thread ends capture runs).
    void PostCaptureDone(const CaptureReport& report);

    // --- Receiver: the receiving thread ------------------------------------------------------
    // The next post of `kind` notifies again.
    void Acknowledge(StreamEvent kind);
    bool Pending(StreamEvent kind) const;
    // Acknowledge kStatistics and take the newest snapshot; false when none is newer than the
    // last one taken.
    bool TakeStatistics(StatisticsSnapshot* out);
    // Acknowledge kCaptureDone and take the report of the last run that ended.
    bool TakeCaptureDone(CaptureReport* out);
    // The latest value of an automatic-control kind (0 before the first post).
    int32_t AutoValue(StreamEvent kind) const;
    // Frames written in the capture run, as last posted.
    uint32_t CapturedCount() const { return captured_.load(std::memory_order_acquire); }

  private:
    static size_t Index(StreamEvent kind) { return static_cast<size_t>(kind); }

    std::atomic<StreamEventReceiver*> receiver_{nullptr};
    std::array<std::atomic<bool>, kStreamEventKinds> pending_{};
    std::array<std::atomic<int32_t>, 3> autoValues_{};
    std::atomic<uint32_t> captured_{0};
    LatestValue<StatisticsSnapshot> statistics_;
    LatestValue<CaptureReport> captureDone_;
};

}  // namespace kelpa
