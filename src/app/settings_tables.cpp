#include "app/settings_tables.h"

#include <array>

#include "processing/proc_settings.h"
#include "view/view_settings.h"

namespace kelpa {

SettingsTables ProgramSettingsTables() {
    // Capture, device format and the settings panel join here as their tables are declared.
    static const std::array<const SettingsTable*, 6> kTables = {
        &ProcSettingsTable(),
        &LiveViewTable(),
        &ProcViewTable(),
        &WindowPlaceTable(ViewWindow::kLive),
        &WindowPlaceTable(ViewWindow::kProc),
        &InfoWindowTable(),
    };
    return kTables;
}

std::string CheckProgramSetting(std::string_view key, std::string_view text) {
    return CheckSettingText(ProgramSettingsTables(), key, text);
}

}  // namespace kelpa
