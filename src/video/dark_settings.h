// The dark frame settings: whether the stream's master dark is subtracted ("Use dark") and how
// many frames "Take dark" averages. Off by default, so a profile without these keys processes
// frames as always.
#pragma once

#include <cstdint>

#include "common/settings_table.h"

namespace kelpa {

struct DarkSettings {
    bool use = false;     // DarkUse
    int32_t frames = 32;  // DarkFrames
    friend bool operator==(const DarkSettings&, const DarkSettings&) = default;
};

const SettingsTableOf<DarkSettings>& DarkSettingsTable();
DarkSettings DefaultDarkSettings();
// From the installed profile store; a count outside 1 ... 1024 is held to it.
DarkSettings LoadDarkSettings();
// False when a key could not be written.
bool SaveDarkSettings(const DarkSettings& settings);

}  // namespace kelpa
