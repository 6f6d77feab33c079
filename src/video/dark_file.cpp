// Dark frame files: names, writing through a temporary file and reading with every field checked.
#include "video/dark_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "image/bitmap_header.h"
#include "image/frame_buffer.h"
#include "platform/program_paths.h"
#include "platform/unique_fd.h"

namespace kelpa {
namespace {

constexpr size_t kFixedHeaderBytes = 32;
constexpr size_t kChecksumBytes = 4;

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t GetU32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Reads up to `size` bytes; fewer only at the end of the file.
bool ReadAll(int fd, uint8_t* data, size_t size, size_t* got) {
    *got = 0;
    while (*got < size) {
        const ssize_t n = ::read(fd, data + *got, size - *got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        *got += static_cast<size_t>(n);
    }
    return true;
}

std::string FormatText(uint32_t format) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((format >> (8 * i)) & 0xFF);
        if (c == '\0') break;
        text += (c >= 0x21 && c <= 0x7E) ? c : '?';
    }
    return text.empty() ? "RGB" : text;
}

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

}  // namespace

uint32_t Crc32(const uint8_t* bytes, size_t count, uint32_t crc) {
    crc = ~crc;
    for (size_t i = 0; i < count; ++i) crc = kCrcTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t DarkFormatCode(uint32_t compression, uint32_t bitsPerPixel) {
    if (compression != 0) return compression;
    return bitsPerPixel == 32 ? FourCC("BGR4") : FourCC("BGR3");
}

std::string DescribeDark(const DarkIdentity& identity) {
    return std::to_string(identity.width) + "x" + std::to_string(identity.height) + " " +
           FormatText(identity.format) + " of " +
           (identity.device.empty() ? std::string("an unnamed source") : identity.device);
}

void MasterDark::Allocate(const DarkIdentity& forIdentity) {
    identity = forIdentity;
    stride = Stride24(forIdentity.width);
    pixels.assign(size_t{stride} * static_cast<size_t>(forIdentity.height), 0);
}

std::string DarkFileName(const DarkIdentity& identity) {
    std::string name;
    for (const char c : identity.device) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (name.size() < 48) name += keep ? c : '_';
    }
    if (name.empty()) name = "source";
    // FNV-1a of the whole name.
    uint32_t hash = 2166136261u;
    for (const char c : identity.device) {
        hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    }
    char tail[64];
    std::snprintf(tail, sizeof tail, "-%08x-%dx%d-", hash, identity.width, identity.height);
    return name + tail + FormatText(identity.format) + kDarkFileExtension;
}

std::string DefaultDarkDirectory() {
    const std::string data = UserDataDirectory();
    if (data.empty()) return {};
    return (data == "/" ? "" : data) + "/kelpa/darks";
}

bool WriteDarkFile(const std::string& path, const MasterDark& dark, std::string* error) {
    const DarkIdentity& id = dark.identity;
    const std::string failure = "Can't write dark frame " + path + ": ";
    if (!id.Valid() || dark.stride < 3u * static_cast<uint32_t>(id.width) ||
        dark.pixels.size() < size_t{dark.stride} * static_cast<size_t>(id.height)) {
        return Fail(error, failure + "the dark frame is empty");
    }
    const size_t nameBytes = std::min<size_t>(id.device.size(), kMaxDarkDeviceName);
    const size_t rowBytes = 3 * static_cast<size_t>(id.width);
    std::vector<uint8_t> bytes;
    bytes.reserve(kFixedHeaderBytes + nameBytes + rowBytes * static_cast<size_t>(id.height) +
                  kChecksumBytes);
    bytes.insert(bytes.end(), std::begin(kDarkMagic), std::end(kDarkMagic));
    PutU32(bytes, kDarkFileVersion);
    PutU32(bytes, static_cast<uint32_t>(id.width));
    PutU32(bytes, static_cast<uint32_t>(id.height));
    PutU32(bytes, id.format);
    PutU32(bytes, dark.frames);
    PutU32(bytes, static_cast<uint32_t>(nameBytes));
    bytes.insert(bytes.end(), id.device.begin(), id.device.begin() + nameBytes);
    for (int32_t row = 0; row < id.height; ++row) {
        const uint8_t* p = dark.pixels.data() + size_t{dark.stride} * static_cast<size_t>(row);
        bytes.insert(bytes.end(), p, p + rowBytes);
    }
    PutU32(bytes, Crc32(bytes.data(), bytes.size()));

    const std::string directory = ParentDirectory(path);
    if (!MakeDirectories(directory, 0755)) return Fail(error, failure + std::strerror(errno));
    std::string temp = directory + "/.dark-XXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (!fd.valid()) return Fail(error, failure + std::strerror(errno));
    const bool written = ::fchmod(fd.get(), 0644) == 0 &&
                         WriteAll(fd.get(), bytes.data(), bytes.size()) && ::fsync(fd.get()) == 0;
    const int writeError = errno;
    if (!written || ::close(fd.Release()) != 0) {
        const int why = written ? errno : writeError;
        ::unlink(temp.c_str());
        return Fail(error, failure + std::strerror(why));
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int why = errno;
        ::unlink(temp.c_str());
        return Fail(error, failure + std::strerror(why));
    }
    UniqueFd dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) ::fsync(dir.get());
    return true;
}

