#include "app/panel_settings.h"

#include <algorithm>

#include "common/profile.h"

namespace kelpa {
namespace {

// Window coordinates of any desktop fit these limits; the screen rule does the rest when the
// panel is shown.
constexpr int32_t kCoordinateLimit = 32767;

constexpr std::array kSettings = {
    FlagSetting("ProcFiltrPPage", false, SettingField<&PanelSettings::shown>()),
    SignedSetting("SLX", kPanelPlaceUnset, kPanelPlaceUnset, kCoordinateLimit, OutOfRange::kClamp,
                  SettingField<&PanelSettings::x>()),
    SignedSetting("SLY", kPanelPlaceUnset, kPanelPlaceUnset, kCoordinateLimit, OutOfRange::kClamp,
                  SettingField<&PanelSettings::y>()),
};
static_assert(AllFieldsOf<PanelSettings>(kSettings));

constexpr std::array kWriteOrder =
    WriteOrderOf(kSettings, std::array<const char*, 3>{"ProcFiltrPPage", "SLX", "SLY"});

constexpr SettingsTableOf<PanelSettings> kTable{
    {"settings panel", kProfileSection, kSettings, kWriteOrder}};

// Distance of the panel's first place from the main window, and how far above the screen's
// bottom it stays.
constexpr int32_t kLeftOfMain = 402;
constexpr int32_t kAboveBottom = 201;

}  // namespace

const SettingsTableOf<PanelSettings>& PanelSettingsTable() {
    return kTable;
}

PanelSettings LoadPanelSettings() {
    return LoadSettings(kTable);
}

void SavePanelSettings(const PanelSettings& settings) {
    for (uint8_t index : kTable.writeOrder) {
        const SettingDecl& decl = kTable.settings[index];
        const SettingValue value = decl.access.get(&settings);
        if (decl.kind != SettingKind::kFlag && value.number == kPanelPlaceUnset) continue;
        WriteSetting(decl, kTable.section, value);
    }
}

PanelPoint PanelDefaultPlace(int32_t mainLeft, int32_t mainTop, int32_t screenHeight) {
    PanelPoint p;
    p.x = std::max(0, mainLeft - kLeftOfMain);
    p.y = mainTop + kPanelClientHeight > screenHeight ? screenHeight - kAboveBottom : mainTop;
    p.y = std::max(0, p.y);
    return p;
}

PanelPoint HoldPanelOnScreen(PanelPoint place, int32_t outerWidth, int32_t outerHeight,
                             int32_t screenWidth, int32_t screenHeight) {
    place.x = std::max(1, std::min(place.x, screenWidth - outerWidth));
    place.y = std::max(1, std::min(place.y, screenHeight - outerHeight));
    return place;
}

PanelPoint PanelPlace(const PanelSettings& settings, int32_t mainLeft, int32_t mainTop,
                      int32_t outerWidth, int32_t outerHeight, int32_t screenWidth,
                      int32_t screenHeight) {
    if (settings.x == kPanelPlaceUnset || settings.y == kPanelPlaceUnset) {
        return PanelDefaultPlace(mainLeft, mainTop, screenHeight);
    }
    return HoldPanelOnScreen({settings.x, settings.y}, outerWidth, outerHeight, screenWidth,
                             screenHeight);
}

}  // namespace kelpa
