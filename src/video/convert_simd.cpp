// The fast converters of the frame path: 4:2:2 packed, 4:2:0 planar and 32-bit RGB into the
// 24-bit blue-green-red picture, written once with portable SIMD and compiled for every
// instruction set the build supports; the best one for the running processor is chosen at the
// first call. Results equal the scalar references (convert_reference.cpp) bit for bit. On x86
// processors with AVX2 or AVX-512 (the targets HWY_AVX2, HWY_AVX3, HWY_AVX3_DL) the 4:2:2 and
// 32-bit RGB converters and the planar stores come from convert_*_x86-inl.h instead.
//
// Both YUV families end in the same shape: each colour value is a 16.16 fixed-point number
// X = gain * Y + (chroma terms) + constant, computed exactly in a 32-bit lane, and the colour
// is the upper 16 bits of X clamped to 0 ... 255. A 32-bit lane holds the pixel pair j (even
// pixel in the low word, odd in the high one), so the even and odd results of all pairs come
// out in two vectors whose upper words interleave into pixel order with one blend. Gains above
// 16 bits are split as 65536 + f: the 65536 part comes from the lane's own bits (the lane is
// Y_even + 65536 * Y_odd), f from a 16-bit pairwise multiply-add.
#include <cstring>

#include "video/convert.h"
#include "video/convert_layout.h"
#include "video/convert_reference.h"
#include "video/convert_targets.h"

