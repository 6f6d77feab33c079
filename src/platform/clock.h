// Millisecond tick and sleep. The frame path takes a Clock so tests can drive time themselves.
#pragma once

#include <cstdint>

namespace kelpa {

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic clock; wraps at 2^32 like any 32-bit tick.
    virtual uint32_t TickMs() = 0;
    virtual void SleepMs(uint32_t ms) = 0;
};

// The real monotonic clock; safe to use from any thread.
Clock& SystemClock();

uint32_t GetTickMs();
void SleepMs(uint32_t ms);

}  // namespace kelpa
