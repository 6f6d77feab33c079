// The display settings of the two video windows: their places on the screen, which of them is
// shown, the processed window's stretch mode and its overlays. Declared once in a table of
// descriptors (key, default, limits, the rule for stored values out of range) that loading and
// saving walk in table order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kelpa {

// A window's outer rectangle on the screen.
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

// Limits of a video window's outer size.
inline constexpr int32_t kMinWindowSize = 36;
inline constexpr int32_t kMaxWindowSize = 1024;

struct ViewSettings {
    WindowPlace livePlace;
    WindowPlace procPlace;
    bool liveVisible = false;
    bool procVisible = true;
    int32_t stretchMode = 3;
    bool guideVirtual = false;
    bool guideArea = false;
    bool guideGrid = false;
};

enum class ViewWindow : uint8_t { kLive, kProc };

// When a key is read and written: the places by the window's creation and release, the flags
// by the surface's construction and destruction.
enum class ViewGroup : uint8_t { kLivePlace, kProcPlace, kLiveFlags, kProcFlags };

enum class ViewRule : uint8_t {
    kClamp,            // held to [minimum, maximum]
    kLeftOnScreen,     // held to [minimum, screen width - window width], never below minimum
    kTopOnScreen,      // the same with the screen and window heights
    kFlag,             // a value above 0 is on
    kAboveMaxDefault,  // compared as unsigned, a value above maximum gives the default
};

enum class ViewField : uint8_t {
    kLiveX,
    kLiveY,
    kLiveWidth,
    kLiveHeight,
    kProcX,
    kProcY,
    kProcWidth,
    kProcHeight,
    kLiveVisible,
    kProcVisible,
    kStretchMode,
    kGuideVirtual,
    kGuideArea,
    kGuideGrid,
};

struct ViewSettingDescriptor {
    const char* key;
    ViewField field;
    ViewGroup group;
    ViewRule rule;
    // Place keys default to the place the window is created at (kPlaceDefault).
    int32_t defaultValue;
    int32_t minimum;
    int32_t maximum;
};

inline constexpr int32_t kPlaceDefault = 0;

// In the order the keys are written: a place as X, Y, W, H; the processed window's flags as
// ViewProcVis, View2Mode, ViewGuideVirtual, ViewGuideArea, ViewGuideGrid.
inline constexpr ViewSettingDescriptor kViewSettings[] = {
    {"VLX", ViewField::kLiveX, ViewGroup::kLivePlace, ViewRule::kLeftOnScreen, kPlaceDefault, 0, 0},
    {"VLY", ViewField::kLiveY, ViewGroup::kLivePlace, ViewRule::kTopOnScreen, kPlaceDefault, 0, 0},
    {"VLW", ViewField::kLiveWidth, ViewGroup::kLivePlace, ViewRule::kClamp, kPlaceDefault,
     kMinWindowSize, kMaxWindowSize},
    {"VLH", ViewField::kLiveHeight, ViewGroup::kLivePlace, ViewRule::kClamp, kPlaceDefault,
     kMinWindowSize, kMaxWindowSize},
    {"VPX", ViewField::kProcX, ViewGroup::kProcPlace, ViewRule::kLeftOnScreen, kPlaceDefault, 0, 0},
    {"VPY", ViewField::kProcY, ViewGroup::kProcPlace, ViewRule::kTopOnScreen, kPlaceDefault, 0, 0},
    {"VPW", ViewField::kProcWidth, ViewGroup::kProcPlace, ViewRule::kClamp, kPlaceDefault,
     kMinWindowSize, kMaxWindowSize},
    {"VPH", ViewField::kProcHeight, ViewGroup::kProcPlace, ViewRule::kClamp, kPlaceDefault,
     kMinWindowSize, kMaxWindowSize},
    {"ViewLiveVis", ViewField::kLiveVisible, ViewGroup::kLiveFlags, ViewRule::kFlag, 0, 0, 1},
    {"ViewProcVis", ViewField::kProcVisible, ViewGroup::kProcFlags, ViewRule::kFlag, 1, 0, 1},
    {"View2Mode", ViewField::kStretchMode, ViewGroup::kProcFlags, ViewRule::kAboveMaxDefault, 3, 0,
     4},
    {"ViewGuideVirtual", ViewField::kGuideVirtual, ViewGroup::kProcFlags, ViewRule::kFlag, 0, 0, 1},
    {"ViewGuideArea", ViewField::kGuideArea, ViewGroup::kProcFlags, ViewRule::kFlag, 0, 0, 1},
    {"ViewGuideGrid", ViewField::kGuideGrid, ViewGroup::kProcFlags, ViewRule::kFlag, 0, 0, 1},
};

// What the on-screen rules need: the screen and the window's size (read before its position).
struct PlaceBounds {
    ScreenSize screen;
    int32_t windowWidth = 0;
    int32_t windowHeight = 0;
};

// A stored value brought into its descriptor's range.
int32_t ApplyViewRule(const ViewSettingDescriptor& descriptor, int32_t stored, int32_t defaultValue,
                      const PlaceBounds& bounds);

// The field a descriptor stands for, as stored (flags as 0 or 1).
int32_t GetViewField(const ViewSettings& settings, ViewField field);
void SetViewField(ViewSettings& settings, ViewField field, int32_t value);

// The descriptors of one group, in table order.
std::span<const ViewSettingDescriptor> ViewGroupKeys(ViewGroup group);

// Reads the flags of both windows from the profile (section "kelpa").
void LoadViewFlags(ViewSettings& settings);
// Writes one window's flags (only the surfaces of the source in use do this).
void SaveViewFlags(ViewWindow window, const ViewSettings& settings);

// Reads a window's remembered place: the size first (36 ... 1024), then the position, kept on
// the screen. `defaults` is where and how large the window would be without a remembered place.
WindowPlace LoadWindowPlace(ViewWindow window, const WindowPlace& defaults, ScreenSize screen);
// Writes a window's place as X, Y, W, H.
void SaveWindowPlace(ViewWindow window, const WindowPlace& place);

}  // namespace kelpa
