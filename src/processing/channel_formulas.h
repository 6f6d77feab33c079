// The per-pixel formulas of the six channel processors and the tone mapping of a level.
// Inputs are the blue, green, red bytes of one pixel; products are 64-bit so that no gain
// overflows, and `/` truncates toward zero exactly as the integer formulas require (the
// compiler turns the constant divisions into reciprocal multiplications).
#pragma once

#include <cstdint>

namespace kelpa {

// Level -> output byte: 255 and above gives 255, 0 and below gives 0, else the table entry.
inline uint8_t ToneMap(const uint32_t* table, int64_t level) {
    if (level >= 255) return 255;
    if (level <= 0) return 0;
    return static_cast<uint8_t>(table[level]);
}

// A tone table that maps every level to itself, used when the tables could not be allocated.
const uint32_t* IdentityToneTable();

// Each channel also says what one input pixel adds to the accumulator (kWords words) and the
// weight of one frame in the sum.
struct GreyChannel {
    static constexpr int32_t kIndex = -2;
    static constexpr bool kColour = false;
    static constexpr int32_t kWords = 1;
    static constexpr int32_t kWeight = 10;
    static uint32_t AccValue(const uint8_t* p) {
        return (114u * p[0] + 587u * p[1] + 299u * p[2]) / 100u;
    }
    static int64_t Level(const uint8_t* p, int64_t amp, int64_t black) {
        const int64_t s = 114 * p[0] + 587 * p[1] + 299 * p[2];
        return (((s * amp) >> 7) + 500) / 1000 + black;
    }
};

struct SummaryChannel {
    static constexpr int32_t kIndex = -1;
    static constexpr bool kColour = false;
    static constexpr int32_t kWords = 1;
    static constexpr int32_t kWeight = 3;
    static uint32_t AccValue(const uint8_t* p) { return uint32_t{p[0]} + p[1] + p[2]; }
    static int64_t Level(const uint8_t* p, int64_t amp, int64_t black) {
        const int64_t s = p[0] + p[1] + p[2];
        return ((s * amp) >> 7) / 3 + black;
    }
};

template <int kByte>
struct SingleChannel {
    static constexpr int32_t kIndex = kByte + 1;  // Blue 1, Green 2, Red 3
    static constexpr bool kColour = false;
    static constexpr int32_t kWords = 1;
    static constexpr int32_t kWeight = 1;
    static uint32_t AccValue(const uint8_t* p) { return p[kByte]; }
    static int64_t Level(const uint8_t* p, int64_t amp, int64_t black) {
        return ((int64_t{p[kByte]} * amp) >> 7) + black;
    }
};
using BlueChannel = SingleChannel<0>;
using GreenChannel = SingleChannel<1>;
using RedChannel = SingleChannel<2>;

// As Is: each of blue, green, red through its own formula.
struct AsIsChannel {
    static constexpr int32_t kIndex = 0;
    static constexpr bool kColour = true;
    static constexpr int32_t kWords = 3;
    static constexpr int32_t kWeight = 1;
    static int64_t Level(uint8_t c, int64_t amp, int64_t black) {
        return ((int64_t{c} * amp) >> 7) + black;
    }
};

// Applies X to each processor, for the explicit instantiations of the per-processor stages.
#define KELPA_FOR_EACH_CHANNEL(X) \
    X(GreyChannel)                \
    X(SummaryChannel)             \
    X(BlueChannel)                \
    X(GreenChannel)               \
    X(RedChannel)                 \
    X(AsIsChannel)

// Writes one output pixel of processor P from one input pixel.
template <class P>
inline void RenderPixel(const uint8_t* in, uint8_t* out, int64_t amp, int64_t black,
                        const uint32_t* tone) {
    if constexpr (P::kColour) {
        out[0] = ToneMap(tone, P::Level(in[0], amp, black));
        out[1] = ToneMap(tone, P::Level(in[1], amp, black));
        out[2] = ToneMap(tone, P::Level(in[2], amp, black));
    } else {
        const uint8_t v = ToneMap(tone, P::Level(in, amp, black));
        out[0] = v;
        out[1] = v;
        out[2] = v;
    }
}

}  // namespace kelpa
