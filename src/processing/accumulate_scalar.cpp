// The accumulate, output and refresh stages written pixel by pixel from the formulas, with
// 64-bit products: the reference the vector stages are tested against.
#include <algorithm>
#include <mutex>

#include "processing/accumulate.h"
#include "processing/output_stage.h"
#include "processing/proc_engine.h"

namespace kelpa::scalar {
namespace {

// Renders the area from the accumulator: level(A) gives the level of one accumulator word.
template <class P, class LevelFn>
void RenderArea(ProcEngine& e, LevelFn level, OutputPeaks* peaks) {
    std::lock_guard guard(e.surf.PictureLock());
    FrameBuffer& out = e.surf.Picture();
    const ProcArea& a = e.area;
    if (!e.accumulator || !AreaFitsPicture(e, out)) return;
    const uint32_t* tone = e.ToneTable();
    if (!tone) tone = IdentityToneTable();
    for (int32_t y = a.y0; y < a.y1; ++y) {
        const uint32_t* acc = e.accumulator + size_t{e.accRowWords} * y + P::kWords * size_t(a.x0);
        uint8_t* dst = out.data + size_t{out.stride} * y + 3 * size_t(a.x0);
        for (int32_t x = a.x0; x < a.x1; ++x, acc += P::kWords, dst += 3) {
            for (int c = 0; c < P::kWords; ++c) {
                const int64_t l = level(int64_t{acc[c]});
                const uint8_t v = ToneMap(tone, l);
                if (peaks) {
                    peaks->maxSum = std::max(peaks->maxSum, acc[c]);
                    if (l > 255) {
                        ++peaks->saturated;
                    } else if (l >= 1 && l <= 254) {
                        peaks->maxOutput = std::max<int32_t>(peaks->maxOutput, v);
                    }
                }
                if constexpr (P::kColour) {
                    dst[c] = v;
                } else {
                    dst[0] = v;
                    dst[1] = v;
                    dst[2] = v;
                }
            }
        }
    }
}

template <class P>
void RenderAverage(ProcEngine& e, OutputPeaks* peaks) {
    const int64_t amp = e.params.amp.load(std::memory_order_relaxed);
    const int64_t black = e.params.blackLevel.load(std::memory_order_relaxed);
    const int64_t weight = std::max(e.accWeight, 1);
    RenderArea<P>(
        e, [=](int64_t a) { return ((a * amp >> 7) + weight / 2) / weight + black; }, peaks);
}

// The background of the average frame, from a histogram of A / accWeight to the nearest level
// over the statistics window cut to the area (one entry per pixel; As Is: the mean of its three
// channels, to the nearest level).
template <class P>
float AverageFrameBackground(ProcEngine& e) {
    const Rect w = AverageWindow(e);
    std::fill(std::begin(e.histogram), std::end(e.histogram), 0u);
    const int64_t weight = std::max(e.accWeight, 1);
    for (int32_t y = w.y0; y < w.y0 + w.h && e.accumulator; ++y) {
        const uint32_t* acc = e.accumulator + size_t{e.accRowWords} * y + P::kWords * size_t(w.x0);
        for (int32_t x = 0; x < w.w; ++x, acc += P::kWords) {
            int64_t level = 0;
            for (int c = 0; c < P::kWords; ++c) {
                level += std::min<int64_t>((acc[c] + weight / 2) / weight, 255);
            }
            ++e.histogram[P::kWords == 3 ? (level + 1) / 3 : level];
        }
    }
    const uint32_t count = static_cast<uint32_t>(w.w) * static_cast<uint32_t>(w.h);
    const AreaStatistics st = ComputeStatistics(e.histogram, count);
    StoreStatistics(e, st);
    return st.bkgr;
}

template <class P>
void RenderSubtracterAdder(ProcEngine& e, OutputPeaks* peaks) {
    const float background = AverageFrameBackground<P>(e);
    const LevelFormula f = SubtracterAdderFormula(e, background);
    RenderArea<P>(
        e, [=](int64_t a) { return (a * f.amp >> 7) / f.divisor + f.offset; }, peaks);
}

}  // namespace

template <class P>
bool Accumulate(ProcEngine& e, const FrameBuffer& in) {
    const ProcArea& a = e.area;
    if (!e.accumulator || !AreaFitsPicture(e, in)) return false;
    const bool first = e.accCount.load() == 0;
    for (int32_t y = a.y0; y < a.y1; ++y) {
        const uint8_t* src = in.data + size_t{in.stride} * y + 3 * size_t(a.x0);
        uint32_t* acc = e.accumulator + size_t{e.accRowWords} * y + P::kWords * size_t(a.x0);
        for (int32_t x = a.x0; x < a.x1; ++x, src += 3, acc += P::kWords) {
            if constexpr (P::kWords == 3) {
                for (int c = 0; c < 3; ++c) acc[c] = first ? src[c] : acc[c] + src[c];
            } else {
                acc[0] = first ? P::AccValue(src) : acc[0] + P::AccValue(src);
            }
        }
    }
    return CountAccumulatedFrame<P>(e, first);
}

template <class P>
void OutputAverage(ProcEngine& e) {
    OutputPeaks peaks;
    RenderAverage<P>(e, &peaks);
    RecordPeaks(e, peaks, P::kWords);
    if (HasStatisticsConsumer(e)) e.MeasureArea();
}

template <class P>
void RefreshAverage(ProcEngine& e) {
    RenderAverage<P>(e, nullptr);
}

template <class P>
void OutputSubtracterAdder(ProcEngine& e) {
    OutputPeaks peaks;
    RenderSubtracterAdder<P>(e, &peaks);
    RecordPeaks(e, peaks, P::kWords);
    if (HasStatisticsConsumer(e)) e.MeasureArea();
}

template <class P>
void RefreshSubtracterAdder(ProcEngine& e) {
    RenderSubtracterAdder<P>(e, nullptr);
}

#define KELPA_ACCUMULATE_STAGES(P)                                \
    template bool Accumulate<P>(ProcEngine&, const FrameBuffer&); \
    template void OutputAverage<P>(ProcEngine&);                  \
    template void RefreshAverage<P>(ProcEngine&);                 \
    template void OutputSubtracterAdder<P>(ProcEngine&);          \
    template void RefreshSubtracterAdder<P>(ProcEngine&);
KELPA_FOR_EACH_CHANNEL(KELPA_ACCUMULATE_STAGES)
#undef KELPA_ACCUMULATE_STAGES

}  // namespace kelpa::scalar
