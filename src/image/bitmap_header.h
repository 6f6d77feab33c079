// The 40-byte device-independent bitmap header that describes a picture: to the drawing code,
// in the header of a captured BMP file, and for a connected video format. A positive height
// means rows stored bottom row first, a negative one top row first.
#pragma once

#include <cstdint>

namespace kelpa {

struct BitmapInfoHeader {
    uint32_t size = 40;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;  // 0: uncompressed RGB, else a four-character code
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// Four characters in a 32-bit word, the first one in the lowest byte ("Grey", "YUY2").
constexpr uint32_t FourCC(const char (&s)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

}  // namespace kelpa
