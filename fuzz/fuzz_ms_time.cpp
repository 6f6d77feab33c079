// Fuzzes the time texts: ParseMsTime on arbitrary text, the formatters on arbitrary values, and
// the round trip of every time within a day.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/time_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);  // stops at a NUL
    uint32_t ms = 0x12345678;
    bool changed = false;
    if (kelpa::ParseMsTime(text.c_str(), &ms, &changed)) {
        if (ms > 215'999'999u) std::abort();  // 59:59:59:999 is the largest readable time
    } else if (ms != 0x12345678 || changed) {
        std::abort();
    }

    uint32_t value = 0;
    std::memcpy(&value, data, size < sizeof value ? size : sizeof value);
    char out[kelpa::kMsTimeTextSize];
    const int n = kelpa::FormatMsTime(value, out, sizeof out);
    if (n <= 0 || static_cast<size_t>(n) != std::strlen(out)) std::abort();
    if (value <= 86'400'000u) {
        uint32_t back = 0;
        if (!kelpa::ParseMsTime(out, &back) || back != value) std::abort();
    }
    char sec[kelpa::kSecMsTextSize];
    const int m = kelpa::FormatSecMs(value, sec, sizeof sec);
    if (m != 6 || std::strlen(sec) != 6) std::abort();
    return 0;
}
