// The settings panel's profile keys: whether it is shown (ProcFiltrPPage) and where (SLX, SLY),
// declared once in a settings table, with the rules that give the panel its first place beside
// the main window and keep a remembered place on the screen.
#pragma once

#include <cstdint>

#include "common/settings_table.h"

namespace kelpa {

// The panel's client area; its outer size adds the window frame on each side.
inline constexpr int32_t kPanelClientWidth = 400;
inline constexpr int32_t kPanelClientHeight = 197;

// A place never written: the panel then goes beside the main window.
inline constexpr int32_t kPanelPlaceUnset = -32768;

struct PanelSettings {
    bool shown = false;
    int32_t x = kPanelPlaceUnset;
    int32_t y = kPanelPlaceUnset;

    friend bool operator==(const PanelSettings&, const PanelSettings&) = default;
};

const SettingsTableOf<PanelSettings>& PanelSettingsTable();
PanelSettings LoadPanelSettings();
// ProcFiltrPPage always; SLX and SLY only when the panel was placed (not kPanelPlaceUnset).
void SavePanelSettings(const PanelSettings& settings);

struct PanelPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const PanelPoint&, const PanelPoint&) = default;
};

// The first place: 402 pixels left of the main window's left edge and level with its top, or
// raised to end 201 pixels above the screen's bottom when the panel would pass it; never below
// 0.
PanelPoint PanelDefaultPlace(int32_t mainLeft, int32_t mainTop, int32_t screenHeight);

// A remembered place held on the screen: left 1 ... screen width - outer width, top 1 ... screen
// height - outer height (1 when the screen is smaller than the panel).
PanelPoint HoldPanelOnScreen(PanelPoint place, int32_t outerWidth, int32_t outerHeight,
                             int32_t screenWidth, int32_t screenHeight);

// Where the panel opens: the remembered place held on the screen, or the first place.
PanelPoint PanelPlace(const PanelSettings& settings, int32_t mainLeft, int32_t mainTop,
                      int32_t outerWidth, int32_t outerHeight, int32_t screenWidth,
                      int32_t screenHeight);

}  // namespace kelpa
