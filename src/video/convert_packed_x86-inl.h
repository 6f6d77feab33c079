// The 4:2:2 packed converters for x86 processors with AVX2 or AVX-512. convert_simd.cpp
// includes this file inside its per-target namespace for the targets HWY_AVX2, HWY_AVX3 and
// HWY_AVX3_DL; it holds no include guard on purpose.
//
// Every pixel gets a 32-bit lane of its own, holding the words 4 Y and 4 Us (or 4 Vs), where
// Us and Vs are the two chroma bytes the pixel uses added up (its pair's twice, or its pair's
// and the next pair's). One byte shuffle puts Y and the two chroma bytes of each pixel into
// place and a multiply-add of bytes by 4 makes the words, so the unscaled coefficients fit the
// 16-bit pairwise multiply-add:
//   4 X = 19077 (4 Y) + c_u (4 Us) + c_v (4 Vs) + 4 K
// exactly, with K holding the luma offset -16, the chroma offsets -256 of the sums and the
// rounding 8192. The colour X >> 14 is then the upper word of the lane.
//
// Blue and green of a pixel are put into one lane (blue as the low, green as the high word)
// and red into another, so that one saturating pack clamps the colours of four pixels in each
// 128-bit block to 0 ... 255, and one byte shuffle (AVX2) or one two-register byte permutation
// (AVX-512) orders them blue-green-red.

#if HWY_TARGET == HWY_AVX2 || HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL

namespace packed422 {

// 4 K of each colour; the chroma words hold Us and Vs without their -256.
constexpr int32_t kBlueBase4 = 4 * (8192 - 19077 * 16 - 256 * 16525);
constexpr int32_t kGreenBase4 = 4 * (8192 - 19077 * 16 + 256 * (3209 + 6660));
constexpr int32_t kRedBase4 = 4 * (8192 - 19077 * 16 - 256 * 13075);

// Word pairs (low, high) of the multiply-adds: blue from (4 Y, 4 Us), red from (4 Y, 4 Vs),
// green from both.
constexpr int32_t WordPair(int low, int high) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(low)) |
                                static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16);
}
constexpr int32_t kBlueFactors = WordPair(19077, 16525);
constexpr int32_t kGreenLumaFactors = WordPair(19077, -3209);
constexpr int32_t kGreenChromaFactors = WordPair(0, -6660);
constexpr int32_t kRedFactors = WordPair(19077, 13075);

// A shuffle index that yields a zero byte.
constexpr uint8_t kZero = 0x80;

// Byte offsets inside a 4-byte pair: "YUY2" is Y0 U Y1 V, "UYVY" is U Y0 V Y1.
struct PairLayout {
    int luma[2];
    int u;
    int v;
};
template <bool kLumaHigh>
constexpr PairLayout kLayout = kLumaHigh ? PairLayout{{1, 3}, 0, 2} : PairLayout{{0, 2}, 1, 3};

// The source bytes of pixel `pixel` of a run starting at a pair: Y, a zero, the pixel's chroma
// byte of its pair and the one of the pair it averages with (itself for even pixels).
template <bool kLumaHigh>
constexpr void PixelBytes(uint8_t* out, int pixel, bool red) {
    constexpr PairLayout layout = kLayout<kLumaHigh>;
    const int pair = pixel / 2;
    const int odd = pixel % 2;
    const int chroma = red ? layout.v : layout.u;
    out[0] = static_cast<uint8_t>(4 * pair + layout.luma[odd]);
    out[1] = kZero;
    out[2] = static_cast<uint8_t>(4 * pair + chroma);
    out[3] = static_cast<uint8_t>(4 * (pair + odd) + chroma);
}

// Where the packing leaves colour `colour` (0 blue, 1 green, 2 red) of pixel `pixel`: each
// 128-bit block holds four pixels as B0 G0 ... B3 G3, then R0 _ R1 _ R2 _ R3 _.
constexpr int PackedPosition(int pixel, int colour) {
    const int block = pixel / 4;
    const int slot = pixel % 4;
    return 16 * block + (colour == 2 ? 8 + 2 * slot : 2 * slot + colour);
}

template <size_t kBytes>
struct ByteTable {
    alignas(64) uint8_t bytes[kBytes];
};

#if HWY_TARGET == HWY_AVX3_DL

// ---------------------------------------------------------------- AVX-512 VBMI and VNNI

