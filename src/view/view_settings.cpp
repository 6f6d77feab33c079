// The display settings tables, and loading them with the defaults and screen rules that are only
// known at run time.
#include "view/view_settings.h"

#include <algorithm>
#include <array>
#include <climits>

#include "common/profile.h"

namespace kelpa {
namespace {

constexpr OutOfRange kClamp = OutOfRange::kClamp;

// A shown-or-not flag: a stored value above 0 is on, anything else off.
template <auto Member>
constexpr SettingDecl PositiveFlag(const char* key, bool def) {
    return SignedSetting(key, def ? 1 : 0, 0, 1, kClamp, SettingField<Member>());
}

// A position: never below `minimum`; the upper limit is the screen's, applied on loading.
template <auto Member>
constexpr SettingDecl Position(const char* key, int32_t minimum) {
    return SignedSetting(key, minimum, minimum, INT32_MAX, kClamp, SettingField<Member>());
}

template <auto Member>
constexpr SettingDecl Extent(const char* key, int32_t def) {
    return SignedSetting(key, def, kMinWindowSize, kMaxWindowSize, kClamp, SettingField<Member>());
}

// Sizes of a new video window's client area: the declared defaults of the size keys.
constexpr int32_t kNewClientWidth = 320;
constexpr int32_t kNewClientHeight = 240;

constexpr std::array kLiveFlags = {
    PositiveFlag<&LiveViewFlags::visible>("ViewLiveVis", false),
};
static_assert(AllFieldsOf<LiveViewFlags>(kLiveFlags));

constexpr std::array kProcFlags = {
    PositiveFlag<&ProcViewFlags::visible>("ViewProcVis", true),
    // Compared as unsigned: a negative or too large mode is foreign and gives the default.
    SignedSetting("View2Mode", kDefaultStretchMode, 0, kMaxStretchMode, OutOfRange::kDefault,
                  SettingField<&ProcViewFlags::stretchMode>()),
    PositiveFlag<&ProcViewFlags::guideVirtual>("ViewGuideVirtual", false),
    PositiveFlag<&ProcViewFlags::guideArea>("ViewGuideArea", false),
    PositiveFlag<&ProcViewFlags::guideGrid>("ViewGuideGrid", false),
};
static_assert(AllFieldsOf<ProcViewFlags>(kProcFlags));

constexpr std::array kLivePlace = {
    Position<&WindowPlace::x>("VLX", 0),
    Position<&WindowPlace::y>("VLY", 0),
    Extent<&WindowPlace::width>("VLW", kNewClientWidth),
    Extent<&WindowPlace::height>("VLH", kNewClientHeight),
};
static_assert(AllFieldsOf<WindowPlace>(kLivePlace));

constexpr std::array kProcPlace = {
    Position<&WindowPlace::x>("VPX", 0),
    Position<&WindowPlace::y>("VPY", 0),
    Extent<&WindowPlace::width>("VPW", kNewClientWidth),
    Extent<&WindowPlace::height>("VPH", kNewClientHeight),
};
static_assert(AllFieldsOf<WindowPlace>(kProcPlace));

constexpr std::array kInfo = {
    PositiveFlag<&InfoWindowSettings::visible>("ProcInfo", false),
    Position<&InfoWindowSettings::x>("InfoX", 1),
    Position<&InfoWindowSettings::y>("InfoY", 1),
};
static_assert(AllFieldsOf<InfoWindowSettings>(kInfo));

// Every table is written in the order it is declared.
template <size_t N>
constexpr std::array<uint8_t, N> InOrder() {
    std::array<uint8_t, N> order{};
    for (size_t i = 0; i < N; ++i) order[i] = static_cast<uint8_t>(i);
    return order;
}
constexpr auto kLiveFlagsOrder = InOrder<kLiveFlags.size()>();
constexpr auto kProcFlagsOrder = InOrder<kProcFlags.size()>();
constexpr auto kPlaceOrder = InOrder<kLivePlace.size()>();
constexpr auto kInfoOrder = InOrder<kInfo.size()>();

constexpr std::array kMainPlace = {
    Position<&MainWindowPlace::x>("MX", 1),
    Position<&MainWindowPlace::y>("MY", 1),
};
static_assert(AllFieldsOf<MainWindowPlace>(kMainPlace));
constexpr auto kMainPlaceOrder = InOrder<kMainPlace.size()>();

template <typename Owner, size_t N, size_t M>
SettingsTableOf<Owner> MakeTable(const char* owner, const std::array<SettingDecl, N>& settings,
                                 const std::array<uint8_t, M>& order) {
    SettingsTableOf<Owner> table;
    table.owner = owner;
    table.section = kProfileSection;
    table.settings = settings;
    table.writeOrder = order;
    return table;
}

// Reads every key of a table; a missing key takes its value from `defaults`, held to the
// declared limits like a stored one.
template <typename Owner>
Owner LoadWithDefaults(const SettingsTableOf<Owner>& table, const Owner& defaults) {
    Owner owner = defaults;
    for (const SettingDecl& declared : table.settings) {
        SettingDecl decl = declared;
        decl.defaultValue = declared.access.get(&defaults).number;
        SettingValue value = ReadSetting(decl, table.section);
        value.number = HoldToLimits(decl, value.number);
        decl.access.set(&owner, value);
    }
    return owner;
}

// A window whose far edge would pass the screen's moves back to end at it, never before 0.
int32_t KeepOnScreen(int32_t start, int32_t length, int32_t screen) {
    return std::max(std::min(start, screen - length), 0);
}

}  // namespace

const SettingsTableOf<LiveViewFlags>& LiveViewTable() {
    static const auto table = MakeTable<LiveViewFlags>("live window", kLiveFlags, kLiveFlagsOrder);
    return table;
}

const SettingsTableOf<ProcViewFlags>& ProcViewTable() {
    static const auto table =
        MakeTable<ProcViewFlags>("processed window", kProcFlags, kProcFlagsOrder);
    return table;
}

const SettingsTableOf<WindowPlace>& WindowPlaceTable(ViewWindow window) {
    static const auto live = MakeTable<WindowPlace>("live window place", kLivePlace, kPlaceOrder);
    static const auto proc =
        MakeTable<WindowPlace>("processed window place", kProcPlace, kPlaceOrder);
    return window == ViewWindow::kLive ? live : proc;
}

const SettingsTableOf<InfoWindowSettings>& InfoWindowTable() {
    static const auto table = MakeTable<InfoWindowSettings>("statistic window", kInfo, kInfoOrder);
    return table;
}

const SettingsTableOf<MainWindowPlace>& MainWindowPlaceTable() {
    static const auto table =
        MakeTable<MainWindowPlace>("main window", kMainPlace, kMainPlaceOrder);
    return table;
}

MainWindowPlace LoadMainWindowPlace(const MainWindowPlace& defaults) {
    MainWindowPlace place = LoadWithDefaults(MainWindowPlaceTable(), defaults);
    place.x = std::min(place.x, std::max(defaults.x, 1));
    place.y = std::min(place.y, std::max(defaults.y, 1));
    return place;
}

void SaveMainWindowPlace(const MainWindowPlace& place) {
    SaveSettings(MainWindowPlaceTable(), place);
}

LiveViewFlags LoadLiveViewFlags() {
    return LoadSettings(LiveViewTable());
}

void SaveLiveViewFlags(const LiveViewFlags& flags) {
    SaveSettings(LiveViewTable(), flags);
}

ProcViewFlags LoadProcViewFlags() {
    return LoadSettings(ProcViewTable());
}

void SaveProcViewFlags(const ProcViewFlags& flags) {
    SaveSettings(ProcViewTable(), flags);
}

WindowPlace LoadWindowPlace(ViewWindow window, const WindowPlace& defaults, ScreenSize screen) {
    WindowPlace place = LoadWithDefaults(WindowPlaceTable(window), defaults);
    place.x = KeepOnScreen(place.x, place.width, screen.width);
    place.y = KeepOnScreen(place.y, place.height, screen.height);
    return place;
}

void SaveWindowPlace(ViewWindow window, const WindowPlace& place) {
    SaveSettings(WindowPlaceTable(window), place);
}

InfoWindowSettings LoadInfoWindowSettings(int32_t ownerLeft, int32_t ownerTop, ScreenSize screen) {
    // Beside the owner, on its left; at the bottom of the screen when level with it would not
    // fit.
    constexpr int32_t kBesideOwner = 89;
    constexpr int32_t kAboveBottom = 67;
    InfoWindowSettings defaults;
    defaults.x = std::max(ownerLeft - kBesideOwner, 0);
    defaults.y =
        ownerTop + kInfoWindowHeight > screen.height ? screen.height - kAboveBottom : ownerTop;
    defaults.y = std::max(defaults.y, 0);
    InfoWindowSettings s = LoadWithDefaults(InfoWindowTable(), defaults);
    // Held to 1 by the table, then kept on the screen.
    s.x = std::min(s.x, screen.width - kInfoWindowWidth);
    s.y = std::min(s.y, screen.height - kInfoWindowHeight);
    return s;
}

void SaveInfoWindowSettings(const InfoWindowSettings& settings) {
    SaveSettings(InfoWindowTable(), settings);
}

}  // namespace kelpa
