// Loading and saving the display settings through the profile, walking the descriptor table.
#include "view/view_settings.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "common/profile.h"

namespace kelpa {
namespace {

// Integers are written as "%d" text of 1 to 11 characters; anything else is not written.
void WriteInt(const char* key, int32_t value) {
    char text[12];
    const int n = std::snprintf(text, sizeof text, "%d", value);
    if (n >= 1 && n <= 11) WriteProfileString(kProfileSection, key, text);
}

// The table lists the fields in their declaration order, so a field indexes its own row.
constexpr bool TableInFieldOrder() {
    for (size_t i = 0; i < std::size(kViewSettings); ++i) {
        if (static_cast<size_t>(kViewSettings[i].field) != i) return false;
    }
    return true;
}
static_assert(TableInFieldOrder());

ViewGroup FlagGroup(ViewWindow window) {
    return window == ViewWindow::kLive ? ViewGroup::kLiveFlags : ViewGroup::kProcFlags;
}

ViewGroup PlaceGroup(ViewWindow window) {
    return window == ViewWindow::kLive ? ViewGroup::kLivePlace : ViewGroup::kProcPlace;
}

int32_t ReadField(const ViewSettingDescriptor& d, int32_t defaultValue, const PlaceBounds& bounds) {
    const int32_t stored = GetProfileInt(kProfileSection, d.key, defaultValue);
    return ApplyViewRule(d, stored, defaultValue, bounds);
}

}  // namespace

int32_t ApplyViewRule(const ViewSettingDescriptor& d, int32_t stored, int32_t defaultValue,
                      const PlaceBounds& bounds) {
    switch (d.rule) {
        case ViewRule::kClamp:
            return std::clamp(stored, d.minimum, d.maximum);
        case ViewRule::kLeftOnScreen:
            return std::max(std::min(stored, bounds.screen.width - bounds.windowWidth), d.minimum);
        case ViewRule::kTopOnScreen:
            return std::max(std::min(stored, bounds.screen.height - bounds.windowHeight),
                            d.minimum);
        case ViewRule::kFlag:
            return stored > 0 ? 1 : 0;
        case ViewRule::kAboveMaxDefault:
            return static_cast<uint32_t>(stored) > static_cast<uint32_t>(d.maximum) ? defaultValue
                                                                                    : stored;
    }
    return defaultValue;
}

int32_t GetViewField(const ViewSettings& s, ViewField field) {
    switch (field) {
        case ViewField::kLiveX:
            return s.livePlace.x;
        case ViewField::kLiveY:
            return s.livePlace.y;
        case ViewField::kLiveWidth:
            return s.livePlace.width;
        case ViewField::kLiveHeight:
            return s.livePlace.height;
        case ViewField::kProcX:
            return s.procPlace.x;
        case ViewField::kProcY:
            return s.procPlace.y;
        case ViewField::kProcWidth:
            return s.procPlace.width;
        case ViewField::kProcHeight:
            return s.procPlace.height;
        case ViewField::kLiveVisible:
            return s.liveVisible ? 1 : 0;
        case ViewField::kProcVisible:
            return s.procVisible ? 1 : 0;
        case ViewField::kStretchMode:
            return s.stretchMode;
        case ViewField::kGuideVirtual:
            return s.guideVirtual ? 1 : 0;
        case ViewField::kGuideArea:
            return s.guideArea ? 1 : 0;
        case ViewField::kGuideGrid:
            return s.guideGrid ? 1 : 0;
    }
    return 0;
}

void SetViewField(ViewSettings& s, ViewField field, int32_t value) {
    switch (field) {
        case ViewField::kLiveX:
            s.livePlace.x = value;
            break;
        case ViewField::kLiveY:
            s.livePlace.y = value;
            break;
        case ViewField::kLiveWidth:
            s.livePlace.width = value;
            break;
        case ViewField::kLiveHeight:
            s.livePlace.height = value;
            break;
        case ViewField::kProcX:
            s.procPlace.x = value;
            break;
        case ViewField::kProcY:
            s.procPlace.y = value;
            break;
        case ViewField::kProcWidth:
            s.procPlace.width = value;
            break;
        case ViewField::kProcHeight:
            s.procPlace.height = value;
            break;
        case ViewField::kLiveVisible:
            s.liveVisible = value != 0;
            break;
        case ViewField::kProcVisible:
            s.procVisible = value != 0;
            break;
        case ViewField::kStretchMode:
            s.stretchMode = value;
            break;
        case ViewField::kGuideVirtual:
            s.guideVirtual = value != 0;
            break;
        case ViewField::kGuideArea:
            s.guideArea = value != 0;
            break;
        case ViewField::kGuideGrid:
            s.guideGrid = value != 0;
            break;
    }
}

std::span<const ViewSettingDescriptor> ViewGroupKeys(ViewGroup group) {
    const auto inGroup = [group](const ViewSettingDescriptor& d) { return d.group == group; };
    const auto* first = std::find_if(std::begin(kViewSettings), std::end(kViewSettings), inGroup);
    const auto* last = std::find_if_not(first, std::end(kViewSettings), inGroup);
    return {first, last};
}

void LoadViewFlags(ViewSettings& settings) {
    for (ViewGroup group : {ViewGroup::kLiveFlags, ViewGroup::kProcFlags}) {
        for (const ViewSettingDescriptor& d : ViewGroupKeys(group)) {
            SetViewField(settings, d.field, ReadField(d, d.defaultValue, PlaceBounds{}));
        }
    }
}

void SaveViewFlags(ViewWindow window, const ViewSettings& settings) {
    for (const ViewSettingDescriptor& d : ViewGroupKeys(FlagGroup(window))) {
        WriteInt(d.key, GetViewField(settings, d.field));
    }
}

WindowPlace LoadWindowPlace(ViewWindow window, const WindowPlace& defaults, ScreenSize screen) {
    // Rows of a place group: X, Y, W, H.
    const std::span<const ViewSettingDescriptor> keys = ViewGroupKeys(PlaceGroup(window));
    PlaceBounds bounds{screen, 0, 0};
    WindowPlace place;
    place.width = ReadField(keys[2], defaults.width, bounds);
    bounds.windowWidth = place.width;
    place.x = ReadField(keys[0], defaults.x, bounds);
    place.height = ReadField(keys[3], defaults.height, bounds);
    bounds.windowHeight = place.height;
    place.y = ReadField(keys[1], defaults.y, bounds);
    return place;
}

void SaveWindowPlace(ViewWindow window, const WindowPlace& place) {
    ViewSettings settings;
    (window == ViewWindow::kLive ? settings.livePlace : settings.procPlace) = place;
    for (const ViewSettingDescriptor& d : ViewGroupKeys(PlaceGroup(window))) {
        WriteInt(d.key, GetViewField(settings, d.field));
    }
}

}  // namespace kelpa