bool ReadDarkFile(const std::string& path, MasterDark* dark, std::string* error) {
    const std::string what = "Dark frame " + path;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return Fail(error, "Can't read dark frame " + path + ": " + std::strerror(errno));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return Fail(error, what + " is not a regular file");
    }
    uint8_t head[kFixedHeaderBytes];
    size_t got = 0;
    if (!ReadAll(fd.get(), head, sizeof head, &got)) {
        return Fail(error, "Can't read dark frame " + path + ": " + std::strerror(errno));
    }
    if (got < sizeof kDarkMagic || std::memcmp(head, kDarkMagic, sizeof kDarkMagic) != 0) {
        return Fail(error, what + " is not a dark frame file");
    }
    if (got < sizeof head) return Fail(error, what + " is truncated");
    const uint32_t version = GetU32(head + 8);
    if (version != kDarkFileVersion) {
        return Fail(error, what + " has version " + std::to_string(version) +
                               "; this program reads version " + std::to_string(kDarkFileVersion));
    }
    const uint32_t width = GetU32(head + 12);
    const uint32_t height = GetU32(head + 16);
    const uint32_t format = GetU32(head + 20);
    const uint32_t frames = GetU32(head + 24);
    const uint32_t nameBytes = GetU32(head + 28);
    const uint64_t rowBytes = 3 * uint64_t{width};
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX ||
        rowBytes * height > kMaxDarkPixelBytes) {
        return Fail(error, what + " has an impossible size " + std::to_string(width) + "x" +
                               std::to_string(height));
    }
    if (frames == 0 || nameBytes > kMaxDarkDeviceName) {
        return Fail(error, what + " is corrupt (impossible header fields)");
    }
    const uint64_t total = kFixedHeaderBytes + nameBytes + rowBytes * height + kChecksumBytes;
    if (static_cast<uint64_t>(st.st_size) < total) return Fail(error, what + " is truncated");
    if (static_cast<uint64_t>(st.st_size) > total) {
        return Fail(error, what + " is corrupt (longer than its header says)");
    }

    std::vector<uint8_t> bytes(total);
    std::memcpy(bytes.data(), head, sizeof head);
    if (!ReadAll(fd.get(), bytes.data() + sizeof head, bytes.size() - sizeof head, &got)) {
        return Fail(error, "Can't read dark frame " + path + ": " + std::strerror(errno));
    }
    if (got != bytes.size() - sizeof head) return Fail(error, what + " is truncated");
    const size_t body = bytes.size() - kChecksumBytes;
    if (Crc32(bytes.data(), body) != GetU32(bytes.data() + body)) {
        return Fail(error, what + " is corrupt (checksum mismatch)");
    }

    DarkIdentity identity;
    identity.device.assign(reinterpret_cast<const char*>(bytes.data() + kFixedHeaderBytes),
                           nameBytes);
    identity.width = static_cast<int32_t>(width);
    identity.height = static_cast<int32_t>(height);
    identity.format = format;
    dark->Allocate(identity);
    dark->frames = frames;
    const uint8_t* p = bytes.data() + kFixedHeaderBytes + nameBytes;
    for (uint32_t row = 0; row < height; ++row, p += rowBytes) {
        std::memcpy(dark->pixels.data() + size_t{dark->stride} * row, p, rowBytes);
    }
    return true;
}

}  // namespace kelpa
