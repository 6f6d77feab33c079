// The program's commands: their numbers and how the menus, the accelerators and the toolbar
// offer them. The windowed program builds its menus and toolbar from these tables; the
// application core executes the commands that act on a video controller by these numbers. The
// texts are the built-in ones; "kelpa.cfg" may replace them by the configuration keys given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kelpa {

// --- Command numbers -----------------------------------------------------------------------
// Control
inline constexpr uint32_t kCmdStart = 40001;
inline constexpr uint32_t kCmdPause = 40002;
inline constexpr uint32_t kCmdStop = 40003;
inline constexpr uint32_t kCmdExit = 40007;
inline constexpr uint32_t kCmdCaptureSetup = 40009;
inline constexpr uint32_t kCmdCapture = 40072;  // toolbar and F10
// Sources: one number per listed device, then the device's page and Video Input items.
inline constexpr uint32_t kCmdFirstDevice = 40030;
inline constexpr uint32_t kCmdLastDevice = 40039;
inline constexpr uint32_t kCmdFirstSourcesItem = 40050;
inline constexpr uint32_t kCmdLastSourcesItem = 40069;
// Processing
inline constexpr uint32_t kCmdBlackAndWhite = 40310;
inline constexpr uint32_t kCmdOutsideAsIs = 40302;
inline constexpr uint32_t kCmdAsIs = 40205;
inline constexpr uint32_t kCmdGrey = 40204;
inline constexpr uint32_t kCmdSum = 40203;
inline constexpr uint32_t kCmdRed = 40200;
inline constexpr uint32_t kCmdGreen = 40201;
inline constexpr uint32_t kCmdBlue = 40202;
inline constexpr uint32_t kCmdAverage = 40303;
inline constexpr uint32_t kCmdSubtracterAdder = 40304;
inline constexpr uint32_t kCmdAreaSetup = 40305;
inline constexpr uint32_t kCmdAreaResize = 40306;
inline constexpr uint32_t kCmdAreaMove = 40307;
inline constexpr uint32_t kCmdAreaDraw = 40308;
inline constexpr uint32_t kCmdAreaExitChange = 40309;
inline constexpr uint32_t kCmdAutoAmplification = 1044;
inline constexpr uint32_t kCmdAutoAccumulate = 1045;
inline constexpr uint32_t kCmdAutoDelay = 1046;
inline constexpr uint32_t kCmdNrHorizontal = 40070;
inline constexpr uint32_t kCmdNrVertical = 40071;
inline constexpr uint32_t kCmdFlipVertical = 40175;
inline constexpr uint32_t kCmdSettings = 40016;
inline constexpr uint32_t kCmdDefault = 40017;
// Dark frames: averaged with the lens cap on, then subtracted from every live frame.
inline constexpr uint32_t kCmdTakeDark = 40400;
inline constexpr uint32_t kCmdUseDark = 40401;
// Guide
inline constexpr uint32_t kCmdGuideStart = 40176;
inline constexpr uint32_t kCmdVirtualGuide = 40177;
inline constexpr uint32_t kCmdAutoMove = 40179;
inline constexpr uint32_t kCmdGuideSetup = 40011;
inline constexpr uint32_t kCmdGuideLog = 40402;  // a CSV line per guide measurement
// View
inline constexpr uint32_t kCmdLivePreview = 40022;
inline constexpr uint32_t kCmdProcPreview = 40023;
inline constexpr uint32_t kCmdInfoStatistic = 40315;
inline constexpr uint32_t kCmdViewGrid = 40180;
inline constexpr uint32_t kCmdViewArea = 40178;
inline constexpr uint32_t kCmdHalfSize = 40314;
inline constexpr uint32_t kCmdDefaultSize = 40313;
inline constexpr uint32_t kCmdInputSize = 40312;
// Help
inline constexpr uint32_t kCmdContents = 40018;
inline constexpr uint32_t kCmdIfSlow = 40311;
inline constexpr uint32_t kCmdAbout = 40019;
inline constexpr uint32_t kCmdSendMail = 40073;
inline constexpr uint32_t kCmdWebSite = 40074;
inline constexpr uint32_t kCmdWebOrb = 40075;
// The toolbar's delay box and the settings panel's buttons.
inline constexpr uint32_t kCmdDelayBox = 1042;
inline constexpr uint32_t kCmdFirstPanelButton = 1021;
inline constexpr uint32_t kCmdLastPanelButton = 1041;

// The command of the device listed at `index` of the Sources menu, and back.
constexpr uint32_t DeviceCommand(size_t index) {
    return kCmdFirstDevice + static_cast<uint32_t>(index);
}
std::optional<size_t> DeviceIndexOf(uint32_t command);
// The command of a page or Video Input item (its slot, SourcesMenuItem::slot), and back.
constexpr uint32_t SourcesItemCommand(int32_t slot) {
    return kCmdFirstSourcesItem + static_cast<uint32_t>(slot);
}
std::optional<int32_t> SourcesSlotOf(uint32_t command);

// --- Menus ------------------------------------------------------------------------------------
// The menus of the menu bar in their order ([MENU1] ... [MENU6] of "kelpa.cfg"), and the
// submenus that hold items.
enum class Menu : uint8_t {
    kControl,
    kSources,
    kProcessing,
    kGuide,
    kView,
    kHelp,
    kChannels,    // Processing, position 0 ("ChannelsSubMenu")
    kAccumulate,  // Processing, position 1 ("AccumSubMenu")
    kArea,        // Processing, position 2 ("AreaSubMenu")
    kWeb,         // Help ("Web")
};

struct MenuItem {
    uint32_t command;
    Menu menu;
    const char* text;  // with the mnemonic ('&') and the accelerator after a tab
    const char* key;   // the "kelpa.cfg" key of a replacement text
};

// Every menu item with a fixed text, menu by menu in menu order. The Sources menu is built from
// the device list (DeviceCommand, SourcesItemCommand).
std::span<const MenuItem> MenuItems();
const MenuItem* FindMenuItem(uint32_t command);

// --- Accelerators -----------------------------------------------------------------------------
enum class KeyModifier : uint8_t { kNone, kControl };

struct Accelerator {
    uint32_t command;
    const char* key;  // "Space", "U", "F4", ...
    KeyModifier modifier;
};
std::span<const Accelerator> Accelerators();

// --- Toolbar ----------------------------------------------------------------------------------
struct ToolbarButton {
    int image;         // index into the toolbar's 14 images; -1 for a separator
    uint32_t command;  // 0 for a separator
    bool check;        // stays down while its state is on
    const char* tooltip;
    const char* key;  // the "kelpa.cfg" [TOOLBAR] key of a replacement tooltip
};
// The buttons from left to right, separators included (one begins and one ends the row); the
// delay box (kCmdDelayBox) follows the last.
std::span<const ToolbarButton> ToolbarButtons();

}  // namespace kelpa
