// Stores for the planar converters on x86 processors with AVX2 or AVX-512: Lanes(D8) pixels
// given as colour words, the first and second half of each colour apart (lo, hi), go out as
// blue-green-red bytes clamped to 0 ... 255. convert_simd.cpp includes this file inside its
// per-target namespace after its vector types; it holds no include guard on purpose.

#if HWY_TARGET == HWY_AVX3_DL
// The packing leaves each 128-bit block with eight pixels of lo, then eight of hi; two-register
// byte permutations take blue and green from their packings, a masked one adds red.
struct BgrTables {
    alignas(32) uint8_t blueGreen[3][32];
    alignas(32) uint8_t red[3][32];
};
constexpr BgrTables MakeBgrTables() {
    BgrTables t{};
    for (int part = 0; part < 3; ++part) {
        for (int i = 0; i < 32; ++i) {
            const int byte = 32 * part + i;
            const int pixel = byte / 3;
            const int position = (pixel & 7) | (pixel & 8) << 1 | (pixel & 16) >> 1;
            t.blueGreen[part][i] = static_cast<uint8_t>(position + (byte % 3 == 1 ? 32 : 0));
            t.red[part][i] = static_cast<uint8_t>(position);
        }
    }
    return t;
}
constexpr __mmask32 RedBytes(int part) {
    __mmask32 mask = 0;
    for (int i = 0; i < 32; ++i) mask |= (32 * part + i) % 3 == 2 ? __mmask32{1} << i : 0;
    return mask;
}
HWY_INLINE void StoreColours(VI16 blueLo, VI16 blueHi, VI16 greenLo, VI16 greenHi, VI16 redLo,
                             VI16 redHi, uint8_t* HWY_RESTRICT out) {
    static constexpr BgrTables kTables = MakeBgrTables();
    const __m256i blue = _mm256_packus_epi16(blueLo.raw, blueHi.raw);
    const __m256i green = _mm256_packus_epi16(greenLo.raw, greenHi.raw);
    const __m256i red = _mm256_packus_epi16(redLo.raw, redHi.raw);
    const auto part = [&](int i, __mmask32 redMask) {
        const auto table = [](const uint8_t* bytes) {
            return _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes));
        };
        const __m256i bg = _mm256_permutex2var_epi8(blue, table(kTables.blueGreen[i]), green);
        return _mm256_mask_permutexvar_epi8(bg, redMask, table(kTables.red[i]), red);
    };
    __m256i* o = reinterpret_cast<__m256i*>(out);
    _mm256_storeu_si256(o, part(0, RedBytes(0)));
    _mm256_storeu_si256(o + 1, part(1, RedBytes(1)));
    _mm256_storeu_si256(o + 2, part(2, RedBytes(2)));
}
#elif HWY_TARGET == HWY_AVX2 || HWY_TARGET == HWY_AVX3
// Blue and green of eight pixels share a 128-bit block after packing, red of those eight
// pixels sits in one half of a block of the red packing. Their 24 output bytes are written as
// two overlapping 16-byte stores made by byte shuffles, so nothing outside the 96 bytes of
// the 32 pixels is touched.
struct BgrShuffles {
    alignas(16) uint8_t blueGreen[2][16];  // output bytes 0-15 and 8-23 of eight pixels
    alignas(16) uint8_t red[2][2][16];     // the same, red from the low or the high half
};
constexpr BgrShuffles MakeBgrShuffles() {
    BgrShuffles t{};
    for (int store = 0; store < 2; ++store) {
        for (int i = 0; i < 16; ++i) {
            const int byte = 8 * store + i;
            const int pixel = byte / 3;
            const int colour = byte % 3;
            t.blueGreen[store][i] = colour == 2 ? 0x80 : static_cast<uint8_t>(8 * colour + pixel);
            for (int half = 0; half < 2; ++half) {
                t.red[store][half][i] = colour == 2 ? static_cast<uint8_t>(8 * half + pixel) : 0x80;
            }
        }
    }
    return t;
}
HWY_INLINE void StoreColours(VI16 blueLo, VI16 blueHi, VI16 greenLo, VI16 greenHi, VI16 redLo,
                             VI16 redHi, uint8_t* HWY_RESTRICT out) {
    static constexpr BgrShuffles kShuffles = MakeBgrShuffles();
    const auto table = [](const uint8_t* bytes) {
        return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(bytes)));
    };
    // Lanes: pixels 0-7 and 8-15 (lo), 16-23 and 24-31 (hi); red: lo in the low halves.
    const __m256i blueGreenLo = _mm256_packus_epi16(blueLo.raw, greenLo.raw);
    const __m256i blueGreenHi = _mm256_packus_epi16(blueHi.raw, greenHi.raw);
    const __m256i red = _mm256_packus_epi16(redLo.raw, redHi.raw);
    const auto store = [&](__m256i blueGreen, int half, int part, size_t offset) {
        const __m256i v =
            _mm256_or_si256(_mm256_shuffle_epi8(blueGreen, table(kShuffles.blueGreen[part])),
                            _mm256_shuffle_epi8(red, table(kShuffles.red[part][half])));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + offset), _mm256_castsi256_si128(v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + offset + 24),
                         _mm256_extracti128_si256(v, 1));
    };
    store(blueGreenLo, 0, 0, 0);
    store(blueGreenLo, 0, 1, 8);
    store(blueGreenHi, 1, 0, 48);
    store(blueGreenHi, 1, 1, 56);
}
#endif  // HWY_TARGET: AVX3_DL, else AVX2 or AVX3
