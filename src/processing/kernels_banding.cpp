// Vector forms of the banding sums and corrections (chain_kernels.h).
#include <algorithm>

#include "processing/chain_kernels.h"
#include "processing/chain_kernels_detail.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "processing/kernels_banding.cpp"
#include "hwy/cache_control.h"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace kelpa {
namespace HWY_NAMESPACE {

// ---- Plain forms (row tails and the single-lane target) ----------------------------------------

inline uint8_t ClampByte(int32_t v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// The clipped value of a pixel after the row correction.
inline uint32_t CorrectedValue(const PixelView& view, const uint8_t* p, int32_t rowCorr,
                               uint32_t clip) {
    uint32_t v;
    if (view.colour) {
        v = ClampByte(p[0] - rowCorr) + ClampByte(p[1] - rowCorr) + ClampByte(p[2] - rowCorr);
    } else {
        v = ClampByte(p[0] - rowCorr);
    }
    return clip == 0 ? v : std::min(v, clip);
}

inline void CorrectPixel(const CorrectionJob& job, const uint8_t* p, uint8_t* out, int32_t rowCorr,
                         int32_t columnCorr) {
    if (job.source.colour) {
        for (int c = 0; c < 3; ++c) out[c] = ClampByte(ClampByte(p[c] - rowCorr) - columnCorr);
    } else {
        const uint8_t v = ClampByte(ClampByte(p[0] - rowCorr) - columnCorr);
        out[0] = v;
        out[1] = v;
        out[2] = v;
    }
}

uint32_t ViewClip(const PixelView& view, int32_t clip) {
    return static_cast<uint32_t>(view.colour ? 3 * clip : clip);
}

#if HWY_TARGET == HWY_SCALAR

void RowSumsImpl(const PixelView& view, const Rect& rect, int32_t clip, uint32_t* sums) {
    const uint32_t limit = ViewClip(view, clip);
    for (int32_t r = 0; r < rect.h; ++r) {
        const uint8_t* p = view.At(rect.x0, rect.y0 + r);
        uint32_t s = 0;
        for (int32_t x = 0; x < rect.w; ++x, p += view.bytesPerPixel) {
            s += CorrectedValue(view, p, 0, limit);
        }
        sums[r] = s;
    }
}

void ColumnSumsImpl(const PixelView& view, const Rect& rect, int32_t clip,
                    const int16_t* rowCorrection, uint32_t* sums) {
    const uint32_t limit = ViewClip(view, clip);
    std::fill(sums, sums + rect.w, 0u);
    for (int32_t r = 0; r < rect.h; ++r) {
        const int32_t d = rowCorrection ? rowCorrection[r] : 0;
        const uint8_t* p = view.At(rect.x0, rect.y0 + r);
        for (int32_t x = 0; x < rect.w; ++x, p += view.bytesPerPixel) {
            sums[x] += CorrectedValue(view, p, d, limit);
        }
    }
}

void CorrectImpl(const CorrectionJob& job) {
    const Rect& rect = job.rect;
    for (int32_t r = 0; r < rect.h; ++r) {
        const int32_t d = job.rowCorrection ? job.rowCorrection[r] : 0;
        if (job.skipZeroRows && d == 0 && !job.columnCorrection) continue;
        const uint8_t* p = job.source.At(rect.x0, rect.y0 + r);
        uint8_t* out = job.out + size_t{job.outStride} * (rect.y0 + r) + 3 * size_t(rect.x0);
        for (int32_t x = 0; x < rect.w; ++x, p += job.source.bytesPerPixel, out += 3) {
            CorrectPixel(job, p, out, d, job.columnCorrection ? job.columnCorrection[x] : 0);
        }
    }
}

#else

namespace hn = hwy::HWY_NAMESPACE;

using D8 = hn::ScalableTag<uint8_t>;
using D16 = hn::Repartition<uint16_t, D8>;
using DI16 = hn::Repartition<int16_t, D8>;
using D32 = hn::Repartition<uint32_t, D8>;
using D64 = hn::Repartition<uint64_t, D8>;
using DH8 = hn::Half<D8>;
using DH16 = hn::Half<D16>;
using V8 = hn::Vec<D8>;
using V16 = hn::Vec<D16>;
using VI16 = hn::Vec<DI16>;
using V32 = hn::Vec<D32>;
using V64 = hn::Vec<D64>;

// p - d clamped to 0 ... 255 for every byte, |d| <= 255.
HWY_INLINE V8 CorrectBytes(V8 v, int32_t d) {
    const D8 d8;
    if (d >= 0) return hn::SaturatedSub(v, hn::Set(d8, static_cast<uint8_t>(std::min(d, 255))));
    return hn::SaturatedAdd(v, hn::Set(d8, static_cast<uint8_t>(std::min(-d, 255))));
}

// The corrected (and, for colour, summed) values of n pixels as two 16-bit halves in order.
HWY_INLINE void CorrectedValues(const PixelView& view, const uint8_t* p, int32_t rowCorr, V16& lo,
                                V16& hi) {
    const D8 d8;
    const D16 d16;
    const DH8 dh;
    V8 b;
    V8 g;
    V8 r;
    if (view.bytesPerPixel == 1) {
        b = hn::LoadU(d8, p);
    } else {
        hn::LoadInterleaved3(d8, p, b, g, r);
    }
    b = CorrectBytes(b, rowCorr);
    lo = hn::PromoteTo(d16, hn::LowerHalf(dh, b));
    hi = hn::PromoteTo(d16, hn::UpperHalf(dh, b));
    if (view.colour) {
        g = CorrectBytes(g, rowCorr);
        r = CorrectBytes(r, rowCorr);
        lo = hn::Add(lo, hn::Add(hn::PromoteTo(d16, hn::LowerHalf(dh, g)),
                                 hn::PromoteTo(d16, hn::LowerHalf(dh, r))));
        hi = hn::Add(hi, hn::Add(hn::PromoteTo(d16, hn::UpperHalf(dh, g)),
                                 hn::PromoteTo(d16, hn::UpperHalf(dh, r))));
    }
}

HWY_INLINE V16 Clip(V16 v, uint32_t limit) {
    return limit == 0 ? v : hn::Min(v, hn::Set(D16(), static_cast<uint16_t>(limit)));
}

// Grey plane: the bytes, cut at the clip, summed eight at a time.
void PlaneRowSums(const PixelView& view, const Rect& rect, int32_t clip, uint32_t* sums) {
    const D8 d8;
    const D64 d64;
    const int32_t n = static_cast<int32_t>(hn::Lanes(d8));
    const V8 limit = hn::Set(d8, static_cast<uint8_t>(clip == 0 ? 255 : std::min(clip, 255)));
    for (int32_t r = 0; r < rect.h; ++r) {
        const uint8_t* p = view.At(rect.x0, rect.y0 + r);
        V64 acc = hn::Zero(d64);
        int32_t x = 0;
        for (; x + n <= rect.w; x += n)
            acc = hn::Add(acc, hn::SumsOf8(hn::Min(hn::LoadU(d8, p + x), limit)));
        uint64_t total = hn::GetLane(hn::SumOfLanes(d64, acc));
        for (; x < rect.w; ++x)
            total += CorrectedValue(view, p + x, 0, static_cast<uint32_t>(clip));
        sums[r] = static_cast<uint32_t>(total);
    }
}

void RowSumsImpl(const PixelView& view, const Rect& rect, int32_t clip, uint32_t* sums) {
    if (view.bytesPerPixel == 1 && !view.colour) {
        PlaneRowSums(view, rect, clip, sums);
        return;
    }
    const D32 d32;
    const DH16 dh;
    const int32_t n = static_cast<int32_t>(hn::Lanes(D8()));
    const uint32_t limit = ViewClip(view, clip);
    for (int32_t r = 0; r < rect.h; ++r) {
        const uint8_t* p = view.At(rect.x0, rect.y0 + r);
        V32 acc = hn::Zero(d32);
        int32_t x = 0;
        for (; x + n <= rect.w; x += n, p += size_t(n) * view.bytesPerPixel) {
            V16 lo, hi;
            CorrectedValues(view, p, 0, lo, hi);
            const V16 s = hn::Add(Clip(lo, limit), Clip(hi, limit));  // at most 1530
            acc = hn::Add(acc, hn::Add(hn::PromoteTo(d32, hn::LowerHalf(dh, s)),
                                       hn::PromoteTo(d32, hn::UpperHalf(dh, s))));
        }
        uint32_t total = hn::GetLane(hn::SumOfLanes(d32, acc));
        for (; x < rect.w; ++x, p += view.bytesPerPixel) total += CorrectedValue(view, p, 0, limit);
        sums[r] = total;
    }
}

// Grey plane: strips of two vectors of columns walk down all rows, their sums in 16-bit lanes
// (at most 255 a row) folded into the 32-bit sums every 257 rows.
void PlaneColumnSums(const PixelView& view, const Rect& rect, int32_t clip,
                     const int16_t* rowCorrection, uint32_t* sums) {
    const D8 d8;
    const D16 d16;
    const D32 d32;
    const DH8 dh8;
    const DH16 dh16;
    const int32_t n = static_cast<int32_t>(hn::Lanes(d8));
    const size_t n32 = hn::Lanes(d32);
    constexpr int32_t kRowsPerFold = 257;
    const V8 limit = hn::Set(d8, static_cast<uint8_t>(clip == 0 ? 255 : std::min(clip, 255)));
    std::fill(sums, sums + rect.w, 0u);
    auto fold = [&](V16 v, uint32_t* s) {
        hn::StoreU(hn::Add(hn::LoadU(d32, s), hn::PromoteTo(d32, hn::LowerHalf(dh16, v))), d32, s);
        hn::StoreU(hn::Add(hn::LoadU(d32, s + n32), hn::PromoteTo(d32, hn::UpperHalf(dh16, v))),
                   d32, s + n32);
    };
    int32_t x = 0;
    for (; x + 2 * n <= rect.w; x += 2 * n) {
        for (int32_t r0 = 0; r0 < rect.h; r0 += kRowsPerFold) {
            V16 a0 = hn::Zero(d16);
            V16 a1 = hn::Zero(d16);
            V16 a2 = hn::Zero(d16);
            V16 a3 = hn::Zero(d16);
            const int32_t r1 = std::min(rect.h, r0 + kRowsPerFold);
            for (int32_t r = r0; r < r1; ++r) {
                const uint8_t* p = view.At(rect.x0 + x, rect.y0 + r);
                const int32_t d = rowCorrection ? rowCorrection[r] : 0;
                const V8 u = hn::Min(CorrectBytes(hn::LoadU(d8, p), d), limit);
                const V8 v = hn::Min(CorrectBytes(hn::LoadU(d8, p + n), d), limit);
                a0 = hn::Add(a0, hn::PromoteTo(d16, hn::LowerHalf(dh8, u)));
                a1 = hn::Add(a1, hn::PromoteTo(d16, hn::UpperHalf(dh8, u)));
                a2 = hn::Add(a2, hn::PromoteTo(d16, hn::LowerHalf(dh8, v)));
                a3 = hn::Add(a3, hn::PromoteTo(d16, hn::UpperHalf(dh8, v)));
            }
            fold(a0, sums + x);
            fold(a1, sums + x + n / 2);
            fold(a2, sums + x + n);
            fold(a3, sums + x + n + n / 2);
        }
    }
    for (int32_t r = 0; r < rect.h && x < rect.w; ++r) {
        const int32_t d = rowCorrection ? rowCorrection[r] : 0;
        const uint8_t* p = view.At(rect.x0, rect.y0 + r);
        for (int32_t c = x; c < rect.w; ++c) {
            sums[c] += CorrectedValue(view, p + c, d, static_cast<uint32_t>(clip));
        }
    }
}

void ColumnSumsImpl(const PixelView& view, const Rect& rect, int32_t clip,
                    const int16_t* rowCorrection, uint32_t* sums) {
    if (view.bytesPerPixel == 1 && !view.colour) {
        PlaneColumnSums(view, rect, clip, rowCorrection, sums);
        return;
    }
    const D32 d32;
    const DH16 dh;
    const int32_t n = static_cast<int32_t>(hn::Lanes(D8()));
    const size_t n32 = hn::Lanes(d32);
    const uint32_t limit = ViewClip(view, clip);
    std::fill(sums, sums + rect.w, 0u);
    for (int32_t r = 0; r < rect.h; ++r) {
        const int32_t d = rowCorrection ? rowCorrection[r] : 0;
        const uint8_t* p = view.At(rect.x0, rect.y0 + r);
        int32_t x = 0;
        for (; x + n <= rect.w; x += n, p += size_t(n) * view.bytesPerPixel) {
            V16 lo, hi;
            CorrectedValues(view, p, d, lo, hi);
            lo = Clip(lo, limit);
            hi = Clip(hi, limit);
            uint32_t* s = sums + x;
            hn::StoreU(hn::Add(hn::LoadU(d32, s), hn::PromoteTo(d32, hn::LowerHalf(dh, lo))), d32,
                       s);
            hn::StoreU(hn::Add(hn::LoadU(d32, s + n32), hn::PromoteTo(d32, hn::UpperHalf(dh, lo))),
                       d32, s + n32);
            hn::StoreU(
                hn::Add(hn::LoadU(d32, s + 2 * n32), hn::PromoteTo(d32, hn::LowerHalf(dh, hi))),
                d32, s + 2 * n32);
            hn::StoreU(
                hn::Add(hn::LoadU(d32, s + 3 * n32), hn::PromoteTo(d32, hn::UpperHalf(dh, hi))),
                d32, s + 3 * n32);
        }
        for (; x < rect.w; ++x, p += view.bytesPerPixel) {
            sums[x] += CorrectedValue(view, p, d, limit);
        }
    }
}

// clamp(v - columnCorrection) for n bytes whose corrections are n consecutive int16.
HWY_INLINE V8 CorrectColumns(V8 v, const int16_t* corr) {
    const D8 d8;
    const DI16 di;
    const DH8 dh;
    const size_t n16 = hn::Lanes(di);
    const VI16 zero = hn::Zero(di);
    const VI16 top = hn::Set(di, 255);
    const VI16 lo = hn::BitCast(di, hn::PromoteTo(D16(), hn::LowerHalf(dh, v)));
    const VI16 hi = hn::BitCast(di, hn::PromoteTo(D16(), hn::UpperHalf(dh, v)));
    const VI16 cl = hn::Min(hn::Max(hn::Sub(lo, hn::LoadU(di, corr)), zero), top);
    const VI16 ch = hn::Min(hn::Max(hn::Sub(hi, hn::LoadU(di, corr + n16)), zero), top);
    return hn::Combine(d8, hn::DemoteTo(dh, ch), hn::DemoteTo(dh, cl));
}

// Three copies of each byte of v, in order, as three vectors (the grey plane into the picture).
// On 128-bit and 256-bit vectors three in-block shuffles do it: each block of output takes its
// bytes from one block of the input (on 256 bits: the low block twice, v itself, the high block
// twice). Other widths go through the general interleave.
HWY_INLINE void TripleBytes(V8 v, V8& out0, V8& out1, V8& out2, uint8_t* scratch) {
    const D8 d8;
#if HWY_TARGET == HWY_AVX2
    // The pixel of each output byte, relative to the block it is taken from.
    alignas(32) static constexpr uint8_t kFirst[32] = {0, 0, 0, 1, 1, 1, 2, 2, 2,  3, 3,
                                                       3, 4, 4, 4, 5, 5, 5, 6, 6,  6, 7,
                                                       7, 7, 8, 8, 8, 9, 9, 9, 10, 10};
    alignas(32) static constexpr uint8_t kSecond[32] = {10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14,
                                                        14, 14, 15, 15, 15, 0,  0,  0,  1,  1,  1,
                                                        2,  2,  2,  3,  3,  3,  4,  4,  4,  5};
    alignas(32) static constexpr uint8_t kThird[32] = {5,  5,  6,  6,  6,  7,  7,  7,  8,  8,  8,
                                                       9,  9,  9,  10, 10, 10, 11, 11, 11, 12, 12,
                                                       12, 13, 13, 13, 14, 14, 14, 15, 15, 15};
    (void)scratch;
    out0 = hn::TableLookupBytes(hn::ConcatLowerLower(d8, v, v), hn::Load(d8, kFirst));
    out1 = hn::TableLookupBytes(v, hn::Load(d8, kSecond));
    out2 = hn::TableLookupBytes(hn::ConcatUpperUpper(d8, v, v), hn::Load(d8, kThird));
#elif HWY_TARGET == HWY_SSE4 || HWY_TARGET == HWY_SSSE3
    alignas(16) static constexpr uint8_t kFirst[16] = {0, 0, 0, 1, 1, 1, 2, 2,
                                                       2, 3, 3, 3, 4, 4, 4, 5};
    alignas(16) static constexpr uint8_t kSecond[16] = {5, 5, 6, 6, 6, 7, 7,  7,
                                                        8, 8, 8, 9, 9, 9, 10, 10};
    alignas(16) static constexpr uint8_t kThird[16] = {10, 11, 11, 11, 12, 12, 12, 13,
                                                       13, 13, 14, 14, 14, 15, 15, 15};
    (void)scratch;
    out0 = hn::TableLookupBytes(v, hn::Load(d8, kFirst));
    out1 = hn::TableLookupBytes(v, hn::Load(d8, kSecond));
    out2 = hn::TableLookupBytes(v, hn::Load(d8, kThird));
#else
    const size_t n = hn::Lanes(d8);
    hn::StoreInterleaved3(v, v, v, d8, scratch);
    out0 = hn::Load(d8, scratch);
    out1 = hn::Load(d8, scratch + n);
    out2 = hn::Load(d8, scratch + 2 * n);
#endif
}

// The grey plane into the picture, three copies of each corrected byte. The picture is not
// read again by this frame, so whole aligned vectors bypass the cache. The column corrections
// become two byte arrays (one of each pair is 0), taken off a vector of pixels with two
// saturating byte operations.
void FlushPlane(const CorrectionJob& job) {
    const D8 d8;
    const int32_t n = static_cast<int32_t>(hn::Lanes(d8));
    constexpr int32_t kColumns = 2048;
    const Rect& rect = job.rect;
    const PixelView& src = job.source;
    HWY_ALIGN uint8_t triple[3 * HWY_MAX_BYTES];
    HWY_ALIGN uint8_t columnSub[kColumns];
    HWY_ALIGN uint8_t columnAdd[kColumns];
    size_t inverse3 = 1;
    while (3 * inverse3 % size_t(n) != 1) ++inverse3;
    for (int32_t c0 = 0; c0 < rect.w; c0 += kColumns) {
        const int32_t columns = std::min(kColumns, rect.w - c0);
        const int16_t* corr = job.columnCorrection ? job.columnCorrection + c0 : nullptr;
        for (int32_t c = 0; c < columns && corr; ++c) {
            columnSub[c] = static_cast<uint8_t>(std::clamp<int32_t>(corr[c], 0, 255));
            columnAdd[c] = static_cast<uint8_t>(std::clamp<int32_t>(-corr[c], 0, 255));
        }
        for (int32_t r = 0; r < rect.h; ++r) {
            const int32_t d = job.rowCorrection ? job.rowCorrection[r] : 0;
            const uint8_t* p = src.At(rect.x0 + c0, rect.y0 + r);
            uint8_t* out =
                job.out + size_t{job.outStride} * (rect.y0 + r) + 3 * size_t(rect.x0 + c0);
            // Pixels up to the first one whose three bytes start on a vector boundary: 3k is
            // -address modulo the vector size, a power of two in which 3 has an inverse.
            const size_t misalign = reinterpret_cast<uintptr_t>(out) % size_t(n);
            const size_t head = (size_t(n) - misalign) % size_t(n) * inverse3 % size_t(n);
            int32_t x = std::min(columns, static_cast<int32_t>(head));
            for (int32_t c = 0; c < x; ++c) {
                CorrectPixel(job, p + c, out + 3 * c, d, corr ? corr[c] : 0);
            }
            for (; x + n <= columns; x += n) {
                V8 b = CorrectBytes(hn::LoadU(d8, p + x), d);
                if (corr) {
                    b = hn::SaturatedAdd(hn::SaturatedSub(b, hn::LoadU(d8, columnSub + x)),
                                         hn::LoadU(d8, columnAdd + x));
                }
                V8 o0, o1, o2;
                TripleBytes(b, o0, o1, o2, triple);
                uint8_t* dst = out + 3 * size_t(x);
                hn::Stream(o0, d8, dst);
                hn::Stream(o1, d8, dst + n);
                hn::Stream(o2, d8, dst + 2 * n);
            }
            for (; x < columns; ++x) {
                CorrectPixel(job, p + x, out + 3 * x, d, corr ? corr[x] : 0);
            }
        }
    }
    hwy::FlushStream();
}

void CorrectImpl(const CorrectionJob& job) {
    if (job.source.bytesPerPixel == 1 && !job.source.colour && !job.skipZeroRows) {
        FlushPlane(job);
        return;
    }
    const D8 d8;
    const int32_t n = static_cast<int32_t>(hn::Lanes(d8));
    const Rect& rect = job.rect;
    const PixelView& src = job.source;
    for (int32_t r = 0; r < rect.h; ++r) {
        const int32_t d = job.rowCorrection ? job.rowCorrection[r] : 0;
        if (job.skipZeroRows && d == 0 && !job.columnCorrection) continue;
        const uint8_t* p = src.At(rect.x0, rect.y0 + r);
        uint8_t* out = job.out + size_t{job.outStride} * (rect.y0 + r) + 3 * size_t(rect.x0);
        int32_t x = 0;
        for (; x + n <= rect.w; x += n, p += size_t(n) * src.bytesPerPixel, out += 3 * size_t(n)) {
            V8 b;
            V8 g;
            V8 rr;
            if (src.bytesPerPixel == 1) {
                b = hn::LoadU(d8, p);
            } else {
                hn::LoadInterleaved3(d8, p, b, g, rr);
            }
            b = CorrectBytes(b, d);
            if (job.columnCorrection) b = CorrectColumns(b, job.columnCorrection + x);
            if (src.colour) {
                g = CorrectBytes(g, d);
                rr = CorrectBytes(rr, d);
                if (job.columnCorrection) {
                    g = CorrectColumns(g, job.columnCorrection + x);
                    rr = CorrectColumns(rr, job.columnCorrection + x);
                }
                hn::StoreInterleaved3(b, g, rr, d8, out);
            } else {
                hn::StoreInterleaved3(b, b, b, d8, out);
            }
        }
        for (; x < rect.w; ++x, p += src.bytesPerPixel, out += 3) {
            CorrectPixel(job, p, out, d, job.columnCorrection ? job.columnCorrection[x] : 0);
        }
    }
}

#endif  // HWY_TARGET == HWY_SCALAR

}  // namespace HWY_NAMESPACE
}  // namespace kelpa
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelpa {

HWY_EXPORT(RowSumsImpl);
HWY_EXPORT(ColumnSumsImpl);
HWY_EXPORT(CorrectImpl);

void ClippedRowSums(const PixelView& view, const Rect& rect, int32_t clip, uint32_t* sums) {
    if (rect.w > 0 && rect.h > 0) HWY_DYNAMIC_DISPATCH(RowSumsImpl)(view, rect, clip, sums);
}

void ClippedColumnSums(const PixelView& view, const Rect& rect, int32_t clip,
                       const int16_t* rowCorrection, uint32_t* sums) {
    if (rect.w > 0 && rect.h > 0) {
        HWY_DYNAMIC_DISPATCH(ColumnSumsImpl)(view, rect, clip, rowCorrection, sums);
    }
}

void ApplyCorrections(const CorrectionJob& job) {
    if (job.rect.w > 0 && job.rect.h > 0) HWY_DYNAMIC_DISPATCH(CorrectImpl)(job);
}

}  // namespace kelpa
#endif
