#include "app/settings_tables.h"

#include <array>

#include "processing/proc_settings.h"
#include "video/capture_settings.h"
#include "video/dark_settings.h"
#include "video/guide_log.h"

namespace kelpa {

SettingsTables ProgramSettingsTables() {
    // Capture, device format, view, window places and the settings panel join here as their
    // tables are declared.
    static const std::array<const SettingsTable*, 4> kTables = {
        &ProcSettingsTable(), &CaptureFileSettingsTable(), &DarkSettingsTable(),
        &GuideLogSettingsTable()};
    return kTables;
}

std::string CheckProgramSetting(std::string_view key, std::string_view text) {
    return CheckSettingText(ProgramSettingsTables(), key, text);
}

}  // namespace kelpa
