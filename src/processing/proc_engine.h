// The processing engine: settings, processing area, the eight chain slots filled from the
// static registries, the accumulator, tone tables, statistics and guide results, and the
// processed surface. One engine is embedded in every video controller.
//
// Threads: ProcessFrame and DelayGate run on the streaming thread; every setter runs on the GUI
// thread. chainLock guards the chain, the area and every composite settings change; the only
// nesting is chainLock first, then the processed surface's lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "image/frame_buffer.h"
#include "image/video_surf.h"
#include "processing/chain_scratch.h"
#include "processing/guide_record.h"
#include "processing/proc_params.h"
#include "processing/registry.h"
#include "processing/star_metrics.h"
#include "processing/statistics.h"
#include "processing/stream_events.h"

namespace kelpa {

// What the engine needs from the controller that embeds it.
class EngineOwner {
  public:
    virtual ~EngineOwner() = default;
    // 0 stopped, 1 paused, 2 running.
    virtual int32_t PlayState() const = 0;
    // The processed frame rate changed: recompute the capture interval.
    virtual void ProcRateChanged() = 0;
};

// A rectangle of the output picture in pixels.
struct PixelWindow {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

class ProcEngine {
  public:
    // Sums of more frames than this would overflow the 32-bit accumulator of a grey pixel.
    static constexpr int32_t kMaxCountAccum = 65536;

    // Builds the chain for the declared default settings, or for the settings given.
    // `events` (optional, not owned) receives the statistics and the automatic control's
    // changes.
    explicit ProcEngine(EngineOwner* owner = nullptr, StreamEvents* events = nullptr);
    ProcEngine(EngineOwner* owner, const ProcSettings& settings, StreamEvents* events = nullptr);
    ~ProcEngine();
    ProcEngine(const ProcEngine&) = delete;
    ProcEngine& operator=(const ProcEngine&) = delete;

    // --- Format and frames -------------------------------------------------------------
    // Called whenever the connected format changes (GUI thread, no frame in flight).
    bool SetFormat(const FrameBuffer& input, bool valid, bool topDown);
    // The delay gate of one frame (streaming thread): true when this frame is processed.
    bool DelayGate();
    // Runs the chain on one converted frame (streaming thread). Returns false when the frame
    // brought nothing new to show or capture.
    bool ProcessFrame(const FrameBuffer& input);
    // After a processed frame (streaming thread): copies its results into `out` under
    // chainLock and posts them as the statistics snapshot of frame `frame` at `time` seconds.
    void PublishStatistics(uint64_t frame, double time, StatisticsSnapshot* out);
    StreamEvents* Events() const { return events_; }
    void SetEvents(StreamEvents* events) { events_ = events; }

    // --- Processing area (GUI thread) ---------------------------------------------------
    // Recomputes `area` from the fractions; the caller holds chainLock.
    void ApplyArea();
    bool SetAreaRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
    bool MoveArea(int32_t x, int32_t y);
    bool SetAreaLeft(int32_t x);
    bool SetAreaTop(int32_t y);
    bool SetAreaSize(int32_t w, int32_t h);
    bool SetAreaWidth(int32_t w);
    bool SetAreaHeight(int32_t h);
    // Sets the four fractions at once (the area dialog's "Half" and "Full").
    bool SetAreaFractions(float x, float y, float w, float h);
    // Suppresses the area redraw while the mouse edits the area.
    void SetAreaEditing(bool editing) { areaEditing_.store(editing); }

    // --- Processor choice (GUI thread) --------------------------------------------------
    bool SelectChannel();
    bool SetChannel(int32_t index);
    bool SetVariant(uint32_t tag);
    void SetOutsideAsIs(bool on);
    void ResetOutsideAndChannel();

