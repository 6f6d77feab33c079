#include "app/settings_tables.h"

#include <array>

#include "app/crossbar_routes.h"
#include "app/panel_settings.h"
#include "processing/proc_settings.h"
#include "video/capture_settings.h"
#include "video/dark_settings.h"
#include "video/guide_log.h"
#include "view/view_settings.h"

namespace kelpa {

SettingsTables ProgramSettingsTables() {
    // The device format joins here when its table is declared.
    static const std::array<const SettingsTable*, 11> kTables = {
        &ProcSettingsTable(),
        &CaptureFileSettingsTable(),
        &LiveViewTable(),
        &ProcViewTable(),
        &WindowPlaceTable(ViewWindow::kLive),
        &WindowPlaceTable(ViewWindow::kProc),
        &InfoWindowTable(),
        &PanelSettingsTable(),
        &CrossbarSettingsTable(),
        &DarkSettingsTable(),
        &GuideLogSettingsTable(),
    };
    return kTables;
}

std::string CheckProgramSetting(std::string_view key, std::string_view text) {
    return CheckSettingText(ProgramSettingsTables(), key, text);
}

}  // namespace kelpa
