// The capture device's profile keys, in two tables. The device choice, in section "quill": the
// stable identity of the chosen device (VideoDevice2) and three keys that are read and kept
// (MasterStream, also written back; UseTimeLimit and TimeLimit). The preferred capture format, in
// section "kelpa": VidCapFOURCC, VidCapWidth, VidCapHeight, VidCapAvgTimePerFrame.
#pragma once

#include <cstdint>
#include <string>

#include "common/settings_table.h"

namespace kelpa {

struct PreferredFormat;

inline constexpr char kDeviceSection[] = "quill";
inline constexpr size_t kDeviceNameSize = 1024;  // VideoDevice2 text, characters

struct DeviceChoiceSettings {
    std::string identity;  // empty: no device chosen
    int32_t masterStream = 1;
    bool useTimeLimit = false;
    int32_t timeLimit = 0;

    friend bool operator==(const DeviceChoiceSettings&, const DeviceChoiceSettings&) = default;
};

const SettingsTableOf<DeviceChoiceSettings>& DeviceChoiceSettingsTable();
DeviceChoiceSettings LoadDeviceChoiceSettings();
// VideoDevice2 (not when longer than kDeviceNameSize), then MasterStream. False when either
// could not be written.
bool SaveDeviceChoiceSettings(const DeviceChoiceSettings& settings);

// Negative sizes read as 0; the time per frame keeps 32 bits (the upper half is 0). A value
// whose text would be empty or 12 characters or longer is not written.
const SettingsTableOf<PreferredFormat>& PreferredFormatSettingsTable();
PreferredFormat LoadPreferredFormat();
bool SavePreferredFormat(const PreferredFormat& format);

}  // namespace kelpa
