// The device choice and preferred format tables.
#include "media/device_keys.h"

#include <array>
#include <cstdint>

#include "common/profile.h"
#include "media/capture_graph.h"

namespace kelpa {
namespace {

constexpr int32_t kInt32Min = INT32_MIN;
constexpr int32_t kInt32Max = INT32_MAX;

// MasterStream, UseTimeLimit and TimeLimit are kept as stored: nothing uses them.
constexpr std::array kChoiceSettings = {
    TextSetting("VideoDevice2", "", kDeviceNameSize,
                SettingField<&DeviceChoiceSettings::identity>()),
    SignedSetting("MasterStream", 1, kInt32Min, kInt32Max, OutOfRange::kClamp,
                  SettingField<&DeviceChoiceSettings::masterStream>()),
    FlagSetting("UseTimeLimit", false, SettingField<&DeviceChoiceSettings::useTimeLimit>()),
    SignedSetting("TimeLimit", 0, kInt32Min, kInt32Max, OutOfRange::kClamp,
                  SettingField<&DeviceChoiceSettings::timeLimit>()),
};
static_assert(AllFieldsOf<DeviceChoiceSettings>(kChoiceSettings));

constexpr std::array kChoiceWriteOrder =
    WriteOrderOf(kChoiceSettings, std::array<const char*, 2>{"VideoDevice2", "MasterStream"});

constexpr SettingsTableOf<DeviceChoiceSettings> kChoiceTable{
    {"capture device", kDeviceSection, kChoiceSettings, kChoiceWriteOrder}};

// A four-character code in a 32-bit word, first character in the lowest byte; 0 is none. Any
// word is kept (written "%u", also read in "%d" form): the graph decides what it selects.
constexpr SettingDecl CodeSetting(const char* key, SettingAccess access) {
    return {.key = key,
            .kind = SettingKind::kTag,
            .defaultValue = 0.0,
            .maximum = 4294967295.0,
            .rule = OutOfRange::kDefault,
            .format = WriteFormat::kUnsigned,
            .access = access};
}

constexpr std::array kFormatSettings = {
    CodeSetting("VidCapFOURCC", SettingField<&PreferredFormat::subtype>()),
    SignedSetting("VidCapWidth", 0, 0, kInt32Max, OutOfRange::kClamp,
                  SettingField<&PreferredFormat::width>()),
    SignedSetting("VidCapHeight", 0, 0, kInt32Max, OutOfRange::kClamp,
                  SettingField<&PreferredFormat::height>()),
    UnsignedSetting("VidCapAvgTimePerFrame", 0, 0, UINT32_MAX, OutOfRange::kClamp,
                    SettingField<&PreferredFormat::timePerFrame>()),
};
static_assert(AllFieldsOf<PreferredFormat>(kFormatSettings));

constexpr std::array kFormatWriteOrder = WriteOrderOf(
    kFormatSettings, std::array<const char*, 4>{"VidCapFOURCC", "VidCapWidth", "VidCapHeight",
                                                "VidCapAvgTimePerFrame"});

constexpr SettingsTableOf<PreferredFormat> kFormatTable{
    {"capture format", kProfileSection, kFormatSettings, kFormatWriteOrder}};

}  // namespace

const SettingsTableOf<DeviceChoiceSettings>& DeviceChoiceSettingsTable() {
    return kChoiceTable;
}

DeviceChoiceSettings LoadDeviceChoiceSettings() {
    return LoadSettings(kChoiceTable);
}

bool SaveDeviceChoiceSettings(const DeviceChoiceSettings& settings) {
    return SaveSettings(kChoiceTable, settings) == static_cast<int>(kChoiceWriteOrder.size());
}

const SettingsTableOf<PreferredFormat>& PreferredFormatSettingsTable() {
    return kFormatTable;
}

PreferredFormat LoadPreferredFormat() {
    return LoadSettings(kFormatTable);
}

bool SavePreferredFormat(const PreferredFormat& format) {
    return SaveSettings(kFormatTable, format) == static_cast<int>(kFormatWriteOrder.size());
}

}  // namespace kelpa
