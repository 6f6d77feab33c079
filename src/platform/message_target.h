// A receiver of posted message words: the window side of the program implements it by queueing
// an event for the GUI thread; tests implement it by recording. Posting never blocks.
#pragma once

#include <cstdint>

namespace kelpa {

class MessageTarget {
  public:
    virtual ~MessageTarget() = default;
    // May be called from any thread; must return without waiting for the receiver.
    virtual void Post(uint32_t message) = 0;
};

// Program-defined messages, posted without parameters.
inline constexpr uint32_t WM_FRAME_READY = 0x8002;         // a surface holds a new picture
inline constexpr uint32_t WM_GRAPH_EVENT = 0x8003;         // the media graph has events pending
inline constexpr uint32_t WM_AUTO_AMP_CHANGED = 0x8004;    // automatic control changed `amp`
inline constexpr uint32_t WM_AUTO_ACCUM_CHANGED = 0x8005;  // ... changed `countAccum`
inline constexpr uint32_t WM_AUTO_DELAY_CHANGED = 0x8006;  // ... changed the delay
inline constexpr uint32_t WM_CAPTURE_DONE = 0x8007;        // a capture run has ended
inline constexpr uint32_t WM_CAPTURE_PROGRESS = 0x8008;    // frames were written
inline constexpr uint32_t WM_STATISTICS_READY = 0x800A;    // new area statistics

}  // namespace kelpa
