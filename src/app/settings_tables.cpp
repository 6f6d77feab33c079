#include "app/settings_tables.h"

#include <array>

#include "app/crossbar_routes.h"
#include "app/panel_settings.h"
#include "processing/proc_settings.h"
#include "video/capture_settings.h"

namespace kelpa {

SettingsTables ProgramSettingsTables() {
    // Capture, device format, view and window places join here as their tables are declared.
    static const std::array<const SettingsTable*, 4> kTables = {
        &ProcSettingsTable(), &CaptureFileSettingsTable(), &PanelSettingsTable(),
        &CrossbarSettingsTable()};
    return kTables;
}

std::string CheckProgramSetting(std::string_view key, std::string_view text) {
    return CheckSettingText(ProgramSettingsTables(), key, text);
}

}  // namespace kelpa
