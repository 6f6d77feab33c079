// The search for a capture format that a device accepts, preferring the one remembered from the
// last run: a pure algorithm over the device's list of media types, so it is tested without a
// camera. The media layer supplies the list and the "try" that asks the device to use an entry.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace kelpa {

// One media type a device offers, and the limits of the capability it came from.
struct FormatEntry {
    bool valid = false;  // the entry has a usable video format
    uint32_t subtype = 0;
    int32_t width = 0;
    int32_t height = 0;
    int64_t timePerFrame = 0;  // 100 ns units; 0 = none
    // Limits of the capability (the current-format entry has none: all 0).
    int32_t minWidth = 0;
    int32_t maxWidth = 0;
    int32_t minHeight = 0;
    int32_t maxHeight = 0;
    int64_t minInterval = 0;
    int64_t maxInterval = 0;
};

// The requested format; 0 / kSubtypeNone fields mean "none".
struct FormatRequest {
    uint32_t subtype = 0;
    int64_t timePerFrame = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Asks the device to use an entry (with the size and time per frame already written into it);
// true when the device accepted it.
using TryEntryFn = std::function<bool(const FormatEntry& entry)>;

// entries[0] is the device's current format, entries[1...] its capabilities. `fallback` is the
// ordered list of subtypes tried when the requested one fails. Returns 1 when a format was set,
// 0 when none was accepted, -2 when no entry is usable (after logging "Video format not
// found...\n").
int32_t SearchPreferredFormat(std::span<const FormatEntry> entries, FormatRequest request,
                              bool exact, std::span<const uint32_t> fallback,
                              uint32_t defaultSubtype, const TryEntryFn& tryEntry);

}  // namespace kelpa
