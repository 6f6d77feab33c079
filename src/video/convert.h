// Colour conversion of one raw video frame into the 24-bit blue-green-red working picture.
// A converter is chosen once per connected format and then called for every frame on the
// streaming thread, under the live surface's lock.
#pragma once

#include <cstdint>

#include "image/bitmap_header.h"

namespace kelpa {

// Format codes of the connected video type (four characters, first in the lowest byte).
inline constexpr uint32_t kFormatRgb = 0;
inline constexpr uint32_t kFormatYuy2 = FourCC("YUY2");
inline constexpr uint32_t kFormatYuyv = FourCC("YUYV");
inline constexpr uint32_t kFormatV422 = FourCC("V422");
inline constexpr uint32_t kFormatUyvy = FourCC("UYVY");
inline constexpr uint32_t kFormatI420 = FourCC("I420");
inline constexpr uint32_t kFormatIyuv = FourCC("IYUV");
inline constexpr uint32_t kFormatYv12 = FourCC("YV12");

// Geometry of the source frame and of the destination picture, as every converter receives it.
struct ConvGeometry {
    int32_t width = 0;          // pixels, positive
    int32_t height = 0;         // rows, positive
    uint32_t pixelCount = 0;    // width * height
    uint32_t srcStride = 0;     // (bits * width + 7) / 8 rounded up to a multiple of 4
    uint32_t srcImageSize = 0;  // srcStride * height
    // Where each source plane starts (bytes from the sample start) and its row stride. Packed
    // formats use plane 0 only. Planar 4:2:0 formats: plane 0 luma, plane 1 U, plane 2 V
    // (for "YV12" too: the planes are named by content, not by their order in the sample).
    uint32_t planeOffset[3] = {};
    uint32_t planeStride[3] = {};
    // Bytes a sample must hold so that no converter reads past its end.
    uint32_t srcRequiredSize = 0;
    // Row stride of the destination picture (3 * width rounded up to a multiple of 4).
    uint32_t dstStride = 0;
    // Bits per pixel of the source format; UpdateRequiredSize needs it for RGB rows.
    uint32_t bitsPerPixel = 0;
};

// Fills the geometry for a frame of the given format in its tightly packed layout: RGB and
// 4:2:2 rows srcStride apart; for 4:2:0 luma rows width bytes apart, the U plane after the luma
// plane and V after U ("YV12": V first), chroma rows (width + 1) / 2 bytes wide and
// (height + 1) / 2 high. A media layer with padded rows overrides the plane offsets and strides
// afterwards and calls UpdateRequiredSize. A negative height counts as its magnitude; sizes
// that IsSupportedFormat refuses give an empty geometry (width and height 0).
ConvGeometry MakeConvGeometry(uint32_t compression, uint32_t bitsPerPixel, int32_t width,
                              int32_t height);
void UpdateRequiredSize(ConvGeometry& g, uint32_t compression);

// dst: the working picture's first byte; src: the sample's first byte.
using Converter = void (*)(uint8_t* dst, const uint8_t* src, const ConvGeometry& g);

struct ConverterChoice {
    Converter convert = nullptr;
    // true: the converter leaves rows bottom row first (the header height is used as it is);
    // false: its first output row is the source's first row (the height is negated).
    bool keepsRowOrder = false;
};

ConverterChoice ChooseConverter(uint32_t compression, uint32_t bitsPerPixel);
// Also refuses a width below 1, a height of 0 and frames whose source or picture would need
// more than 1 GiB (sizes that the 32-bit geometry could not describe safely).
bool IsSupportedFormat(const BitmapInfoHeader& header);

// Leaves the working picture as it was: the converter of unsupported formats.
void NoConvert(uint8_t* dst, const uint8_t* src, const ConvGeometry& g);

// The converters that ChooseConverter hands out. Every one accepts any width and height of
// at least 1, reads only the plane rows that the geometry describes (srcRequiredSize bytes at
// most) and writes only 3 * width bytes of each destination row, rows dstStride apart; row
// padding is left untouched. A geometry with a width or height below 1 converts nothing.
// RGB rows keep their order; the 4:2:2 converters turn the rows over (output row i is source
// row height - 1 - i); the planar 4:2:0 converters keep the order (top row first).
// Chroma of odd sizes: 4:2:2 rows hold n = (width + 1) / 2 pairs; pixel 2k uses pair k's chroma
// doubled, pixel 2k + 1 the sum of pair k's and pair min(k + 1, n - 1)'s (for widths that are
// multiples of 4 exactly the rule of the four-pixel groups), so an odd last pixel uses its own
// pair's Y0 and chroma. 4:2:0: pixel x of row y uses chroma (x / 2, y / 2) of planes
// (width + 1) / 2 wide and (height + 1) / 2 high.
void CopyRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g);
void Rgb32ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g);
void Yuy2ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g);
void UyvyToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g);
void I420ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g);
void Yv12ToRgb24(uint8_t* dst, const uint8_t* src, const ConvGeometry& g);

// The byte-clamping table of the planar converters, indexed -384 ... 639 through the returned
// pointer. Allocated once at start-up; false (and a log line) when it cannot be allocated.
// The scalar planar references read it; the vectorised converters clamp with saturating packs.
bool InitClipTable();
void FreeClipTable();
const uint8_t* ClipTable();

}  // namespace kelpa
