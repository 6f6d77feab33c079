#include "media/media_format.h"

#include <algorithm>
#include <cstdio>

namespace kelpa {
namespace {

struct SubtypeInfo {
    uint32_t subtype;
    GstVideoFormat format;
    const char* name;
    const char* description;
};

constexpr SubtypeInfo kSubtypes[] = {
    {kSubtypeRgb24, GST_VIDEO_FORMAT_BGR, "MEDIASUBTYPE_RGB24", "RGB, 24 bpp"},
    {kSubtypeRgb32, GST_VIDEO_FORMAT_BGRx, "MEDIASUBTYPE_RGB32", "RGB, 32 bpp"},
    {kSubtypeRgb565, GST_VIDEO_FORMAT_RGB16, "MEDIASUBTYPE_RGB565", "RGB 565, 16 bpp"},
    {kSubtypeRgb555, GST_VIDEO_FORMAT_RGB15, "MEDIASUBTYPE_RGB555", "RGB 555, 16 bpp"},
    {kSubtypeYuy2, GST_VIDEO_FORMAT_YUY2, "MEDIASUBTYPE_YUY2", "YUY2 4:2:2 packed"},
    {kSubtypeUyvy, GST_VIDEO_FORMAT_UYVY, "MEDIASUBTYPE_UYVY", "UYVY 4:2:2 packed"},
    {kSubtypeI420, GST_VIDEO_FORMAT_I420, "MEDIASUBTYPE_I420", "I420 4:2:0 planar"},
    {kSubtypeYv12, GST_VIDEO_FORMAT_YV12, "MEDIASUBTYPE_YV12", "YV12 4:2:0 planar"},
    {kSubtypeMjpg, GST_VIDEO_FORMAT_UNKNOWN, "MEDIASUBTYPE_MJPG", "Motion JPEG"},
};

const SubtypeInfo* Find(uint32_t subtype) {
    for (const SubtypeInfo& s : kSubtypes) {
        if (s.subtype == subtype) return &s;
    }
    return nullptr;
}

bool IsFourCC(uint32_t code) {
    for (int i = 0; i < 4; ++i) {
        const uint8_t c = static_cast<uint8_t>(code >> (8 * i));
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

}  // namespace

bool IsInList(uint32_t subtype, std::span<const uint32_t> list) {
    return std::find(list.begin(), list.end(), subtype) != list.end();
}

std::string SubtypeName(uint32_t subtype) {
    if (const SubtypeInfo* s = Find(subtype)) return s->name;
    if (subtype == kSubtypeNone) return "GUID_NULL";
    char text[40];
    if (IsFourCC(subtype)) {
        std::snprintf(text, sizeof text, "MEDIASUBTYPE_%c%c%c%c", char(subtype & 0xFF),
                      char((subtype >> 8) & 0xFF), char((subtype >> 16) & 0xFF),
                      char(subtype >> 24));
    } else {
        std::snprintf(text, sizeof text, "MEDIASUBTYPE_%08X", subtype);
    }
    return text;
}

const char* SubtypeDescription(uint32_t subtype) {
    if (const SubtypeInfo* s = Find(subtype)) return s->description;
    return "Unknown video subtype";
}

uint32_t SubtypeFromVideoFormat(GstVideoFormat format) {
    for (const SubtypeInfo& s : kSubtypes) {
        if (s.format == format && format != GST_VIDEO_FORMAT_UNKNOWN) return s.subtype;
    }
    return kSubtypeNone;
}

GstVideoFormat VideoFormatFromSubtype(uint32_t subtype) {
    const SubtypeInfo* s = Find(subtype);
    return s ? s->format : GST_VIDEO_FORMAT_UNKNOWN;
}

uint32_t SubtypeFromStructure(const GstStructure* structure) {
    if (!structure) return kSubtypeNone;
    if (gst_structure_has_name(structure, "image/jpeg")) return kSubtypeMjpg;
    if (!gst_structure_has_name(structure, "video/x-raw")) return kSubtypeNone;
    const gchar* format = gst_structure_get_string(structure, "format");
    if (!format) return kSubtypeNone;
    // Cameras that call their 4:2:2 packing YUYV or V422 deliver the same bytes as YUY2.
    if (g_str_equal(format, "YUYV") || g_str_equal(format, "V422")) return kSubtypeYuy2;
    return SubtypeFromVideoFormat(gst_video_format_from_string(format));
}

uint32_t SubtypeFromCaps(const GstCaps* caps) {
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) return kSubtypeNone;
    return SubtypeFromStructure(gst_caps_get_structure(caps, 0));
}

GstCapsPtr CapsForSubtype(uint32_t subtype) {
    if (subtype == kSubtypeMjpg) return GstCapsPtr(gst_caps_new_empty_simple("image/jpeg"));
    const GstVideoFormat format = VideoFormatFromSubtype(subtype);
    if (format == GST_VIDEO_FORMAT_UNKNOWN) return GstCapsPtr(gst_caps_new_empty());
    return GstCapsPtr(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING,
                                          gst_video_format_to_string(format), nullptr));
}

bool IsShowableFrameSize(int width, int height) {
    // The widest pixels the intake reads are 32-bit RGB ones.
    return width > 0 && height > 0 &&
           IsSupportedFormat(BitmapInfoHeader{
               .width = width, .height = height, .bitCount = 32, .compression = kFormatRgb});
}

bool ParseVideoCaps(const GstCaps* caps, VideoMediaType* type) {
    if (!caps || !type || !gst_caps_is_fixed(caps) || gst_caps_get_size(caps) == 0) return false;
    *type = VideoMediaType{};
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    type->subtype = SubtypeFromStructure(s);
    gint num = 0;
    gint den = 1;
    if (gst_structure_get_fraction(s, "framerate", &num, &den) && num > 0 && den > 0) {
        type->timePerFrame100ns = static_cast<int64_t>(10000000.0 * den / num + 0.5);
    }
    gint width = 0;
    gint height = 0;
    gst_structure_get_int(s, "width", &width);
    gst_structure_get_int(s, "height", &height);
    BitmapInfoHeader& h = type->header;
    h.width = width;
    h.height = height;

    if (type->subtype == kSubtypeMjpg) {
        type->fixedSizeSamples = false;
        type->temporalCompression = false;
        h.compression = kSubtypeMjpg;
        h.bitCount = 24;
        return width > 0 && height > 0;
    }
    if (!gst_structure_has_name(s, "video/x-raw") || !gst_video_info_from_caps(&type->info, caps)) {
        return false;
    }
    type->hasInfo = true;
    type->sampleSize = static_cast<uint32_t>(GST_VIDEO_INFO_SIZE(&type->info));
    switch (type->subtype) {
        case kSubtypeRgb24:
            h.compression = kFormatRgb;
            h.bitCount = 24;
            h.height = -height;
            break;
        case kSubtypeRgb32:
            h.compression = kFormatRgb;
            h.bitCount = 32;
            h.height = -height;
            break;
        case kSubtypeRgb565:
        case kSubtypeRgb555:
            h.compression = kFormatRgb;
            h.bitCount = 16;
            h.height = -height;
            break;
        case kSubtypeYuy2:
            h.compression = kFormatYuy2;
            h.bitCount = 16;
            break;
        case kSubtypeUyvy:
            h.compression = kFormatUyvy;
            h.bitCount = 16;
            break;
        case kSubtypeI420:
            h.compression = kFormatI420;
            h.bitCount = 12;
            break;
        case kSubtypeYv12:
            h.compression = kFormatYv12;
            h.bitCount = 12;
            break;
        default: {
            // Any other raw format: its four-character code, refused by the intake.
            const GstVideoFormat f = GST_VIDEO_INFO_FORMAT(&type->info);
            h.compression = gst_video_format_to_fourcc(f);
            h.bitCount =
                static_cast<uint16_t>(GST_VIDEO_FORMAT_INFO_BITS(type->info.finfo) *
                                      GST_VIDEO_FORMAT_INFO_N_COMPONENTS(type->info.finfo));
            break;
        }
    }
    h.sizeImage = type->sampleSize;
    return width > 0 && height > 0;
}

void PlaneLayoutFromInfo(const GstVideoInfo& info, uint32_t offsets[3], uint32_t strides[3]) {
    for (uint32_t i = 0; i < 3; ++i) {
        offsets[i] = 0;
        strides[i] = 0;
    }
    if (GST_VIDEO_INFO_N_PLANES(&info) == 3) {
        // Planar YUV: component 1 is U and component 2 is V, wherever they lie in memory (the
        // offset of a component of a planar format is its plane's offset).
        for (uint32_t comp = 0; comp < 3; ++comp) {
            offsets[comp] = static_cast<uint32_t>(GST_VIDEO_INFO_COMP_OFFSET(&info, comp));
            strides[comp] = static_cast<uint32_t>(GST_VIDEO_INFO_COMP_STRIDE(&info, comp));
        }
        return;
    }
    // Packed formats: the plane itself (a component's offset would point inside the pixel).
    offsets[0] = static_cast<uint32_t>(GST_VIDEO_INFO_PLANE_OFFSET(&info, 0));
    strides[0] = static_cast<uint32_t>(GST_VIDEO_INFO_PLANE_STRIDE(&info, 0));
}

}  // namespace kelpa
