// The per-frame path of a video controller. The media graph's streaming thread calls SampleCB
// once per sample; it converts the sample into the live picture, runs the processing chain into
// the processed picture, hands the result to the capture writer, announces the new pictures and
// the frame's statistics and, for video files, paces frames to the file's frame rate.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "image/video_surf.h"
#include "platform/clock.h"
#include "processing/proc_engine.h"
#include "video/capture_writer.h"
#include "video/convert.h"
#include "video/convert_bands.h"
#include "video/dark_frames.h"
#include "video/guide_log.h"

namespace kelpa {

// The connected format as the intake sees it.
struct SourceFormat {
    uint32_t compression = 0;  // 0 for uncompressed RGB, else a four-character code
    uint32_t bitsPerPixel = 0;
    uint32_t bytesPerPixel = 0;  // (bits + 7) / 8
};

// Told about every processed frame on the streaming thread, after the processed picture and its
// statistics are complete, with the frame's statistics snapshot (the headless run prints them).
// Must not wait for the GUI thread.
class FrameObserver {
  public:
    virtual ~FrameObserver() = default;
    virtual void FrameProcessed(const StatisticsSnapshot& snapshot) = 0;
};

// Decides whether a bitmap header may be adopted as the connected format.
using AcceptFormatFn = bool (*)(const BitmapInfoHeader& header);
bool RefuseEveryFormat(const BitmapInfoHeader& header);

class FrameSink {
  public:
    FrameSink(EngineOwner* owner, Clock& clock);
    ~FrameSink();
    FrameSink(const FrameSink&) = delete;
    FrameSink& operator=(const FrameSink&) = delete;

    // Streaming thread: one media sample. Always returns 0.
    int32_t SampleCB(double sampleTime, const uint8_t* data, size_t length);

    // GUI thread while no frame flows, or the streaming thread between two samples when the
    // stream itself changes its format (no frame of the old format is in flight then; the
    // surfaces and the engine take their own locks while they resize).
    void ApplyFrameRate(double framesPerSecond);
    bool SetSourceHeader(const BitmapInfoHeader& header);
    bool SetFrameGeometry(int32_t width, int32_t height);
    // A media layer whose rows are padded gives the real plane layout after SetSourceHeader.
    void SetPlaneLayout(const uint32_t offsets[3], const uint32_t strides[3]);
    // Recomputes the capture interval from the processed frame rate.
    void UpdateCaptureInterval();
    // The next file frame starts a new timeline (a run, a resume, a seek): it is held for one
    // period and the frames after it follow their own times from there.
    void RestartPacing() { reanchor_.store(true); }
    // File frames are paced to the file's rate unless switched off (they then run as fast as
    // they decode).
    void SetPacing(bool on) { pacing_.store(on); }
    void SetObserver(FrameObserver* observer) { observer_.store(observer); }
    // GUI thread: the guide log (the GuideLog setting) on or off.
    void SetGuideLogEnabled(bool on);

    std::atomic<int32_t> playState{0};
    // Samples that reached the frame path (converted and shown in the live window).
    std::atomic<uint64_t> samplesReceived{0};
    // Samples that could not be used: shorter than the connected format says, or in a format
    // that cannot be shown.
    std::atomic<uint64_t> samplesDropped{0};
    bool isLive = false;
    bool keepsRowOrder = false;
    bool fitWindowsToFrame = false;
    std::atomic<double> fps{29.97};
    // Sample time of the last processed frame, seconds (-1 before the first); the capture
    // setup dialog names the next capture from it.
    std::atomic<double> lastSampleTime{-1.0};
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    Converter converter = &NoConvert;
    SourceFormat source;
    ConvGeometry geometry;
    AcceptFormatFn acceptFormat = &RefuseEveryFormat;

    // What the frame path tells the GUI thread; declared before the parts that post into it.
    StreamEvents events;
    // Take dark and Use dark, inside the conversion of every frame.
    DarkFrames dark;
    // Declared before the engine, which records into it.
    GuideLog guideLog;
    LiveSurf live;
    ProcEngine engine;
    CaptureWriter capture;

  private:
    void Pace(double sampleTime);
    void SleepWhileRunning(int64_t waitMs);
    // Streaming thread: whether the processed picture holds colour (the processor's choice).
    bool ProcessedInColour();

    Clock& clock_;
    // How the connected format's rows map onto the picture, for conversion in bands.
    BandOrder bandOrder_ = BandOrder::kKeep;
    std::atomic<bool> pacing_{true};
    std::atomic<FrameObserver*> observer_{nullptr};
    // Playback pacing: the frame of stream time t is held until anchorTick_ + (t - anchorTime_)
    // seconds. Streaming thread only, except reanchor_, which the GUI thread sets.
    std::atomic<bool> reanchor_{true};
    uint32_t anchorTickMs_ = 0;
    double anchorTime_ = 0.0;
    // A short sample is reported once per connected format.
    std::atomic<bool> shortSampleLogged_{false};
    // Streaming thread: processed frames so far, and the snapshot of the last one.
    uint64_t processedFrames_ = 0;
    StatisticsSnapshot snapshot_;
};

}  // namespace kelpa
