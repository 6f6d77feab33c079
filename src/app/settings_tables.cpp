#include "app/settings_tables.h"

#include <array>

#include "processing/proc_settings.h"
#include "video/capture_settings.h"

namespace kelpa {

SettingsTables ProgramSettingsTables() {
    // Capture, device format, view, window places and the settings panel join here as their
    // tables are declared.
    static const std::array<const SettingsTable*, 2> kTables = {&ProcSettingsTable(),
                                                                &CaptureFileSettingsTable()};
    return kTables;
}

std::string CheckProgramSetting(std::string_view key, std::string_view text) {
    return CheckSettingText(ProgramSettingsTables(), key, text);
}

}  // namespace kelpa
