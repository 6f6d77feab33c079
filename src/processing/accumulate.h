// The accumulate, output and refresh stages (chain slots 2-4) of both accumulation variants:
// "Accm" (Average) divides the sum of frames by its weight; "AcRB" (Subtracter-Adder) adds the
// signal of the frames and subtracts the background of all but one of them.
//
// The stages of the registry run the vector kernels; the `scalar` namespace holds the same
// stages written pixel by pixel from the formulas, the reference the tests compare against.
#pragma once

#include "image/frame_buffer.h"
#include "processing/channel_formulas.h"

namespace kelpa {

class ProcEngine;

// Adds the area of one frame into the accumulator; true when the sum is complete.
template <class P>
bool Accumulate(ProcEngine& e, const FrameBuffer& in);
template <class P>
void OutputAverage(ProcEngine& e);
template <class P>
void RefreshAverage(ProcEngine& e);
template <class P>
void OutputSubtracterAdder(ProcEngine& e);
template <class P>
void RefreshSubtracterAdder(ProcEngine& e);

// The bookkeeping of one accumulated frame: weights, frame count and accCount. Returns true
// when the sum is complete (accCount then starts again at 0).
template <class P>
bool CountAccumulatedFrame(ProcEngine& e, bool first);

namespace scalar {
template <class P>
bool Accumulate(ProcEngine& e, const FrameBuffer& in);
template <class P>
void OutputAverage(ProcEngine& e);
template <class P>
void RefreshAverage(ProcEngine& e);
template <class P>
void OutputSubtracterAdder(ProcEngine& e);
template <class P>
void RefreshSubtracterAdder(ProcEngine& e);
}  // namespace scalar

#define KELPA_ACCUMULATE_STAGES(P)                                       \
    extern template bool Accumulate<P>(ProcEngine&, const FrameBuffer&); \
    extern template void OutputAverage<P>(ProcEngine&);                  \
    extern template void RefreshAverage<P>(ProcEngine&);                 \
    extern template void OutputSubtracterAdder<P>(ProcEngine&);          \
    extern template void RefreshSubtracterAdder<P>(ProcEngine&);         \
    extern template bool CountAccumulatedFrame<P>(ProcEngine&, bool);    \
    namespace scalar {                                                   \
    extern template bool Accumulate<P>(ProcEngine&, const FrameBuffer&); \
    extern template void OutputAverage<P>(ProcEngine&);                  \
    extern template void RefreshAverage<P>(ProcEngine&);                 \
    extern template void OutputSubtracterAdder<P>(ProcEngine&);          \
    extern template void RefreshSubtracterAdder<P>(ProcEngine&);         \
    }
KELPA_FOR_EACH_CHANNEL(KELPA_ACCUMULATE_STAGES)
#undef KELPA_ACCUMULATE_STAGES

}  // namespace kelpa
