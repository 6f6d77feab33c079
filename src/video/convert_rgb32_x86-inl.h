// The 32-bit RGB converter for x86 processors with AVX2 or AVX-512: drops the fourth byte of
// every pixel. convert_simd.cpp includes this file inside its per-target namespace for the
// targets HWY_AVX2, HWY_AVX3 and HWY_AVX3_DL; it holds no include guard on purpose.
//
// The frame is only moved, so memory traffic decides the speed: every store writes a whole
// vector of output, never a partly used one that the next store overwrites. The AVX-512
// targets run the same 256-bit code: on Zen 4 a version with 512-bit loads, stores and
// two-register byte permutations measured about 15 % slower at 1920 x 1080, while this one
// moves the frame about as fast as a plain copy of the 24-bit picture.

#if HWY_TARGET == HWY_AVX2 || HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL

namespace rgb32 {

template <size_t kBytes>
struct ByteTable {
    alignas(64) uint8_t bytes[kBytes];
};

// Per 128-bit block: the first three bytes of each pixel to the bottom, zeros above.
constexpr ByteTable<32> CompactTable() {
    ByteTable<32> table{};
    for (int i = 0; i < 32; ++i) {
        const int byte = i % 16;
        table.bytes[i] = byte < 12 ? static_cast<uint8_t>(4 * (byte / 3) + byte % 3) : 0x80;
    }
    return table;
}

// Moves the compacted dwords (0-2 and 4-6 of a vector; 3 and 7 are zero) into place.
HWY_INLINE __m256i Place(__m256i v, int d0, int d1, int d2, int d3, int d4, int d5, int d6,
                         int d7) {
    return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(d0, d1, d2, d3, d4, d5, d6, d7));
}

// 32 pixels: four vectors of eight, 24 bytes each, into three whole vectors.
HWY_INLINE void Step(__m256i compact, const uint8_t* HWY_RESTRICT in, uint8_t* HWY_RESTRICT out) {
    const auto load = [&](int i) {
        return _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in) + i),
                                   compact);
    };
    const __m256i a = load(0);
    const __m256i b = load(1);
    const __m256i c = load(2);
    const __m256i d = load(3);
    constexpr int z = 3;  // a zero dword
    const __m256i o0 =
        _mm256_or_si256(Place(a, 0, 1, 2, 4, 5, 6, z, z), Place(b, z, z, z, z, z, z, 0, 1));
    const __m256i o1 =
        _mm256_or_si256(Place(b, 2, 4, 5, 6, z, z, z, z), Place(c, z, z, z, z, 0, 1, 2, 4));
    const __m256i o2 =
        _mm256_or_si256(Place(c, 5, 6, z, z, z, z, z, z), Place(d, z, z, 0, 1, 2, 4, 5, 6));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), o0);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out) + 1, o1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out) + 2, o2);
}

inline void Rgb32X86(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    if (g.width < 1 || g.height < 1) return;
    static constexpr ByteTable<32> kCompact = CompactTable();
    const __m256i compact = _mm256_load_si256(reinterpret_cast<const __m256i*>(kCompact.bytes));
    const size_t width = static_cast<size_t>(g.width);
    for (int32_t r = 0; r < g.height; ++r) {
        const uint8_t* in = PlaneRow(src, g, 0, r);
        uint8_t* out = DstRow(dst, g, r);
        size_t x = 0;
        for (; x + 32 <= width; x += 32) Step(compact, in + 4 * x, out + 3 * x);
        // The rest through buffers: whole steps only read and write their own bytes.
        if (x == width) continue;
        alignas(32) uint8_t pixels[4 * 32];
        alignas(32) uint8_t rgb[3 * 32];
        const size_t rest = width - x;
        std::memcpy(pixels, in + 4 * x, 4 * rest);
        Step(compact, pixels, rgb);
        std::memcpy(out + 3 * x, rgb, 3 * rest);
    }
}

}  // namespace rgb32

#endif  // HWY_TARGET is AVX2, AVX3 or AVX3_DL
