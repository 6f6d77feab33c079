// FITS pictures: one captured frame as an 8-bit FITS image, built in memory with cfitsio so the
// capture writer can write it through its own temporary file and put it in place like any other
// capture. A grey picture is a 2-axis image, a colour one a 3-axis image of the planes red,
// green, blue. Rows are stored in FITS order, the bottom row of the picture first, so viewers
// show the picture upright.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "video/capture_picture.h"

namespace kelpa {

// What the header says about a frame besides its size.
struct FitsFrameInfo {
    UnixTimeNs utcNs = 0;  // DATE-OBS, to the millisecond
    // Each one is left out when empty.
    std::string_view instrument;    // INSTRUME: the capture device
    std::string_view observer;      // OBSERVER
    std::string_view telescope;     // TELESCOP
    double exposureSeconds = -1.0;  // EXPTIME, when the device reports one (>= 0)
};

// The creating program, in the SWCREATE keyword.
inline constexpr const char* kFitsCreator = "Kelpa " KELPA_VERSION_TEXT;

// "YYYY-MM-DDThh:mm:ss.sss" in UTC; false for a time out of the years 1 to 9999.
bool FormatFitsDate(UnixTimeNs utcNs, char* out, size_t size);

class FitsEncoder {
  public:
    FitsEncoder() = default;
    ~FitsEncoder();
    FitsEncoder(const FitsEncoder&) = delete;
    FitsEncoder& operator=(const FitsEncoder&) = delete;

    // Takes the memory for pictures of this size, so that encoding them allocates nothing of
    // ours (cfitsio still allocates its own small structures for every file). False when the
    // memory cannot be had.
    bool Prepare(int32_t width, int32_t height);

    // Encodes one picture. False with ErrorText() set when cfitsio refuses; a picture larger
    // than the prepared size is prepared for first.
    bool Encode(const CapturePicture& picture, const FitsFrameInfo& info);

    // The file made by the last successful Encode.
    std::span<const uint8_t> Bytes() const {
        return {static_cast<const uint8_t*>(memory_), fileSize_};
    }
    const char* ErrorText() const { return error_; }

  private:
    void StorePixels(const CapturePicture& picture);
    bool Fail(const char* what, int status);

    // cfitsio's memory file: allocated with malloc, as cfitsio grows it with realloc.
    void* memory_ = nullptr;
    size_t memorySize_ = 0;
    size_t fileSize_ = 0;
    std::vector<uint8_t> pixels_;  // planes in FITS order
    char error_[128] = {};
};

}  // namespace kelpa
