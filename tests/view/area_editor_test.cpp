// Editing the processing area with synthetic pointer sequences on a real engine.
#include <gtest/gtest.h>

#include <tuple>

#include "view/area_edit_fixture.h"
#include "view/view_printers.h"

namespace kelpa {
namespace {

using test::AreaEditFixture;

TEST(EditModeTest, CommandsToggleModesAndMenusFollow) {
    struct Case {
        EditMode mode;
        int32_t command;
        bool videoOpen;
        EditMode after;
    };
    const Case cases[] = {
        {EditMode::kNone, kCommandAreaMove, true, EditMode::kMove},
        {EditMode::kMove, kCommandAreaMove, true, EditMode::kNone},
        {EditMode::kMove, kCommandAreaDraw, true, EditMode::kDraw},
        {EditMode::kResize, kCommandAreaResize, true, EditMode::kNone},
        {EditMode::kDraw, kCommandAreaExit, true, EditMode::kNone},
        {EditMode::kResize, kCommandAreaSetup, true, EditMode::kResize},
        {EditMode::kNone, kCommandAreaMove, false, EditMode::kNone},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EditModeAfterCommand(c.mode, c.command, c.videoOpen), c.after) << c.command;
    }
    const auto state = [](EditMode mode, bool open) {
        const AreaMenuState s = AreaMenuStateFor(mode, open);
        return std::tuple(s.moveChecked, s.resizeChecked, s.drawChecked, s.modesEnabled,
                          s.exitEnabled);
    };
    EXPECT_EQ(state(EditMode::kMove, true), std::tuple(true, false, false, true, true));
    EXPECT_EQ(state(EditMode::kResize, true), std::tuple(false, true, false, true, true));
    EXPECT_EQ(state(EditMode::kNone, true), std::tuple(false, false, false, true, false));
    EXPECT_EQ(state(EditMode::kDraw, false), std::tuple(false, false, false, false, true));
}

TEST(AreaEditorTest, PressWithoutModeOrVideoMovesTheWindow) {
    AreaEditFixture f;
    const ProcArea before = f.Area();
    EditResult r = f.editor.Press({160, 150}, {}, f.layout);
    EXPECT_TRUE(r.moveWindow);
    EXPECT_FALSE(r.captureMouse);
    AreaEditor noVideo;
    noVideo.Command(kCommandAreaMove);
    EXPECT_EQ(noVideo.Mode(), EditMode::kNone);
    EXPECT_TRUE(noVideo.Press({160, 150}, {}, f.layout).moveWindow);
    EXPECT_EQ(f.Area(), before);
}

TEST(AreaEditorTest, MovePressPlacesTheCentreOnlyInsideThePicture) {
    struct Case {
        WindowPoint press;
        PointerKeys keys;
        float centreX, centreY;
    };
    const Case cases[] = {
        {{80, 90}, {}, 0.25f, 0.25f},
        {{100, 10}, {}, 0.5f, 0.5f},  // in the black band above the picture
        {{0, 150}, {}, 0.5f, 0.5f},   // on the picture's left edge
        {{80, 90}, {true, false}, 0.5f, 0.25f},
        {{80, 90}, {false, true}, 0.25f, 0.5f},
        {{80, 285}, {true, false}, 0.5f, 0.5f},  // Shift, below the picture
    };
    for (const Case& c : cases) {
        AreaEditFixture f;
        f.SetMode(EditMode::kMove);
        const ProcArea before = f.Area();
        const bool changed = f.Drag(c.press, {}, c.keys);
        EXPECT_FLOAT_EQ(f.E().params.areaX, c.centreX);
        EXPECT_FLOAT_EQ(f.E().params.areaY, c.centreY);
        EXPECT_EQ(changed, !(f.Area() == before));
        EXPECT_FLOAT_EQ(f.E().params.areaW, 0.5f);
    }
}

TEST(AreaEditorTest, MoveDragWithShiftOrCtrlStaysOnOneAxis) {
    AreaEditFixture f;
    f.SetMode(EditMode::kMove);
    // Sideways with Shift: the centre y goes to the pointer y plus the step (20 to the right).
    f.Drag({160, 150}, {{180, 150}}, {true, false});
    EXPECT_FLOAT_EQ(f.E().params.areaX, 0.5f);
    EXPECT_FLOAT_EQ(f.E().params.areaY, 100.0f / 240.0f);
    // Up and down with Ctrl: the centre x goes to the pointer x plus the step (30 up).
    f.Drag({180, 150}, {{180, 120}}, {false, true});
    EXPECT_FLOAT_EQ(f.E().params.areaX, 210.0f / 320.0f);
    EXPECT_FLOAT_EQ(f.E().params.areaY, 100.0f / 240.0f);
}

TEST(AreaEditorTest, DrawGivesTheSameAreaInEitherDirection) {
    for (bool topDown : {true, false}) {
        AreaEditFixture forward(topDown);
        forward.SetMode(EditMode::kDraw);
        forward.Drag({40, 60}, {{100, 100}, {200, 180}});
        AreaEditFixture backward(topDown);
        backward.SetMode(EditMode::kDraw);
        backward.Drag({200, 180}, {{120, 90}, {40, 60}});
        EXPECT_EQ(forward.Area(), backward.Area());
        // The area shown is the rectangle drawn, whichever order the rows are stored in.
        EXPECT_EQ(forward.ShownArea(), (WindowRect{40, 60, 200, 180})) << topDown;
    }
}

TEST(AreaEditorTest, DrawLargerThanThePictureKeepsFractionsWithinOne) {
    AreaEditFixture f;
    f.SetMode(EditMode::kDraw);
    f.Drag({-50, -50}, {{400, 400}});
    const ProcParams& p = f.E().params;
    for (float fraction : {p.areaX, p.areaY, p.areaW, p.areaH}) {
        EXPECT_GE(fraction, 0.0f);
        EXPECT_LE(fraction, 1.0f);
    }
    EXPECT_FLOAT_EQ(p.areaW, 1.0f);
    EXPECT_FLOAT_EQ(p.areaH, 1.0f);
    const ProcArea a = f.Area();
    EXPECT_TRUE(a.x0 >= 0 && a.x1 <= 640 && a.y0 >= 0 && a.y1 <= 480);
}

TEST(AreaEditorTest, WheelGrowsAndShrinks) {
    struct Case {
        int32_t delta;
        PointerKeys keys;
        int32_t width, height;
    };
    // The area starts at 320 x 240; one notch is 2 window pixels, 4 image pixels.
    const Case cases[] = {
        {120, {}, 320, 244},
        {-240, {}, 320, 232},
        {120, {true, false}, 324, 244},
        {120, {false, true}, 324, 240},
        {119, {}, 320, 240},
        {-12000, {}, 320, 0},
        {12000, {true, false}, 640, 480},
    };
    for (EditMode mode : {EditMode::kNone, EditMode::kResize}) {
        for (const Case& c : cases) {
            AreaEditFixture f;
            f.SetMode(mode);
            f.editor.Wheel(c.delta, c.keys, f.layout);
            EXPECT_EQ(std::tuple(f.Area().w, f.Area().h), std::tuple(c.width, c.height)) << c.delta;
        }
    }
}

TEST(AreaEditorTest, ResizeGrowsLeftOrUpAndShrinksRightOrDown) {
    AreaEditFixture f;
    f.SetMode(EditMode::kResize);
    const auto size = [&] { return std::tuple(f.Area().w, f.Area().h); };
    f.editor.Press({200, 200}, {}, f.layout);
    f.editor.Drag({150, 200}, {}, f.layout);  // any distance left: one step
    EXPECT_EQ(size(), std::tuple(324, 240));
    f.editor.Drag({150, 200}, {}, f.layout);  // no movement
    EXPECT_EQ(size(), std::tuple(324, 240));
    f.editor.Drag({160, 220}, {}, f.layout);  // right and down
    EXPECT_EQ(size(), std::tuple(320, 236));
    f.editor.Drag({170, 220}, {true, false}, f.layout);  // diagonal: both shrink
    EXPECT_EQ(size(), std::tuple(316, 232));
    f.editor.Drag({160, 230}, {true, false}, f.layout);  // left and down: length 1, grows
    EXPECT_EQ(size(), std::tuple(320, 236));
    f.editor.Release(false);
}

// Records what the engine tells the processed window.
struct RedrawCounter final : OverlayListener {
    void AreaChanged(int32_t, int32_t, int32_t, int32_t) override {}
    void GuidePosition(float, float) override {}
    void RedrawArea() override { ++redraws; }
    int redraws = 0;
};

TEST(AreaEditorTest, DragSuspendsAutoMoveVirtualGuideAndRedraws) {
    for (bool virtualSetting : {true, false}) {
        AreaEditFixture f;
        RedrawCounter counter;
        f.E().surf.SetListener(&counter);
        f.E().SetGuideAutoMoveSetting(true);
        f.E().SetVirtualGuideActive(true);
        f.SetMode(EditMode::kMove);
        const EditResult press = f.editor.Press({100, 100}, {}, f.layout);
        EXPECT_TRUE(press.captureMouse && press.overlayChanged && press.areaChanged);
        EXPECT_EQ(f.E().guideAutoMove.load(), 0);
        EXPECT_FALSE(f.E().guideVirtual.load());
        EXPECT_TRUE(f.editor.Drag({120, 110}, {}, f.layout).areaChanged);
        EXPECT_EQ(counter.redraws, 0);  // the window redraws from the edit results
        const EditResult release = f.editor.Release(virtualSetting);
        EXPECT_TRUE(release.releaseMouse && release.overlayChanged);
        EXPECT_EQ(f.E().guideAutoMove.load(), 1);
        EXPECT_EQ(f.E().guideVirtual.load(), virtualSetting);
        EXPECT_FALSE(f.editor.Release(virtualSetting).releaseMouse);
        // Outside a drag the engine asks for the redraw itself.
        f.editor.Wheel(120, {}, f.layout);
        EXPECT_EQ(counter.redraws, 1);
        f.E().surf.SetListener(nullptr);
    }
}

TEST(AreaEditorTest, PointerIsTakenOffTheVirtualGuideShift) {
    AreaEditFixture f;
    f.layout.position = {f.layout.origin.x + 20, f.layout.origin.y + 10};
    const AreaFractions at = PointerToFractions({120, 100}, f.layout, 640, 480);
    EXPECT_DOUBLE_EQ(at.x, 100.0 / 320.0);
    EXPECT_DOUBLE_EQ(at.y, 60.0 / 240.0);
    f.SetMode(EditMode::kMove);
    f.Drag({120, 100}, {});
    EXPECT_FLOAT_EQ(f.E().params.areaX, 100.0f / 320.0f);
    EXPECT_FLOAT_EQ(f.E().params.areaY, 60.0f / 240.0f);
}

// With the virtual guide on, every star the guide follows reaches the window and shifts the
// picture so that the star stays on the reference point.
TEST(AreaEditorTest, VirtualGuideShiftsThePictureWithEveryStar) {
    AreaEditFixture f;
    f.E().SetVirtualGuideActive(true);
    const std::tuple<float, float, WindowPoint> stars[] = {
        {300.0f, 250.0f, {10, 24}},
        {340.0f, 230.0f, {-10, 34}},
    };
    for (const auto& [x, y, position] : stars) {
        f.E().FollowStar(x, y);
        ProcView view{f.layout, {}};
        UpdateOverlayGeometry(view, SnapshotOverlay(f.E()), true);
        EXPECT_EQ(view.layout.position, position);
        EXPECT_EQ(view.overlay.mark.x, -1);
    }
}

TEST(AreaRedrawTest, DrawNowUnlessFramesComeFast) {
    const std::tuple<bool, int32_t, double, double, AreaRedraw> cases[] = {
        {true, 0, 0.0, 0.0, AreaRedraw::kNone},   {false, 2, 30.0, 15.0, AreaRedraw::kNextFrame},
        {false, 2, 30.0, 5.0, AreaRedraw::kNow},  {false, 2, 9.9, 30.0, AreaRedraw::kNow},
        {false, 1, 30.0, 30.0, AreaRedraw::kNow},
    };
    for (const auto& [hidden, state, fps, rate, expected] : cases) {
        EXPECT_EQ(DecideAreaRedraw(hidden, state, fps, rate), expected);
    }
}

}  // namespace
}  // namespace kelpa
