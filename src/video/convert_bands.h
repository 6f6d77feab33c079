// Conversion of a frame in bands of rows, each band handed to a follow-up step while it is still
// in the processor's cache. A step that runs over the whole picture after the conversion would
// read the picture back from memory; done band by band it costs little more than its own data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "video/convert.h"

namespace kelpa {

// How a format's source rows map onto the picture's rows.
enum class BandOrder : uint8_t {
    kKeep,     // picture row i from source row i (RGB)
    kTurn,     // picture row i from source row height - 1 - i (4:2:2 packed)
    kChroma2,  // picture row i from luma row i and chroma row i / 2 (4:2:0 planar)
};

// The order of a (format code, bits per pixel) pair; kKeep for formats without a converter.
BandOrder BandOrderOf(uint32_t compression, uint32_t bitsPerPixel);

// Rows per band for a picture of this stride: about kBandBytes of picture, an even number (the
// 4:2:0 converters take rows in pairs), at least 2.
inline constexpr size_t kBandBytes = 64 * 1024;
int32_t BandRows(uint32_t dstStride);

// One band of the picture: `rows` rows starting at `firstRow`, `bytes` = rows * stride bytes.
struct PictureBand {
    uint8_t* data = nullptr;
    int32_t firstRow = 0;
    int32_t rows = 0;
    size_t bytes = 0;
};

// Converts the frame as `convert` would in one call, in bands of `bandRows` rows (even, >= 2),
// and calls step(band) after each band. Streaming thread; allocates nothing.
template <typename Step>
void ConvertInBands(Converter convert, BandOrder order, int32_t bandRows, uint8_t* dst,
                    const uint8_t* src, const ConvGeometry& g, Step&& step);

// ---- Implementation ---------------------------------------------------------------------------

// The geometry of source rows [first, first + rows) as a frame of its own, and the picture row
// its first output row lands on.
ConvGeometry BandGeometry(const ConvGeometry& g, BandOrder order, int32_t first, int32_t rows,
                          int32_t* firstPictureRow);

template <typename Step>
void ConvertInBands(Converter convert, BandOrder order, int32_t bandRows, uint8_t* dst,
                    const uint8_t* src, const ConvGeometry& g, Step&& step) {
    for (int32_t first = 0; first < g.height; first += bandRows) {
        const int32_t rows = g.height - first < bandRows ? g.height - first : bandRows;
        int32_t pictureRow = 0;
        const ConvGeometry band = BandGeometry(g, order, first, rows, &pictureRow);
        uint8_t* out = dst + size_t{g.dstStride} * static_cast<size_t>(pictureRow);
        convert(out, src, band);
        step(PictureBand{out, pictureRow, rows, size_t{g.dstStride} * static_cast<size_t>(rows)});
    }
}

}  // namespace kelpa
