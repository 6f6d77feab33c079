// The picture as the screen wants it: 24-bit blue-green-red rows turned into 32-bit words
// 0xffRRGGBB (the layout of Qt's RGB32 images and of most window back buffers), top row first
// whatever the stored row order. Drawing from such rows is a plain copy or a plain scale, which
// keeps a frame's drawing well inside a frame time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/frame_buffer.h"

namespace kelpa {

// `out` holds picture.height rows of at least picture.width words, `outStride` words apart.
// `bottomUp`: the picture's rows are stored bottom row first (the last stored row is shown at
// the top).
void ToDisplayRows(const FrameBuffer& picture, bool bottomUp, uint32_t* out, size_t outStride);

namespace reference {
// One pixel at a time; the fast version gives the same words.
void ToDisplayRows(const FrameBuffer& picture, bool bottomUp, uint32_t* out, size_t outStride);
}  // namespace reference

}  // namespace kelpa
