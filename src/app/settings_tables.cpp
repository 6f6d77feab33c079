#include "app/settings_tables.h"

#include <array>

#include "app/crossbar_routes.h"
#include "app/panel_settings.h"
#include "media/device_keys.h"
#include "processing/proc_settings.h"
#include "video/capture_settings.h"
#include "video/controller_settings.h"

namespace kelpa {

SettingsTables ProgramSettingsTables() {
    // View and window places join here as their tables are declared.
    static const std::array<const SettingsTable*, 8> kTables = {
        &ProcSettingsTable(),    &CaptureRunSettingsTable(),      &CaptureFileSettingsTable(),
        &ControllerFlagsTable(), &PreferredFormatSettingsTable(), &DeviceChoiceSettingsTable(),
        &PanelSettingsTable(),   &CrossbarSettingsTable()};
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
