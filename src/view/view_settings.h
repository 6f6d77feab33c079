// The display settings of the windows that show video and statistics: the places of the live,
// processed and statistic windows on the screen, which of them are shown, and the processed
// window's stretch mode and overlays. Declared once, as settings tables (key, default, limits,
// write format) that loading, saving, --set and the settings panel all read.
//
// Places have defaults only known at run time (where the window is first created) and a rule
// that depends on the screen (the window stays on it): the tables declare the fixed limits, and
// the load calls below add the run-time defaults and the screen.
#pragma once

#include <cstdint>

#include "common/settings_table.h"

namespace kelpa {

// A window's rectangle on the screen: the position of its frame, the size of its client area
// (the window manager's frame lies outside the size, so a stored size reads back unchanged
// whatever the decoration).
struct WindowPlace {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const WindowPlace&, const WindowPlace&) = default;
};

struct ScreenSize {
    int32_t width = 0;
    int32_t height = 0;
};

// Limits of a video window's size.
inline constexpr int32_t kMinWindowSize = 36;
inline constexpr int32_t kMaxWindowSize = 1024;

// The stretch modes a stored View2Mode may hold; 3 copies pixels, 4 smooths.
inline constexpr int32_t kDefaultStretchMode = 3;
inline constexpr int32_t kMaxStretchMode = 4;

enum class ViewWindow : uint8_t { kLive, kProc };

// Read when the live window is made, written by it while its source is the current one.
struct LiveViewFlags {
    bool visible = false;  // ViewLiveVis
};

// The same for the processed window.
struct ProcViewFlags {
    bool visible = true;                        // ViewProcVis
    int32_t stretchMode = kDefaultStretchMode;  // View2Mode
    bool guideVirtual = false;                  // ViewGuideVirtual
    bool guideArea = false;                     // ViewGuideArea
    bool guideGrid = false;                     // ViewGuideGrid
};

// The statistic window: shown or not, and the position of its frame.
struct InfoWindowSettings {
    bool visible = false;  // ProcInfo
    int32_t x = 0;         // InfoX
    int32_t y = 0;         // InfoY
};

// The main window's remembered top-left corner (MX, MY).
struct MainWindowPlace {
    int32_t x = 1;
    int32_t y = 1;
};

// The size the statistic window's position is kept on the screen with.
inline constexpr int32_t kInfoWindowWidth = 178;
inline constexpr int32_t kInfoWindowHeight = 135;

const SettingsTableOf<LiveViewFlags>& LiveViewTable();
const SettingsTableOf<ProcViewFlags>& ProcViewTable();
// VLX, VLY, VLW, VLH or VPX, VPY, VPW, VPH, in that order.
const SettingsTableOf<WindowPlace>& WindowPlaceTable(ViewWindow window);
const SettingsTableOf<InfoWindowSettings>& InfoWindowTable();
const SettingsTableOf<MainWindowPlace>& MainWindowPlaceTable();

LiveViewFlags LoadLiveViewFlags();
void SaveLiveViewFlags(const LiveViewFlags& flags);
ProcViewFlags LoadProcViewFlags();
// In the order ViewProcVis, View2Mode, ViewGuideVirtual, ViewGuideArea, ViewGuideGrid.
void SaveProcViewFlags(const ProcViewFlags& flags);

// A window's remembered place: the size held to 36 ... 1024, then the position kept on the
// screen (moved left or up so that the window ends at the edge, never before 0). `defaults` is
// the place the window has without a remembered one.
WindowPlace LoadWindowPlace(ViewWindow window, const WindowPlace& defaults, ScreenSize screen);
// Writes a window's place as X, Y, W, H.
void SaveWindowPlace(ViewWindow window, const WindowPlace& place);

// The statistic window's settings. A missing position defaults to beside the owner window (its
// frame's left and top edges given): 89 pixels left of it, level with its top unless the window
// would pass the bottom of the screen. Positions are then held to 1 ... screen size - 178 x 135.
InfoWindowSettings LoadInfoWindowSettings(int32_t ownerLeft, int32_t ownerTop, ScreenSize screen);
// Writes ProcInfo, then InfoX and InfoY.
void SaveInfoWindowSettings(const InfoWindowSettings& settings);

// MX and MY: `defaults` is where the window starts without a remembered place (and the largest
// place it may have); a stored value below 1 becomes 1, one above the default the default.
MainWindowPlace LoadMainWindowPlace(const MainWindowPlace& defaults);
// Writes MX, then MY.
void SaveMainWindowPlace(const MainWindowPlace& place);

}  // namespace kelpa
