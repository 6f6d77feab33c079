#include "processing/output_stage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "processing/proc_engine.h"

namespace kelpa {

bool AreaFitsPicture(const ProcEngine& e, const FrameBuffer& picture) {
    const ProcArea& a = e.area;
    return picture.data && a.w > 0 && a.h > 0 && a.x0 >= 0 && a.y0 >= 0 && a.x1 <= picture.width &&
           a.y1 <= picture.height && a.x1 <= e.frameWidth && a.y1 <= e.frameHeight;
}

bool HasStatisticsConsumer(const ProcEngine& e) {
    return e.params.guideEnable.load() || e.statisticsWanted.load() || e.bandingStageH ||
           e.bandingStageV;
}

LevelFormula AverageFormula(const ProcEngine& e) {
    LevelFormula f;
    f.amp = e.params.amp.load(std::memory_order_relaxed);
    f.divisor = std::max(e.accWeight, 1);
    f.half = f.divisor / 2;
    f.offset = e.params.blackLevel.load(std::memory_order_relaxed);
    return f;
}

LevelFormula SubtracterAdderFormula(const ProcEngine& e, float background) {
    LevelFormula f;
    f.amp = e.params.amp.load(std::memory_order_relaxed);
    const int64_t frames = std::max(e.accFrames, 1);
    f.divisor = e.accWeight > frames ? e.accWeight / frames : 1;
    f.half = 0;
    f.offset = e.params.blackLevel.load(std::memory_order_relaxed);
    if (frames > 1) {
        // Half away from zero; a background that is not a number takes nothing off.
        const double off = static_cast<double>(background) * static_cast<double>(f.amp) / 128.0 *
                           static_cast<double>(frames - 1);
        if (std::isfinite(off)) f.offset -= std::llround(std::clamp(off, -1e15, 1e15));
    }
    return f;
}

void RecordPeaks(ProcEngine& e, const OutputPeaks& p, int32_t words) {
    const int64_t w = std::max(e.accWeight, 1);
    e.maxLevel = static_cast<int32_t>(std::clamp<int64_t>((int64_t{p.maxSum} + w / 2) / w, 0, 255));
    e.saturatedCount = static_cast<int32_t>(
        std::min<uint64_t>(p.saturated / static_cast<uint64_t>(words), INT32_MAX));
    e.maxOutput = p.maxOutput;
}

void StoreStatistics(ProcEngine& e, const AreaStatistics& st) {
    e.histMin.store(st.histMin);
    e.histMax.store(st.histMax);
    e.mean.store(st.mean);
    e.rms.store(st.rms);
    e.bkgr.store(st.bkgr);
    e.bkgrRms.store(st.bkgrRms);
}

Rect AverageWindow(const ProcEngine& e) {
    const PixelWindow& w = e.statWindow;
    const ProcArea& a = e.area;
    const int32_t x0 = std::max(w.left, a.x0);
    const int32_t x1 = std::min(w.left + w.width, a.x1);
    const int32_t y0 = std::max(w.top, a.y0);
    const int32_t y1 = std::min(w.top + w.height, a.y1);
    if (x1 <= x0 || y1 <= y0) return Rect{x0, y0, 0, 0};
    return Rect{x0, y0, x1 - x0, y1 - y0};
}

float AverageFrameBackground(ProcEngine& e, PixelKind kind, SumSource source, const uint8_t* input,
                             uint32_t inputStride) {
    std::fill(std::begin(e.histogram), std::end(e.histogram), 0u);
    const Rect window = AverageWindow(e);
    if (e.accumulator || source == SumSource::kInput) {
        AverageJob job;
        job.kind = kind;
        job.source = source;
        job.rect = window;
        job.input = input;
        job.inputStride = inputStride;
        job.acc = e.accumulator;
        job.accRowWords = e.accRowWords;
        job.weight = std::max(e.accWeight, 1);
        AddAverageHistogram(job, e.histogram);
    }
    const uint32_t count = static_cast<uint32_t>(window.w) * static_cast<uint32_t>(window.h);
    const AreaStatistics st = ComputeStatistics(e.histogram, count);
    StoreStatistics(e, st);
    return st.bkgr;
}

void CopyToneTable(const ProcEngine& e, uint8_t (&tone)[256]) {
    const uint32_t* table = e.ToneTable();
    if (!table) table = IdentityToneTable();
    for (int32_t i = 0; i < 256; ++i) tone[i] = static_cast<uint8_t>(table[i]);
    tone[0] = 0;
    tone[255] = 255;
}

RenderJob AreaRenderJob(const ProcEngine& e, PixelKind kind) {
    RenderJob job;
    job.kind = kind;
    const ProcArea& a = e.area;
    job.rect = Rect{a.x0, a.y0, a.w, a.h};
    job.acc = e.accumulator;
    job.accRowWords = e.accRowWords;
    return job;
}

}  // namespace kelpa
