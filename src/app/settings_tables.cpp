#include "app/settings_tables.h"

#include <array>

#include "app/crossbar_routes.h"
#include "app/panel_settings.h"
#include "media/device_keys.h"
#include "processing/proc_settings.h"
#include "video/capture_settings.h"
#include "video/controller_settings.h"
#include "video/dark_settings.h"
#include "video/guide_log.h"
#include "view/view_settings.h"

namespace kelpa {

SettingsTables ProgramSettingsTables() {
    static const auto kTables = std::to_array<const SettingsTable*>({
        &ProcSettingsTable(),
        &CaptureRunSettingsTable(),
        &CaptureFileSettingsTable(),
        &ControllerFlagsTable(),
        &PreferredFormatSettingsTable(),
        &DeviceChoiceSettingsTable(),
        &LiveViewTable(),
        &ProcViewTable(),
        &WindowPlaceTable(ViewWindow::kLive),
        &WindowPlaceTable(ViewWindow::kProc),
        &InfoWindowTable(),
        &MainWindowPlaceTable(),
        &PanelSettingsTable(),
        &CrossbarSettingsTable(),
        &DarkSettingsTable(),
        &GuideLogSettingsTable(),
    });
    return kTables;
}

std::string CheckProgramSetting(std::string_view key, std::string_view text) {
    return CheckSettingText(ProgramSettingsTables(), key, text);
}

const char* ProgramSettingSection(std::string_view key) {
    for (const SettingsTable* table : ProgramSettingsTables()) {
        const SettingDecl* decl = FindSetting(std::span(&table, 1), key);
        if (decl != nullptr) return table->section;
    }
    return nullptr;
}

}  // namespace kelpa
