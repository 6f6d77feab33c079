#include "processing/banding.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "processing/output_stage.h"
#include "processing/proc_engine.h"

namespace kelpa {
namespace {

// Above this threshold clipping no longer helps: a bright, noisy area is summed as it is.
constexpr int32_t kUnclippedThreshold = 253;

int32_t ClipOf(int32_t threshold) {
    return threshold >= kUnclippedThreshold ? 0 : threshold;
}

// The corrections of one direction: M = (sum + n / 2) / n over the n lines, and for each line
// d = (S - M + divisor / 2) / divisor rounded down, the divisor being the run (3 runs for
// colour, whose sums add three channels): the line's offset to the nearest level. (Truncated
// toward zero, a line darker than the rest by 3 levels would get 2 back; with only half a run
// added for colour, offsets would round at a sixth of a level.)
void Corrections(const uint32_t* sums, int32_t lines, int32_t run, bool colour,
                 int16_t* corrections) {
    int64_t total = 0;
    for (int32_t i = 0; i < lines; ++i) total += sums[i];
    const int64_t m = (total + lines / 2) / lines;
    const int64_t divisor = colour ? 3 * int64_t{run} : run;
    for (int32_t i = 0; i < lines; ++i) {
        const int64_t d = FloorDivide(int64_t{sums[i]} - m + divisor / 2, divisor);
        corrections[i] = static_cast<int16_t>(std::clamp<int64_t>(d, -255, 255));
    }
}

// The stages work on the area of the processed picture, with the corrections in the scratch
// arrays sized with the frame.
void BandingStage(ProcEngine& e, bool colour, bool horizontal) {
    const ProcArea& a = e.area;
    if (!e.chainScratch.Ready() || a.w > e.chainScratch.Width() || a.h > e.chainScratch.Height()) {
        // Without the scratch arrays the plain stage does the same work.
        if (horizontal) {
            colour ? scalar::BandingColourH(e) : scalar::BandingGreyH(e);
        } else {
            colour ? scalar::BandingColourV(e) : scalar::BandingGreyV(e);
        }
        return;
    }
    std::lock_guard guard(e.surf.PictureLock());
    FrameBuffer& out = e.surf.Picture();
    if (!e.rowSums || !AreaFitsPicture(e, out)) return;
    const float factor = horizontal ? e.params.rmsH.load() : e.params.rmsV.load();
    const int32_t t = BandingThreshold(factor, e.rms.load(), e.mean.load());
    const PixelView view = PictureView(out, colour);
    const Rect r{a.x0, a.y0, a.w, a.h};
    CorrectionJob job;
    job.source = view;
    job.out = out.data;
    job.outStride = out.stride;
    job.rect = r;
    if (horizontal) {
        int16_t* rows = e.chainScratch.RowCorrection();
        if (!RowCorrections(view, r, t, e.rowSums, rows)) return;
        job.rowCorrection = rows;
        job.skipZeroRows = true;
    } else {
        int16_t* columns = e.chainScratch.ColumnCorrection();
        if (!ColumnCorrections(view, r, t, nullptr, e.rowSums, columns)) return;
        job.columnCorrection = columns;
    }
    ApplyCorrections(job);
}

}  // namespace

int32_t BandingThreshold(float factor, float rms, float mean) {
    const double t = static_cast<double>(factor) * rms + mean;
    if (std::isnan(t)) return 0;
    return static_cast<int32_t>(std::lround(std::clamp(t, -1e9, 1e9)));
}

bool RowCorrections(const PixelView& view, const Rect& rect, int32_t threshold, uint32_t* sums,
                    int16_t* corrections) {
    if (threshold < 1 || rect.w <= 0 || rect.h <= 0) return false;
    ClippedRowSums(view, rect, ClipOf(threshold), sums);
    Corrections(sums, rect.h, rect.w, view.colour, corrections);
    return true;
}

bool ColumnCorrections(const PixelView& view, const Rect& rect, int32_t threshold,
                       const int16_t* rowCorrections, uint32_t* sums, int16_t* corrections) {
    if (threshold < 1 || rect.w <= 0 || rect.h <= 0) return false;
    ClippedColumnSums(view, rect, ClipOf(threshold), rowCorrections, sums);
    Corrections(sums, rect.w, rect.h, view.colour, corrections);
    return true;
}

void BandingGreyH(ProcEngine& e) {
    BandingStage(e, false, true);
}
void BandingGreyV(ProcEngine& e) {
    BandingStage(e, false, false);
}
void BandingColourH(ProcEngine& e) {
    BandingStage(e, true, true);
}
void BandingColourV(ProcEngine& e) {
    BandingStage(e, true, false);
}

}  // namespace kelpa
