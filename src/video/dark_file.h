// Master darks and their files. A master dark belongs to one stream: the device that took it,
// the picture's size and the connected format; it is applied to no other. On disk it is a
// small self-describing file in the user's data folder ($XDG_DATA_HOME/kelpa/darks/), one per
// device, size and format:
//
//   offset  size  field (integers little-endian)
//   0       8     magic "KELPADRK"
//   8       4     version (1)
//   12      4     width in pixels
//   16      4     height in rows
//   20      4     format code (four characters, first in the lowest byte)
//   24      4     frames averaged
//   28      4     length n of the device name (at most kMaxDarkDeviceName)
//   32      n     device name (UTF-8, no terminator)
//   32 + n  ...   pixels: height rows of 3 * width bytes (blue, green, red), in the order of the
//                 live picture's rows
//   end - 4 4     CRC-32 (the zip polynomial) of every byte before it
//
// A file is written beside its final name and renamed over it, so a reader never sees half of
// one; a file that is short, long, of another version or whose checksum fails is refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelpa {

inline constexpr char kDarkMagic[8] = {'K', 'E', 'L', 'P', 'A', 'D', 'R', 'K'};
inline constexpr uint32_t kDarkFileVersion = 1;
inline constexpr uint32_t kMaxDarkDeviceName = 255;
// Larger pictures than the frame path takes are refused before anything is allocated.
inline constexpr uint64_t kMaxDarkPixelBytes = uint64_t{1} << 30;
inline constexpr const char* kDarkFileExtension = ".kdark";

// The stream a master dark belongs to.
struct DarkIdentity {
    std::string device;  // the capture device's name ("Video file" for files)
    int32_t width = 0;
    int32_t height = 0;
    uint32_t format = 0;  // four-character code of the connected format

    bool Valid() const { return width > 0 && height > 0; }
    friend bool operator==(const DarkIdentity&, const DarkIdentity&) = default;
};

// The format code a dark is filed under: the four-character code of a YUV format, "BGR3" or
// "BGR4" for 24-bit and 32-bit RGB.
uint32_t DarkFormatCode(uint32_t compression, uint32_t bitsPerPixel);

// "640x480 YUY2 of Simulated camera", for messages.
std::string DescribeDark(const DarkIdentity& identity);

// A master dark laid out like the live picture: rows `stride` bytes apart (3 * width rounded up
// to a multiple of 4), padding bytes 0, so that it is subtracted from a whole picture in one run.
struct MasterDark {
    DarkIdentity identity;
    uint32_t frames = 0;  // frames averaged
    uint32_t stride = 0;
    std::vector<uint8_t> pixels;  // stride * height bytes

    // Sizes `pixels` for the identity's picture (zeros).
    void Allocate(const DarkIdentity& forIdentity);
};

// The file name a stream's dark is stored under: the device name cut to letters, digits, '-' and
// '_', a hash of the whole name (two devices whose names differ only in other characters do not
// share a file), the size and the format: "Simulated_camera-1f2e3d4c-640x480-YUY2.kdark".
std::string DarkFileName(const DarkIdentity& identity);

// $XDG_DATA_HOME/kelpa/darks (no trailing '/'); empty when no data folder is known.
std::string DefaultDarkDirectory();

// Writes `dark` to `path` through a temporary file in the same folder, then renames it over
// `path`. False with the reason in `error` ("Can't write dark frame PATH: reason").
bool WriteDarkFile(const std::string& path, const MasterDark& dark, std::string* error);

// Reads a dark file into `dark`. False with the reason in `error` (a missing file, not a dark
// frame, another version, an impossible size, truncated, corrupt).
bool ReadDarkFile(const std::string& path, MasterDark* dark, std::string* error);

// CRC-32 of `bytes` continuing from `crc` (0 to start).
uint32_t Crc32(const uint8_t* bytes, size_t count, uint32_t crc = 0);

}  // namespace kelpa
