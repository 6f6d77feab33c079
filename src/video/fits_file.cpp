// Building FITS pictures in memory with cfitsio.
#include "video/fits_file.h"

#include <fitsio.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

namespace kelpa {
namespace {

constexpr size_t kFitsBlock = 2880;
// Room for the header: two blocks hold 72 keyword cards, more than a capture writes.
constexpr size_t kHeaderRoom = 2 * kFitsBlock;
// A string value holds at most 68 characters.
constexpr size_t kMaxValueChars = 68;

size_t RoundToBlock(size_t bytes) {
    return (bytes + kFitsBlock - 1) / kFitsBlock * kFitsBlock;
}

void* GrowMemory(void* p, size_t size) {
    return std::realloc(p, size);
}

// A FITS text value: printable ASCII only, at most 68 characters.
void WriteText(fitsfile* file, const char* key, std::string_view text, const char* comment,
               int* status) {
    if (text.empty()) return;
    char value[kMaxValueChars + 1];
    const size_t n = std::min(text.size(), kMaxValueChars);
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        value[i] = c >= 32 && c <= 126 ? static_cast<char>(c) : '_';
    }
    value[n] = '\0';
    fits_write_key_str(file, key, value, comment, status);
}

}  // namespace

bool FormatFitsDate(UnixTimeNs utcNs, char* out, size_t size) {
    constexpr int64_t kNsPerSecond = 1000000000;
    int64_t seconds = utcNs / kNsPerSecond;
    int64_t ns = utcNs % kNsPerSecond;
    if (ns < 0) {
        ns += kNsPerSecond;
        --seconds;
    }
    const auto t = static_cast<time_t>(seconds);
    std::tm parts{};
    if (!gmtime_r(&t, &parts) || parts.tm_year + 1900 < 1 || parts.tm_year + 1900 > 9999) {
        return false;
    }
    const int n = std::snprintf(
        out, size, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", parts.tm_year + 1900, parts.tm_mon + 1,
        parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, static_cast<int>(ns / 1000000));
    return n > 0 && static_cast<size_t>(n) < size;
}

FitsEncoder::~FitsEncoder() {
    std::free(memory_);
}

bool FitsEncoder::Prepare(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return false;
    const size_t data = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    try {
        pixels_.resize(data);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const size_t file = kHeaderRoom + RoundToBlock(data);
    if (memorySize_ < file) {
        void* grown = std::realloc(memory_, file);
        if (!grown) return false;
        memory_ = grown;
        memorySize_ = file;
    }
    return true;
}

void FitsEncoder::StorePixels(const CapturePicture& picture) {
    const FrameBuffer& fb = *picture.buffer;
    const size_t width = static_cast<size_t>(fb.width);
    const size_t plane = width * static_cast<size_t>(fb.height);
    uint8_t* out = pixels_.data();
    // FITS row y counts from the bottom of the picture.
    for (int32_t y = 0; y < fb.height; ++y) {
        const int32_t row = picture.topDown ? fb.height - 1 - y : y;
        const uint8_t* in = fb.data + static_cast<size_t>(row) * fb.stride;
        uint8_t* dst = out + static_cast<size_t>(y) * width;
        if (picture.colour) {
            for (size_t x = 0; x < width; ++x) {
                dst[x] = in[3 * x + 2];
                dst[plane + x] = in[3 * x + 1];
                dst[2 * plane + x] = in[3 * x];
            }
        } else {
            for (size_t x = 0; x < width; ++x) dst[x] = GreyLevel(in + 3 * x);
        }
    }
}

bool FitsEncoder::Fail(const char* what, int status) {
    char reason[FLEN_STATUS] = "";
    if (status != 0) fits_get_errstatus(status, reason);
    std::snprintf(error_, sizeof error_, "%s%s%s", what, status != 0 ? ": " : "", reason);
    // cfitsio keeps a stack of messages per thread; they are of no further use.
    fits_clear_errmsg();
    return false;
}

bool FitsEncoder::Encode(const CapturePicture& picture, const FitsFrameInfo& info) {
    fileSize_ = 0;
    error_[0] = '\0';
    const FrameBuffer* fb = picture.buffer;
    if (!fb || !fb->data || fb->width <= 0 || fb->height <= 0 ||
        fb->stride < static_cast<uint32_t>(fb->width) * 3) {
        return Fail("no picture to write", 0);
    }
    const size_t planes = picture.colour ? 3 : 1;
    const size_t count = static_cast<size_t>(fb->width) * static_cast<size_t>(fb->height) * planes;
    if ((pixels_.size() < count || memorySize_ < kHeaderRoom + RoundToBlock(count)) &&
        !Prepare(fb->width, fb->height)) {
        return Fail("out of memory for a FITS picture", 0);
    }
    char date[32];
    if (!FormatFitsDate(info.utcNs, date, sizeof date)) return Fail("the frame time is invalid", 0);
    StorePixels(picture);

    int status = 0;
    fitsfile* file = nullptr;
    if (fits_create_memfile(&file, &memory_, &memorySize_, kFitsBlock, &GrowMemory, &status)) {
        return Fail("cannot start a FITS file", status);
    }
    long axes[3] = {fb->width, fb->height, 3};
    fits_create_img(file, BYTE_IMG, static_cast<int>(picture.colour ? 3 : 2), axes, &status);
    if (picture.colour) fits_modify_comment(file, "NAXIS3", "planes red, green, blue", &status);
    fits_write_key_str(file, "DATE-OBS", date, "UTC time of the frame", &status);
    if (info.exposureSeconds >= 0.0) {
        fits_write_key_dbl(file, "EXPTIME", info.exposureSeconds, -10, "exposure time in seconds",
                           &status);
    }
    WriteText(file, "INSTRUME", info.instrument, "capture device", &status);
    WriteText(file, "TELESCOP", info.telescope, nullptr, &status);
    WriteText(file, "OBSERVER", info.observer, nullptr, &status);
    fits_write_key_str(file, "ROWORDER", "BOTTOM-UP", "first row is the bottom of the picture",
                       &status);
    fits_write_key_str(file, "SWCREATE", kFitsCreator, "software that wrote the file", &status);
    fits_write_img(file, TBYTE, 1, static_cast<LONGLONG>(count), pixels_.data(), &status);
    LONGLONG headerStart = 0;
    LONGLONG dataStart = 0;
    LONGLONG dataEnd = 0;
    fits_get_hduaddrll(file, &headerStart, &dataStart, &dataEnd, &status);
    // Closing fills the last block; the memory stays ours.
    fits_close_file(file, &status);
    if (status != 0) return Fail("cannot build the FITS picture", status);
    if (dataEnd <= 0 || static_cast<size_t>(dataEnd) > memorySize_ ||
        static_cast<size_t>(dataEnd) % kFitsBlock != 0) {
        return Fail("the FITS picture came out of the wrong size", 0);
    }
    fileSize_ = static_cast<size_t>(dataEnd);
    return true;
}

}  // namespace kelpa
