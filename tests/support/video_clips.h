// Helpers of the video-file tests: writing small video files with GStreamer whose frames tell
// their own number (frame i is a flat grey of level 10 + 5 i), and reading that number back
// from the live picture.
#pragma once

#include <cstdint>
#include <string>

#include "image/video_surf.h"

namespace kelpa::test {

struct ClipParams {
    const char* format = "I420";  // the raw format the muxer (or the encoder) receives
    int width = 320;
    int height = 240;
    int rateNum = 25;
    int rateDen = 1;
    int frames = 10;
    const char* encoder = nullptr;  // nullptr: raw frames
    const char* muxer = "avimux";
};

// The grey level of frame `index` (50 frames fit in 0 ... 255).
inline int FrameLevel(int index) {
    return 10 + 5 * index;
}

// Writes the clip; false with the reason when GStreamer could not make it.
bool WriteClip(const std::string& path, const ClipParams& clip, std::string* error);

// The number of the frame the picture shows (from the green level at its centre); -1 when the
// picture is empty.
int ShownFrame(VideoSurf& surf);

}  // namespace kelpa::test
