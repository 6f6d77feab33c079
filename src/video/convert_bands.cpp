// Band geometry for the banded conversion: a band of source rows is described to a converter as
// a frame of its own whose planes start at the band's first rows.
#include "video/convert_bands.h"

#include <algorithm>

#include "video/convert_layout.h"

namespace kelpa {

BandOrder BandOrderOf(uint32_t compression, uint32_t bitsPerPixel) {
    switch (KindOfFormat(compression, bitsPerPixel)) {
        case FormatKind::kYuy2:
        case FormatKind::kUyvy:
            return BandOrder::kTurn;
        case FormatKind::kI420:
        case FormatKind::kYv12:
            return BandOrder::kChroma2;
        default:
            return BandOrder::kKeep;
    }
}

int32_t BandRows(uint32_t dstStride) {
    const size_t rows = dstStride ? kBandBytes / dstStride : 2;
    return static_cast<int32_t>(std::max<size_t>(2, std::min<size_t>(rows, 1 << 20) & ~size_t{1}));
}

ConvGeometry BandGeometry(const ConvGeometry& g, BandOrder order, int32_t first, int32_t rows,
                          int32_t* firstPictureRow) {
    ConvGeometry band = g;
    band.height = rows;
    band.pixelCount = static_cast<uint32_t>(g.width) * static_cast<uint32_t>(rows);
    band.srcImageSize = g.srcStride * static_cast<uint32_t>(rows);
    band.planeOffset[0] = g.planeOffset[0] + g.planeStride[0] * static_cast<uint32_t>(first);
    *firstPictureRow = first;
    switch (order) {
        case BandOrder::kKeep:
            break;
        case BandOrder::kTurn:
            // Source rows first ... first + rows - 1 become picture rows counted from the bottom.
            *firstPictureRow = g.height - first - rows;
            break;
        case BandOrder::kChroma2:
            // Bands start on even rows, so the band's chroma starts at row first / 2.
            for (int plane = 1; plane < 3; ++plane) {
                band.planeOffset[plane] =
                    g.planeOffset[plane] + g.planeStride[plane] * static_cast<uint32_t>(first / 2);
            }
            break;
    }
    return band;
}

}  // namespace kelpa
