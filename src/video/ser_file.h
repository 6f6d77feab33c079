// SER video files: the frames of one capture run in one file, as planetary stacking programs
// read them. A 178-byte header (size, colour, frame count, observer, instrument, telescope and
// the start time), the frames one after the other with rows from the top of the picture down,
// then a trailer with the UTC time of each frame. Everything is little-endian.
//
// The header's frame count always matches the frames the file holds in full: it is rewritten
// after every frame, and a frame that cannot be written is cut off again. So a file whose
// writing was cut short (a crash, a full disk) stays readable up to its last whole frame; only
// the trailer, written when the run ends, is then missing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/unique_fd.h"
#include "video/capture_picture.h"

namespace kelpa {

inline constexpr size_t kSerHeaderSize = 178;
inline constexpr size_t kSerTextSize = 40;  // observer, instrument, telescope
inline constexpr size_t kSerFrameCountOffset = 38;
// The header's frame count is a signed 32-bit number.
inline constexpr uint32_t kSerMaxFrames = 0x7FFFFFFF;

enum class SerColour : int32_t {
    kMono = 0,
    kBgr = 101,  // three bytes a pixel: blue, green, red
};

// SER times count 100 ns ticks from 0001-01-01 00:00.
inline constexpr int64_t kSerTicksAtUnixEpoch = 621355968000000000;
constexpr int64_t SerTicksFromUnixNs(UnixTimeNs ns) {
    // Floor division, so times before 1970 stay in order too.
    const int64_t ticks = ns / 100 - (ns % 100 < 0 ? 1 : 0);
    return ticks + kSerTicksAtUnixEpoch;
}

// What the header of a run's file says besides the frame count.
struct SerRunInfo {
    int32_t width = 0;
    int32_t height = 0;
    SerColour colour = SerColour::kMono;
    // Cut to 40 bytes (never inside a UTF-8 character); empty ones are left blank.
    std::string_view observer;
    std::string_view instrument;
    std::string_view telescope;
    int64_t startLocalTicks = 0;  // the start in local time
    int64_t startUtcTicks = 0;
};

// The header bytes for a file holding `frameCount` frames.
void BuildSerHeader(const SerRunInfo& info, uint32_t frameCount, uint8_t out[kSerHeaderSize]);

// The colour a picture is stored with.
inline SerColour SerColourOf(const CapturePicture& picture) {
    return picture.colour ? SerColour::kBgr : SerColour::kMono;
}

class SerFile {
  public:
    SerFile() = default;
    SerFile(const SerFile&) = delete;
    SerFile& operator=(const SerFile&) = delete;
    // Closes a file that was not finished as it stands: a correct count, no trailer.
    ~SerFile() = default;

    // Creates a new file at `path` (never an existing one) and writes the header with no
    // frames. Room for the frame being written and the times of `expectedFrames` frames is
    // taken here, so that appending allocates nothing (beyond that many frames the list of
    // times grows now and then). Returns 0 or the errno of the failure (EEXIST when the name
    // is taken, EINVAL for a size a SER file cannot describe).
    int Create(const char* path, const SerRunInfo& info, uint32_t expectedFrames);

    // True when the picture can go into this file: the same size and colour.
    bool Takes(const CapturePicture& picture) const;

    // Appends a picture taken at `utcTicks` and counts it in the header. Times are made
    // strictly increasing (a time not after the last one becomes the last one + 1 tick). On a
    // failure the file is cut back to the frames it held before and the count stays; returns 0
    // or the errno. Allocates nothing.
    int Append(const CapturePicture& picture, int64_t utcTicks);

    // Writes the trailer of frame times and closes the file. When the trailer cannot be
    // written the file is cut back to its frames (their count is right) and closed; returns 0
    // or the errno of the failure.
    int Finish();

    bool IsOpen() const { return fd_.valid(); }
    uint32_t FrameCount() const { return frameCount_; }
    size_t FrameBytes() const { return frameBytes_; }

  private:
    int CutBack();

    UniqueFd fd_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    SerColour colour_ = SerColour::kMono;
    size_t frameBytes_ = 0;
    uint32_t frameCount_ = 0;
    int64_t lastTicks_ = 0;
    std::vector<uint8_t> frame_;    // one frame as stored
    std::vector<uint8_t> trailer_;  // 8 bytes a frame
};

}  // namespace kelpa
