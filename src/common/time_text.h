// Short time texts of the status line and the capture dialogs, and their inverse for times the
// user types.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelpa {

// Smallest buffers the formatters accept, terminator included.
inline constexpr size_t kMsTimeTextSize = 15;
inline constexpr size_t kSecMsTextSize = 7;

// Elapsed time as "ss:mmm", "mm:ss:mmm" or "hh:mm:ss:mmm"; times above 24 hours read
// "> 24:00:00:000". Returns the characters written, or -1 when `out` is null or smaller than
// kMsTimeTextSize.
int FormatMsTime(uint32_t ms, char* out, size_t size);

// "ss:mmm", with 60 seconds and more shown as "59:000". Returns the characters written, or -1
// when `out` is null or smaller than kSecMsTextSize.
int FormatSecMs(uint32_t ms, char* out, size_t size);

// Reads up to four ':'-separated numbers, right-aligned onto hours, minutes, seconds and
// milliseconds (hours, minutes and seconds held to 59, milliseconds to 999). Returns false and
// leaves `ms` alone when no number was read; otherwise replaces `ms` and sets `changed` (when
// given) to whether it differs from the value passed in.
bool ParseMsTime(const char* text, uint32_t* ms, bool* changed = nullptr);

}  // namespace kelpa
