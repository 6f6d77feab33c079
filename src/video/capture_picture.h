// A picture as the capture files take it: the 24-bit working picture, the order of its rows, and
// whether it carries colour or one grey level repeated in its three bytes.
#pragma once

#include <cstdint>

#include "image/frame_buffer.h"

namespace kelpa {

struct CapturePicture {
    const FrameBuffer* buffer = nullptr;
    bool topDown = false;  // the first row in memory is the top of the picture
    bool colour = true;    // false: blue, green and red hold the same grey level
};

// The grey level of a pixel of a grey picture: the grey processors write the same level into
// the three bytes, so any one of them is the level.
inline uint8_t GreyLevel(const uint8_t* bgr) {
    return bgr[1];
}

// Nanoseconds since 1970-01-01 00:00 UTC.
using UnixTimeNs = int64_t;

}  // namespace kelpa