    // --- Parameters (GUI thread) ---------------------------------------------------------
    bool SetTimeDelay(uint32_t ms);
    bool SetCountAccum(int32_t n);
    void SetAmp(int32_t amp);
    void SetBlackLevel(int32_t level);
    void SetGamma(int32_t v);
    void ResetTone();
    void SetNR(bool horizontal, bool vertical);
    void SetFrameRate(double framesPerSecond);
    void AutoReset();

    // --- Guide and statistics -----------------------------------------------------------
    void SetGuideEnable(bool on);
    // GUIDE Setup's refinement: the centre is recomputed around the star, with the local
    // background taken off (off: the threshold centre of the whole guide window).
    void SetGuideRefine(bool on);
    void SetGuideAutoMove(bool on);
    void SetVirtualGuideActive(bool on);
    void CentreGuideReference();
    void SetStarThresholds(int32_t method, const float factors[3]);
    // Builds the histogram of the statistics window, computes the statistics and measures
    // the guide star (under chainLock).
    void MeasureArea();
    // The same from the work plane of the fused frame path (nullptr: from the picture); with
    // histogramReady the histogram and the chain scratch's row maxima already hold the window.
    void MeasureArea(const WorkPlane* plane, bool histogramReady = false);
    // The guide step of MeasureArea: threshold, star position (refined with guideRefine), the
    // star's metrics, auto move. rowMax (optional)
    // holds each window row's largest value, so that rows without a star are skipped.
    void MeasureGuide();
    void MeasureGuide(const WorkPlane* plane, const uint16_t* rowMax);
    // Hands every guide measurement to `recorder` (nullptr: none) while it is Recording(), and
    // tells it when the guide is switched. After this returns the old recorder is not called.
    void SetGuideRecorder(GuideRecorder* recorder);
    int32_t GuideThresholdLevel() const;
    // Hands a star position to the surface and re-centres the area with auto move on.
    void FollowStar(float sx, float sy);
    void ResetAutoMoveTracking();
    // The menu's "Auto move" setting; also sets the momentary state.
    void SetGuideAutoMoveSetting(bool on);

    // --- Settings as values (GUI thread) -----------------------------------------------------
    // Replaces every setting and redoes what depends on them: processor choice, area, rates,
    // tone table; the owner is told that the processed frame rate may have changed.
    void ApplySettings(const ProcSettings& settings);
    // The current settings, for saving.
    ProcSettings Settings() const;

    // --- Helpers for the stages -------------------------------------------------------------
    // Refills slots 0-1 from the processor or the outside-as-is pair; the caller holds chainLock.
    void RefillOutsideSlots();
    void FillBandingSlots();
    // Current tone table: 256 entries of 4 bytes, only the first byte of each is used.
    const uint32_t* ToneTable() const { return toneTable.load(std::memory_order_acquire); }
    // Recomputes `delayFrames` and `procRate` from fps, delay and count.
    void RecomputeRates();

    ProcParams params;

    // Results of the last output (streaming thread writes, GUI thread reads).
    int32_t saturatedCount = 0;
    int32_t maxLevel = 0;
    int32_t maxOutput = 0;
    PixelWindow statWindow;
    PixelWindow guideWindow;
    uint32_t pixelCount = 0;
    std::atomic<int32_t> histMin{0};
    std::atomic<int32_t> histMax{0};
    std::atomic<float> mean{0.0f};
    std::atomic<float> rms{0.0f};
    std::atomic<float> bkgr{0.0f};
    std::atomic<float> bkgrRms{0.0f};
    std::atomic<uint32_t> pixelValue{0};
    uint32_t histogram[kHistogramBins] = {};
    std::atomic<float> starX{-1.0f};
    std::atomic<float> starY{-1.0f};
    float guideRefX[2] = {0.0f, 0.0f};
    float guideRefY[2] = {0.0f, 0.0f};
    int32_t guideThreshold = 0;
    std::atomic<int32_t> guideAutoMove{0};
    // Auto-move tracking: candidate top-left (-1 = none) and frames rejected in a row.
    int32_t moveCandidateX = -1;
    int32_t moveCandidateY = -1;
    int32_t moveRejected = 0;
    std::atomic<bool> guideVirtual{false};

