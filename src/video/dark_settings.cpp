// The dark frame settings table.
#include "video/dark_settings.h"

#include <array>

#include "common/profile.h"
#include "video/dark_frames.h"

namespace kelpa {
namespace {

constexpr std::array kSettings = {
    FlagSetting("DarkUse", false, SettingField<&DarkSettings::use>()),
    SignedSetting("DarkFrames", DarkFrames::kDefaultFrames, DarkFrames::kMinFrames,
                  DarkFrames::kMaxFrames, OutOfRange::kClamp,
                  SettingField<&DarkSettings::frames>()),
};
static_assert(AllFieldsOf<DarkSettings>(kSettings));

constexpr std::array kWriteOrder =
    WriteOrderOf(kSettings, std::array<const char*, 2>{"DarkUse", "DarkFrames"});

constexpr SettingsTableOf<DarkSettings> kTable{
    {"dark frames", kProfileSection, kSettings, kWriteOrder}};

}  // namespace

const SettingsTableOf<DarkSettings>& DarkSettingsTable() {
    return kTable;
}

DarkSettings DefaultDarkSettings() {
    return DefaultSettings(kTable);
}

DarkSettings LoadDarkSettings() {
    return LoadSettings(kTable);
}

bool SaveDarkSettings(const DarkSettings& settings) {
    return SaveSettings(kTable, settings) == static_cast<int>(kWriteOrder.size());
}

}  // namespace kelpa
