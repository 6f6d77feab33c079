// Format names, format lists and frame layouts of the simulated camera.
#include "sim/sim_format.h"

#include <algorithm>

namespace kelpa {
namespace {

constexpr int RoundUp2(int v) {
    return (v + 1) & ~1;
}
constexpr int RoundUp4(int v) {
    return (v + 3) & ~3;
}

std::string_view Trim(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Bytes of one row of plane `plane` and its number of rows.
void PlaneExtent(const SimLayout& layout, int plane, uint64_t* rowBytes, uint64_t* rows) {
    const uint64_t w = static_cast<uint64_t>(layout.width);
    const uint64_t h = static_cast<uint64_t>(layout.height);
    switch (layout.format) {
        case SimFormat::kBGR:
            *rowBytes = w * 3;
            break;
        case SimFormat::kBGRx:
            *rowBytes = w * 4;
            break;
        case SimFormat::kYUY2:
        case SimFormat::kUYVY:
            *rowBytes = (w + 1) / 2 * 4;
            break;
        case SimFormat::kRGB16:
            *rowBytes = w * 2;
            break;
        case SimFormat::kI420:
        case SimFormat::kYV12:
            *rowBytes = plane == 0 ? w : (w + 1) / 2;
            break;
    }
    *rows = plane == 0 ? h : (h + 1) / 2;
}

}  // namespace

const char* SimFormatName(SimFormat format) {
    switch (format) {
        case SimFormat::kBGR:
            return "BGR";
        case SimFormat::kBGRx:
            return "BGRx";
        case SimFormat::kYUY2:
            return "YUY2";
        case SimFormat::kUYVY:
            return "UYVY";
        case SimFormat::kI420:
            return "I420";
        case SimFormat::kYV12:
            return "YV12";
        case SimFormat::kRGB16:
            return "RGB16";
    }
    return "?";
}

std::optional<SimFormat> SimFormatFromName(std::string_view name) {
    for (SimFormat format : kSimAllFormats) {
        if (name == SimFormatName(format)) return format;
    }
    return std::nullopt;
}

int SimPlaneCount(SimFormat format) {
    return format == SimFormat::kI420 || format == SimFormat::kYV12 ? 3 : 1;
}

bool ParseSimFormats(std::string_view text, std::vector<SimFormat>* formats) {
    std::vector<SimFormat> parsed;
    while (true) {
        const size_t comma = text.find(',');
        const std::string_view name = Trim(text.substr(0, comma));
        const std::optional<SimFormat> format = SimFormatFromName(name);
        if (!format) return false;
        if (std::find(parsed.begin(), parsed.end(), *format) == parsed.end()) {
            parsed.push_back(*format);
        }
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    *formats = std::move(parsed);
    return true;
}

std::string SimFormatsText(const std::vector<SimFormat>& formats) {
    std::string text;
    for (SimFormat format : formats) {
        if (!text.empty()) text += ',';
        text += SimFormatName(format);
    }
    return text;
}

SimLayout DefaultSimLayout(SimFormat format, int width, int height) {
    SimLayout layout;
    layout.format = format;
    if (width < 1 || height < 1 || width > kSimMaxDimension || height > kSimMaxDimension) {
        return layout;
    }
    layout.width = width;
    layout.height = height;
    switch (format) {
        case SimFormat::kBGR:
            layout.stride[0] = RoundUp4(width * 3);
            break;
        case SimFormat::kBGRx:
            layout.stride[0] = width * 4;
            break;
        case SimFormat::kYUY2:
        case SimFormat::kUYVY:
            layout.stride[0] = RoundUp4(RoundUp2(width) * 2);
            break;
        case SimFormat::kRGB16:
            layout.stride[0] = RoundUp4(width * 2);
            break;
        case SimFormat::kI420:
        case SimFormat::kYV12: {
            const size_t chromaRows = static_cast<size_t>(RoundUp2(height) / 2);
            layout.stride[0] = RoundUp4(width);
            layout.stride[1] = RoundUp4(RoundUp2(width) / 2);
            layout.stride[2] = layout.stride[1];
            layout.offset[1] = static_cast<size_t>(layout.stride[0]) * RoundUp2(height);
            layout.offset[2] = layout.offset[1] + layout.stride[1] * chromaRows;
            layout.size = layout.offset[2] + layout.stride[2] * chromaRows;
            return layout;
        }
    }
    layout.size = static_cast<size_t>(layout.stride[0]) * height;
    return layout;
}

bool IsValidSimLayout(const SimLayout& layout, size_t bufferSize) {
    if (layout.width <= 0 || layout.height <= 0) return false;
    if (layout.size > bufferSize) return false;
    for (int plane = 0; plane < SimPlaneCount(layout.format); ++plane) {
        uint64_t rowBytes = 0;
        uint64_t rows = 0;
        PlaneExtent(layout, plane, &rowBytes, &rows);
        const int stride = layout.stride[plane];
        if (stride <= 0 || static_cast<uint64_t>(stride) < rowBytes) return false;
        // Width, height and stride are below 2^31, so this extent cannot wrap in 64 bits.
        const uint64_t extent = (rows - 1) * static_cast<uint64_t>(stride) + rowBytes;
        const size_t offset = layout.offset[plane];
        if (offset > bufferSize || extent > bufferSize - offset) return false;
    }
    return true;
}

}  // namespace kelpa
