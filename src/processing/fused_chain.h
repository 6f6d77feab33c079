// The chain of one frame with the registry's stages fused into few passes over the pictures.
//
// Step by step the chain would read and write the processed area five or six times: render,
// histogram, guide sums, two banding passes, each correcting all three bytes of every pixel.
// Fused, a grey processor renders one byte a pixel into a work plane that stays in the cache,
// the statistics, guide and banding sums read that plane, and the picture is written once at
// the end with both banding corrections applied; a sum of one frame that will never be read
// again is not stored in the accumulator at all. The results are those of the stages run one
// by one, bit for bit.
#pragma once

namespace kelpa {

class ProcEngine;
struct FrameBuffer;

// Runs what follows the outside stage of one frame (accumulate, output, measurement, banding,
// automatic control and refresh) when the slots hold the registry's stages of the current
// processor and the work memory is there; `result` is then ProcessFrame's result. Returns
// false, having changed nothing, when the frame must go through the slots one by one.
bool RunFusedChain(ProcEngine& e, const FrameBuffer& input, bool& result);

}  // namespace kelpa
