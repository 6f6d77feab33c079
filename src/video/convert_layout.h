// Internal helpers shared by the converters: the format kinds behind the format codes and the
// addresses of plane rows inside a sample.
#pragma once

#include <cstddef>
#include <cstdint>

#include "video/convert.h"

namespace kelpa {

enum class FormatKind { kNone, kRgb24, kRgb32, kYuy2, kUyvy, kI420, kYv12 };

// The kind of a (format code, bits per pixel) pair, aliases resolved; kNone when unsupported.
FormatKind KindOfFormat(uint32_t compression, uint32_t bitsPerPixel);

// First byte of row `row` of source plane `plane`.
inline const uint8_t* PlaneRow(const uint8_t* src, const ConvGeometry& g, int plane, int32_t row) {
    return src + g.planeOffset[plane] + static_cast<size_t>(g.planeStride[plane]) * row;
}

// First byte of destination row `row`.
inline uint8_t* DstRow(uint8_t* dst, const ConvGeometry& g, int32_t row) {
    return dst + static_cast<size_t>(g.dstStride) * row;
}

}  // namespace kelpa
