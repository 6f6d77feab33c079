#include "processing/chain_scratch.h"

#include <new>

namespace kelpa {

bool ChainScratch::Reserve(int32_t width, int32_t height) {
    if (width <= width_ && height <= height_ && plane_) return true;
    plane_.reset();
    rowMax_.reset();
    rowCorrection_.reset();
    columnCorrection_.reset();
    width_ = 0;
    height_ = 0;
    if (width <= 0 || height <= 0) return false;
    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    plane_.reset(new (std::nothrow) uint8_t[w * h]);
    rowMax_.reset(new (std::nothrow) uint16_t[h]);
    rowCorrection_.reset(new (std::nothrow) int16_t[h]);
    columnCorrection_.reset(new (std::nothrow) int16_t[w]);
    if (!pairs_) pairs_.reset(new (std::nothrow) uint32_t[kPairTableSize]());
    if (!plane_ || !rowMax_ || !rowCorrection_ || !columnCorrection_ || !pairs_) {
        plane_.reset();
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

}  // namespace kelpa
