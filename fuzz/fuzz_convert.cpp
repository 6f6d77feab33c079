// Fuzzes the colour converters. The first six bytes choose the format (aliases included), the
// width (1 ... 300), the height (1 ... 200) and a packed or padded source layout; the rest fills
// the source. The fast converter and its scalar reference each write into a destination that
// ends right after the last row's pixels, and the two pictures must agree byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "video/convert.h"
#include "video/convert_layout.h"
#include "video/convert_reference.h"

namespace {

using namespace kelpa;

struct FuzzFormat {
    uint32_t code;
    uint32_t bits;
};
constexpr FuzzFormat kFormats[] = {
    {kFormatYuy2, 16}, {kFormatYuyv, 16}, {kFormatV422, 16}, {kFormatUyvy, 16}, {kFormatI420, 12},
    {kFormatIyuv, 12}, {kFormatYv12, 12}, {kFormatRgb, 24},  {kFormatRgb, 32},  {kFormatRgb, 16},
};

Converter ReferenceFor(const FuzzFormat& f) {
    switch (KindOfFormat(f.code, f.bits)) {
        case FormatKind::kRgb24:
            return reference::CopyRgb24;
        case FormatKind::kRgb32:
            return reference::Rgb32ToRgb24;
        case FormatKind::kYuy2:
            return reference::Yuy2ToRgb24;
        case FormatKind::kUyvy:
            return reference::UyvyToRgb24;
        case FormatKind::kI420:
            return reference::I420ToRgb24;
        case FormatKind::kYv12:
            return reference::Yv12ToRgb24;
        case FormatKind::kNone:
            break;
    }
    return NoConvert;
}

// Pads every plane's rows and moves the planes apart, as a media layer with its own row
// alignment would.
void PadLayout(ConvGeometry& g, uint32_t code, uint8_t pad) {
    const uint32_t extra = 1 + (pad & 15);
    const uint32_t gap = (pad >> 4) & 7;
    for (int plane = 0; plane < 3; ++plane) g.planeStride[plane] += extra;
    if (g.planeOffset[1] != 0 || g.planeOffset[2] != 0) {
        const uint32_t lumaEnd = g.planeOffset[0] + gap + g.planeStride[0] * g.height;
        const uint32_t chromaBytes = g.planeStride[1] * ((g.height + 1) / 2);
        const bool uFirst = g.planeOffset[1] < g.planeOffset[2];
        g.planeOffset[0] = gap;
        g.planeOffset[uFirst ? 1 : 2] = lumaEnd + gap;
        g.planeOffset[uFirst ? 2 : 1] = lumaEnd + 2 * gap + chromaBytes;
    } else {
        g.planeOffset[0] = gap;
    }
    UpdateRequiredSize(g, code);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kHeaderBytes = 6;
    if (size < kHeaderBytes) return 0;
    static const bool clipReady = InitClipTable();
    if (!clipReady) std::abort();

    const FuzzFormat& f = kFormats[data[0] % std::size(kFormats)];
    const int32_t width = 1 + (data[1] | data[2] << 8) % 300;
    const int32_t height = 1 + (data[3] | data[4] << 8) % 200;
    ConvGeometry g = MakeConvGeometry(f.code, f.bits, width, height);
    if (data[5] & 0x80) PadLayout(g, f.code, data[5]);

    std::vector<uint8_t> src(g.srcRequiredSize);
    const size_t payload = size - kHeaderBytes;
    for (size_t i = 0; i < src.size() && payload > 0; ++i) {
        src[i] = data[kHeaderBytes + i % payload];
    }
    // Exactly up to the last pixel of the last row: no padding after it.
    const size_t dstBytes = size_t{g.dstStride} * (height - 1) + 3 * size_t(width);
    std::vector<uint8_t> fast(dstBytes, 0x5A);
    std::vector<uint8_t> slow(dstBytes, 0x5A);
    ChooseConverter(f.code, f.bits).convert(fast.data(), src.data(), g);
    ReferenceFor(f)(slow.data(), src.data(), g);
    if (std::memcmp(fast.data(), slow.data(), dstBytes) != 0) std::abort();
    return 0;
}
