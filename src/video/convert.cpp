// The format table of the colour conversion: which converter a connected format gets, which
// formats are accepted at all, the source and destination geometry of a frame, the clamping
// table and the converter of unsupported formats (NoConvert).
#include "video/convert.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>

#include "common/log.h"
#include "video/convert_layout.h"

namespace kelpa {
namespace {

// Frames whose source or destination would need more bytes than this are refused: every size
// must fit the 32-bit fields of ConvGeometry with room to spare.
constexpr uint64_t kMaxFrameBytes = uint64_t{1} << 30;

constexpr uint64_t RoundUp4(uint64_t n) {
    return (n + 3) & ~uint64_t{3};
}

// End of the last byte a plane's rows reach, counted from the sample start.
uint64_t PlaneEnd(uint32_t offset, uint32_t stride, uint64_t rows, uint64_t rowBytes) {
    return offset + uint64_t{stride} * (rows - 1) + rowBytes;
}

// The clamping table: entries -384 ... 0 hold 0, 1 ... 254 their index, 255 ... 639 hold 255.
constexpr int kClipLow = -384;
constexpr int kClipHigh = 639;
constexpr size_t kClipSize = kClipHigh - kClipLow + 1;
std::unique_ptr<uint8_t[]> gClipStorage;

}  // namespace

FormatKind KindOfFormat(uint32_t compression, uint32_t bitsPerPixel) {
    switch (compression) {
        case kFormatRgb:
            if (bitsPerPixel == 24) return FormatKind::kRgb24;
            if (bitsPerPixel == 32) return FormatKind::kRgb32;
            return FormatKind::kNone;
        case kFormatYuy2:
        case kFormatYuyv:
        case kFormatV422:
            return bitsPerPixel == 16 ? FormatKind::kYuy2 : FormatKind::kNone;
        case kFormatUyvy:
            return bitsPerPixel == 16 ? FormatKind::kUyvy : FormatKind::kNone;
        case kFormatI420:
        case kFormatIyuv:
            return bitsPerPixel == 12 ? FormatKind::kI420 : FormatKind::kNone;
        case kFormatYv12:
            return bitsPerPixel == 12 ? FormatKind::kYv12 : FormatKind::kNone;
        default:
            return FormatKind::kNone;
    }
}

ConverterChoice ChooseConverter(uint32_t compression, uint32_t bitsPerPixel) {
    switch (KindOfFormat(compression, bitsPerPixel)) {
        case FormatKind::kRgb24:
            return {CopyRgb24, true};
        case FormatKind::kRgb32:
            return {Rgb32ToRgb24, true};
        case FormatKind::kYuy2:
            return {Yuy2ToRgb24, true};
        case FormatKind::kUyvy:
            return {UyvyToRgb24, true};
        case FormatKind::kI420:
            return {I420ToRgb24, false};
        case FormatKind::kYv12:
            return {Yv12ToRgb24, false};
        case FormatKind::kNone:
            break;
    }
    // RGB with another depth keeps its row order; an unknown code counts as top-down.
    return {NoConvert, compression == kFormatRgb};
}

bool IsSupportedFormat(const BitmapInfoHeader& header) {
    if (KindOfFormat(header.compression, header.bitCount) == FormatKind::kNone) return false;
    if (header.width < 1 || header.height == 0) return false;
    const ConvGeometry g =
        MakeConvGeometry(header.compression, header.bitCount, header.width, header.height);
    return g.width > 0;
}

ConvGeometry MakeConvGeometry(uint32_t compression, uint32_t bitsPerPixel, int32_t width,
                              int32_t height) {
    const uint64_t w = width < 0 ? -int64_t{width} : width;
    const uint64_t h = height < 0 ? -int64_t{height} : height;
    const uint64_t srcStride = RoundUp4((uint64_t{bitsPerPixel} * w + 7) / 8);
    const uint64_t dstStride = RoundUp4(3 * w);
    // Planar frames need more than srcStride * height when the width is small and odd.
    const uint64_t planarBytes = w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2);
    ConvGeometry g;
    if (w == 0 || h == 0 || srcStride * h > kMaxFrameBytes || dstStride * h > kMaxFrameBytes ||
        planarBytes > kMaxFrameBytes) {
        return g;
    }
    g.width = static_cast<int32_t>(w);
    g.height = static_cast<int32_t>(h);
    g.pixelCount = static_cast<uint32_t>(w * h);
    g.srcStride = static_cast<uint32_t>(srcStride);
    g.srcImageSize = static_cast<uint32_t>(srcStride * h);
    g.dstStride = static_cast<uint32_t>(dstStride);
    g.bitsPerPixel = bitsPerPixel;
    const FormatKind kind = KindOfFormat(compression, bitsPerPixel);
    if (kind == FormatKind::kI420 || kind == FormatKind::kYv12) {
        const uint32_t chromaWidth = static_cast<uint32_t>((w + 1) / 2);
        const uint32_t chromaBytes = chromaWidth * static_cast<uint32_t>((h + 1) / 2);
        const uint32_t lumaBytes = g.pixelCount;
        const bool uFirst = kind == FormatKind::kI420;
        g.planeStride[0] = g.width;
        g.planeStride[1] = chromaWidth;
        g.planeStride[2] = chromaWidth;
        g.planeOffset[1] = uFirst ? lumaBytes : lumaBytes + chromaBytes;
        g.planeOffset[2] = uFirst ? lumaBytes + chromaBytes : lumaBytes;
    } else {
        g.planeStride[0] = g.srcStride;
    }
    UpdateRequiredSize(g, compression);
    return g;
}