    std::atomic<const uint32_t*> toneTable{nullptr};
    std::atomic<int32_t> toneGuard{0};
    std::atomic<int32_t> ampTrend{0};

    // Someone shows the statistics (the statistic info window is open, the headless run
    // prints them): the area is measured on every output and at once after an area change.
    std::atomic<bool> statisticsWanted{false};
    std::atomic<double> fps{29.97};
    std::atomic<double> procRate{29.97};
    EngineOwner* owner = nullptr;

    mutable std::recursive_mutex chainLock;

    std::atomic<int32_t> refresh{0};
    FrameStage outsideStage = nullptr;
    FrameStage fullFrameStage = nullptr;
    AccumulateStage accumulateStage = nullptr;
    EngineStage outputStage = nullptr;
    EngineStage refreshStage = nullptr;
    AutoStageFn autoStage = nullptr;
    EngineStage bandingStageH = nullptr;
    EngineStage bandingStageV = nullptr;

    const ProcessorFamily* family = nullptr;
    const AccumulationVariant* variant = nullptr;
    const ChannelProcessor* processor = nullptr;
    const BandingFamily* bandingFamily = nullptr;
    const AutoEntry* autoEntry = nullptr;

    ProcArea area;
    bool areaIsWholeFrame = false;

    std::atomic<int32_t> delayCountdown{0};
    std::atomic<int32_t> delayFrames{0};
    std::atomic<int32_t> accCount{0};
    int32_t accWeight = 0;
    int32_t accFrames = 0;

    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    // Accumulator block: frameWidth * frameHeight * 3 words (rows of accRowWords), then the
    // two banding work arrays (row sums, column sums) of max(frameWidth, frameHeight) * 3.
    uint32_t* accumulator = nullptr;
    uint32_t accRowWords = 0;
    uint32_t* rowSums = nullptr;
    uint32_t* columnSums = nullptr;

    ProcSurf surf;

    // Work memory of the fused frame path, sized by SetFormat.
    ChainScratch chainScratch;
    // ProcessFrame runs the registry's stages fused into few passes over the picture; off, it
    // calls the slots one by one (tests compare the two).
    bool fusedChain = true;

  private:
    // Takes the settings and chooses the processor; the owner is not called (construction).
    void UseSettings(const ProcSettings& settings);
    // Hands one measurement (sx < 0: no star) with the star's metrics to the guide recorder;
    // the caller holds chainLock.
    void RecordGuide(float sx, float sy);
    bool SelectProcessor();
    bool SizeAccumulator();
    void FreeAccumulator();
    bool AreaSettersAllowed() const;
    bool SetAreaPixels(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
    void AfterAreaChange(bool changed);
    bool SkipsImmediateWork() const;
    void BuildInitialToneTables();
    void ReadPixelValue(const WorkPlane* plane);
    // The results of the last measurement; the caller holds chainLock.
    void FillSnapshot(StatisticsSnapshot* out) const;

    std::unique_ptr<uint32_t[]> toneBlock_;
    void* accBlock_ = nullptr;
    size_t accBlockWords_ = 0;
    std::atomic<bool> areaEditing_{false};
    bool measuring_ = false;
    // Under chainLock: the guide log, or nullptr.
    GuideRecorder* guideRecorder_ = nullptr;
    StreamEvents* events_ = nullptr;
    // Under chainLock: a frame is in the chain (its statistics are posted after it), and the
    // number and time of the last frame posted, for measurements made between frames.
    bool inFrame_ = false;
    uint64_t lastFrame_ = 0;
    double lastTime_ = 0.0;
    // Under chainLock: size and brightness of the star of the last guide measurement (not
    // valid when it found none, or with the guide off).
    StarMetrics starMetrics_;
};

}  // namespace kelpa
