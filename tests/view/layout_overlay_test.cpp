// The fit of a picture into a window, the overlay in window pixels, and the paint lists.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <tuple>

#include "view/draw_list.h"
#include "view/overlay_geometry.h"
#include "view/surface_layout.h"
#include "view/view_printers.h"

namespace kelpa {
namespace {

struct FitCase {
    const char* name;
    int32_t w, h, cw, ch;
    double scale;
    int32_t pictureW, pictureH, originX, originY;
    WindowRect grid;
    bool clip;
};

class FitTest : public testing::TestWithParam<FitCase> {};

TEST_P(FitTest, ScaleSizeOriginGridClip) {
    const FitCase& c = GetParam();
    SurfaceLayout l;
    FitLayout(l, c.w, c.h, c.cw, c.ch);
    EXPECT_DOUBLE_EQ(l.scale, c.scale);
    EXPECT_EQ(std::tuple(l.pictureWidth, l.pictureHeight), std::tuple(c.pictureW, c.pictureH));
    EXPECT_EQ(l.origin, (WindowPoint{c.originX, c.originY}));
    EXPECT_EQ(l.position, l.origin);
    EXPECT_EQ(l.grid, c.grid);
    EXPECT_EQ(l.clip, c.clip);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitTest,
    testing::Values(
        FitCase{"BandsAboveAndBelow",
                640,
                480,
                320,
                300,
                0.5,
                320,
                240,
                0,
                30,
                {5, 35, 315, 265},
                true},
        FitCase{"ExactSize", 640, 480, 640, 480, 1.0, 640, 480, 0, 0, {5, 5, 635, 475}, false},
        FitCase{
            "SameAspectSmaller", 640, 480, 320, 240, 0.5, 320, 240, 0, 0, {5, 5, 315, 235}, false},
        FitCase{
            "SameAspectLarger", 640, 480, 960, 720, 1.5, 960, 720, 0, 0, {5, 5, 955, 715}, false},
        FitCase{
            "OnlyHeightFits", 640, 480, 700, 480, 1.0, 640, 480, 30, 0, {35, 5, 665, 475}, true},
        FitCase{"ZeroClientWidth", 100, 100, 0, 50, 1.0, 0, 50, 0, 0, {5, 5, -5, 45}, false},
        FitCase{
            "OddSizes", 641, 481, 320, 240, 240.0 / 481, 319, 240, 0, 0, {5, 5, 314, 235}, true},
        FitCase{"PictureAtLeastOnePixel",
                3,
                1000,
                100,
                100,
                0.1,
                1,
                100,
                49,
                0,
                {54, 5, 45, 95},
                true}),
    [](const testing::TestParamInfo<FitCase>& param) { return std::string(param.param.name); });

TEST(FitLayoutTest, EmptyImageLeavesTheLayoutButRecordsTheClient) {
    for (auto [w, h] : {std::pair{0, 480}, std::pair{640, 0}}) {
        SurfaceLayout l;
        FitLayout(l, 640, 480, 320, 300);
        const SurfaceLayout before = l;
        FitLayout(l, w, h, 800, 600);
        EXPECT_EQ(std::tuple(l.scale, l.origin, l.pictureWidth, l.pictureHeight, l.grid, l.clip),
                  std::tuple(before.scale, before.origin, before.pictureWidth, before.pictureHeight,
                             before.grid, before.clip));
        const auto client = std::tuple(l.clientWidth, l.clientHeight);
        EXPECT_EQ(client, std::tuple(800, 600));
    }
}

TEST(FitLayoutTest, HalftoneBrushOriginFollowsTheScale) {
    const std::pair<double, int32_t> cases[] = {{1.0, 1}, {0.5, 1}, {1.5, 1}, {0.25, 2},
                                                {3.0, 2}, {4.0, 2}, {0.2, 3}, {6.0, 3}};
    for (auto [scale, origin] : cases) EXPECT_EQ(HalftoneBrushOrigin(scale), origin) << scale;
}

TEST(FitLayoutTest, ProcessedWindowKeepsTheShiftOnlyWithTheVirtualGuide) {
    for (bool virtualGuide : {false, true}) {
        SurfaceLayout l;
        FitProcLayout(l, 640, 480, 320, 300, virtualGuide);
        l.position = {12, 7};
        FitProcLayout(l, 640, 480, 160, 150, virtualGuide);
        EXPECT_EQ(l.position, (virtualGuide ? WindowPoint{12, 7} : l.origin));
        EXPECT_EQ(l.halftoneBrushOrigin, 2);  // scale 0.25
    }
}

// A 640 x 480 picture in a 320 x 300 client: scale 0.5, origin (0, 30).
ProcView HalfScaleView() {
    ProcView v;
    FitProcLayout(v.layout, 640, 480, 320, 300, false);
    return v;
}

OverlaySource Source(bool flipped, ProcArea area) {
    OverlaySource s;
    s.imageWidth = 640;
    s.imageHeight = 480;
    s.flipped = flipped;
    area.w = area.x1 - area.x0;
    area.h = area.y1 - area.y0;
    s.area = area;
    s.referenceX = 320.0f;
    s.referenceY = 240.0f;
    return s;
}

TEST(OverlayTest, AreaRowsFollowTheFlip) {
    struct Case {
        bool flipped;
        ProcArea area;
        WindowRect expected;
    };
    const Case cases[] = {
        {true, {160, 100, 480, 200}, {80, 80, 240, 130}},
        {false, {160, 100, 480, 200}, {80, 170, 240, 220}},  // rows stored bottom row first
        {false, {200, 100, 200, 100}, {100, 220, 100, 220}},
    };
    for (const Case& c : cases) {
        ProcView v = HalfScaleView();
        MapAreaToWindow(v, Source(c.flipped, c.area), true);
        EXPECT_EQ(v.overlay.area, c.expected);
        EXPECT_FALSE(v.overlay.areaHidden);
    }
}

TEST(OverlayTest, AreaHiddenWhenSwitchedOffOrAsWideAsTheImage) {
    const std::tuple<ProcArea, bool, bool> cases[] = {
        {{160, 100, 480, 200}, false, true},
        {{0, 100, 640, 200}, true, true},
        {{1, 0, 640, 480}, true, false},
    };
    for (const auto& [area, show, hidden] : cases) {
        ProcView v = HalfScaleView();
        MapAreaToWindow(v, Source(true, area), show);
        EXPECT_EQ(v.overlay.areaHidden, hidden);
    }
}

TEST(OverlayTest, MarkOrShiftFromTheStar) {
    struct Case {
        bool flipped, virtualGuide;
        float starX, starY;
        WindowPoint mark, position;
    };
    const Case cases[] = {
        {true, false, 100.0f, 50.0f, {50, 55}, {0, 30}},
        {false, false, 100.0f, 50.0f, {50, 244}, {0, 30}},
        {true, true, 300.0f, 250.0f, {-1, 0}, {10, 24}},
        {false, true, 300.0f, 250.0f, {-1, 0}, {10, 36}},
        {true, true, -1.0f, 0.0f, {-1, 0}, {0, 30}},  // no star: back to the origin
    };
    for (const Case& c : cases) {
        ProcView v = HalfScaleView();
        v.layout.position = {3, 3};
        OverlaySource s = Source(c.flipped, {160, 100, 480, 200});
        s.starX = c.starX;
        s.starY = c.starY;
        s.virtualGuideActive = c.virtualGuide;
        UpdateOverlayGeometry(v, s, true);
        EXPECT_EQ(v.overlay.reference, (WindowPoint{160, 150}));
        EXPECT_EQ(v.overlay.mark, c.mark) << c.flipped << c.virtualGuide << c.starX;
        EXPECT_EQ(v.layout.position, c.position) << c.flipped << c.virtualGuide << c.starX;
    }
}

// Wherever the star is, the shifted picture shows its pixel's centre within a pixel of the
// reference point's pixel, on either side of the reference.
TEST(OverlayTest, VirtualGuideKeepsTheStarOnTheReference) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> x(0.0f, 640.0f);
    std::uniform_real_distribution<float> y(0.0f, 480.0f);
    for (bool flipped : {true, false}) {
        for (int i = 0; i < 200; ++i) {
            ProcView v = HalfScaleView();
            OverlaySource s = Source(flipped, {160, 100, 480, 200});
            s.referenceX = x(rng);
            s.referenceY = y(rng);
            s.starX = x(rng);
            s.starY = y(rng);
            s.virtualGuideActive = true;
            UpdateOverlayGeometry(v, s, true);
            const SurfaceLayout& l = v.layout;
            const double shownX = l.position.x + (s.starX + 0.5) * l.scale;
            const double shownY = flipped
                                      ? l.position.y + (s.starY + 0.5) * l.scale
                                      : l.position.y + l.pictureHeight - (s.starY + 0.5) * l.scale;
            const double referenceX = v.overlay.reference.x + 0.5;
            const double referenceY = v.overlay.reference.y + 0.5;
            EXPECT_LT(std::abs(shownX - referenceX), 1.5) << s.referenceX << " " << s.starX;
            EXPECT_LT(std::abs(shownY - referenceY), 1.5) << s.referenceY << " " << s.starY;
        }
    }
}

// --- Paint lists ---------------------------------------------------------------------------

std::vector<DrawItem> Items(const DrawList& list) {
    return {list.begin(), list.end()};
}

DrawItem Fill(DrawBrush brush, WindowRect r) {
    return {DrawKind::kFill, DrawPen::kNone, brush, r};
}
DrawItem Line(DrawPen pen, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    return {DrawKind::kLine, pen, DrawBrush::kNone, {x0, y0, x1, y1}};
}
DrawItem Outline(DrawPen pen, WindowRect r) {
    return {DrawKind::kOutline, pen, DrawBrush::kNone, r};
}
DrawItem Picture(WindowRect r) {
    return {DrawKind::kPicture, DrawPen::kNone, DrawBrush::kNone, r};
}

TEST(DrawListTest, BandsAroundThePictureAndNoneWhenItFills) {
    DrawList list;
    ProcView v = HalfScaleView();
    AddBands(v.layout, list);
    BuildLiveFrame(v.layout, list);
    EXPECT_EQ(Items(list), (std::vector{Fill(DrawBrush::kBlack, {0, 0, 320, 30}),
                                        Fill(DrawBrush::kBlack, {0, 270, 320, 300}),
                                        Picture({0, 30, 320, 270})}));
    EXPECT_TRUE(list.clipped);
    EXPECT_EQ(list.clipStart, 2u);
    EXPECT_EQ(list.clip, (WindowRect{0, 30, 320, 270}));

    SurfaceLayout sameAspect;
    FitLayout(sameAspect, 640, 480, 160, 120);
    list.Clear();
    AddBands(sameAspect, list);
    EXPECT_EQ(list.Size(), 0u);
}

TEST(DrawListTest, VirtualGuideShiftUncoversGreyStripsAndMovesTheOverlay) {
    ProcView v = HalfScaleView();
    OverlaySource s = Source(true, {160, 100, 480, 200});
    s.starX = 300.0f;
    s.starY = 250.0f;
    s.virtualGuideActive = true;
    UpdateOverlayGeometry(v, s, true);
    ASSERT_EQ(v.layout.position, (WindowPoint{10, 24}));
    DrawList list;
    AddBands(v.layout, list);
    FrameStyle style;
    style.virtualGuideActive = true;
    style.showArea = true;
    BuildProcFrame(v, style, list);
    EXPECT_EQ(
        Items(list),
        (std::vector{
            Fill(DrawBrush::kBlack, {0, 0, 320, 30}), Fill(DrawBrush::kBlack, {0, 264, 320, 300}),
            Fill(DrawBrush::kBlack, {0, 30, 10, 264}), Picture({10, 24, 330, 264}),
            Fill(DrawBrush::kGrey, {0, 264, 320, 270}), Fill(DrawBrush::kGrey, {0, 30, 10, 264}),
            Outline(DrawPen::kArea, {90, 74, 250, 124})}));
}

TEST(DrawListTest, AreaShapesPensAndGuideMark) {
    struct Case {
        const char* name;
        ProcArea area;
        bool autoMovePen;
        std::vector<DrawItem> expected;
    };
    const Case cases[] = {
        {"Outline", {160, 100, 480, 200}, false, {Outline(DrawPen::kArea, {80, 80, 240, 130})}},
        {"AutoMovePen",
         {160, 100, 480, 200},
         true,
         {Outline(DrawPen::kAreaAutoMove, {80, 80, 240, 130})}},
        {"EdgesPulledIn",
         {320, 240, 640, 480},
         false,
         {Outline(DrawPen::kArea, {160, 150, 319, 269})}},
        {"Line", {200, 100, 200, 200}, false, {Line(DrawPen::kArea, 100, 80, 100, 130)}},
        {"Point",
         {200, 100, 200, 100},
         false,
         {Line(DrawPen::kArea, 93, 80, 107, 80), Line(DrawPen::kArea, 100, 73, 100, 87)}},
        {"AsWideAsTheImage", {0, 100, 640, 200}, false, {}},
    };
    for (const Case& c : cases) {
        ProcView v = HalfScaleView();
        UpdateOverlayGeometry(v, Source(true, c.area), true);
        FrameStyle style;
        style.autoMovePen = c.autoMovePen;
        DrawList list;
        BuildProcFrame(v, style, list);
        std::vector<DrawItem> expected{Picture({0, 30, 320, 270})};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(Items(list), expected) << c.name;
    }
}

TEST(DrawListTest, GridAtTheReferenceAndMarkOnlyWithTheAreaShown) {
    for (bool showArea : {true, false}) {
        ProcView v = HalfScaleView();
        OverlaySource s = Source(true, {160, 100, 480, 200});
        s.starX = 100.0f;
        s.starY = 50.0f;
        UpdateOverlayGeometry(v, s, showArea);
        FrameStyle style;
        style.showGrid = true;
        style.showArea = showArea;
        style.stretchMode = kStretchHalftone;
        DrawList list;
        BuildProcFrame(v, style, list);
        std::vector expected{Picture({0, 30, 320, 270}), Outline(DrawPen::kGrid, {5, 35, 315, 265}),
                             Line(DrawPen::kGrid, 5, 150, 315, 150),
                             Line(DrawPen::kGrid, 160, 35, 160, 265)};
        if (showArea) {
            expected.push_back(Outline(DrawPen::kArea, {80, 80, 240, 130}));
            expected.push_back(Line(DrawPen::kGuideMark, 47, 55, 53, 55));
            expected.push_back(Line(DrawPen::kGuideMark, 50, 52, 50, 58));
        }
        EXPECT_EQ(Items(list), expected);
        EXPECT_EQ(list.brushOrigin, 1);
    }
}

}  // namespace
}  // namespace kelpa
