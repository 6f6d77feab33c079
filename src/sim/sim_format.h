// Pixel formats and frame layouts of the simulated telescope camera, in plain C++ so the
// renderer can be tested and benchmarked without GStreamer. Names are GStreamer's format names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelpa {

enum class SimFormat : uint8_t {
    kBGR,    // packed 24-bit, bytes B G R (the program's RGB24)
    kBGRx,   // packed 32-bit, bytes B G R x (the program's RGB32)
    kYUY2,   // packed 4:2:2, bytes Y0 U Y1 V
    kUYVY,   // packed 4:2:2, bytes U Y0 V Y1
    kI420,   // planar 4:2:0: Y, U, V
    kYV12,   // planar 4:2:0: Y, V, U
    kRGB16,  // packed 5-6-5 in native 16-bit words; offered only to test refusals
};

// The six formats the program accepts, in the order the camera offers them by default.
inline constexpr std::array<SimFormat, 6> kSimAcceptedFormats = {
    SimFormat::kBGR,  SimFormat::kBGRx, SimFormat::kYUY2,
    SimFormat::kUYVY, SimFormat::kI420, SimFormat::kYV12,
};

inline constexpr std::array<SimFormat, 7> kSimAllFormats = {
    SimFormat::kBGR,  SimFormat::kBGRx, SimFormat::kYUY2,  SimFormat::kUYVY,
    SimFormat::kI420, SimFormat::kYV12, SimFormat::kRGB16,
};

// Largest width or height the simulated camera renders.
inline constexpr int kSimMaxDimension = 8192;

const char* SimFormatName(SimFormat format);
std::optional<SimFormat> SimFormatFromName(std::string_view name);

// Number of planes (1 for packed formats, 3 for the 4:2:0 ones).
int SimPlaneCount(SimFormat format);

// Parses a comma-separated list of format names ("UYVY", "BGR, I420"); blanks around names are
// ignored and repeated names kept once. An empty list or an unknown name returns false and
// leaves `formats` untouched.
bool ParseSimFormats(std::string_view text, std::vector<SimFormat>* formats);
std::string SimFormatsText(const std::vector<SimFormat>& formats);

// Where the planes of one frame lie in a buffer: the same facts a GstVideoInfo holds. Plane 0
// is luma (or the packed pixels); for I420 plane 1 is U and plane 2 V, for YV12 the other way
// round, as GStreamer lays them out. Rows run top row first.
struct SimLayout {
    SimFormat format = SimFormat::kBGR;
    int width = 0;
    int height = 0;
    std::array<int, 3> stride{};
    std::array<size_t, 3> offset{};
    size_t size = 0;
};

// The layout GStreamer gives a frame of this format and size when nobody asks for padding.
// Sizes outside 1 ... kSimMaxDimension give an empty layout (width 0), which no check accepts.
SimLayout DefaultSimLayout(SimFormat format, int width, int height);

// True when every plane of `layout` (its rows at their strides and offsets) lies within
// `bufferSize` bytes and every stride holds a whole row.
bool IsValidSimLayout(const SimLayout& layout, size_t bufferSize);

}  // namespace kelpa
