// The banding stages pixel by pixel, as the formulas are written: the reference of the vector
// stages.
#include <algorithm>
#include <mutex>

#include "processing/banding.h"
#include "processing/output_stage.h"
#include "processing/proc_engine.h"

namespace kelpa::scalar {
namespace {

constexpr int32_t kUnclippedThreshold = 253;

uint8_t Corrected(uint8_t p, int64_t d) {
    return static_cast<uint8_t>(std::clamp<int64_t>(p - d, 0, 255));
}

// The value a pixel contributes to its row or column sum.
struct Contribution {
    bool colour;
    int32_t clip;  // 0: unclipped
    int64_t operator()(const uint8_t* p) const {
        const int64_t v = colour ? int64_t{p[0]} + p[1] + p[2] : int64_t{p[0]};
        if (clip == 0) return v;
        return std::min<int64_t>(v, colour ? 3 * int64_t{clip} : clip);
    }
};

// Returns false when the stage has nothing to do.
bool Prepare(ProcEngine& e, float factor, bool colour, Contribution& c) {
    const FrameBuffer& out = e.surf.Picture();
    if (!e.rowSums || !e.columnSums || !AreaFitsPicture(e, out)) return false;
    const int32_t t = BandingThreshold(factor, e.rms.load(), e.mean.load());
    if (t < 1) return false;
    c = Contribution{colour, t >= kUnclippedThreshold ? 0 : t};
    return true;
}

void CorrectPixel(uint8_t* p, int64_t d, bool colour) {
    if (colour) {
        p[0] = Corrected(p[0], d);
        p[1] = Corrected(p[1], d);
        p[2] = Corrected(p[2], d);
    } else {
        const uint8_t v = Corrected(p[0], d);
        p[0] = v;
        p[1] = v;
        p[2] = v;
    }
}

void BandingRows(ProcEngine& e, bool colour) {
    Contribution contribution{};
    std::lock_guard guard(e.surf.PictureLock());
    if (!Prepare(e, e.params.rmsH.load(), colour, contribution)) return;
    FrameBuffer& out = e.surf.Picture();
    const ProcArea& a = e.area;
    uint32_t* sums = e.rowSums;
    int64_t total = 0;
    for (int32_t r = 0; r < a.h; ++r) {
        const uint8_t* p = out.data + size_t{out.stride} * (a.y0 + r) + 3 * size_t(a.x0);
        int64_t s = 0;
        for (int32_t x = 0; x < a.w; ++x, p += 3) s += contribution(p);
        sums[r] = static_cast<uint32_t>(s);
        total += s;
    }
    const int64_t m = (total + a.h / 2) / a.h;
    const int64_t divisor = colour ? 3 * int64_t{a.w} : a.w;
    for (int32_t r = 0; r < a.h; ++r) {
        const int64_t d = FloorDivide(int64_t{sums[r]} - m + divisor / 2, divisor);
        if (d == 0) continue;
        uint8_t* p = out.data + size_t{out.stride} * (a.y0 + r) + 3 * size_t(a.x0);
        for (int32_t x = 0; x < a.w; ++x, p += 3) CorrectPixel(p, d, colour);
    }
}

void BandingColumns(ProcEngine& e, bool colour) {
    Contribution contribution{};
    std::lock_guard guard(e.surf.PictureLock());
    if (!Prepare(e, e.params.rmsV.load(), colour, contribution)) return;
    FrameBuffer& out = e.surf.Picture();
    const ProcArea& a = e.area;
    uint32_t* sums = e.rowSums;
    uint32_t* corrections = e.columnSums;  // holds signed corrections as two's complement
    std::fill(sums, sums + a.w, 0u);
    for (int32_t r = 0; r < a.h; ++r) {
        const uint8_t* p = out.data + size_t{out.stride} * (a.y0 + r) + 3 * size_t(a.x0);
        for (int32_t x = 0; x < a.w; ++x, p += 3) sums[x] += static_cast<uint32_t>(contribution(p));
    }
    int64_t total = 0;
    for (int32_t x = 0; x < a.w; ++x) total += sums[x];
    const int64_t m = (total + a.w / 2) / a.w;
    const int64_t divisor = colour ? 3 * int64_t{a.h} : a.h;
    for (int32_t x = 0; x < a.w; ++x) {
        corrections[x] =
            static_cast<uint32_t>(FloorDivide(int64_t{sums[x]} - m + divisor / 2, divisor));
    }
    for (int32_t r = 0; r < a.h; ++r) {
        uint8_t* p = out.data + size_t{out.stride} * (a.y0 + r) + 3 * size_t(a.x0);
        for (int32_t x = 0; x < a.w; ++x, p += 3) {
            CorrectPixel(p, static_cast<int32_t>(corrections[x]), colour);
        }
    }
}

}  // namespace

void BandingGreyH(ProcEngine& e) {
    BandingRows(e, false);
}
void BandingGreyV(ProcEngine& e) {
    BandingColumns(e, false);
}
void BandingColourH(ProcEngine& e) {
    BandingRows(e, true);
}
void BandingColourV(ProcEngine& e) {
    BandingColumns(e, true);
}

}  // namespace kelpa::scalar
