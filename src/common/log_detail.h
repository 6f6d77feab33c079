// Internals of the process log that tests reach: the byte counter behind the size cap and a
// full reset of the process-wide state. Not for use by the program itself.
#pragma once

#include <cstdint>

namespace kelpa::detail {

// The log stops growing once more than this many bytes were written.
inline constexpr uint32_t kLogByteCap = 0x40000000u;

uint32_t LogBytesWritten();
void SetLogBytesWritten(uint32_t bytes);

// Closes the stream and forgets the opener, the second sink, the main thread, the count and
// the log directory.
void ResetLogState();

}  // namespace kelpa::detail
