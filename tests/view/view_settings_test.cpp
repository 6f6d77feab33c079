// The display settings table and the placing and sizing of the video windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "support/test_support.h"
#include "view/window_sizing.h"

namespace kelpa {
namespace {

using test::MemoryProfile;

constexpr ScreenSize kScreen{1280, 800};

// A stored text and what its key reads back as: limits, the screen, words and a missing value.
// Each window would be 400 x 300 at (10, 20); the statistic window's owner is at (300, 700),
// where level with it would pass the screen's bottom.
TEST(ViewSettingsTest, StoredValuesOutOfRange) {
    const std::tuple<const char*, const char*, int32_t> cases[] =
        {
            {"VLW", "20", 36},    {"VLW", "2000", 1024},   {"VLX", "-5", 0},
            {"VLW", "wide", 400}, {"View2Mode", "7", 3},   {"View2Mode", "4", 4},
            {"ProcInfo", "3", 1}, {"InfoX", "5000", 1102}, {"InfoY", "-7", 1},
            {"InfoY", "", 665},  // at the bottom, since level with it would not fit
        };
    for (const auto& [key, stored, expected] : cases) {
        MemoryProfile profile;
        if (*stored != 0) profile.Set(key, stored);
        const WindowPlace live = LoadWindowPlace(ViewWindow::kLive, {10, 20, 400, 300}, kScreen);
        const InfoWindowSettings info = LoadInfoWindowSettings(300, 700, kScreen);
        const std::vector<std::pair<std::string, int32_t>> read = {
            {"View2Mode", LoadProcViewFlags().stretchMode},
            {"VLX", live.x},
            {"VLW", live.width},
            {"ProcInfo", info.visible},
            {"InfoX", info.x},
            {"InfoY", info.y}};
        EXPECT_EQ(
            std::count(read.begin(), read.end(), std::pair<std::string, int32_t>(key, expected)), 1)
            << key << "=" << stored;
    }
}

// A remembered width beyond a small screen is cut to it; the window stays on it.
TEST(WindowSizingTest, ARememberedPlaceStaysOnTheScreen) {
    MemoryProfile profile;
    profile.Set("VPW", "1000");
    profile.Set("VPX", "700");
    EXPECT_EQ(CreateWindowPlace(ViewWindow::kProc, 100, 50, 320, 240, true, {4, 3}, {800, 600}),
              (WindowPlace{0, 50, 800, 246}));
}

TEST(WindowSizingTest, CommandsKeepTheWindowOnTheScreen) {
    // (The sizes themselves: the processed window's test in tests/gui.)
    EXPECT_FALSE(RequestedClientSize(SizeCommand::kFixedWidth, 0, 480, 500).has_value());
    // A window at (x, y) with a 10 x 30 frame around a 320 x 240 client.
    const std::tuple<WindowPoint, WindowPoint, ScreenSize, WindowPlace> cases[] = {
        {{100, 100}, {640, 480}, {1920, 1080}, {100, 100, 650, 510}},
        {{1500, 700}, {640, 480}, {1920, 1080}, {1270, 570, 650, 510}},
        {{100, 100}, {2000, 2000}, {800, 600}, {0, 0, 810, 630}},
        {{100, 100}, {10, 0}, {800, 600}, {100, 100, 46, 66}},
    };
    for (const auto& [at, wanted, screen, expected] : cases) {
        EXPECT_EQ(ResizeClient({at.x, at.y, 330, 270}, 320, 240, wanted, screen), expected);
    }
}

}  // namespace
}  // namespace kelpa
