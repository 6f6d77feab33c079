#include "processing/accumulate.h"

#include <mutex>

#include "processing/chain_kernels.h"
#include "processing/output_stage.h"
#include "processing/proc_engine.h"

namespace kelpa {
namespace {

// The output stages render the area of the processed picture from the accumulator.
template <class P>
void RenderArea(ProcEngine& e, const LevelFormula& f, OutputPeaks* peaks) {
    std::lock_guard guard(e.surf.PictureLock());
    FrameBuffer& out = e.surf.Picture();
    if (!e.accumulator || !AreaFitsPicture(e, out)) return;
    uint8_t tone[256];
    CopyToneTable(e, tone);
    RenderJob job = AreaRenderJob(e, KindOf<P>());
    job.source = SumSource::kAccumulator;
    job.out = out.data;
    job.outStride = out.stride;
    job.outBytesPerPixel = 3;
    job.level = f;
    job.tone = tone;
    job.peaks = peaks;
    RenderRect(job);
}

}  // namespace

template <class P>
bool CountAccumulatedFrame(ProcEngine& e, bool first) {
    if (first) {
        e.accWeight = P::kWeight;
        e.accFrames = 1;
    } else {
        e.accWeight += P::kWeight;
        e.accFrames += 1;
    }
    const int32_t count = e.accCount.fetch_add(1) + 1;
    if (count < e.params.countAccum.load(std::memory_order_relaxed)) return false;
    e.accCount.store(0);
    return true;
}

template <class P>
bool Accumulate(ProcEngine& e, const FrameBuffer& in) {
    if (!e.accumulator || !AreaFitsPicture(e, in)) return false;
    const bool first = e.accCount.load() == 0;
    RenderJob job = AreaRenderJob(e, KindOf<P>());
    job.source = SumSource::kAccumulate;
    job.first = first;
    job.writeAcc = true;
    job.input = in.data;
    job.inputStride = in.stride;
    RenderRect(job);
    return CountAccumulatedFrame<P>(e, first);
}

template <class P>
void OutputAverage(ProcEngine& e) {
    OutputPeaks peaks;
    RenderArea<P>(e, AverageFormula(e), &peaks);
    RecordPeaks(e, peaks, P::kWords);
    if (HasStatisticsConsumer(e)) e.MeasureArea();
}

template <class P>
void RefreshAverage(ProcEngine& e) {
    RenderArea<P>(e, AverageFormula(e), nullptr);
}

template <class P>
void OutputSubtracterAdder(ProcEngine& e) {
    const float background =
        AverageFrameBackground(e, KindOf<P>(), SumSource::kAccumulator, nullptr, 0);
    OutputPeaks peaks;
    RenderArea<P>(e, SubtracterAdderFormula(e, background), &peaks);
    RecordPeaks(e, peaks, P::kWords);
    if (HasStatisticsConsumer(e)) e.MeasureArea();
}

template <class P>
void RefreshSubtracterAdder(ProcEngine& e) {
    const float background =
        AverageFrameBackground(e, KindOf<P>(), SumSource::kAccumulator, nullptr, 0);
    RenderArea<P>(e, SubtracterAdderFormula(e, background), nullptr);
}

#define KELPA_ACCUMULATE_STAGES(P)                                \
    template bool Accumulate<P>(ProcEngine&, const FrameBuffer&); \
    template void OutputAverage<P>(ProcEngine&);                  \
    template void RefreshAverage<P>(ProcEngine&);                 \
    template void OutputSubtracterAdder<P>(ProcEngine&);          \
    template void RefreshSubtracterAdder<P>(ProcEngine&);         \
    template bool CountAccumulatedFrame<P>(ProcEngine&, bool);
KELPA_FOR_EACH_CHANNEL(KELPA_ACCUMULATE_STAGES)
#undef KELPA_ACCUMULATE_STAGES

}  // namespace kelpa
