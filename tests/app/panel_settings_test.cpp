// The settings panel's keys and places: an unplaced panel writes no place, the first place
// beside the main window, and remembered places held on the screen.
#include "app/panel_settings.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kelpa {
namespace {

TEST(PanelSettingsTest, AnUnplacedPanelWritesNoPlaceAndStoredValuesAreHeld) {
    test::MemoryProfile profile;
    SavePanelSettings(PanelSettings{});
    EXPECT_EQ(profile.WriteOrder(), std::vector<std::string>{"ProcFiltrPPage"});
    SavePanelSettings(PanelSettings{true, 12, -40});
    EXPECT_EQ(LoadPanelSettings(), (PanelSettings{true, 12, -40}));
    profile.Set("ProcFiltrPPage", "7");  // any non-zero value means shown
    profile.Set("SLX", "99999999");
    profile.Set("SLY", "junk");
    EXPECT_EQ(LoadPanelSettings(), (PanelSettings{true, 32767, kPanelPlaceUnset}));
}

TEST(PanelSettingsTest, FirstPlaceIsLeftOfTheMainWindowAndOnTheScreen) {
    const struct {
        int32_t mainLeft, mainTop, screenHeight;
        PanelPoint expected;
    } cases[] = {
        {600, 100, 768, {198, 100}}, {300, 100, 768, {0, 100}},  // never off the left edge
        {600, 571, 768, {198, 571}},                             // 571 + 197 = 768 still fits
        {600, 572, 768, {198, 567}},  // would pass the bottom: 201 above it
        {600, 50, 150, {198, 0}},     // a tiny screen: never above the top
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.mainLeft << "," << c.mainTop);
        EXPECT_EQ(
            PanelPlace(PanelSettings{}, c.mainLeft, c.mainTop, 402, 220, 1024, c.screenHeight),
            c.expected);
    }
}

TEST(PanelSettingsTest, RememberedPlaceStaysOnTheScreen) {
    EXPECT_EQ(HoldPanelOnScreen({100, 200}, 402, 220, 1024, 768), (PanelPoint{100, 200}));
    EXPECT_EQ(HoldPanelOnScreen({900, 700}, 402, 220, 1024, 768), (PanelPoint{622, 548}));
    EXPECT_EQ(HoldPanelOnScreen({0, -5}, 402, 220, 1024, 768), (PanelPoint{1, 1}));
    EXPECT_EQ(HoldPanelOnScreen({50, 50}, 402, 220, 300, 200), (PanelPoint{1, 1}));
    EXPECT_EQ(PanelPlace(PanelSettings{false, 5000, 10}, 600, 100, 402, 220, 1024, 768),
              (PanelPoint{622, 10}));
}

}  // namespace
}  // namespace kelpa
