// Driving the processed window with synthetic mouse and wheel events and through its "Processing
// Area" dialog (fields typed into and left, Half, Full, OK, Cancel), and the windows' own
// behaviour: closing, sizing, saving.
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <mutex>

#include "gui/area_dialog_qt.h"
#include "gui/live_window.h"
#include "gui/processing_window.h"
#include "gui/windows_fixture.h"
#include "processing/proc_engine.h"

namespace kelpa::test {
namespace {

QString Texts(AreaDialog& d) {
    QStringList texts;
    for (AreaField f : {AreaField::kX, AreaField::kY, AreaField::kWidth, AreaField::kHeight})
        texts << d.Field(f)->text();
    return texts.join(',');
}

// A 640 x 480 picture in a 320 x 300 client (scale 0.5, picture at (0, 30)); the default area
// is the middle half, (80, 90) - (240, 210) in the window.
class EditTest : public WindowsTest {
  protected:
    void SetUp() override {
        Connect(false, 640, 480);
        window.SetController(&ctrl);
        window.SetShowArea(true);
        ShowAt(window, 320, 300);
    }
    ProcEngine& E() { return ctrl.sink.engine; }
    ProcArea Area() {
        std::lock_guard lock(E().chainLock);
        return E().area;
    }
    void Drag(QPoint from, std::initializer_list<QPoint> path) {
        QTest::mousePress(&window, Qt::LeftButton, {}, from);
        for (QPoint p : path) QTest::mouseMove(&window, p);
        QTest::mouseRelease(&window, Qt::LeftButton, {}, path.size() ? *(path.end() - 1) : from);
    }
    void Wheel(int delta, Qt::KeyboardModifiers keys = {}) {
        QWheelEvent event(QPointF(160, 150), window.mapToGlobal(QPointF(160, 150)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, keys, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&window, &event);
    }
    // The "Processing Area" dialog, opened by its command.
    AreaDialog* OpenDialog() {
        EXPECT_TRUE(window.AreaCommand(kCommandAreaSetup));
        return window.OpenDialog();
    }
    ProcessingWindow window;
};

TEST_F(EditTest, MoveIgnoresBandsAndPlacesTheCentreOnThePicture) {
    ASSERT_TRUE(window.AreaCommand(kCommandAreaMove));
    const ProcArea before = Area();
    Drag({100, 10}, {});  // in the black band above the picture
    EXPECT_EQ(Area(), before);
    EXPECT_FLOAT_EQ(E().params.areaX, 0.5f);
    Drag({80, 90}, {});
    EXPECT_EQ(std::pair(E().params.areaX, E().params.areaY), std::pair(0.25f, 0.25f));
}

// (Drawn the other way, in either row order: the area editor's test in tests/view.)
TEST_F(EditTest, DrawGivesTheAreaWhereItWasDrawn) {
    window.AreaCommand(kCommandAreaDraw);
    Drag({40, 60}, {{100, 100}, {200, 180}});
    EXPECT_EQ(Area(), (ProcArea{80, 60, 400, 300, 320, 240}));
    E().surf.ClearGuideMark();
    const QImage shown = Grab(window);
    for (const auto& [x, y] : {std::pair(40, 60), std::pair(200, 60), std::pair(40, 180),
                               std::pair(200, 180), std::pair(120, 60), std::pair(40, 120)}) {
        EXPECT_EQ(shown.pixel(x, y), qRgb(255, 180, 0)) << x << "," << y;
    }
    // Larger than the picture: the fractions stop at 1.
    Drag({2, 2}, {{319, 299}});
    EXPECT_EQ(std::tuple(E().params.areaW <= 1.0f, E().params.areaH, Area().h),
              std::tuple(true, 1.0f, 480));
}

// (Resizing by dragging: the area editor's test in tests/view.)
TEST_F(EditTest, WheelGrowsAndShrinksTheArea) {
    // A notch grows the shown area by 2 pixels each way it grows (1 picture row at each edge is
    // 0.5 window pixels, so 4 picture pixels in all).
    Wheel(120);
    EXPECT_EQ(std::pair(Area().w, Area().h), std::pair(320, 244));
    Wheel(-240, Qt::ShiftModifier);
    EXPECT_EQ(std::pair(Area().w, Area().h), std::pair(312, 236));
    Wheel(120, Qt::ControlModifier);
    EXPECT_EQ(std::pair(Area().w, Area().h), std::pair(316, 236));
    // Half notches of a fine wheel add up.
    Wheel(60);
    EXPECT_EQ(Area().h, 236);
    Wheel(60);
    EXPECT_EQ(Area().h, 240);
}

TEST_F(EditTest, ADragSuspendsAutoMoveAndTheVirtualGuide) {
    E().SetGuideAutoMoveSetting(true);
    window.SetVirtualGuide(true);
    window.AreaCommand(kCommandAreaMove);
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(150, 150));
    EXPECT_EQ(std::pair(E().guideAutoMove.load(), E().guideVirtual.load()), std::pair(0, false));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(150, 150));
    EXPECT_EQ(std::pair(E().guideAutoMove.load(), E().guideVirtual.load()), std::pair(1, true));
}

// Closing either window asks to end the program.
TEST_F(EditTest, ClosingEitherWindowEndsTheProgram) {
    LiveWindow live;
    for (VideoWindow* w : {static_cast<VideoWindow*>(&window), static_cast<VideoWindow*>(&live)}) {
        QSignalSpy closing(w, &VideoWindow::closeRequested);
        w->close();
        EXPECT_EQ(closing.count(), 1);
    }
}

TEST_F(EditTest, SizesPlacesAndFlags) {
    ASSERT_TRUE(window.ApplySizeCommand(SizeCommand::kHalfSize));
    EXPECT_EQ(window.size(), QSize(320, 240));
    window.resize(500, 375);

    // Only the current source's windows write their settings.
    window.move(40, 30);
    window.SetShowGrid(true);
    window.SaveSettings();
    EXPECT_EQ(profile.Get("VPX"), "");
    ctrl.SetCurrent(true);
    window.SaveSettings();
    EXPECT_EQ(profile.Get("VPX") + " " + profile.Get("VPW") + " " + profile.Get("ViewGuideGrid") +
                  " " + profile.Get("ViewProcVis"),
              "40 500 1 1");
    // The next window reads them back.
    ProcessingWindow next;
    EXPECT_EQ(std::tuple(next.pos(), next.size(), next.Flags().guideGrid),
              std::tuple(QPoint(40, 30), QSize(500, 375), true));
}

// ---- The "Processing Area" dialog over the window --------------------------------------------

// The fields; typing applies at once, leaving shows the result, and a mouse edit
// refreshes the open dialog.
TEST_F(EditTest, AreaDialogTypingAppliesAtOnceLeavingShowsTheResultAndMouseEditsShow) {
    AreaDialog* dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Texts(*dialog), "160,120,320,240");

