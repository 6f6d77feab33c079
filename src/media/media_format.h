// The program's view of a video media type on GStreamer caps: the subtype code, its stable
// name for the log, the bitmap header handed to the intake, the time per frame and the plane
// layout of a negotiated frame.
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

#include <cstdint>
#include <span>
#include <string>

#include "image/bitmap_header.h"
#include "media/gst_ptr.h"
#include "video/convert.h"

namespace kelpa {

// Subtype codes: four-character codes for YUV and compressed formats; the uncompressed RGB
// subtypes use the first 32 bits of their platform identifiers, so that every subtype fits the
// profile's 32-bit `VidCapFOURCC` key.
inline constexpr uint32_t kSubtypeNone = 0;
inline constexpr uint32_t kSubtypeRgb565 = 0xe436eb7b;
inline constexpr uint32_t kSubtypeRgb555 = 0xe436eb7c;
inline constexpr uint32_t kSubtypeRgb24 = 0xe436eb7d;
inline constexpr uint32_t kSubtypeRgb32 = 0xe436eb7e;
inline constexpr uint32_t kSubtypeYuy2 = FourCC("YUY2");
inline constexpr uint32_t kSubtypeUyvy = FourCC("UYVY");
inline constexpr uint32_t kSubtypeI420 = FourCC("I420");
inline constexpr uint32_t kSubtypeYv12 = FourCC("YV12");
inline constexpr uint32_t kSubtypeMjpg = FourCC("MJPG");

// Tried, in this order, when a capture device's preferred subtype is missing or fails.
inline constexpr uint32_t kFallbackSubtypes[] = {kSubtypeRgb24, kSubtypeYuy2, kSubtypeUyvy,
                                                 kSubtypeI420,  kSubtypeYv12, kSubtypeRgb32};
// Tried, in this order, when a video file is connected.
inline constexpr uint32_t kFileSubtypes[] = {kSubtypeRgb24, kSubtypeRgb32, kSubtypeYuy2,
                                             kSubtypeUyvy,  kSubtypeI420,  kSubtypeYv12};

bool IsInList(uint32_t subtype, std::span<const uint32_t> list);

// "MEDIASUBTYPE_YUY2", "MEDIASUBTYPE_RGB24", ...; unknown codes get a stable made-up name.
std::string SubtypeName(uint32_t subtype);
// A readable description of the subtype for the log.
const char* SubtypeDescription(uint32_t subtype);

// GStreamer format <-> subtype. GST_VIDEO_FORMAT_UNKNOWN / kSubtypeNone when there is none.
uint32_t SubtypeFromVideoFormat(GstVideoFormat format);
GstVideoFormat VideoFormatFromSubtype(uint32_t subtype);
// The subtype of a caps structure: raw video by its format (YUYV and V422 count as YUY2),
// image/jpeg as MJPG.
uint32_t SubtypeFromStructure(const GstStructure* structure);
// The subtype of the first structure of caps; kSubtypeNone for none or empty caps.
uint32_t SubtypeFromCaps(const GstCaps* caps);

// Caps that ask for one subtype (any size and rate): "video/x-raw,format=BGR", "image/jpeg".
GstCapsPtr CapsForSubtype(uint32_t subtype);

// Everything the program takes from a fixed video caps.
struct VideoMediaType {
    uint32_t subtype = kSubtypeNone;
    BitmapInfoHeader header;        // as the intake expects it (see below)
    int64_t timePerFrame100ns = 0;  // 0 when the caps carry no rate
    bool fixedSizeSamples = true;   // raw video: every frame the same size
    bool temporalCompression = false;
    uint32_t sampleSize = 0;  // bytes of one frame
    GstVideoInfo info;        // the negotiated layout (raw video only)
    bool hasInfo = false;
};

// Whether frames of this size fit the program's pictures: at least one pixel, and no more
// than the largest frame the intake converts (a damaged or crafted header can claim 0 or
// 2^31 - 1 pixels).
bool IsShowableFrameSize(int width, int height);

// Reads fixed caps. RGB rows from GStreamer are top row first, so RGB headers get a negative
// height; YUV headers a positive one (the converters decide the row order). False when the
// caps are not fixed video.
bool ParseVideoCaps(const GstCaps* caps, VideoMediaType* type);

// Plane offsets and strides of a negotiated frame as ConvGeometry names them (plane 1 = U,
// plane 2 = V, whatever their order in memory).
void PlaneLayoutFromInfo(const GstVideoInfo& info, uint32_t offsets[3], uint32_t strides[3]);

}  // namespace kelpa
