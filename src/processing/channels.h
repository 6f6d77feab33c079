// The outside and full-frame stages of the channel processors (chain slots 0 and 1), one
// instance per processor; the registry takes their addresses.
#pragma once

#include "image/frame_buffer.h"
#include "processing/channel_formulas.h"

namespace kelpa {

class ProcEngine;

// Slot 0 when filled: renders the whole frame once, then puts OutsideOnly<P> in its place.
template <class P>
void OutsideWholeFirst(ProcEngine& e, const FrameBuffer& in);
// Renders everything outside the processing area.
template <class P>
void OutsideOnly(ProcEngine& e, const FrameBuffer& in);
// Slot 1: renders the whole frame (used while there is no accumulate stage).
template <class P>
void FullFrame(ProcEngine& e, const FrameBuffer& in);

#define KELPA_CHANNEL_STAGES(P)                                                 \
    extern template void OutsideWholeFirst<P>(ProcEngine&, const FrameBuffer&); \
    extern template void OutsideOnly<P>(ProcEngine&, const FrameBuffer&);       \
    extern template void FullFrame<P>(ProcEngine&, const FrameBuffer&);
KELPA_FOR_EACH_CHANNEL(KELPA_CHANNEL_STAGES)
#undef KELPA_CHANNEL_STAGES

}  // namespace kelpa