// AVX-512 with VBMI and VNNI (Ice Lake and later, Zen 4 and later) is worth a target of its
// own: byte permutations across the whole vector and fused multiply-adds make the 4:2:2 and
// planar converters markedly faster there. Only with GCC: Highway's AVX3_DL target also
// switches on AVX-VNNI, which Zen 4 lacks, and clang then turns multiply-add pairs into its
// VEX-encoded instruction (an illegal instruction there); GCC keeps the EVEX forms, as the
// converter tests on every instruction set confirm.
#if defined(__GNUC__) && !defined(__clang__) && !defined(HWY_WANT_AVX3_DL)
#define HWY_WANT_AVX3_DL
#endif

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "video/convert_simd.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace kelpa {
namespace HWY_NAMESPACE {

#if HWY_TARGET == HWY_SCALAR

// Single-lane vectors cannot hold a pixel pair: processors without any supported vector
// extension use the scalar converters.
void Yuy2Impl(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    reference::Yuy2ToRgb24(dst, src, g);
}
void UyvyImpl(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    reference::UyvyToRgb24(dst, src, g);
}
// The planar formula with plain clamping: the clamping table may not exist here.
void PlanarImpl(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    const auto clamp = [](int32_t v) {
        return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    };
    for (int32_t r = 0; r < g.height; ++r) {
        const uint8_t* y = PlaneRow(src, g, 0, r);
        const uint8_t* u = PlaneRow(src, g, 1, r / 2);
        const uint8_t* v = PlaneRow(src, g, 2, r / 2);
        uint8_t* out = DstRow(dst, g, r);
        for (int32_t x = 0; x < g.width; ++x, out += 3) {
            const int32_t k = (y[x] - 16) * 76309 + 32768;
            const int32_t cu = u[x / 2] - 128;
            const int32_t cv = v[x / 2] - 128;
            out[0] = clamp((k + 132201 * cu) >> 16);
            out[1] = clamp((k - 53279 * cv - 25675 * cu) >> 16);
            out[2] = clamp((k + 104597 * cv) >> 16);
        }
    }
}
void Rgb32Impl(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    reference::Rgb32ToRgb24(dst, src, g);
}
void CopyImpl(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    reference::CopyRgb24(dst, src, g);
}

#else

namespace hn = hwy::HWY_NAMESPACE;

// Vectors are capped at 256 bits on x86 and 128 bits elsewhere: the kernels rely on a half
// vector of bytes being one 128-bit block, where interleaving is in plain lane order.
#if HWY_ARCH_X86
constexpr size_t kVecBytes = 32;
#else
constexpr size_t kVecBytes = 16;
#endif

using D8 = hn::CappedTag<uint8_t, kVecBytes>;
using DU16 = hn::CappedTag<uint16_t, kVecBytes / 2>;
using DI16 = hn::CappedTag<int16_t, kVecBytes / 2>;
using DU32 = hn::CappedTag<uint32_t, kVecBytes / 4>;
using DI32 = hn::CappedTag<int32_t, kVecBytes / 4>;
using VU8 = hn::Vec<D8>;
using VU16 = hn::Vec<DU16>;
using VI16 = hn::Vec<DI16>;
using VI32 = hn::Vec<DI32>;

// Planar: colour = (76309 (Y - 16) + c_u (U - 128) + c_v (V - 128) + 32768) >> 16.
constexpr int kPlanarLumaFrac = 76309 - 65536;
constexpr int32_t kPlanarBase = -76309 * 16 + 32768;
constexpr int32_t kPlanarRedBase = kPlanarBase - 128 * 104597;
constexpr int32_t kPlanarGreenBase = kPlanarBase + 128 * (53279 + 25675);
constexpr int32_t kPlanarBlueBase = kPlanarBase - 128 * 132201;
static_assert(2 * 65536 - 26475 == 104597 && -65536 + 12257 == -53279 && 131072 + 1129 == 132201);

// 4:2:2: colour = (19077 (Y - 16) + 8192 + c_u U2 + c_v V2) >> 14 with U2 = Us - 256 and
// V2 = Vs - 256, where Us, Vs are two chroma bytes added (the pixel's pair twice, or its pair
// and the next). Scaled by 4 it takes the planar shape: the upper 16 bits of a 32-bit value.
constexpr int kPackedLumaFrac = 4 * 19077 - 65536;
constexpr int32_t kPackedBase = -4 * 19077 * 16 + 4 * 8192;
constexpr int32_t kPackedRedBase = kPackedBase - 256 * (4 * 13075);
constexpr int32_t kPackedGreenBase = kPackedBase + 256 * (4 * 3209 + 4 * 6660);
constexpr int32_t kPackedBlueBase = kPackedBase - 256 * (4 * 16525);
static_assert(65536 - 13236 == 4 * 13075 && 65536 + 564 == 4 * 16525);

// a[2j] * b[2j] + a[2j + 1] * b[2j + 1] in 32-bit lane j, exactly.
HWY_INLINE VI32 MulPairs(VI16 a, VI16 b) {
    const DI32 di32;
    VI32 odd = hn::Zero(di32);
    const VI32 even = hn::ReorderWidenMulAccumulate(di32, a, b, hn::Zero(di32), odd);
    return hn::RearrangeToOddPlusEven(even, odd);
}

// The word pair (low, high) in every 32-bit lane.
HWY_INLINE VI16 WordPair(int low, int high) {
    const DU32 du32;
    const uint32_t bits =
        uint32_t{static_cast<uint16_t>(low)} | uint32_t{static_cast<uint16_t>(high)} << 16;
    return hn::BitCast(DI16(), hn::Set(du32, bits));
}

// The upper words of even (pixel 2j) and odd (pixel 2j + 1) results, in pixel order.
HWY_INLINE VI16 HighWords(VI32 even, VI32 odd) {
    const DI16 di16;
    const VI16 evenHigh = hn::BitCast(di16, hn::ShiftRight<16>(hn::BitCast(DU32(), even)));
    return hn::OddEven(hn::BitCast(di16, odd), evenHigh);
}

struct LumaTerms {
    VI32 even;  // (65536 + frac) * Y of pixel 2j
    VI32 odd;   // (65536 + frac) * Y of pixel 2j + 1
};

// luma: one luma byte per word, the pixels of pair j in lane j.
HWY_INLINE LumaTerms MakeLumaTerms(VU16 luma, int frac) {
    const VI16 y16 = hn::BitCast(DI16(), luma);
    const VI32 lanes = hn::BitCast(DI32(), luma);  // Y_even + 65536 * Y_odd
    return {hn::Add(hn::ShiftLeft<16>(lanes), MulPairs(y16, WordPair(frac, 0))),
            hn::Add(lanes, MulPairs(y16, WordPair(-1, frac)))};
}

struct ChromaTerms {
    VI32 blue;
    VI32 green;
    VI32 red;
};

// uv: U in the low word and V in the high word of each lane, both 0 ... 255.
HWY_INLINE ChromaTerms PlanarChroma(VU16 uv) {
    const DI32 di32;
    const VI16 c16 = hn::BitCast(DI16(), uv);
    const VI32 c32 = hn::BitCast(di32, uv);  // U + 65536 V
    ChromaTerms t;
    // 132201 U = (U << 17) + 1129 U; the shift pushes V out of the lane.
    t.blue = hn::Add(hn::Add(hn::ShiftLeft<17>(c32), MulPairs(c16, WordPair(1129, 0))),
                     hn::Set(di32, kPlanarBlueBase));
    // -25675 U - 53279 V = -(U + 65536 V) - 25674 U + 12257 V
    t.green = hn::Add(hn::Sub(MulPairs(c16, WordPair(-25674, 12257)), c32),
                      hn::Set(di32, kPlanarGreenBase));
    // 104597 V = 2 (U + 65536 V) - 2 U - 26475 V
    t.red = hn::Add(hn::Add(hn::Add(c32, c32), MulPairs(c16, WordPair(-2, -26475))),
                    hn::Set(di32, kPlanarRedBase));
    return t;
}

// sums: Us in the low word and Vs in the high word of each lane, both 0 ... 510.
HWY_INLINE ChromaTerms PackedChroma(VU16 sums) {
    const DI32 di32;
    const VI16 c16 = hn::BitCast(DI16(), sums);
    const VI32 c32 = hn::BitCast(di32, sums);  // Us + 65536 Vs
    ChromaTerms t;
    // 66100 Us = (Us << 16) + 564 Us
    t.blue = hn::Add(hn::Add(hn::ShiftLeft<16>(c32), MulPairs(c16, WordPair(564, 0))),
                     hn::Set(di32, kPackedBlueBase));
    t.green =
        hn::Add(MulPairs(c16, WordPair(-4 * 3209, -4 * 6660)), hn::Set(di32, kPackedGreenBase));
    // 52300 Vs = (Us + 65536 Vs) - Us - 13236 Vs
    t.red =
        hn::Add(hn::Add(c32, MulPairs(c16, WordPair(-1, -13236))), hn::Set(di32, kPackedRedBase));
    return t;
}

// Clamps two vectors of colour words to 0 ... 255 into one vector of bytes, in lane order.
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_SSSE3
HWY_INLINE hn::Vec128<uint8_t> PackU8(hn::Vec128<int16_t> lo, hn::Vec128<int16_t> hi) {
    return hn::Vec128<uint8_t>{_mm_packus_epi16(lo.raw, hi.raw)};
}
#if HWY_TARGET <= HWY_AVX2
HWY_INLINE hn::Vec256<uint8_t> PackU8(hn::Vec256<int16_t> lo, hn::Vec256<int16_t> hi) {
    // The pack works per 128-bit half; the permute puts the four quarters back in order.
    return hn::Vec256<uint8_t>{_mm256_permute4x64_epi64(_mm256_packus_epi16(lo.raw, hi.raw), 0xD8)};
}
#endif
#else
HWY_INLINE VU8 PackU8(VI16 lo, VI16 hi) {
    const hn::Rebind<uint8_t, DI16> dHalf;
    return hn::Combine(D8(), hn::DemoteTo(dHalf, hi), hn::DemoteTo(dHalf, lo));
}
#endif

// Stores Lanes(D8) pixels given as colour words, the first and second half of each colour
// apart (lo, hi), as blue-green-red bytes clamped to 0 ... 255.
#if HWY_TARGET == HWY_AVX2 || HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
#include "video/convert_planar_x86-inl.h"
#else
HWY_INLINE void StoreColours(VI16 blueLo, VI16 blueHi, VI16 greenLo, VI16 greenHi, VI16 redLo,
                             VI16 redHi, uint8_t* HWY_RESTRICT out) {
    hn::StoreInterleaved3(PackU8(blueLo, blueHi), PackU8(greenLo, greenHi), PackU8(redLo, redHi),
                          D8(), out);
}
#endif

// ---------------------------------------------------------------------------- 4:2:2

#include "video/convert_packed_x86-inl.h"

// Half a block: Lanes(D8) source bytes, that is Lanes(D8) / 4 pairs, with the pair after them
// readable (its chroma is the right neighbour of the last pair).
template <bool kLumaHigh>
HWY_INLINE void Packed422Half(const uint8_t* HWY_RESTRICT p, VI16& blue, VI16& green, VI16& red) {
    const D8 d8;
    const DU16 du16;
    const VU16 words = hn::BitCast(du16, hn::LoadU(d8, p));
    const VU16 nextWords = hn::BitCast(du16, hn::LoadU(d8, p + 4));
    const VU16 lowByte = hn::Set(du16, 0x00FF);
    VU16 luma, chroma, nextChroma;
    if constexpr (kLumaHigh) {
        luma = hn::ShiftRight<8>(words);
        chroma = hn::And(words, lowByte);
        nextChroma = hn::And(nextWords, lowByte);
    } else {
        luma = hn::And(words, lowByte);
        chroma = hn::ShiftRight<8>(words);
        nextChroma = hn::ShiftRight<8>(nextWords);
    }
    const LumaTerms l = MakeLumaTerms(luma, kPackedLumaFrac);
    const ChromaTerms even = PackedChroma(hn::Add(chroma, chroma));
    const ChromaTerms odd = PackedChroma(hn::Add(chroma, nextChroma));
    blue = HighWords(hn::Add(l.even, even.blue), hn::Add(l.odd, odd.blue));
    green = HighWords(hn::Add(l.even, even.green), hn::Add(l.odd, odd.green));
    red = HighWords(hn::Add(l.even, even.red), hn::Add(l.odd, odd.red));
}

// Lanes(D8) pixels from 2 * Lanes(D8) + 4 source bytes into 3 * Lanes(D8) output bytes.
template <bool kLumaHigh>
HWY_INLINE void Packed422Block(const uint8_t* HWY_RESTRICT p, uint8_t* HWY_RESTRICT out) {
    const D8 d8;
    VI16 b0, g0, r0, b1, g1, r1;
    Packed422Half<kLumaHigh>(p, b0, g0, r0);
    Packed422Half<kLumaHigh>(p + hn::Lanes(d8), b1, g1, r1);
    hn::StoreInterleaved3(PackU8(b0, b1), PackU8(g0, g1), PackU8(r0, r1), d8, out);
}

// Rows turned over; pixel 2k uses pair k's chroma twice, pixel 2k + 1 pair k's and pair
// min(k + 1, n - 1)'s; an odd last pixel is pixel 2k of the last pair.
template <bool kLumaHigh>
void Packed422Impl(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    if (g.width < 1 || g.height < 1) return;
    const size_t width = static_cast<size_t>(g.width);
    const size_t pairs = (width + 1) / 2;
    const size_t blockPairs = hn::Lanes(D8()) / 2;
    for (int32_t i = 0; i < g.height; ++i) {
        const uint8_t* row = PlaneRow(src, g, 0, g.height - 1 - i);
        uint8_t* out = DstRow(dst, g, i);
        size_t k = 0;
        // Every block reads one pair beyond its own, so the last one of a row never runs here.
        for (; k + blockPairs < pairs; k += blockPairs) {
            Packed422Block<kLumaHigh>(row + 4 * k, out + 6 * k);
        }
        // The rest goes through a buffer in which the last pair repeats, so that it is its own
        // right neighbour.
        alignas(64) uint8_t in[2 * kVecBytes + 4];
        alignas(64) uint8_t rgb[3 * kVecBytes];
        const size_t rest = pairs - k;
        std::memcpy(in, row + 4 * k, 4 * rest);
        for (size_t j = rest; j <= blockPairs; ++j) {
            std::memcpy(in + 4 * j, row + 4 * (pairs - 1), 4);
        }
        Packed422Block<kLumaHigh>(in, rgb);
        std::memcpy(out + 6 * k, rgb, 3 * (width - 2 * k));
    }
}

#if HWY_TARGET == HWY_AVX2 || HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
void Yuy2Impl(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    packed422::Packed422X86<false>(dst, src, g);
}

void UyvyImpl(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    packed422::Packed422X86<true>(dst, src, g);
}
#else
void Yuy2Impl(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    Packed422Impl<false>(dst, src, g);
}

void UyvyImpl(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    Packed422Impl<true>(dst, src, g);
}
#endif

// ---------------------------------------------------------------------------- 4:2:0

// One row's Lanes(D8) pixels, given the chroma terms of their pairs (lo: the first half).
HWY_INLINE void PlanarRowBlock(const uint8_t* HWY_RESTRICT y, const ChromaTerms& lo,
                               const ChromaTerms& hi, uint8_t* HWY_RESTRICT out) {
    const hn::Half<D8> d8h;
    const DU16 du16;
    const LumaTerms a = MakeLumaTerms(hn::PromoteTo(du16, hn::LoadU(d8h, y)), kPlanarLumaFrac);
    const LumaTerms b =
        MakeLumaTerms(hn::PromoteTo(du16, hn::LoadU(d8h, y + hn::Lanes(d8h))), kPlanarLumaFrac);
    StoreColours(HighWords(hn::Add(a.even, lo.blue), hn::Add(a.odd, lo.blue)),
                 HighWords(hn::Add(b.even, hi.blue), hn::Add(b.odd, hi.blue)),
                 HighWords(hn::Add(a.even, lo.green), hn::Add(a.odd, lo.green)),
                 HighWords(hn::Add(b.even, hi.green), hn::Add(b.odd, hi.green)),
                 HighWords(hn::Add(a.even, lo.red), hn::Add(a.odd, lo.red)),
                 HighWords(hn::Add(b.even, hi.red), hn::Add(b.odd, hi.red)), out);
}

// Lanes(D8) pixels of two rows sharing Lanes(D8) / 2 chroma samples of each plane.
HWY_INLINE void PlanarBlock(const uint8_t* HWY_RESTRICT y0, const uint8_t* HWY_RESTRICT y1,
                            const uint8_t* HWY_RESTRICT u, const uint8_t* HWY_RESTRICT v,
                            uint8_t* out0, uint8_t* out1) {
    const hn::Half<D8> d8h;
    const DU16 du16;
    const auto uh = hn::LoadU(d8h, u);
    const auto vh = hn::LoadU(d8h, v);
    const ChromaTerms lo = PlanarChroma(hn::PromoteTo(du16, hn::InterleaveLower(d8h, uh, vh)));
    const ChromaTerms hi = PlanarChroma(hn::PromoteTo(du16, hn::InterleaveUpper(d8h, uh, vh)));
    PlanarRowBlock(y0, lo, hi, out0);
    PlanarRowBlock(y1, lo, hi, out1);
}

// Rows in order; pixel x of row y uses chroma (x / 2, y / 2). Rows are taken two at a time
// so that both share the chroma terms; an odd last row is converted as its own partner.
void PlanarImpl(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    if (g.width < 1 || g.height < 1) return;
    const size_t width = static_cast<size_t>(g.width);
    const size_t blockPixels = hn::Lanes(D8());
    for (int32_t r = 0; r < g.height; r += 2) {
        const bool twoRows = r + 1 < g.height;
        const uint8_t* y0 = PlaneRow(src, g, 0, r);
        const uint8_t* y1 = twoRows ? PlaneRow(src, g, 0, r + 1) : y0;
        const uint8_t* u = PlaneRow(src, g, 1, r / 2);
        const uint8_t* v = PlaneRow(src, g, 2, r / 2);
        uint8_t* out0 = DstRow(dst, g, r);
        uint8_t* out1 = twoRows ? DstRow(dst, g, r + 1) : out0;
        size_t x = 0;
        for (; x + blockPixels <= width; x += blockPixels) {
            PlanarBlock(y0 + x, y1 + x, u + x / 2, v + x / 2, out0 + 3 * x, out1 + 3 * x);
        }
        if (x == width) continue;
        // The rest of the row goes through zero-filled buffers.
        alignas(64) uint8_t yb0[kVecBytes] = {};
        alignas(64) uint8_t yb1[kVecBytes] = {};
        alignas(64) uint8_t ub[kVecBytes / 2] = {};
        alignas(64) uint8_t vb[kVecBytes / 2] = {};
        alignas(64) uint8_t rgb0[3 * kVecBytes];
        alignas(64) uint8_t rgb1[3 * kVecBytes];
        const size_t rest = width - x;
        std::memcpy(yb0, y0 + x, rest);
        std::memcpy(yb1, y1 + x, rest);
        std::memcpy(ub, u + x / 2, (rest + 1) / 2);
        std::memcpy(vb, v + x / 2, (rest + 1) / 2);
        PlanarBlock(yb0, yb1, ub, vb, rgb0, rgb1);
        std::memcpy(out0 + 3 * x, rgb0, 3 * rest);
        if (twoRows) std::memcpy(out1 + 3 * x, rgb1, 3 * rest);
    }
}

// ---------------------------------------------------------------------------- RGB32

#include "video/convert_rgb32_x86-inl.h"

#if HWY_TARGET == HWY_AVX2 || HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
void Rgb32Impl(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    rgb32::Rgb32X86(dst, src, g);
}
#else

void Rgb32Impl(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    if (g.width < 1 || g.height < 1) return;
    const D8 d8;
    const DU32 du32;
    const size_t vecBytes = hn::Lanes(d8);
    // Per 128-bit block: the first three bytes of each 4-byte pixel to the block's bottom.
    alignas(16) static constexpr uint8_t kCompact[16] = {0,  1,  2,  4,  5,    6,    8,    9,
                                                         10, 12, 13, 14, 0x80, 0x80, 0x80, 0x80};
    // Then the 12-byte runs of the blocks next to each other (lanes 3, 7 are the leftovers).
    alignas(32) static constexpr uint32_t kJoin[8] = {0, 1, 2, 4, 5, 6, 3, 7};
    const VU8 compact = hn::LoadDup128(d8, kCompact);
    const auto pack = [&](const uint8_t* HWY_RESTRICT in, uint8_t* HWY_RESTRICT out) {
        auto v = hn::TableLookupBytesOr0(hn::LoadU(d8, in), compact);
        if constexpr (hn::MaxLanes(D8()) > 16) {
            v = hn::BitCast(
                d8, hn::TableLookupLanes(hn::BitCast(du32, v), hn::SetTableIndices(du32, kJoin)));
        }
        hn::StoreU(v, d8, out);
    };
    const size_t width = static_cast<size_t>(g.width);
    const size_t step = vecBytes / 4;  // pixels per vector
    for (int32_t r = 0; r < g.height; ++r) {
        const uint8_t* in = PlaneRow(src, g, 0, r);
        uint8_t* out = DstRow(dst, g, r);
        size_t x = 0;
        // A store writes vecBytes bytes of which 3/4 are pixels; it must stay inside the row.
        for (; 3 * (x + 3 * step) + vecBytes <= 3 * width; x += 4 * step) {
            pack(in + 4 * x, out + 3 * x);
            pack(in + 4 * (x + step), out + 3 * (x + step));
            pack(in + 4 * (x + 2 * step), out + 3 * (x + 2 * step));
            pack(in + 4 * (x + 3 * step), out + 3 * (x + 3 * step));
        }
        for (; 3 * x + vecBytes <= 3 * width; x += step) pack(in + 4 * x, out + 3 * x);
        reference::Rgb32RowToRgb24(out + 3 * x, in + 4 * x, static_cast<int32_t>(width - x));
    }
}
#endif

// ---------------------------------------------------------------------------- RGB24

// Row by row even when the strides agree (one block copy left the picture colder in the cache
// for the stages after the conversion), four whole vectors at a time: a row is too short for
// memcpy's start-up to pay off. The vectors are those of the other converters, 256 bits on x86.
void CopyImpl(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    if (g.width < 1 || g.height < 1) return;
    const D8 d8;
    const size_t n = hn::Lanes(d8);
    const size_t rowBytes = 3 * static_cast<size_t>(g.width);
    for (int32_t r = 0; r < g.height; ++r) {
        const uint8_t* HWY_RESTRICT in = PlaneRow(src, g, 0, r);
        uint8_t* HWY_RESTRICT out = DstRow(dst, g, r);
        size_t i = 0;
        for (; i + 4 * n <= rowBytes; i += 4 * n) {
            const VU8 v0 = hn::LoadU(d8, in + i);
            const VU8 v1 = hn::LoadU(d8, in + i + n);
            const VU8 v2 = hn::LoadU(d8, in + i + 2 * n);
            const VU8 v3 = hn::LoadU(d8, in + i + 3 * n);
            hn::StoreU(v0, d8, out + i);
            hn::StoreU(v1, d8, out + i + n);
            hn::StoreU(v2, d8, out + i + 2 * n);
            hn::StoreU(v3, d8, out + i + 3 * n);
        }
        std::memcpy(out + i, in + i, rowBytes - i);
    }
}

#endif  // HWY_TARGET == HWY_SCALAR

// The instruction set these converters were compiled for.
int64_t KernelTarget() {
    return HWY_TARGET;
}

}  // namespace HWY_NAMESPACE
}  // namespace kelpa
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelpa {

// Every format runs on the widest instruction set that the processor supports. Measured on
// Zen 4 at 1920 x 1080, that is the fastest choice for each format: the 4:2:2 and planar
// converters gain most from AVX-512 with VBMI and VNNI, and for 32-bit RGB, where 256-bit
// vectors were faster, the AVX-512 targets run the 256-bit code themselves
// (convert_rgb32_x86-inl.h), so no format needs a narrower target than Highway's choice.

HWY_EXPORT(Yuy2Impl);
HWY_EXPORT(UyvyImpl);
HWY_EXPORT(PlanarImpl);
HWY_EXPORT(Rgb32Impl);
HWY_EXPORT(CopyImpl);
HWY_EXPORT(KernelTarget);

void Yuy2ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    HWY_DYNAMIC_DISPATCH(Yuy2Impl)(dst, src, g);
}

void UyvyToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    HWY_DYNAMIC_DISPATCH(UyvyImpl)(dst, src, g);
}

// The geometry names the chroma planes by content, so "I420" and "YV12" differ only in the
// plane offsets and share one converter.
void I420ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    HWY_DYNAMIC_DISPATCH(PlanarImpl)(dst, src, g);
}

void Yv12ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    HWY_DYNAMIC_DISPATCH(PlanarImpl)(dst, src, g);
}

void Rgb32ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    HWY_DYNAMIC_DISPATCH(Rgb32Impl)(dst, src, g);
}

// Rows padded on either side are copied without touching the destination's padding.
void CopyRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    HWY_DYNAMIC_DISPATCH(CopyImpl)(dst, src, g);
}

int64_t ConverterTargets() {
    return HWY_TARGETS;
}

int64_t ConverterTarget(Converter convert) {
    const bool vectorised = convert == Yuy2ToRgb24 || convert == UyvyToRgb24 ||
                            convert == I420ToRgb24 || convert == Yv12ToRgb24 ||
                            convert == Rgb32ToRgb24 || convert == CopyRgb24;
    return vectorised ? HWY_DYNAMIC_DISPATCH(KernelTarget)() : 0;
}

}  // namespace kelpa
#endif  // HWY_ONCE
