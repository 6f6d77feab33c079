// The per-pixel work of dark frames: summing the frames of a take, turning the sum into the
// master dark, and subtracting the master from a live picture. Written with portable SIMD and
// compiled for every instruction set the build supports; the best one for the running
// processor is chosen at the first call.
//
// Every function works on a run of bytes: a picture and its dark share one layout (the same
// stride), so whole pictures are handled in one pass, row padding included.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelpa {

// picture[i] = max(picture[i] - dark[i], 0) for i < bytes. Streaming thread, every frame.
void SubtractDark(uint8_t* picture, const uint8_t* dark, size_t bytes);

// sum[i] += picture[i] for i < bytes. The 16-bit sum holds up to 257 frames of 255.
void AccumulateDark16(uint16_t* sum, const uint8_t* picture, size_t bytes);
void AccumulateDark32(uint32_t* sum, const uint8_t* picture, size_t bytes);

// dark[i] = (sum[i] + frames / 2) / frames, the average rounded to the nearest level.
// frames >= 1.
void AverageDark16(uint8_t* dark, const uint16_t* sum, size_t bytes, uint32_t frames);
void AverageDark32(uint8_t* dark, const uint32_t* sum, size_t bytes, uint32_t frames);

// The Highway targets the kernels were compiled for, as bits, and the one they run on now
// (it follows hwy::SetSupportedTargetsForTest), for the benchmarks and the tests.
int64_t DarkKernelTargets();
int64_t DarkKernelTarget();

}  // namespace kelpa