void UpdateRequiredSize(ConvGeometry& g, uint32_t compression) {
    g.srcRequiredSize = 0;
    if (g.width < 1 || g.height < 1) return;
    const uint64_t w = static_cast<uint64_t>(g.width);
    const uint64_t h = static_cast<uint64_t>(g.height);
    uint64_t end = 0;
    switch (KindOfFormat(compression, g.bitsPerPixel)) {
        case FormatKind::kRgb24:
            end = PlaneEnd(g.planeOffset[0], g.planeStride[0], h, 3 * w);
            break;
        case FormatKind::kRgb32:
            end = PlaneEnd(g.planeOffset[0], g.planeStride[0], h, 4 * w);
            break;
        case FormatKind::kYuy2:
        case FormatKind::kUyvy:
            // Whole pairs: an odd last pixel still needs its pair's chroma bytes.
            end = PlaneEnd(g.planeOffset[0], g.planeStride[0], h, 4 * ((w + 1) / 2));
            break;
        case FormatKind::kI420:
        case FormatKind::kYv12: {
            const uint64_t cw = (w + 1) / 2;
            const uint64_t ch = (h + 1) / 2;
            end = PlaneEnd(g.planeOffset[0], g.planeStride[0], h, w);
            end = std::max(end, PlaneEnd(g.planeOffset[1], g.planeStride[1], ch, cw));
            end = std::max(end, PlaneEnd(g.planeOffset[2], g.planeStride[2], ch, cw));
            break;
        }
        case FormatKind::kNone:
            break;
    }
    g.srcRequiredSize =
        static_cast<uint32_t>(std::min<uint64_t>(end, std::numeric_limits<uint32_t>::max()));
}

void NoConvert(uint8_t* /*dst*/, const uint8_t* /*src*/, const ConvGeometry& /*g*/) {}

bool InitClipTable() {
    if (gClipStorage) return true;
    try {
        gClipStorage = std::make_unique<uint8_t[]>(kClipSize);
    } catch (const std::bad_alloc&) {
        LogPrintf("Can`t alloc 1024 memory for clip array\n exit...");
        return false;
    }
    for (int i = kClipLow; i <= kClipHigh; ++i) {
        gClipStorage[i - kClipLow] = static_cast<uint8_t>(i <= 0 ? 0 : (i >= 255 ? 255 : i));
    }
    return true;
}

void FreeClipTable() {
    gClipStorage.reset();
}

const uint8_t* ClipTable() {
    return gClipStorage ? gClipStorage.get() - kClipLow : nullptr;
}

}  // namespace kelpa
