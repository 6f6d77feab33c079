// Writing SER video files: header, frames with the count kept right after each one, trailer.
#include "video/ser_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

namespace kelpa {
namespace {

constexpr char kFileId[] = "LUCAM-RECORDER";
// The trailer's room taken when a file is created, at most this many frames (8 MB).
constexpr uint32_t kReservedTimes = 1u << 20;
// The pixel data here is bytes, so the byte order only matters to the header words; the flag
// says little-endian as the format defines it (1).
constexpr uint32_t kLittleEndian = 1;

void PutLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutLE64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A text field: at most 40 bytes, cut in front of a UTF-8 character that would not fit whole,
// the rest zero.
void PutText(uint8_t* p, std::string_view text) {
    size_t n = std::min(text.size(), kSerTextSize);
    if (n < text.size()) {
        while (n > 0 && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::memset(p, 0, kSerTextSize);
    // An empty view may hold no pointer at all, which memcpy must not be given.
    if (n > 0) std::memcpy(p, text.data(), n);
}

bool WriteAllAt(int fd, const uint8_t* data, size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = ENOSPC;  // no progress and no reason given: the device is full
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

// Rows from the top of the picture down, padding left out; a grey picture gives one byte a pixel.
void StoreFrame(const CapturePicture& picture, uint8_t* out) {
    const FrameBuffer& fb = *picture.buffer;
    const size_t width = static_cast<size_t>(fb.width);
    for (int32_t y = 0; y < fb.height; ++y) {
        const int32_t row = picture.topDown ? y : fb.height - 1 - y;
        const uint8_t* in = fb.data + static_cast<size_t>(row) * fb.stride;
        if (picture.colour) {
            std::memcpy(out, in, width * 3);
            out += width * 3;
        } else {
            for (size_t x = 0; x < width; ++x) out[x] = GreyLevel(in + 3 * x);
            out += width;
        }
    }
}

}  // namespace

void BuildSerHeader(const SerRunInfo& info, uint32_t frameCount, uint8_t out[kSerHeaderSize]) {
    std::memcpy(out, kFileId, sizeof kFileId - 1);
    PutLE32(out + 14, 0);  // LuID: no particular camera model
    PutLE32(out + 18, static_cast<uint32_t>(info.colour));
    PutLE32(out + 22, kLittleEndian);
    PutLE32(out + 26, static_cast<uint32_t>(info.width));
    PutLE32(out + 30, static_cast<uint32_t>(info.height));
    PutLE32(out + 34, 8);  // bits per plane
    PutLE32(out + kSerFrameCountOffset, frameCount);
    PutText(out + 42, info.observer);
    PutText(out + 82, info.instrument);
    PutText(out + 122, info.telescope);
    PutLE64(out + 162, static_cast<uint64_t>(info.startLocalTicks));
    PutLE64(out + 170, static_cast<uint64_t>(info.startUtcTicks));
}

int SerFile::Create(const char* path, const SerRunInfo& info, uint32_t expectedFrames) {
    if (fd_.valid()) return EBUSY;
    if (info.width <= 0 || info.height <= 0) return EINVAL;
    const size_t planes = info.colour == SerColour::kBgr ? 3 : 1;
    const size_t bytes =
        static_cast<size_t>(info.width) * static_cast<size_t>(info.height) * planes;
    if (bytes / planes / static_cast<size_t>(info.height) != static_cast<size_t>(info.width)) {
        return EINVAL;
    }
    uint8_t header[kSerHeaderSize];
    BuildSerHeader(info, 0, header);
    try {
        frame_.resize(bytes);
        trailer_.clear();
        trailer_.reserve(
            static_cast<size_t>(std::min(std::max(expectedFrames, 1u), kReservedTimes)) * 8);
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
    UniqueFd fd(::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid()) return errno;
    if (!WriteAllAt(fd.get(), header, sizeof header, 0)) {
        const int error = errno;
        ::unlink(path);
        return error;
    }
    fd_ = std::move(fd);
    width_ = info.width;
    height_ = info.height;
    colour_ = info.colour;
    frameBytes_ = bytes;
    frameCount_ = 0;
    lastTicks_ = INT64_MIN;
    return 0;
}

bool SerFile::Takes(const CapturePicture& picture) const {
    const FrameBuffer* fb = picture.buffer;
    return fd_.valid() && fb && fb->data && fb->width == width_ && fb->height == height_ &&
           SerColourOf(picture) == colour_ && fb->stride >= static_cast<uint32_t>(fb->width) * 3;
}

int SerFile::CutBack() {
    const off_t end = static_cast<off_t>(kSerHeaderSize + frameBytes_ * frameCount_);
    while (::ftruncate(fd_.get(), end) != 0) {
        if (errno != EINTR) return errno;
    }
    return 0;
}

int SerFile::Append(const CapturePicture& picture, int64_t utcTicks) {
    if (!fd_.valid()) return EBADF;
    if (!Takes(picture)) return EINVAL;
    if (frameCount_ >= kSerMaxFrames) return EFBIG;
    StoreFrame(picture, frame_.data());
    const off_t at = static_cast<off_t>(kSerHeaderSize + frameBytes_ * frameCount_);
    uint8_t count[4];
    PutLE32(count, frameCount_ + 1);
    if (!WriteAllAt(fd_.get(), frame_.data(), frameBytes_, at) ||
        !WriteAllAt(fd_.get(), count, sizeof count, kSerFrameCountOffset)) {
        const int error = errno;
        // The count on disk is either still the old one or the new one was not written at
        // all (a 4-byte write inside the file does not tear); the frame goes either way.
        PutLE32(count, frameCount_);
        WriteAllAt(fd_.get(), count, sizeof count, kSerFrameCountOffset);
        CutBack();
        return error;
    }
    ++frameCount_;
    if (utcTicks <= lastTicks_) utcTicks = lastTicks_ + 1;
    lastTicks_ = utcTicks;
    uint8_t time[8];
    PutLE64(time, static_cast<uint64_t>(utcTicks));
    trailer_.insert(trailer_.end(), time, time + sizeof time);
    return 0;
}

int SerFile::Finish() {
    if (!fd_.valid()) return EBADF;
    const off_t at = static_cast<off_t>(kSerHeaderSize + frameBytes_ * frameCount_);
    int error = 0;
    if (!WriteAllAt(fd_.get(), trailer_.data(), trailer_.size(), at)) {
        error = errno;
        CutBack();
    }
    // Some file systems report a failed write only when the file is closed.
    if (::close(fd_.Release()) != 0 && errno != EINTR && error == 0) error = errno;
    trailer_.clear();
    return error;
}

}  // namespace kelpa
