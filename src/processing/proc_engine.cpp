#include "processing/proc_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/log.h"
#include "processing/fused_chain.h"
#include "processing/proc_settings.h"

namespace kelpa {
ProcEngine::ProcEngine(EngineOwner* engineOwner, StreamEvents* events)
    : ProcEngine(engineOwner, DefaultProcSettings(), events) {}

ProcEngine::ProcEngine(EngineOwner* engineOwner, const ProcSettings& settings, StreamEvents* events)
    : owner(engineOwner), events_(events) {
    family = FindProcessorFamily(3, 8);
    autoEntry = &DefaultAutoEntry();
    autoStage = autoEntry->stage;
    UseSettings(settings);
    BuildInitialToneTables();
}

ProcEngine::~ProcEngine() {
    FreeAccumulator();
}

// ---- Processor choice ----------------------------------------------------------------------

bool ProcEngine::SelectProcessor() {
    if (!family || family->variants.empty()) return false;

    const AccumulationVariant* chosenVariant = nullptr;
    for (const AccumulationVariant& v : family->variants) {
        if (v.tag == params.variantId) {
            chosenVariant = &v;
            break;
        }
    }
    if (!chosenVariant) chosenVariant = variant ? variant : &family->variants.front();
    params.variantId = chosenVariant->tag;

    // Among the entries with the wanted index the first is taken; a later one wins only when
    // its tag is the remembered one, and that entry ends the scan.
    const ChannelProcessor* chosen = nullptr;
    for (const ChannelProcessor& p : chosenVariant->processors) {
        if (p.index != params.channels) continue;
        if (!chosen || p.tag == params.channelsId) chosen = &p;
        if (p.tag == params.channelsId) break;
    }
    if (!chosen) {
        if (processor) {
            params.channels = processor->index;
            return false;
        }
        chosen = &chosenVariant->processors.front();
    }

    variant = chosenVariant;
    processor = chosen;
    params.channelsId = chosen->tag;
    params.channels = chosen->index;
    RefillOutsideSlots();
    const bool areaUsable = area.w > 0 && area.h > 0 && accumulator;
    accumulateStage = areaUsable ? chosen->accumulate : nullptr;
    outputStage = chosen->output;
    refreshStage = chosen->refresh;
    bandingFamily = FindBandingFamily(3, chosen->colour);
    FillBandingSlots();
    return true;
}

void ProcEngine::RefillOutsideSlots() {
    if (!processor || !variant) {
        outsideStage = nullptr;
        fullFrameStage = nullptr;
        accumulateStage = nullptr;
        outputStage = nullptr;
        refreshStage = nullptr;
        return;
    }
    if (params.outsideAsIs.load()) {
        outsideStage = variant->outsideAsIsOutside;
        fullFrameStage = variant->outsideAsIsFull;
    } else {
        outsideStage = processor->outside;
        fullFrameStage = processor->fullFrame;
    }
}

void ProcEngine::FillBandingSlots() {
    bandingStageH = nullptr;
    bandingStageV = nullptr;
    if (!bandingFamily) return;
    const bool h = params.nrH.load() != 0;
    const bool v = params.nrV.load() != 0;
    auto pick = [this](uint32_t direction) -> EngineStage {
        const BandingFilter* last = nullptr;
        for (const BandingFilter& f : bandingFamily->filters) {
            if (f.direction != direction) continue;
            if (f.method == FourCC("RmrD")) return f.stage;
            last = &f;
        }
        return last ? last->stage : nullptr;
    };
    if (h) bandingStageH = pick(FourCC("RmrH"));
    if (v) bandingStageV = pick(FourCC("RmrV"));
}

bool ProcEngine::SelectChannel() {
    std::lock_guard lock(chainLock);
    if (!SelectProcessor()) return false;
    accCount.store(0);
    RefillOutsideSlots();
    refresh.store(1);
    return true;
}

bool ProcEngine::SetChannel(int32_t index) {
    {
        std::lock_guard lock(chainLock);
        params.channels = index;
    }
    return SelectChannel();
}

bool ProcEngine::SetVariant(uint32_t tag) {
    {
        std::lock_guard lock(chainLock);
        params.variantId = tag;
    }
    return SelectChannel();
}

void ProcEngine::SetOutsideAsIs(bool on) {
    std::lock_guard lock(chainLock);
    params.outsideAsIs.store(on ? 1 : 0);
    accCount.store(0);
    RefillOutsideSlots();
    refresh.store(1);
}

void ProcEngine::ResetOutsideAndChannel() {
    SetOutsideAsIs(false);
    if (params.channels != -1) SetChannel(-1);
}

// ---- Format and accumulator ------------------------------------------------------------------

void ProcEngine::FreeAccumulator() {
    std::free(accBlock_);
    accBlock_ = nullptr;
    accBlockWords_ = 0;
    accumulator = nullptr;
    rowSums = nullptr;
    columnSums = nullptr;
    accRowWords = 0;
}

bool ProcEngine::SizeAccumulator() {
    const size_t w = static_cast<size_t>(frameWidth);
    const size_t h = static_cast<size_t>(frameHeight);
    const size_t line = std::max(w, h) * 3;
    const size_t words = w * h * 3 + 2 * line;
    if (words > accBlockWords_) {
        FreeAccumulator();
        const size_t bytes = (words * sizeof(uint32_t) + 63) / 64 * 64;
        accBlock_ = std::aligned_alloc(64, bytes);
        if (!accBlock_) {
            LogPrintf("Can`t alloc memory for convertor\n exit...");
            return false;
        }
        accBlockWords_ = words;
    }
    std::memset(accBlock_, 0, words * sizeof(uint32_t));
    accumulator = static_cast<uint32_t*>(accBlock_);
    accRowWords = static_cast<uint32_t>(w * 3);
    rowSums = accumulator + w * h * 3;
    columnSums = rowSums + line;
    return true;
}

bool ProcEngine::SetFormat(const FrameBuffer& input, bool valid, bool topDown) {
    std::lock_guard lock(chainLock);
    const bool accepted = valid && input.stride != 0 &&
                          surf.Allocate(input.width, topDown ? -input.height : input.height);
    if (!accepted) {
        accumulateStage = nullptr;
        if (!valid) surf.Allocate(0, 0);
        frameWidth = 0;
        frameHeight = 0;
        area = ProcArea{};
        areaIsWholeFrame = false;
        starX.store(-1.0f);
        return false;
    }
    frameWidth = input.width;
    frameHeight = input.height;
    area = ProcArea{-1, -1, -1, -1, 0, 0};  // forces ApplyArea to see a change
    const bool haveBlock = SizeAccumulator();
    if (!haveBlock) FreeAccumulator();
    chainScratch.Reserve(frameWidth, frameHeight);
    CentreGuideReference();
    if (area.x0 < 0) area = ProcArea{};  // too small for an area: everything is outside
    surf.LayoutChanged();
    accCount.store(0);
    if (haveBlock && area.w > 0 && area.h > 0 && processor) {
        accumulateStage = processor->accumulate;
    } else {
        accumulateStage = nullptr;
    }
    return true;
}

// ---- Per-frame chain (streaming thread) ------------------------------------------------------

bool ProcEngine::DelayGate() {
    int32_t countdown = delayCountdown.load();
    while (countdown > 0) {
        if (delayCountdown.compare_exchange_weak(countdown, countdown - 1)) return false;
    }
    const int32_t frames = delayFrames.load();
    if (frames != 0) delayCountdown.store(frames);
    return true;
}

bool ProcEngine::ProcessFrame(const FrameBuffer& input) {
    std::lock_guard lock(chainLock);
    // The frame's statistics are posted by PublishStatistics once the frame is through.
    struct InFrame {
        bool& flag;
        explicit InFrame(bool& f) : flag(f) { flag = true; }
        ~InFrame() { flag = false; }
    } inFrame(inFrame_);
    if (!accumulateStage) {
        // Without accumulation every frame is complete as it is rendered: nothing is pending,
        // so the intake may show and capture it. An area change or a reset set `refresh`, and
        // no accumulation will ever clear it on this path.
        refresh.store(0);
        if (fullFrameStage) {
            fullFrameStage(*this, input);
        } else {
            std::lock_guard out(surf.PictureLock());
            FrameBuffer& picture = surf.Picture();
            if (picture.data && input.data) {
                std::memcpy(picture.data, input.data, std::min(picture.imageSize, input.imageSize));
            }
        }
        return true;
    }

    if (!areaIsWholeFrame && outsideStage) outsideStage(*this, input);
    bool fusedResult = false;
    if (fusedChain && RunFusedChain(*this, input, fusedResult)) return fusedResult;
    if (accumulateStage(*this, input)) {
        refresh.store(0);
    } else if (refresh.load() == 0) {
        // No new sum: only the outside changed (nothing at all for a whole-frame area).
        return !areaIsWholeFrame;
    }
    if (outputStage) outputStage(*this);
    if (bandingStageH) bandingStageH(*this);
    if (bandingStageV) bandingStageV(*this);
    if ((params.autoFlags.load(std::memory_order_relaxed) & kAutoAll) && autoStage &&
        autoStage(*this)) {
        if (refreshStage) refreshStage(*this);
        if (bandingStageH) bandingStageH(*this);
        if (bandingStageV) bandingStageV(*this);
    }
    return true;
}

// ---- Parameters --------------------------------------------------------------------------------

void ProcEngine::RecomputeRates() {
    const double f = fps.load();
    const uint32_t ms = params.delayMs.load();
    int32_t frames = 0;
    if (f > 0 && ms != 0) frames = static_cast<int32_t>(std::ceil(f * ms / 1000.0));
    delayFrames.store(frames);
    double rate = f;
    const int32_t count = params.countAccum.load();
    if (count > 1) rate /= count;
    if (frames >= 2) rate /= frames;
    procRate.store(rate);
}

bool ProcEngine::SetTimeDelay(uint32_t ms) {
    if (params.delayMs.load() == ms) return false;
    params.delayMs.store(ms);
    RecomputeRates();
    delayCountdown.store(delayFrames.load());
    ampTrend.store(0);
    if (owner) owner->ProcRateChanged();
    return true;
}

bool ProcEngine::SetCountAccum(int32_t n) {
    n = std::clamp(n, 1, kMaxCountAccum);
    const bool changed = params.countAccum.exchange(n) != n;
    delayCountdown.store(delayFrames.load());
    ampTrend.store(0);
    RecomputeRates();
    if (owner) owner->ProcRateChanged();
    return changed;
}

void ProcEngine::SetAmp(int32_t amp) {
    params.amp.store(amp);
    ampTrend.store(0);
}

void ProcEngine::SetBlackLevel(int32_t level) {
    params.blackLevel.store(level);
    ampTrend.store(0);
}

void ProcEngine::SetNR(bool horizontal, bool vertical) {
    std::lock_guard lock(chainLock);
    params.nrH.store(horizontal ? 1 : 0);
    params.nrV.store(vertical ? 1 : 0);
    FillBandingSlots();
}

void ProcEngine::SetFrameRate(double framesPerSecond) {
    fps.store(framesPerSecond);
    RecomputeRates();
    delayCountdown.store(delayFrames.load());
    ampTrend.store(0);
}

}  // namespace kelpa
