// Millisecond time texts.
#include "common/time_text.h"

#include <algorithm>
#include <cstdio>

namespace kelpa {
namespace {

constexpr uint32_t kDayMs = 86'400'000;
constexpr uint32_t kHourMs = 3'600'000;
constexpr uint32_t kMinuteMs = 60'000;
constexpr uint32_t kSecondMs = 1'000;
// Typed numbers beyond this are held here; the fields are clamped far below it anyway.
constexpr uint32_t kNumberCeiling = 1'000'000'000;

// snprintf into `limit` bytes: a text that overflows or fills the limit is cut to `cut`
// characters. The formats above never come near their limits; this only keeps the contract.
int Finish(int n, char* out, int limit, int cut) {
    if (n < 0 || n < limit) return n;
    out[cut] = '\0';
    return cut;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

int FormatMsTime(uint32_t ms, char* out, size_t size) {
    if (!out || size < kMsTimeTextSize) return -1;
    const uint32_t clamped = std::min(ms, kDayMs);
    const uint32_t h = clamped / kHourMs;
    const uint32_t m = clamped / kMinuteMs % 60;
    const uint32_t s = clamped / kSecondMs % 60;
    const uint32_t milli = clamped % kSecondMs;
    if (h != 0) {
        const char* prefix = ms > kDayMs ? "> " : "";
        const int n = std::snprintf(out, 15, "%s%02u:%02u:%02u:%03u", prefix, h, m, s, milli);
        return Finish(n, out, 15, 12);
    }
    const int n = m != 0 ? std::snprintf(out, 13, "%02u:%02u:%03u", m, s, milli)
                         : std::snprintf(out, 13, "%02u:%03u", s, milli);
    return Finish(n, out, 13, 12);
}

int FormatSecMs(uint32_t ms, char* out, size_t size) {
    if (!out || size < kSecMsTextSize) return -1;
    if (ms >= kMinuteMs) ms = 59 * kSecondMs;
    const int n = std::snprintf(out, 7, "%02u:%03u", ms / kSecondMs, ms % kSecondMs);
    return Finish(n, out, 7, 6);
}

bool ParseMsTime(const char* text, uint32_t* ms, bool* changed) {
    if (!text || !ms) return false;
    uint32_t fields[4] = {};
    int count = 0;
    int numbers = 0;
    const char* p = text;
    while (count < 4) {
        while (IsSpace(*p)) ++p;
        if (*p == '+' || *p == '-') {
            ++p;
            while (IsSpace(*p)) ++p;
        }
        if (IsDigit(*p)) {
            uint64_t value = 0;  // wide enough that the step before the ceiling cannot wrap
            for (; IsDigit(*p); ++p) {
                value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(*p - '0'),
                                           kNumberCeiling);
            }
            fields[count++] = static_cast<uint32_t>(value);
            ++numbers;
        } else if (*p == ':') {
            fields[count++] = 0;  // an empty field between two separators
        } else {
            break;
        }
        if (*p != ':') break;
        ++p;
    }
    if (numbers == 0) return false;
    // Right-align: the last number read is always the milliseconds.
    uint32_t hms[4] = {};
    std::copy(fields, fields + count, hms + (4 - count));
    const uint32_t value = std::min(hms[0], 59u) * kHourMs + std::min(hms[1], 59u) * kMinuteMs +
                           std::min(hms[2], 59u) * kSecondMs + std::min(hms[3], 999u);
    if (changed) *changed = value != *ms;
    *ms = value;
    return true;
}

}  // namespace kelpa
