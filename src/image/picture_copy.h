// A copy of a surface's picture that the GUI thread paints from: taken under the surface's lock
// (VideoSurf::CopyPicture), drawn outside it, so the streaming thread never waits longer than
// one copy of the picture. The copy keeps its memory between frames and grows only when a
// larger picture arrives.
#pragma once

#include <cstdint>
#include <vector>

#include "image/bitmap_header.h"
#include "image/frame_buffer.h"

namespace kelpa {

class PictureCopy {
  public:
    // The copied picture; `data` points into this object (nullptr when the surface was empty).
    const FrameBuffer& Picture() const { return picture_; }
    // The display header at the time of the copy (its height sign gives the row order).
    const BitmapInfoHeader& Header() const { return header_; }
    bool Empty() const { return picture_.data == nullptr; }
    size_t Capacity() const { return pixels_.size(); }

  private:
    friend class VideoSurf;
    std::vector<uint8_t> pixels_;
    FrameBuffer picture_;
    BitmapInfoHeader header_;
};

}  // namespace kelpa