    QLineEdit* width = dialog->Field(AreaField::kWidth);
    width->setFocus();
    width->selectAll();
    QTest::keyClicks(width, "200");
    EXPECT_EQ(Area().w, 200);
    // Not a number: leaving the field shows the width again.
    width->selectAll();
    QTest::keyClicks(width, "x");
    EXPECT_EQ(Area().w, 200);
    Leave(width);
    EXPECT_EQ(width->text(), "200");
    window.AreaCommand(kCommandAreaDraw);
    Drag({40, 60}, {{200, 180}});
    EXPECT_EQ(Texts(*dialog), "80,60,320,240");
}

TEST_F(EditTest, AreaDialogHalfFullCancelAndOk) {
    AreaDialog* dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    QSignalSpy changes(dialog, &AreaDialog::areaChanged);
    dialog->FullButton()->click();
    EXPECT_EQ(Area(), (ProcArea{0, 0, 640, 480, 640, 480}));
    EXPECT_EQ(Texts(*dialog), "0,0,640,480");
    dialog->FullButton()->click();  // already full: nothing to draw
    EXPECT_EQ(changes.count(), 1);
    // Cancel puts back the area the dialog opened with and closes it with result 1.
    QSignalSpy finished(dialog, &QDialog::finished);
    dialog->CancelButton()->click();
    EXPECT_EQ(Area(), (ProcArea{160, 120, 480, 360, 320, 240}));
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), 1);
    QApplication::processEvents();
    EXPECT_EQ(window.OpenDialog(), nullptr);

    window.AreaCommand(kCommandAreaSetup);
    window.OpenDialog()->HalfButton()->click();  // the area already is half: no change
    window.OpenDialog()->Field(AreaField::kX)->setText("10");
    Leave(window.OpenDialog()->Field(AreaField::kX));
    window.OpenDialog()->OkButton()->click();
    EXPECT_EQ(Area().x0, 10);
}

}  // namespace
}  // namespace kelpa::test
