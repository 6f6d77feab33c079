// The six channel processors: what one pixel adds to the accumulator, and the tone mapping of a
// level. Inputs are the blue, green, red bytes of one pixel; `/` truncates toward zero.
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
};

struct SummaryChannel {
    static constexpr int32_t kIndex = -1;
    static constexpr bool kColour = false;
    static constexpr int32_t kWords = 1;
    static constexpr int32_t kWeight = 3;
    static uint32_t AccValue(const uint8_t* p) { return uint32_t{p[0]} + p[1] + p[2]; }
};

template <int kByte>
struct SingleChannel {
    static constexpr int32_t kIndex = kByte + 1;  // Blue 1, Green 2, Red 3
    static constexpr bool kColour = false;
    static constexpr int32_t kWords = 1;
    static constexpr int32_t kWeight = 1;
    static uint32_t AccValue(const uint8_t* p) { return p[kByte]; }
};
using BlueChannel = SingleChannel<0>;
using GreenChannel = SingleChannel<1>;
using RedChannel = SingleChannel<2>;

// As Is: blue, green and red each in a word of its own.
struct AsIsChannel {
    static constexpr int32_t kIndex = 0;
    static constexpr bool kColour = true;
    static constexpr int32_t kWords = 3;
    static constexpr int32_t kWeight = 1;
};

// Applies X to each processor, for the explicit instantiations of the per-processor stages.
#define KELPA_FOR_EACH_CHANNEL(X) \
    X(GreyChannel)                \
    X(SummaryChannel)             \
    X(BlueChannel)                \
    X(GreenChannel)               \
    X(RedChannel)                 \
    X(AsIsChannel)

}  // namespace kelpa