// Group: 16 pixels from the 36 bytes of pairs 0 ... 8. Step: four groups, 192 output bytes.
constexpr size_t kGroupPairs = 8;
constexpr size_t kGroupReadBytes = 4 * (kGroupPairs + 1);
constexpr __mmask64 kGroupReadMask = (__mmask64{1} << kGroupReadBytes) - 1;
constexpr __mmask64 kGroupWriteMask = (__mmask64{1} << 48) - 1;
constexpr __mmask64 kLumaChromaMask = 0xDDDDDDDDDDDDDDDDull;  // the second byte of each lane

// Source bytes of the 16 pixels of a group, for blue (4 Us) or red (4 Vs).
template <bool kLumaHigh>
constexpr ByteTable<64> GroupSourceTable(bool red) {
    ByteTable<64> table{};
    for (int pixel = 0; pixel < 16; ++pixel)
        PixelBytes<kLumaHigh>(table.bytes + 4 * pixel, pixel, red);
    return table;
}

// Output bytes 64 part ... 64 part + 63 of four packed groups, taken from group `part`
// (indices 0 ... 63) and group part + 1 (64 ... 127).
constexpr ByteTable<64> StepOutputTable(int part) {
    ByteTable<64> table{};
    for (int i = 0; i < 64; ++i) {
        const int byte = 64 * part + i;
        const int pixel = byte / 3;
        const int group = pixel / 16;
        table.bytes[i] =
            static_cast<uint8_t>(64 * (group - part) + PackedPosition(pixel % 16, byte % 3));
    }
    return table;
}

// The 48 output bytes of one group.
constexpr ByteTable<64> GroupOutputTable() {
    ByteTable<64> table{};
    for (int i = 0; i < 48; ++i)
        table.bytes[i] = static_cast<uint8_t>(PackedPosition(i / 3, i % 3));
    return table;
}

// Highway's AVX3_DL target leaves out AVX-512 VNNI, which its processor check requires; the
// functions that multiply-add with it name it on top of the target's own features.
#define KELPA_WITH_VNNI __attribute__((target(HWY_TARGET_STR ",avx512vnni")))

struct Zmm422 {
    __m512i blueSource, redSource, four;
    __m512i blueFactors, greenLumaFactors, greenChromaFactors, redFactors;
    __m512i blueBase, greenBase, redBase;
};

template <bool kLumaHigh>
Zmm422 MakeZmm422() {
    static constexpr ByteTable<64> kBlue = GroupSourceTable<kLumaHigh>(false);
    static constexpr ByteTable<64> kRed = GroupSourceTable<kLumaHigh>(true);
    return {_mm512_load_si512(kBlue.bytes),
            _mm512_load_si512(kRed.bytes),
            _mm512_set1_epi8(4),
            _mm512_set1_epi32(kBlueFactors),
            _mm512_set1_epi32(kGreenLumaFactors),
            _mm512_set1_epi32(kGreenChromaFactors),
            _mm512_set1_epi32(kRedFactors),
            _mm512_set1_epi32(kBlueBase4),
            _mm512_set1_epi32(kGreenBase4),
            _mm512_set1_epi32(kRedBase4)};
}

// The packed colours of the 16 pixels of pairs 0 ... 7; reads exactly pairs 0 ... 8.
KELPA_WITH_VNNI HWY_INLINE __m512i Group(const Zmm422& k, const uint8_t* HWY_RESTRICT p) {
    const __m512i source = _mm512_maskz_loadu_epi8(kGroupReadMask, p);
    const __m512i blue = _mm512_maddubs_epi16(
        _mm512_maskz_permutexvar_epi8(kLumaChromaMask, k.blueSource, source), k.four);
    const __m512i red = _mm512_maddubs_epi16(
        _mm512_maskz_permutexvar_epi8(kLumaChromaMask, k.redSource, source), k.four);
    const __m512i b = _mm512_dpwssd_epi32(k.blueBase, blue, k.blueFactors);
    const __m512i g = _mm512_dpwssd_epi32(
        _mm512_dpwssd_epi32(k.greenBase, blue, k.greenLumaFactors), red, k.greenChromaFactors);
    const __m512i r = _mm512_dpwssd_epi32(k.redBase, red, k.redFactors);
    const __m512i blueGreen = _mm512_mask_blend_epi16(0xAAAAAAAA, _mm512_srli_epi32(b, 16), g);
    return _mm512_packus_epi16(blueGreen, _mm512_srai_epi32(r, 16));
}

