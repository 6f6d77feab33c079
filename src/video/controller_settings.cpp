// The video controller's own settings table, and loading and saving a controller's settings
// through its tables.
#include "video/controller_settings.h"

#include <array>

#include "common/profile.h"

namespace kelpa {
namespace {

constexpr std::array kSettings = {
    FlagSetting("ActivateGraph", false, SettingField<&ControllerFlags::activateGraph>()),
    FlagSetting("ViewFrameSize", false, SettingField<&ControllerFlags::fitWindowsToFrame>()),
};
static_assert(AllFieldsOf<ControllerFlags>(kSettings));

constexpr std::array kWriteOrder =
    WriteOrderOf(kSettings, std::array<const char*, 2>{"ActivateGraph", "ViewFrameSize"});

constexpr SettingsTableOf<ControllerFlags> kTable{
    {"video controller", kProfileSection, kSettings, kWriteOrder}};

// The two flags are written apart: each beside the keys it was always saved with.
constexpr const SettingDecl& kActivateGraph = kSettings[0];
constexpr const SettingDecl& kViewFrameSize = kSettings[1];

void WriteFlag(const SettingDecl& decl, const ControllerFlags& flags) {
    WriteSetting(decl, kTable.section, decl.access.get(&flags));
}

}  // namespace

const SettingsTableOf<ControllerFlags>& ControllerFlagsTable() {
    return kTable;
}

ControllerSettings DefaultControllerSettings() {
    return ControllerSettings{
        DefaultProcSettings(),        DefaultCaptureRunSettings(),
        DefaultCaptureFileSettings(), DefaultSettings(kTable),
        DefaultDarkSettings(),        DefaultSettings(GuideLogSettingsTable())};
}

ControllerSettings LoadControllerSettings() {
    return ControllerSettings{LoadProcSettings(),        LoadCaptureRunSettings(),
                              LoadCaptureFileSettings(), LoadSettings(kTable),
                              LoadDarkSettings(),        LoadGuideLogSettings()};
}

void SaveControllerSettings(const ControllerSettings& settings) {
    WriteFlag(kActivateGraph, settings.flags);
    SaveCaptureRunSettings(settings.captureRun);
    SaveCaptureFileSettings(settings.captureFiles);
    SaveDarkSettings(settings.dark);
    SaveGuideLogSettings(settings.guideLog);
    WriteFlag(kViewFrameSize, settings.flags);
    SaveProcSettings(settings.processing);
}

}  // namespace kelpa
