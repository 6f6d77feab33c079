// Scalar reference converters: each follows the conversion arithmetic literally, one pixel at
// a time, so that the fast converters can be checked against it bit for bit.
#include "video/convert_reference.h"

#include <algorithm>
#include <cstring>

#include "video/convert_layout.h"

namespace kelpa::reference {
namespace {

// Signed saturation to 16 bits, then unsigned saturation to 8 bits, as the packing
// instructions of the vectorised original do.
uint8_t SaturateToByte(int32_t value) {
    const int32_t word = std::clamp(value, -32768, 32767);
    return static_cast<uint8_t>(std::clamp(word, 0, 255));
}

// One 4:2:2 pixel from its luma byte and its doubled chroma deviations (16-bit words).
void Colour422(uint8_t* out, int luma, int16_t u2, int16_t v2) {
    const int16_t y = static_cast<int16_t>(luma - 16);
    const int32_t l = 19077 * y + 8192;
    out[0] = SaturateToByte((l + 16525 * u2) >> 14);
    out[1] = SaturateToByte((l - 3209 * u2 - 6660 * v2) >> 14);
    out[2] = SaturateToByte((l + 13075 * v2) >> 14);
}

// Pixel 2k uses pair k's chroma doubled; pixel 2k + 1 the sum of pair k's and pair
// min(k + 1, n - 1)'s chroma. An odd last pixel is pixel 2k of the last pair. Output row i is
// source row height - 1 - i.
template <int kY0, int kU, int kY1, int kV>
void Packed422ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    if (g.width < 1 || g.height < 1) return;
    const int32_t pairs = (g.width + 1) / 2;
    for (int32_t i = 0; i < g.height; ++i) {
        const uint8_t* row = PlaneRow(src, g, 0, g.height - 1 - i);
        uint8_t* out = DstRow(dst, g, i);
        for (int32_t k = 0; k < pairs; ++k) {
            const uint8_t* pair = row + 4 * k;
            const uint8_t* next = row + 4 * std::min(k + 1, pairs - 1);
            Colour422(out + 6 * k, pair[kY0], static_cast<int16_t>(2 * (pair[kU] - 128)),
                      static_cast<int16_t>(2 * (pair[kV] - 128)));
            if (2 * k + 1 < g.width) {
                Colour422(out + 6 * k + 3, pair[kY1],
                          static_cast<int16_t>(pair[kU] + next[kU] - 256),
                          static_cast<int16_t>(pair[kV] + next[kV] - 256));
            }
        }
    }
}

// Spread Y, U, V of every pixel into its three destination bytes (pixel x of row r takes
// chroma (x / 2, r / 2)), then colour each pixel in place through the clamping table.
void PlanarToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    const uint8_t* clip = ClipTable();
    if (clip == nullptr || g.width < 1 || g.height < 1) return;
    for (int32_t r = 0; r < g.height; ++r) {
        const uint8_t* y = PlaneRow(src, g, 0, r);
        const uint8_t* u = PlaneRow(src, g, 1, r / 2);
        const uint8_t* v = PlaneRow(src, g, 2, r / 2);
        uint8_t* out = DstRow(dst, g, r);
        for (int32_t x = 0; x < g.width; ++x) {
            out[3 * x] = y[x];
            out[3 * x + 1] = u[x / 2];
            out[3 * x + 2] = v[x / 2];
        }
    }
    for (int32_t r = 0; r < g.height; ++r) {
        uint8_t* p = DstRow(dst, g, r);
        for (int32_t x = 0; x < g.width; ++x, p += 3) {
            const int32_t k = (p[0] - 16) * 76309;
            const int32_t u = p[1] - 128;
            const int32_t v = p[2] - 128;
            p[2] = clip[(k + 104597 * v + 32768) >> 16];
            p[1] = clip[(k - 53279 * v - 25675 * u + 32768) >> 16];
            p[0] = clip[(k + 132201 * u + 32768) >> 16];
        }
    }
}

}  // namespace

void CopyRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    if (g.width < 1 || g.height < 1) return;
    for (int32_t r = 0; r < g.height; ++r) {
        std::memcpy(DstRow(dst, g, r), PlaneRow(src, g, 0, r), 3 * static_cast<size_t>(g.width));
    }
}

void Rgb32RowToRgb24(uint8_t* dst, const uint8_t* src, int32_t width) {
    for (int32_t x = 0; x < width; ++x, dst += 3, src += 4) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

void Rgb32ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    if (g.width < 1 || g.height < 1) return;
    for (int32_t r = 0; r < g.height; ++r) {
        Rgb32RowToRgb24(DstRow(dst, g, r), PlaneRow(src, g, 0, r), g.width);
    }
}

void Yuy2ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    Packed422ToRgb24<0, 1, 2, 3>(dst, src, g);
}

void UyvyToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    Packed422ToRgb24<1, 0, 3, 2>(dst, src, g);
}

void I420ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    PlanarToRgb24(dst, src, g);
}

void Yv12ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g) {
    PlanarToRgb24(dst, src, g);
}

}  // namespace kelpa::reference
