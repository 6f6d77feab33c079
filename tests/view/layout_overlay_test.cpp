// The fit of a picture into a window, the overlay in window pixels, and the outlines of
// degenerate areas.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "view/draw_list.h"
#include "view/overlay_geometry.h"

namespace kelpa {
namespace {

// (A 640 x 480 picture in a 320 x 300 client: the processed window's overlay test in tests/gui.)
TEST(FitLayoutTest, ScaleSizeOriginGridClip) {
    // image, client -> scale, picture size, origin, grid, clip
    using Case =
        std::tuple<WindowPoint, WindowPoint, double, WindowPoint, WindowPoint, WindowRect, bool>;
    const Case cases[] = {
        {{640, 480}, {700, 480}, 1.0, {640, 480}, {30, 0}, {35, 5, 665, 475}, true},
        {{100, 100}, {0, 50}, 1.0, {0, 50}, {0, 0}, {5, 5, -5, 45}, false},
        {{641, 481}, {320, 240}, 240.0 / 481, {319, 240}, {0, 0}, {5, 5, 314, 235}, true},
        {{3, 1000}, {100, 100}, 0.1, {1, 100}, {49, 0}, {54, 5, 45, 95}, true},
    };
    for (const auto& [image, client, scale, size, origin, grid, clip] : cases) {
        SurfaceLayout l;
        FitLayout(l, image.x, image.y, client.x, client.y);
        EXPECT_DOUBLE_EQ(l.scale, scale);
        EXPECT_EQ(std::tuple(WindowPoint{l.pictureWidth, l.pictureHeight}, l.origin, l.position,
                             l.grid, l.clip),
                  std::tuple(size, origin, origin, grid, clip));
        // An empty image changes nothing but the client size.
        SurfaceLayout expected = l;
        expected.clientHeight = 600;
        FitLayout(l, image.x, 0, client.x, 600);
        EXPECT_EQ(std::tie(l.scale, l.origin, l.pictureWidth, l.grid, l.clip, l.clientHeight),
                  std::tie(expected.scale, expected.origin, expected.pictureWidth, expected.grid,
                           expected.clip, expected.clientHeight));
    }
}

// A 640 x 480 picture in a 320 x 300 client: scale 0.5, origin (0, 30).
ProcView HalfScaleView() {
    ProcView v;
    FitProcLayout(v.layout, 640, 480, 320, 300, false);
    return v;
}

OverlaySource Source(bool flipped, ProcArea area, float starX = -1.0f, float starY = 0.0f) {
    std::tie(area.w, area.h) = std::tuple(area.x1 - area.x0, area.y1 - area.y0);
    return {640, 480, flipped, area, 320.0f, 240.0f, starX, starY};
}

// (An ordinary area in either row order, and the show-area setting off: the processed window's
// overlay test in tests/gui.)
TEST(OverlayTest, AreaRowsFollowTheFlipAndHiddenRule) {
    // flipped, area, show-area setting -> window rectangle, hidden
    const std::tuple<bool, ProcArea, bool, WindowRect, bool> cases[] = {
        {false, {200, 100, 200, 100}, true, {100, 220, 100, 220}, false},
        {true, {0, 100, 640, 200}, true, {0, 80, 320, 130}, true},  // as wide as the image
    };
    for (const auto& [flipped, area, show, rect, hidden] : cases) {
        ProcView v = HalfScaleView();
        MapAreaToWindow(v, Source(flipped, area), show);
        EXPECT_EQ(std::pair(v.overlay.area, v.overlay.areaHidden), std::pair(rect, hidden));
    }
}

// (The mark in either row order: the processed window's overlay test in tests/gui.)
TEST(OverlayTest, MarkOrShiftFromTheStar) {
    // flipped, virtual guide, star -> mark, picture position
    const std::tuple<bool, bool, float, float, WindowPoint, WindowPoint> cases[] = {
        {true, true, 300.0f, 250.0f, {-1, 0}, {10, 24}},
        {false, true, 300.0f, 250.0f, {-1, 0}, {10, 36}},
        {true, true, -1.0f, 0.0f, {-1, 0}, {0, 30}},  // no star: back to the origin
    };
    for (const auto& [flipped, virtualGuide, x, y, mark, position] : cases) {
        ProcView v = HalfScaleView();
        v.layout.position = {3, 3};
        OverlaySource s = Source(flipped, {160, 100, 480, 200}, x, y);
        s.virtualGuideActive = virtualGuide;
        UpdateOverlayGeometry(v, s, true);
        EXPECT_EQ(std::tuple(v.overlay.reference, v.overlay.mark, v.layout.position),
                  std::tuple(WindowPoint{160, 150}, mark, position))
            << flipped << virtualGuide << x;
    }
}

// The outline of an area without width or height, as drawn: a cross of 15 pixels around its
// point, or a line; an outline on the picture's far edges is pulled in to stay visible. (The
// ordinary outline, grid and mark in their colours: the processed window's test in tests/gui.)
TEST(DrawListTest, DegenerateAreasAndFarEdges) {
    const DrawPen pen = DrawPen::kArea;
    const auto line = [pen](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        return DrawItem{DrawKind::kLine, pen, {}, {x0, y0, x1, y1}};
    };
    const std::pair<ProcArea, std::vector<DrawItem>> cases[] = {
        {{200, 100, 200, 100}, {line(93, 80, 107, 80), line(100, 73, 100, 87)}},
        {{200, 100, 200, 200}, {line(100, 80, 100, 130)}},
        {{320, 240, 640, 480}, {DrawItem{DrawKind::kOutline, pen, {}, {160, 150, 319, 269}}}},
    };
    for (const auto& [area, outline] : cases) {
        ProcView v = HalfScaleView();
        UpdateOverlayGeometry(v, Source(true, area), true);
        DrawList list;
        BuildProcFrame(v, FrameStyle{}, list);
        std::vector<DrawItem> expected{DrawItem{DrawKind::kPicture, {}, {}, {0, 30, 320, 270}}};
        expected.insert(expected.end(), outline.begin(), outline.end());
        EXPECT_EQ(std::vector(list.begin(), list.end()), expected) << area.x0 << "," << area.y0;
    }
}

}  // namespace
}  // namespace kelpa
