#include "video/frame_sink.h"

#include <cmath>
#include <cstring>
#include <mutex>

#include "common/log.h"
#include "common/profile.h"
#include "video/media_graph.h"

namespace kelpa {
namespace {

// Pacing sleeps in slices of this length so that a pause or stop ends a long wait.
constexpr int64_t kPaceSliceMs = 100;

void PostIfShown(StreamEvents& events, const VideoSurf& surf, StreamEvent kind) {
    if (surf.Visible()) events.Post(kind);
}

}  // namespace

bool RefuseEveryFormat(const BitmapInfoHeader&) {
    return false;
}

FrameSink::FrameSink(EngineOwner* owner, Clock& clock)
    : engine(owner, &events), capture(&events), clock_(clock) {
    fitWindowsToFrame = GetProfileIntA(kProfileSection, "ViewFrameSize", 0) != 0;
    UpdateCaptureInterval();
}

FrameSink::~FrameSink() {
    if (captureSaveOnExit) SaveSettings();
}

void FrameSink::SaveSettings() const {
    capture.SaveSettings();
    WriteProfileStringA(kProfileSection, "ViewFrameSize", fitWindowsToFrame ? "1" : "0");
}

int32_t FrameSink::SampleCB(double sampleTime, const uint8_t* data, size_t length) {
    if (!data) return 0;

    // A sample shorter than the connected format would be read past its end.
    if (length < geometry.srcRequiredSize) {
        if (!shortSampleLogged_.exchange(true)) {
            LogPrintf(
                "Sample of %zu bytes is shorter than the %u bytes of the connected format;"
                " frame skipped",
                length, geometry.srcRequiredSize);
        }
        return 0;
    }

    {
        std::lock_guard lock(live.PictureLock());
        FrameBuffer& picture = live.Picture();
        if (picture.data) converter(picture.data, data, geometry);
    }
    samplesReceived.fetch_add(1, std::memory_order_relaxed);

    bool processed = false;
    if (engine.DelayGate()) {
        processed = engine.ProcessFrame(live.Picture());
    }
    if (processed) {
        if (capture.capturing.load() && engine.refresh.load() == 0) {
            capture.CaptureFrame(sampleTime, fps.load(), engine.surf.Picture(),
                                 engine.surf.FileHeader());
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

void FrameSink::Pace(double sampleTime) {
    const uint32_t now = clock_.TickMs();
    const double rate = fps.load();
    if (rate <= 0) return;
    if (paceStart_.load() == 0) {
        const double period = 1000.0 / rate;
        paceStart_.store(now == 0 ? 1 : now);
        paceMaxWait_ = static_cast<uint32_t>(period);
        paceScale_ = period * rate;
        paceOffset_ = paceScale_ * sampleTime - period;
    }
    const int64_t due = static_cast<int64_t>(sampleTime * paceScale_ - paceOffset_);
    int64_t wait = due - static_cast<int32_t>(now - paceStart_.load());
    if (wait < 1 || wait > paceMaxWait_) return;
    if (wait <= kPaceSliceMs) {
        clock_.SleepMs(static_cast<uint32_t>(wait));
        return;
    }
    while (playState.load() == kStateRunning) {
        if (wait < kPaceSliceMs) {
            clock_.SleepMs(static_cast<uint32_t>(wait));
            return;
        }
        clock_.SleepMs(kPaceSliceMs);
        wait -= kPaceSliceMs;
        if (wait == 0) return;
    }
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
    frameWidth = header.width;
    frameHeight = header.height;
    shortSampleLogged_.store(false);
    return SetFrameGeometry(header.width, keepsRowOrder ? header.height : -header.height);
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
