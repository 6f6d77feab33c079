// Floating-point settings in the profile, stored as the unsigned decimal of their 32-bit
// IEEE-754 pattern (1.0 is "1065353216"). A corrupt or foreign value never reaches the caller
// as a NaN, an infinity or a denormal: the default takes its place.
#pragma once

namespace kelpa {

float GetProfileFloat(const char* section, const char* key, float def);

// GetProfileFloat held to [minimum, maximum]. With `fallBack` an out-of-range value gives the
// default (itself first brought into the range); without it the value is clamped.
float GetProfileFloatInRange(const char* section, const char* key, float def, float minimum,
                             float maximum, bool fallBack);

// True when the profile was written.
bool WriteProfileFloat(const char* section, const char* key, float value);

}  // namespace kelpa