// Rows turned over, as Packed422Impl: 64 pixels per step, then single groups, then the rest
// through a buffer in which the last pair repeats (its own right neighbour).
template <bool kLumaHigh>
KELPA_WITH_VNNI void Packed422X86(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    if (g.width < 1 || g.height < 1) return;
    static constexpr ByteTable<64> kOut0 = StepOutputTable(0);
    static constexpr ByteTable<64> kOut1 = StepOutputTable(1);
    static constexpr ByteTable<64> kOut2 = StepOutputTable(2);
    static constexpr ByteTable<64> kGroupOut = GroupOutputTable();
    const Zmm422 k = MakeZmm422<kLumaHigh>();
    const __m512i out0 = _mm512_load_si512(kOut0.bytes);
    const __m512i out1 = _mm512_load_si512(kOut1.bytes);
    const __m512i out2 = _mm512_load_si512(kOut2.bytes);
    const __m512i groupOut = _mm512_load_si512(kGroupOut.bytes);
    const size_t width = static_cast<size_t>(g.width);
    const size_t pairs = (width + 1) / 2;
    for (int32_t i = 0; i < g.height; ++i) {
        const uint8_t* row = PlaneRow(src, g, 0, g.height - 1 - i);
        uint8_t* out = DstRow(dst, g, i);
        size_t pair = 0;
        for (; pair + 4 * kGroupPairs + 1 <= pairs; pair += 4 * kGroupPairs) {
            const uint8_t* p = row + 4 * pair;
            uint8_t* o = out + 6 * pair;
            const __m512i u0 = Group(k, p);
            const __m512i u1 = Group(k, p + 32);
            const __m512i u2 = Group(k, p + 64);
            const __m512i u3 = Group(k, p + 96);
            _mm512_storeu_si512(o, _mm512_permutex2var_epi8(u0, out0, u1));
            _mm512_storeu_si512(o + 64, _mm512_permutex2var_epi8(u1, out1, u2));
            _mm512_storeu_si512(o + 128, _mm512_permutex2var_epi8(u2, out2, u3));
        }
        for (; pair + kGroupPairs + 1 <= pairs; pair += kGroupPairs) {
            const __m512i colours = _mm512_permutexvar_epi8(groupOut, Group(k, row + 4 * pair));
            _mm512_mask_storeu_epi8(out + 6 * pair, kGroupWriteMask, colours);
        }
        if (pair == pairs) continue;
        alignas(64) uint8_t in[kGroupReadBytes];
        const size_t rest = pairs - pair;  // 1 ... 8
        std::memcpy(in, row + 4 * pair, 4 * rest);
        for (size_t j = rest; j <= kGroupPairs; ++j)
            std::memcpy(in + 4 * j, in + 4 * (rest - 1), 4);
        const __mmask64 tail = (__mmask64{1} << (3 * (width - 2 * pair))) - 1;
        _mm512_mask_storeu_epi8(out + 6 * pair, tail,
                                _mm512_permutexvar_epi8(groupOut, Group(k, in)));
    }
}

#undef KELPA_WITH_VNNI

#else

// ---------------------------------------------------------------- AVX2

// Group: 8 pixels, four from each 128-bit block of the source vector. Step: two groups from
// loads at pairs 0 and 2, pixels 0-3 and 8-11 in the first, 4-7 and 12-15 in the second.
constexpr size_t kStepPairs = 8;
constexpr size_t kStepReadPairs = 10;
constexpr size_t kStepWriteBytes = 52;  // 48 and the unused end of the last 16-byte store

template <bool kLumaHigh>
constexpr ByteTable<32> BlockSourceTable(bool red) {
    ByteTable<32> table{};
    for (int pixel = 0; pixel < 8; ++pixel) {
        PixelBytes<kLumaHigh>(table.bytes + 4 * pixel, pixel % 4, red);
    }
    return table;
}

// Blue, green, red of the four pixels of each 128-bit block into its first 12 bytes.
constexpr ByteTable<32> BlockOutputTable() {
    ByteTable<32> table{};
    for (int i = 0; i < 32; ++i) {
        const int byte = i % 16;
        table.bytes[i] =
            byte < 12 ? static_cast<uint8_t>(PackedPosition(byte / 3, byte % 3)) : kZero;
    }
    return table;
}

struct Ymm422 {
    __m256i blueSource, redSource, four, output;
    __m256i blueFactors, greenLumaFactors, greenChromaFactors, redFactors;
    __m256i blueBase, greenBase, redBase;
};

