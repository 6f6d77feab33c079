#include "video/frame_sink.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "common/log.h"
#include "processing/registry.h"
#include "video/media_graph.h"

namespace kelpa {
namespace {

// Pacing sleeps in slices of this length so that a pause or stop ends a long wait.
constexpr int64_t kPaceSliceMs = 100;
// A frame due more than this beyond its usual hold, or late by more than this, has left the
// timeline the clock follows (a seek, a step, a gap in the file, a long stall): the clock is
// anchored again at that frame instead of sleeping towards a time that no longer means anything.
constexpr double kPaceJumpMs = 250.0;

void PostIfShown(StreamEvents& events, const VideoSurf& surf, StreamEvent kind) {
    if (surf.Visible()) events.Post(kind);
}

}  // namespace

bool RefuseEveryFormat(const BitmapInfoHeader&) {
    return false;
}

FrameSink::FrameSink(EngineOwner* owner, Clock& clock)
    : engine(owner, &events), capture(&events), clock_(clock) {
    guideLog.SetEvents(&events);
    UpdateCaptureInterval();
}

FrameSink::~FrameSink() = default;

int32_t FrameSink::SampleCB(double sampleTime, const uint8_t* data, size_t length) {
    if (!data) return 0;

    // A sample shorter than the connected format would be read past its end.
    if (length < geometry.srcRequiredSize) {
        samplesDropped.fetch_add(1, std::memory_order_relaxed);
        if (!shortSampleLogged_.exchange(true)) {
            LogPrintf(
                "Sample of %zu bytes is shorter than the %u bytes of the connected format;"
                " frame skipped",
                length, geometry.srcRequiredSize);
        }
        return 0;
    }

    bool darkTakeEnded = false;
    {
        std::lock_guard lock(live.PictureLock());
        FrameBuffer& picture = live.Picture();
        if (picture.data) {
            // A format without a converter leaves the picture as it was: no dark is taken off
            // it again and again.
            if (dark.Active() && converter != &NoConvert) {
                darkTakeEnded =
                    dark.ConvertFrame(converter, bandOrder_, picture.data, data, geometry);
            } else {
                converter(picture.data, data, geometry);
            }
        }
    }
    if (darkTakeEnded) events.Post(StreamEvent::kDarkTake);
    samplesReceived.fetch_add(1, std::memory_order_relaxed);
    // A run of live pictures takes every frame as it arrives, before any processing.
    if (capture.capturing.load() && capture.RunContent() == CaptureContent::kLive &&
        live.Picture().data) {
        capture.CaptureFrame(sampleTime, fps.load(), live.Picture(), live.Header());
    }

    bool processed = false;
    if (engine.DelayGate()) {
        processed = engine.ProcessFrame(live.Picture());
    }
    if (processed) {
        if (capture.capturing.load() && capture.RunContent() == CaptureContent::kProcessed &&
            engine.refresh.load() == 0) {
            capture.CaptureFrame(sampleTime, fps.load(), engine.surf.Picture(),
                                 engine.surf.FileHeader(), ProcessedInColour());
        }
        lastSampleTime.store(sampleTime, std::memory_order_relaxed);
        PostIfShown(events, engine.surf, StreamEvent::kProcessedPicture);
        engine.PublishStatistics(++processedFrames_, sampleTime, &snapshot_);
        if (FrameObserver* observer = observer_.load()) observer->FrameProcessed(snapshot_);
    }
    PostIfShown(events, live, StreamEvent::kLivePicture);
    if (!isLive && pacing_.load()) Pace(sampleTime);
    return 0;
}

bool FrameSink::ProcessedInColour() {
    // The grey processors write one level into the three bytes of a pixel, except outside the
    // area when it is shown as is.
    std::lock_guard lock(engine.chainLock);
    return engine.processor == nullptr || engine.processor->colour != 0 ||
           engine.params.outsideAsIs.load() != 0;
}

// Holds the frame just shown until the stream's own time says the next one is due. The clock
// follows the stream from an anchor (the first frame of a run, of a resume or after a seek);
// waits are worked out from the anchor each time, so rounding never adds up. Frames are paced
// only while the graph runs: a paused graph's frames (steps) are shown at once, and the run
// that follows starts a new timeline.
void FrameSink::Pace(double sampleTime) {
    if (playState.load() != kStateRunning) {
        reanchor_.store(true);
        return;
    }
    const double rate = fps.load();
    if (!(rate > 0)) return;
    const double periodMs = 1000.0 / rate;
    const uint32_t now = clock_.TickMs();
    if (reanchor_.exchange(false)) {
        anchorTickMs_ = now;
        anchorTime_ = sampleTime - periodMs / 1000.0;  // held for one period
    }
    const double elapsedMs = static_cast<double>(static_cast<uint32_t>(now - anchorTickMs_));
    double waitMs = (sampleTime - anchorTime_) * 1000.0 - elapsedMs;
    if (waitMs > periodMs + kPaceJumpMs) {
        // Ahead of the timeline (a seek or step forward, a gap): a new one starts here.
        anchorTickMs_ = now;
        anchorTime_ = sampleTime - periodMs / 1000.0;
        waitMs = periodMs;
    } else if (waitMs < -kPaceJumpMs) {
        // Far behind (a stall, a seek back): shown at once, the next frame one period later.
        anchorTickMs_ = now;
        anchorTime_ = sampleTime;
        return;
    }
    SleepWhileRunning(std::llround(waitMs));
}

void FrameSink::SleepWhileRunning(int64_t waitMs) {
    if (waitMs < 1) return;
    if (waitMs <= kPaceSliceMs) {
        clock_.SleepMs(static_cast<uint32_t>(waitMs));
        return;
    }
    while (waitMs > 0 && playState.load() == kStateRunning) {
        const int64_t slice = std::min(waitMs, kPaceSliceMs);
        clock_.SleepMs(static_cast<uint32_t>(slice));
        waitMs -= slice;
    }
    // A pause in the middle of the wait: the run that follows starts a new timeline.
    if (waitMs > 0) reanchor_.store(true);
}

void FrameSink::ApplyFrameRate(double framesPerSecond) {
    engine.SetFrameRate(framesPerSecond);
    fps.store(framesPerSecond);
    UpdateCaptureInterval();
}

void FrameSink::UpdateCaptureInterval() {
    capture.UpdateCaptureInterval(engine.procRate.load());
}

bool FrameSink::SetSourceHeader(const BitmapInfoHeader& header) {
    source.compression = header.compression;
    source.bitsPerPixel = header.bitCount;
    source.bytesPerPixel = (header.bitCount + 7u) / 8u;
    const ConverterChoice choice = ChooseConverter(header.compression, header.bitCount);
    converter = choice.convert ? choice.convert : &NoConvert;
    keepsRowOrder = choice.convert ? choice.keepsRowOrder : false;
    bandOrder_ = BandOrderOf(header.compression, header.bitCount);
    frameWidth = header.width;
    frameHeight = header.height;
    shortSampleLogged_.store(false);
    return SetFrameGeometry(header.width, keepsRowOrder ? header.height : -header.height);
}

void FrameSink::SetGuideLogEnabled(bool on) {
    // The engine lets go of the log before it stops, and takes it only once it runs.
    if (on) {
        guideLog.SetEnabled(true);
        engine.SetGuideRecorder(&guideLog);
    } else {
        engine.SetGuideRecorder(nullptr);
        guideLog.SetEnabled(false);
    }
}

void FrameSink::SetPlaneLayout(const uint32_t offsets[3], const uint32_t strides[3]) {
    for (int i = 0; i < 3; ++i) {
        geometry.planeOffset[i] = offsets[i];
        geometry.planeStride[i] = strides[i];
    }
    UpdateRequiredSize(geometry, source.compression);
}

bool FrameSink::SetFrameGeometry(int32_t width, int32_t height) {
    const int32_t w = std::abs(width);
    const int32_t h = std::abs(height);
    geometry = MakeConvGeometry(source.compression, source.bitsPerPixel, w, h);
    geometry.dstStride = Stride24(w);

    // A format without a converter has no dark: nothing is taken or applied.
    const bool convertible = converter != &NoConvert && geometry.width > 0;
    if (dark.SetFormat(convertible ? w : 0, convertible ? h : 0,
                       convertible ? DarkFormatCode(source.compression, source.bitsPerPixel) : 0)) {
        events.Post(StreamEvent::kDarkTake);
    }

    const bool allocated = live.Allocate(width, height);
    if (allocated) live.LayoutChanged();
    if (!engine.SetFormat(live.Picture(), allocated, height < 0)) return false;

    {
        std::lock_guard lock(engine.chainLock);
        const bool flip = engine.params.flipV.load() != 0;
        engine.params.flipV.store(flip ? 1 : 0);
        engine.surf.SetFlip(flip);
        engine.ApplyArea();
        live.SetFlip(flip);
    }
    return allocated;
}

}  // namespace kelpa
