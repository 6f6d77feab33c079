#include "video/format_search.h"

#include <algorithm>

#include "common/log.h"

namespace kelpa {
namespace {

struct Limits {
    int32_t maxWidth = 0;
    int32_t maxHeight = 0;
    int32_t minWidth = 0;  // smallest positive minimum, 0 = none found
    int32_t minHeight = 0;
    int64_t maxInterval = 0;
    int64_t minInterval = 0;
};

Limits CollectLimits(std::span<const FormatEntry> entries, uint32_t subtype) {
    Limits l;
    for (size_t i = 1; i < entries.size(); ++i) {
        const FormatEntry& e = entries[i];
        if (!e.valid || (subtype != 0 && e.subtype != subtype)) continue;
        l.maxWidth = std::max(l.maxWidth, e.maxWidth);
        l.maxHeight = std::max(l.maxHeight, e.maxHeight);
        if (e.minWidth > 0 && (l.minWidth == 0 || e.minWidth < l.minWidth)) l.minWidth = e.minWidth;
        if (e.minHeight > 0 && (l.minHeight == 0 || e.minHeight < l.minHeight)) {
            l.minHeight = e.minHeight;
        }
        l.maxInterval = std::max(l.maxInterval, e.maxInterval);
        if (e.minInterval > 0 && (l.minInterval == 0 || e.minInterval < l.minInterval)) {
            l.minInterval = e.minInterval;
        }
    }
    return l;
}

// Asks the device to use the first entry of subtype S (any when S is 0) with the size and
// time per frame written into it.
bool TryFormat(std::span<const FormatEntry> entries, uint32_t subtype, int64_t timePerFrame,
               int32_t width, int32_t height, const TryEntryFn& tryEntry) {
    for (const FormatEntry& e : entries) {
        if (!e.valid || (subtype != 0 && e.subtype != subtype)) continue;
        FormatEntry candidate = e;
        if (width > 0 && height > 0) {
            candidate.width = width;
            candidate.height = height;
        }
        if (timePerFrame > 0) candidate.timePerFrame = timePerFrame;
        if (tryEntry(candidate)) return true;
    }
    return false;
}

}  // namespace

int32_t SearchPreferredFormat(std::span<const FormatEntry> entries, FormatRequest request,
                              bool exact, std::span<const uint32_t> fallback,
                              uint32_t defaultSubtype, const TryEntryFn& tryEntry) {
    const bool usable =
        std::any_of(entries.begin(), entries.end(), [](const FormatEntry& e) { return e.valid; });
    if (!usable) {
        LogPrintf("Video format not found...\n");
        return -2;
    }

    uint32_t s = request.subtype;
    int64_t t = request.timePerFrame > 0 ? request.timePerFrame : 0;
    int32_t w = request.width;
    int32_t h = request.height;
    bool haveSize = w > 0 && h > 0;

    // Bring the request within what the device's capabilities of that subtype allow.
    const Limits lim = CollectLimits(entries, s);
    if (t > 0) {
        if (lim.maxInterval != 0) t = std::min(t, lim.maxInterval);
        if (lim.minInterval > 0) t = std::max(t, lim.minInterval);
    }
    if (haveSize) {
        if (lim.maxWidth != 0 && lim.maxHeight != 0) {
            w = std::min(w, lim.maxWidth);
            h = std::min(h, lim.maxHeight);
        }
        if (lim.minWidth > 0) w = std::max(w, lim.minWidth);
        if (lim.minHeight > 0) h = std::max(h, lim.minHeight);
    }
    const bool listed = std::find(fallback.begin(), fallback.end(), s) != fallback.end();
    if (!exact && (s == 0 || !listed)) s = defaultSubtype;

    const uint32_t requested = s;
    size_t position = 0;
    for (;;) {
        if (!haveSize && t == 0 && (s == 0 || !exact)) break;
        if (TryFormat(entries, s, t, haveSize ? w : 0, haveSize ? h : 0, tryEntry)) return 1;
        if (t > 0) {
            t = 0;
            continue;
        }
        if (s == 0) {
            haveSize = false;
            continue;
        }
        if (position < fallback.size()) {
            s = fallback[position++];
            if (s == requested) {
                if (position < fallback.size()) {
                    s = fallback[position++];
                } else if (exact) {
                    s = 0;
                } else if (haveSize) {
                    s = requested;
                    position = 0;
                    haveSize = false;
                } else {
                    break;
                }
            }
            continue;
        }
        if (exact) {
            s = 0;
            continue;
        }
        if (haveSize) {
            haveSize = false;
            continue;
        }
        break;
    }
    return TryFormat(entries, exact ? 0 : requested, 0, 0, 0, tryEntry) ? 1 : 0;
}

}  // namespace kelpa
