// Float profile values through the integer profile calls.
#include "common/profile_values.h"

#include <bit>
#include <cstdint>
#include <cstdio>

#include "common/profile.h"

namespace kelpa {
namespace {

constexpr uint32_t kExponentMask = 0x7F800000u;
constexpr uint32_t kFractionMask = 0x007FFFFFu;
// A missing key reads as -1: its pattern is a NaN, so never a valid stored value.
constexpr int32_t kMissing = -1;

}  // namespace

float GetProfileFloat(const char* section, const char* key, float def) {
    const int32_t stored = GetProfileInt(section, key, kMissing);
    if (stored == kMissing) return def;
    const uint32_t bits = static_cast<uint32_t>(stored);
    const uint32_t exponent = bits & kExponentMask;
    if (exponent == kExponentMask) return def;                      // infinity or NaN
    if (exponent == 0) return (bits & kFractionMask) ? def : 0.0f;  // denormal, or +-0
    return std::bit_cast<float>(bits);
}

float GetProfileFloatInRange(const char* section, const char* key, float def, float minimum,
                             float maximum, bool fallBack) {
    const float value = GetProfileFloat(section, key, def);
    if (fallBack) {
        float corrected = def;
        if (corrected < minimum) corrected = minimum;
        if (corrected > maximum) corrected = maximum;
        return (value < minimum || value > maximum) ? corrected : value;
    }
    if (value < minimum) return minimum;
    if (value > maximum) return maximum;
    return value;
}

bool WriteProfileFloat(const char* section, const char* key, float value) {
    char text[12];
    const int n = std::snprintf(text, sizeof text, "%u", std::bit_cast<uint32_t>(value));
    if (n < 1 || n > 11) return false;
    return WriteProfileString(section, key, text);
}

}  // namespace kelpa
