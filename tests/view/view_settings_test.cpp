// The display settings table and the placing and sizing of the video windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "support/test_support.h"
#include "view/view_printers.h"
#include "view/window_sizing.h"

namespace kelpa {
namespace {

using test::MemoryProfile;

constexpr ScreenSize kScreen{1280, 800};

TEST(ViewSettingsTest, StoredValuesOutOfRange) {
    // Each window would be 400 x 300 at (10, 20) on a 1280 x 800 screen.
    const std::tuple<const char*, const char*, int32_t> cases[] = {
        {"VLW", "20", 36},       {"VLW", "2000", 1024},    {"VPH", "500", 500},
        {"VLX", "-5", 0},        {"VPX", "5000", 880},     {"VLY", "900", 500},
        {"View2Mode", "7", 3},   {"View2Mode", "-1", 3},   {"View2Mode", "4", 4},
        {"ViewLiveVis", "2", 1}, {"ViewProcVis", "-1", 0}, {"ViewGuideGrid", "1", 1},
    };
    for (const auto& [key, stored, expected] : cases) {
        MemoryProfile profile;
        profile.Set(key, stored);
        ViewSettings s;
        LoadViewFlags(s);
        s.livePlace = LoadWindowPlace(ViewWindow::kLive, {10, 20, 400, 300}, kScreen);
        s.procPlace = LoadWindowPlace(ViewWindow::kProc, {10, 20, 400, 300}, kScreen);
        const auto& row = *std::find_if(std::begin(kViewSettings), std::end(kViewSettings),
                                        [&](const auto& d) { return std::string(d.key) == key; });
        EXPECT_EQ(GetViewField(s, row.field), expected) << key << "=" << stored;
    }
}

TEST(ViewSettingsTest, DefaultsWriteOrderAndRoundTrip) {
    MemoryProfile profile;
    const auto flags = [](const ViewSettings& s) {
        return std::tuple(s.liveVisible, s.procVisible, s.stretchMode, s.guideVirtual, s.guideArea,
                          s.guideGrid);
    };
    ViewSettings s{{}, {}, true, false, 1, true, true, true};
    LoadViewFlags(s);
    EXPECT_EQ(flags(s), std::tuple(false, true, 3, false, false, false));
    EXPECT_EQ(LoadWindowPlace(ViewWindow::kProc, {10, 20, 400, 300}, kScreen),
              (WindowPlace{10, 20, 400, 300}));

    const ViewSettings saved{{}, {}, true, false, 4, true, false, true};
    SaveViewFlags(ViewWindow::kProc, saved);
    SaveViewFlags(ViewWindow::kLive, saved);
    SaveWindowPlace(ViewWindow::kLive, {11, 22, 333, 244});
    EXPECT_EQ(
        profile.WriteOrder(),
        (std::vector<std::string>{"ViewProcVis", "View2Mode", "ViewGuideVirtual", "ViewGuideArea",
                                  "ViewGuideGrid", "ViewLiveVis", "VLX", "VLY", "VLW", "VLH"}));
    LoadViewFlags(s);
    EXPECT_EQ(flags(s), flags(saved));
    EXPECT_EQ(LoadWindowPlace(ViewWindow::kLive, {}, kScreen), (WindowPlace{11, 22, 333, 244}));
}

TEST(WindowSizingTest, CreationSizeAndPlaces) {
    MemoryProfile profile;
    // Without a remembered place: the client plus the frame on both sides when sizable.
    EXPECT_EQ(CreateWindowPlace(ViewWindow::kLive, 100, 50, 320, 240, true, {4, 3}, kScreen),
              (WindowPlace{100, 50, 328, 246}));
    EXPECT_EQ(CreateWindowPlace(ViewWindow::kLive, 100, 50, 320, 240, false, {4, 3}, kScreen),
              (WindowPlace{100, 50, 320, 240}));
    // A remembered width beyond a small screen is cut to it; the window stays on it.
    profile.Set("VPW", "1000");
    profile.Set("VPX", "700");
    EXPECT_EQ(CreateWindowPlace(ViewWindow::kProc, 100, 50, 320, 240, true, {4, 3}, {800, 600}),
              (WindowPlace{0, 50, 800, 246}));

    const std::tuple<ScreenSize, WindowPoint, WindowPoint> first[] = {
        {{1920, 1080}, {637, 50}, {963, 50}},
        {{600, 280}, {0, 40}, {326, 40}},
        {{600, 200}, {0, 0}, {326, 0}},
    };
    for (const auto& [screen, live, proc] : first) {
        EXPECT_EQ(InitialWindowPlaces(screen).live, live);
        EXPECT_EQ(InitialWindowPlaces(screen).proc, proc);
    }
}

TEST(WindowSizingTest, CommandsKeepTheWindowOnTheScreen) {
    EXPECT_EQ(RequestedClientSize(SizeCommand::kInputSize, 640, 480), (WindowPoint{640, 480}));
    EXPECT_EQ(RequestedClientSize(SizeCommand::kHalfSize, 641, 481), (WindowPoint{320, 240}));
    // (480 * 500 + 320) / 640 = 375.5, truncated.
    EXPECT_EQ(RequestedClientSize(SizeCommand::kFixedWidth, 640, 480, 500),
              (WindowPoint{500, 375}));
    EXPECT_FALSE(RequestedClientSize(SizeCommand::kFixedWidth, 0, 480, 500).has_value());

    // A window at (x, y) with a 10 x 30 frame around a 320 x 240 client.
    const std::tuple<WindowPoint, WindowPoint, ScreenSize, WindowPlace> cases[] = {
        {{100, 100}, {640, 480}, {1920, 1080}, {100, 100, 650, 510}},
        {{1500, 700}, {640, 480}, {1920, 1080}, {1270, 570, 650, 510}},
        {{100, 100}, {2000, 2000}, {1920, 1080}, {100, 26, 1034, 1054}},
        {{100, 100}, {2000, 2000}, {800, 600}, {0, 0, 810, 630}},
        {{100, 100}, {10, 0}, {800, 600}, {100, 100, 46, 66}},
    };
    for (const auto& [at, wanted, screen, expected] : cases) {
        EXPECT_EQ(ResizeClient({at.x, at.y, 330, 270}, 320, 240, wanted, screen), expected);
    }
}

}  // namespace
}  // namespace kelpa
