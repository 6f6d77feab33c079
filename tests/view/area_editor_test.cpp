// Editing the processing area on a real engine: synthetic pointer sequences, and the model of
// the processing-area dialog.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

#include "view/area_dialog.h"
#include "view/area_edit_fixture.h"

namespace kelpa {
namespace {

using test::AreaEditFixture;

TEST(EditModeTest, CommandsToggleModes) {
    EXPECT_EQ(EditModeAfterCommand(EditMode::kNone, kCommandAreaMove, true), EditMode::kMove);
    EXPECT_EQ(EditModeAfterCommand(EditMode::kMove, kCommandAreaMove, true), EditMode::kNone);
    EXPECT_EQ(EditModeAfterCommand(EditMode::kMove, kCommandAreaDraw, true), EditMode::kDraw);
    EXPECT_EQ(EditModeAfterCommand(EditMode::kDraw, kCommandAreaExit, true), EditMode::kNone);
    EXPECT_EQ(EditModeAfterCommand(EditMode::kNone, kCommandAreaMove, false), EditMode::kNone);
    const AreaMenuState closed = AreaMenuStateFor(EditMode::kDraw, false);
    EXPECT_FALSE(closed.drawChecked || closed.modesEnabled);
}

// Without video a mode does nothing and the press moves the window. (Without a mode: the
// processed window's test in tests/gui.)
TEST(AreaEditorTest, PressWithoutVideoMovesTheWindow) {
    AreaEditFixture f;
    const ProcArea before = f.Area();
    f.editor.SetEngine(nullptr);
    f.editor.Command(kCommandAreaMove);
    EXPECT_TRUE(f.editor.Press({160, 150}, {}, f.layout).moveWindow);
    EXPECT_EQ(f.Area(), before);
}

TEST(AreaEditorTest, MovePlacesTheCentreOnlyInsideThePicture) {
    // press, path, keys, shift of the picture by the virtual guide -> the area's centre (a plain
    // press and one in the band above: the processed window's test in tests/gui)
    using Case =
        std::tuple<WindowPoint, std::vector<WindowPoint>, PointerKeys, WindowPoint, float, float>;
    const PointerKeys none;
    const PointerKeys withShift{true, false};
    const PointerKeys ctrl{false, true};
    const Case cases[] = {
        {{0, 150}, {}, none, {}, 0.5f, 0.5f},  // on the picture's left edge
        {{80, 90}, {}, withShift, {}, 0.5f, 0.25f},
        {{80, 285}, {}, withShift, {}, 0.5f, 0.5f},  // Shift, below the picture
        // Sideways with Shift: the centre y goes to the pointer y plus the step (20 right).
        {{160, 150}, {{180, 150}}, withShift, {}, 0.5f, 100.0f / 240.0f},
        // Up with Ctrl: the centre x goes to the pointer x plus the step (30 up).
        {{180, 150}, {{180, 120}}, ctrl, {}, 210.0f / 320.0f, 0.5f},
        {{120, 100}, {}, none, {20, 10}, 100.0f / 320.0f, 60.0f / 240.0f},
    };
    for (const auto& [press, path, keys, shift, centreX, centreY] : cases) {
        AreaEditFixture f;
        f.layout.position = {f.layout.origin.x + shift.x, f.layout.origin.y + shift.y};
        f.SetMode(EditMode::kMove);
        const ProcArea before = f.Area();
        const bool changed = f.Drag(press, path, keys);
        const ProcParams& p = f.E().params;
        EXPECT_EQ(std::tuple(p.areaX, p.areaY, p.areaW, changed),
                  std::tuple(centreX, centreY, 0.5f, !(f.Area() == before)))
            << press.x << "," << press.y;
    }
}

// (Larger than the picture: the processed window's test in tests/gui.)
TEST(AreaEditorTest, DrawEitherWayInBothRowOrders) {
    const auto draw = [](bool topDown, WindowPoint press, std::vector<WindowPoint> path) {
        auto f = std::make_unique<AreaEditFixture>(topDown);
        f->SetMode(EditMode::kDraw);
        f->Drag(press, path);
        return f;
    };
    for (bool topDown : {true, false}) {
        const auto forward = draw(topDown, {40, 60}, {{100, 100}, {200, 180}});
        EXPECT_EQ(forward->Area(), draw(topDown, {200, 180}, {{120, 90}, {40, 60}})->Area());
        // The area shown is the rectangle drawn, whichever order the rows are stored in.
        EXPECT_EQ(forward->ShownArea(), (WindowRect{40, 60, 200, 180})) << topDown;
    }
}

TEST(AreaEditorTest, WheelGrowsAndShrinks) {
    struct Case {
        int32_t delta;
        PointerKeys keys;
        int32_t width, height;
    };
    // The area starts at 320 x 240; one notch is 2 window pixels, 4 image pixels.
    const Case cases[] = {{120, {}, 320, 244},
                          {120, {false, true}, 324, 240},
                          {119, {}, 320, 240},
                          {-12000, {}, 320, 0},
                          {12000, {true, false}, 640, 480}};
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
    f.editor.Press({200, 200}, {}, f.layout);
    // Any distance left: one step; no movement; right and down; diagonal with Shift: both
    // shrink; left and down with Shift: length 1, grows.
    const std::tuple<WindowPoint, bool, int32_t, int32_t> steps[] = {{{150, 200}, false, 324, 240},
                                                                     {{150, 200}, false, 324, 240},
                                                                     {{160, 220}, false, 320, 236},
                                                                     {{170, 220}, true, 316, 232},
                                                                     {{160, 230}, true, 320, 236}};
    for (const auto& [to, shift, width, height] : steps) {
        f.editor.Drag(to, {shift, false}, f.layout);
        EXPECT_EQ(std::tuple(f.Area().w, f.Area().h), std::tuple(width, height)) << to.x;
    }
}

TEST(AreaRedrawTest, DrawNowUnlessFramesComeFast) {
    EXPECT_EQ(DecideAreaRedraw(true, 0, 0.0, 0.0), AreaRedraw::kNone);
    EXPECT_EQ(DecideAreaRedraw(false, 2, 30.0, 10.0), AreaRedraw::kNextFrame);
    EXPECT_EQ(DecideAreaRedraw(false, 2, 30.0, 9.9), AreaRedraw::kNow);
    EXPECT_EQ(DecideAreaRedraw(false, 1, 30.0, 30.0), AreaRedraw::kNow);
}

// The fields are in the rows of the picture as shown, whichever order the frame's rows are
// stored in. (The fields typed into and left, Half, Full, Cancel and OK: the processed window's
// dialog tests in tests/gui.)
TEST(AreaDialogTest, FieldsAsShownInEitherRowOrder) {
    for (bool topDown : {true, false}) {
        AreaEditFixture f(topDown);
        AreaRectMemory memory;
        AreaDialogModel m(&f.E(), memory);
        f.E().SetAreaRect(10, 20, 110, 70);
        m.Refresh();
        const AreaFieldValues& v = m.Fields();
        EXPECT_EQ(std::tuple(v.x, v.y, v.width, v.height), std::tuple(10, 20, 100, 50)) << topDown;
    }
}

}  // namespace
}  // namespace kelpa
