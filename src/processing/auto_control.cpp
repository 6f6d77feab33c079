#include "processing/auto_control.h"

#include <algorithm>
#include <mutex>

#include "processing/proc_engine.h"

namespace kelpa {
namespace {

// Fewer saturated pixels than this: raise; more than kManySaturated: lower.
constexpr int32_t kFewSaturated = 50;
constexpr int32_t kManySaturated = 200;
constexpr int32_t kVeryManySaturated = 2307;
constexpr int32_t kMaxAmp = 256;

// Tells the receiver of the engine's events the new value of an automatic-control setting.
void PostChange(ProcEngine& e, StreamEvent kind) {
    StreamEvents* events = e.Events();
    if (events == nullptr) return;
    int32_t value = 0;
    switch (kind) {
        case StreamEvent::kAmpChanged:
            value = e.params.amp.load();
            break;
        case StreamEvent::kCountAccumChanged:
            value = e.params.countAccum.load();
            break;
        default:
            value = static_cast<int32_t>(e.params.delayMs.load());
            break;
    }
    events->PostAutoChange(kind, value);
}

// The automatic control changes the count with a plain exchange: unlike the settings panel it
// keeps the amplification trend and the delay countdown.
void SetCount(ProcEngine& e, int32_t c) {
    e.params.countAccum.store(std::clamp(c, 1, ProcEngine::kMaxCountAccum));
    e.RecomputeRates();
    if (e.owner) e.owner->ProcRateChanged();
    PostChange(e, StreamEvent::kCountAccumChanged);
}

void ApplyAutoDelay(ProcEngine& e, int32_t level) {
    if (e.SetTimeDelay(AutoDelayForLevel(level))) PostChange(e, StreamEvent::kDelayChanged);
}

bool RaiseAmplification(ProcEngine& e, int32_t maxOutput, int32_t count) {
    const int32_t trend = e.ampTrend.load();
    bool raise;
    if (trend > 0 && (count > 10 || maxOutput < 120)) {
        raise = true;
    } else {
        raise = !(maxOutput >= 250 && trend >= -1);
    }
    const int32_t amp = e.params.amp.load();
    if (!raise || amp >= kMaxAmp) return false;
    int64_t step = maxOutput > 0 ? int64_t{255 - maxOutput} * amp / maxOutput : 1;
    // A raise never lowers: an amplification the user set to 0 or below still goes up by 1.
    if (step < 1) step = 1;
    step = std::min<int64_t>(step, kMaxAmp - int64_t{amp});
    e.params.amp.fetch_add(static_cast<int32_t>(step));
    if (e.ampTrend.load() < 0) e.ampTrend.store(0);
    e.ampTrend.fetch_add(static_cast<int32_t>(step));
    PostChange(e, StreamEvent::kAmpChanged);
    return true;
}

void RaiseCountAgain(ProcEngine& e, int32_t level) {
    const int32_t c = e.params.countAccum.load();
    int32_t next = c;
    if (level < 164 && c < 205) {
        next = c + 4;
    } else if (level >= 164 && level < 200 && c < 230) {
        next = c + 2;
    } else if (level >= 200 && level < 230 && c < 245) {
        next = c + 1;
    }
    if (next != c) SetCount(e, next);
}

void LowerCountAgain(ProcEngine& e, int32_t saturated) {
    const int32_t c = e.params.countAccum.load();
    int32_t next = c;
    if (saturated > kVeryManySaturated) {
        if (c > 100) {
            next = c - 10;
        } else if (c > 40) {
            next = c - 5;
        } else if (c > 8) {
            next = c - 1;
        }
    } else if (c > 40) {
        next = c - 5;
    } else if (c > 8) {
        next = c - 1;
    }
    if (next != c) SetCount(e, next);
}

}  // namespace

uint32_t AutoDelayForLevel(int32_t level) {
    if (level < 160) return 500;
    if (level < 180) return 300;
    if (level < 245) return 200;
    if (level < 250) return 134;
    return 0;
}

bool AutoStage(ProcEngine& e) {
    const uint32_t flags = e.params.autoFlags.load();
    const int32_t s = e.saturatedCount;
    const int32_t level = e.maxLevel;
    const int32_t out = e.maxOutput;
    const int32_t levelBands = level & ~7;
    bool changedAmp = false;

    if (s < kFewSaturated) {
        if (flags & kAutoAmplification) {
            changedAmp = RaiseAmplification(e, out, e.params.countAccum.load());
        }
        if (flags & kAutoAccumulate) SetCount(e, std::max(4, 129 - levelBands));
        if (flags & kAutoDelay) ApplyAutoDelay(e, level);
        if (flags & kAutoAccumulate) RaiseCountAgain(e, level);
    } else if (s > kManySaturated && e.params.amp.load() >= 2) {
        if ((flags & kAutoAmplification) && e.ampTrend.load() != 1) {
            e.params.amp.fetch_sub(1);
            if (e.ampTrend.load() > 0) e.ampTrend.store(0);
            e.ampTrend.fetch_sub(1);
            PostChange(e, StreamEvent::kAmpChanged);
            changedAmp = true;
        }
        if (flags & kAutoAccumulate) SetCount(e, 258 - levelBands);
        if (flags & kAutoDelay) ApplyAutoDelay(e, level);
        if (flags & kAutoAccumulate) LowerCountAgain(e, s);
    }
    return changedAmp;
}

void ProcEngine::AutoReset() {
    std::lock_guard lock(chainLock);
    const uint32_t flags = params.autoFlags.load();
    if ((flags & kAutoDelay) && SetTimeDelay(0)) {
        PostChange(*this, StreamEvent::kDelayChanged);
    }
    if ((flags & kAutoAccumulate) && params.countAccum.load() != 1) {
        SetCountAccum(1);
        PostChange(*this, StreamEvent::kCountAccumChanged);
    }
    if ((flags & kAutoAmplification) && params.amp.load() != 128) {
        params.amp.store(128);
        PostChange(*this, StreamEvent::kAmpChanged);
    }
    const float cx = guideWindow.left + guideWindow.width * 0.5f;
    const float cy = guideWindow.top + guideWindow.height * 0.5f;
    starX.store(cx);
    starY.store(cy);
    surf.SetGuidePosition(cx, cy);
    if (guideAutoMove.load()) ResetAutoMoveTracking();
    accCount.store(0);
    RefillOutsideSlots();
    refresh.store(1);
    delayCountdown.store(delayFrames.load());
    ampTrend.store(0);
}

}  // namespace kelpa
