// The display settings table and the placing and sizing of the video windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "support/test_support.h"
#include "view/view_printers.h"
#include "view/view_settings.h"
#include "view/window_sizing.h"

namespace kelpa {
namespace {

using test::MemoryProfile;

constexpr ScreenSize kScreen{1280, 800};

TEST(ViewSettingsTest, StoredValuesOutOfRange) {
    struct Case {
        const char* key;
        const char* stored;
        int32_t expected;
    };
    // Each window is 400 x 300 (or the remembered size) on a 1280 x 800 screen.
    const Case cases[] = {
        {"VLW", "20", 36},        {"VLW", "2000", 1024},     {"VPH", "500", 500},
        {"VLX", "-5", 0},         {"VPX", "5000", 880},      {"VLY", "900", 500},
        {"VPY", "-1", 0},         {"View2Mode", "7", 3},     {"View2Mode", "-1", 3},
        {"View2Mode", "4", 4},    {"View2Mode", "0", 0},     {"ViewLiveVis", "2", 1},
        {"ViewProcVis", "-1", 0}, {"ViewGuideGrid", "1", 1},
    };
    for (const Case& c : cases) {
        MemoryProfile profile;
        profile.Set(c.key, c.stored);
        ViewSettings s;
        LoadViewFlags(s);
        const WindowPlace defaults{10, 20, 400, 300};
        s.livePlace = LoadWindowPlace(ViewWindow::kLive, defaults, kScreen);
        s.procPlace = LoadWindowPlace(ViewWindow::kProc, defaults, kScreen);
        const auto& d =
            *std::find_if(std::begin(kViewSettings), std::end(kViewSettings),
                          [&](const auto& row) { return std::string(row.key) == c.key; });
        EXPECT_EQ(GetViewField(s, d.field), c.expected) << c.key << "=" << c.stored;
    }
}

TEST(ViewSettingsTest, DefaultsWithoutStoredValues) {
    MemoryProfile profile;
    ViewSettings s;
    s.liveVisible = true;
    s.procVisible = false;
    s.stretchMode = 1;
    s.guideGrid = true;
    LoadViewFlags(s);
    EXPECT_EQ(std::tuple(s.liveVisible, s.procVisible, s.stretchMode, s.guideVirtual, s.guideArea,
                         s.guideGrid),
              std::tuple(false, true, 3, false, false, false));
    const WindowPlace place = LoadWindowPlace(ViewWindow::kProc, {10, 20, 400, 300}, kScreen);
    EXPECT_EQ(place, (WindowPlace{10, 20, 400, 300}));
}

TEST(ViewSettingsTest, WriteOrderAndRoundTrip) {
    MemoryProfile profile;
    ViewSettings s;
    s.liveVisible = true;
    s.procVisible = false;
    s.stretchMode = 4;
    s.guideVirtual = true;
    s.guideGrid = true;
    SaveViewFlags(ViewWindow::kProc, s);
    SaveViewFlags(ViewWindow::kLive, s);
    SaveWindowPlace(ViewWindow::kLive, {11, 22, 333, 244});
    EXPECT_EQ(
        profile.WriteOrder(),
        (std::vector<std::string>{"ViewProcVis", "View2Mode", "ViewGuideVirtual", "ViewGuideArea",
                                  "ViewGuideGrid", "ViewLiveVis", "VLX", "VLY", "VLW", "VLH"}));
    ViewSettings back;
    LoadViewFlags(back);
    EXPECT_EQ(std::tuple(back.liveVisible, back.procVisible, back.stretchMode, back.guideVirtual,
                         back.guideArea, back.guideGrid),
              std::tuple(true, false, 4, true, false, true));
    EXPECT_EQ(LoadWindowPlace(ViewWindow::kLive, {}, kScreen), (WindowPlace{11, 22, 333, 244}));
}

TEST(WindowSizingTest, CreationSizeAndRememberedPlace) {
    MemoryProfile profile;
    const FrameMargins margins{4, 3};
    // Without a remembered place: the client plus the frame on both sides.
    EXPECT_EQ(CreateWindowPlace(ViewWindow::kLive, 100, 50, 320, 240, true, margins, kScreen),
              (WindowPlace{100, 50, 328, 246}));
    EXPECT_EQ(CreateWindowPlace(ViewWindow::kLive, 100, 50, 320, 240, false, margins, kScreen),
              (WindowPlace{100, 50, 320, 240}));
    // A remembered size larger than a small screen is cut to the screen; the window stays
    // on it.
    profile.Set("VPW", "1000");
    profile.Set("VPX", "700");
    EXPECT_EQ(CreateWindowPlace(ViewWindow::kProc, 100, 50, 320, 240, true, margins, {800, 600}),
              (WindowPlace{0, 50, 800, 246}));
}

TEST(WindowSizingTest, InitialPlaces) {
    const std::tuple<ScreenSize, WindowPoint, WindowPoint> cases[] = {
        {{1920, 1080}, {637, 50}, {963, 50}},
        {{646, 480}, {0, 50}, {326, 50}},
        {{600, 280}, {0, 40}, {326, 40}},
        {{600, 200}, {0, 0}, {326, 0}},
    };
    for (const auto& [screen, live, proc] : cases) {
        const InitialPlaces p = InitialWindowPlaces(screen);
        EXPECT_EQ(p.live, live);
        EXPECT_EQ(p.proc, proc);
    }
}

TEST(WindowSizingTest, RequestedClientSizes) {
    EXPECT_EQ(RequestedClientSize(SizeCommand::kInputSize, 640, 480), (WindowPoint{640, 480}));
    EXPECT_EQ(RequestedClientSize(SizeCommand::kHalfSize, 641, 481), (WindowPoint{320, 240}));
    // (480 * 500 + 320) / 640 = 375.5, truncated.
    EXPECT_EQ(RequestedClientSize(SizeCommand::kFixedWidth, 640, 480, 500),
              (WindowPoint{500, 375}));
    EXPECT_FALSE(RequestedClientSize(SizeCommand::kFixedWidth, 0, 480, 500).has_value());
    EXPECT_FALSE(RequestedClientSize(SizeCommand::kHalfSize, 640, 0).has_value());
}

TEST(WindowSizingTest, ResizeKeepsTheWindowOnTheScreen) {
    // A window with a frame of 10 x 30 around a 320 x 240 client.
    struct Case {
        int32_t x, y;
        WindowPoint wanted;
        ScreenSize screen;
        WindowPlace expected;
    };
    const Case cases[] = {
        {100, 100, {640, 480}, {1920, 1080}, {100, 100, 650, 510}},
        {1500, 700, {640, 480}, {1920, 1080}, {1270, 570, 650, 510}},
        {100, 100, {2000, 2000}, {1920, 1080}, {100, 26, 1034, 1054}},
        {100, 100, {2000, 2000}, {800, 600}, {0, 0, 810, 630}},
        {100, 100, {10, 0}, {800, 600}, {100, 100, 46, 66}},
    };
    for (const Case& c : cases) {
        const WindowPlace outer{c.x, c.y, 330, 270};
        EXPECT_EQ(ResizeClient(outer, 320, 240, c.wanted, c.screen), c.expected)
            << c.wanted.x << "x" << c.wanted.y;
    }
}

}  // namespace
}  // namespace kelpa
