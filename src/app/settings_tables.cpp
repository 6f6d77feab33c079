#include "app/settings_tables.h"

#include <array>

#include "app/crossbar_routes.h"
#include "app/panel_settings.h"
#include "processing/proc_settings.h"
#include "video/capture_settings.h"
#include "view/view_settings.h"

namespace kelpa {

SettingsTables ProgramSettingsTables() {
    // The device format joins here when its table is declared.
    static const std::array<const SettingsTable*, 9> kTables = {
        &ProcSettingsTable(),
        &CaptureFileSettingsTable(),
        &PanelSettingsTable(),
        &CrossbarSettingsTable(),
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
