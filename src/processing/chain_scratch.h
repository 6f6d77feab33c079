// Memory of the fused frame path, sized with the frame on the GUI thread so that the streaming
// thread never allocates: the grey work plane (one byte a pixel, the level a grey processor
// writes to all three bytes), the row maxima of the histogram, the banding corrections and the
// pair table of the histogram.
#pragma once

#include <cstdint>
#include <memory>

#include "processing/chain_kernels.h"

namespace kelpa {

// The levels of a rectangle of the frame, one byte a pixel: the processing area as the output
// stage rendered it, and around it (where the statistics window reaches past the area) the
// first bytes of the picture.
struct WorkPlane {
    PixelView view;
    Rect box;
    Rect area;
};

class ChainScratch {
  public:
    // Makes room for a frame; false when the memory could not be had (the frame path then
    // runs the stages one by one).
    bool Reserve(int32_t width, int32_t height);
    bool Ready() const { return plane_ != nullptr; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

    uint8_t* Plane() { return plane_.get(); }
    uint16_t* RowMax() { return rowMax_.get(); }
    int16_t* RowCorrection() { return rowCorrection_.get(); }
    int16_t* ColumnCorrection() { return columnCorrection_.get(); }
    // kPairTableSize zeroed words for AddHistogram.
    uint32_t* Pairs() { return pairs_.get(); }

  private:
    std::unique_ptr<uint8_t[]> plane_;
    std::unique_ptr<uint16_t[]> rowMax_;
    std::unique_ptr<int16_t[]> rowCorrection_;
    std::unique_ptr<int16_t[]> columnCorrection_;
    std::unique_ptr<uint32_t[]> pairs_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

}  // namespace kelpa