template <bool kLumaHigh>
Ymm422 MakeYmm422() {
    static constexpr ByteTable<32> kBlue = BlockSourceTable<kLumaHigh>(false);
    static constexpr ByteTable<32> kRed = BlockSourceTable<kLumaHigh>(true);
    static constexpr ByteTable<32> kOutput = BlockOutputTable();
    const auto load = [](const ByteTable<32>& t) {
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(t.bytes));
    };
    return {load(kBlue),
            load(kRed),
            _mm256_set1_epi8(4),
            load(kOutput),
            _mm256_set1_epi32(kBlueFactors),
            _mm256_set1_epi32(kGreenLumaFactors),
            _mm256_set1_epi32(kGreenChromaFactors),
            _mm256_set1_epi32(kRedFactors),
            _mm256_set1_epi32(kBlueBase4),
            _mm256_set1_epi32(kGreenBase4),
            _mm256_set1_epi32(kRedBase4)};
}

// The ordered colours of the pixels of pairs 0, 1 (first block) and 4, 5 (second block),
// each in the first 12 bytes of its block.
HWY_INLINE __m256i Group(const Ymm422& k, __m256i source) {
    const __m256i blue = _mm256_maddubs_epi16(_mm256_shuffle_epi8(source, k.blueSource), k.four);
    const __m256i red = _mm256_maddubs_epi16(_mm256_shuffle_epi8(source, k.redSource), k.four);
    const __m256i b = _mm256_add_epi32(_mm256_madd_epi16(blue, k.blueFactors), k.blueBase);
    const __m256i g =
        _mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(blue, k.greenLumaFactors), k.greenBase),
                         _mm256_madd_epi16(red, k.greenChromaFactors));
    const __m256i r = _mm256_add_epi32(_mm256_madd_epi16(red, k.redFactors), k.redBase);
    const __m256i blueGreen = _mm256_blend_epi16(_mm256_srli_epi32(b, 16), g, 0xAA);
    return _mm256_shuffle_epi8(_mm256_packus_epi16(blueGreen, _mm256_srai_epi32(r, 16)), k.output);
}

// 16 pixels from pairs 0 ... 9 into 48 bytes (52 written).
HWY_INLINE void Step(const Ymm422& k, const uint8_t* HWY_RESTRICT p, uint8_t* HWY_RESTRICT o) {
    const __m256i a = Group(k, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    const __m256i b = Group(k, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 8)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(a));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 12), _mm256_castsi256_si128(b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 24), _mm256_extracti128_si256(a, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 36), _mm256_extracti128_si256(b, 1));
}

// Rows turned over, as Packed422Impl; the rest of a row goes through buffers in which the last
// pair repeats (its own right neighbour).
template <bool kLumaHigh>
void Packed422X86(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    if (g.width < 1 || g.height < 1) return;
    const Ymm422 k = MakeYmm422<kLumaHigh>();
    const size_t width = static_cast<size_t>(g.width);
    const size_t pairs = (width + 1) / 2;
    for (int32_t i = 0; i < g.height; ++i) {
        const uint8_t* row = PlaneRow(src, g, 0, g.height - 1 - i);
        uint8_t* out = DstRow(dst, g, i);
        size_t pair = 0;
        for (; pair + kStepReadPairs <= pairs && 6 * pair + kStepWriteBytes <= 3 * width;
             pair += kStepPairs) {
            Step(k, row + 4 * pair, out + 6 * pair);
        }
        if (pair == pairs) continue;
        // At most 9 pairs are left: two steps, reading up to pair 17 of the buffer.
        alignas(32) uint8_t in[4 * (kStepPairs + kStepReadPairs)];
        alignas(32) uint8_t rgb[6 * kStepPairs + 6 * kStepPairs + kStepWriteBytes - 48];
        const size_t rest = pairs - pair;
        std::memcpy(in, row + 4 * pair, 4 * rest);
        for (size_t j = rest; j < kStepPairs + kStepReadPairs; ++j) {
            std::memcpy(in + 4 * j, in + 4 * (rest - 1), 4);
        }
        for (size_t j = 0; j < rest; j += kStepPairs) Step(k, in + 4 * j, rgb + 6 * j);
        std::memcpy(out + 6 * pair, rgb, 3 * (width - 2 * pair));
    }
}

#endif  // HWY_TARGET == HWY_AVX3_DL

}  // namespace packed422

#endif  // HWY_TARGET is AVX2, AVX3 or AVX3_DL
