// The 24-bit working picture shared by the converters, the processing chain, the surfaces and
// the capture writer: blue, green, red bytes, rows `stride` apart, stride a multiple of 4.
#pragma once

#include <cstdint>

namespace kelpa {

struct FrameBuffer {
    uint8_t* data = nullptr;
    int32_t rowPad = 0;      // stride - 3 * width
    uint32_t imageSize = 0;  // stride * height
    int32_t width = 0;
    int32_t height = 0;
    uint32_t stride = 0;
    uint32_t bytesPerPixel = 3;
};

// Row stride of a 24-bit picture: 3 bytes a pixel, rounded up to a multiple of 4.
constexpr uint32_t Stride24(int32_t width) {
    const uint32_t w = static_cast<uint32_t>(width < 0 ? -width : width);
    return (w * 3 + 3) & ~3u;
}

}  // namespace kelpa
