// The "Processing Area" dialog over the processed window: its texts, fields typed into and left,
// "Half", "Full", OK and Cancel, and the refresh after a mouse edit.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <mutex>

#include "gui/area_dialog_qt.h"
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

class AreaDialogTest : public WindowsTest {
  protected:
    void SetUp() override {
        Connect(false, 640, 480);
        window.SetController(&ctrl);
        window.SetShowArea(true);
        ShowAt(window, 320, 300);
        ASSERT_TRUE(window.AreaCommand(kCommandAreaSetup));
        dialog = window.OpenDialog();
        ASSERT_NE(dialog, nullptr);
    }
    ProcArea Area() {
        std::lock_guard lock(ctrl.sink.engine.chainLock);
        return ctrl.sink.engine.area;
    }
    ProcessingWindow window;
    AreaDialog* dialog = nullptr;
};

// The texts and fields; typing applies at once, leaving shows the result, and a mouse edit
// refreshes the open dialog.
TEST_F(AreaDialogTest, TypingAppliesAtOnceLeavingShowsTheResultAndMouseEditsShow) {
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Processing Area [current input size]");
    QStringList texts;
    for (QAbstractButton* b :
         {dialog->HalfButton(), dialog->FullButton(), dialog->OkButton(), dialog->CancelButton()})
        texts << b->text();
    for (QLabel* l : dialog->findChildren<QLabel*>()) texts << l->text();
    EXPECT_TRUE(texts.join("|").startsWith("Half|Full|&OK|&Cancel"))
        << texts.join("|").toStdString();
    EXPECT_TRUE(texts.contains("BoundBox:"));
    EXPECT_EQ(Texts(*dialog), "160,120,320,240");
    EXPECT_EQ(dialog->BoundBox()->text().toStdString(), "( 160, 120, 320, 240 )");
    EXPECT_EQ(dialog->Field(AreaField::kX)->maxLength(), 4);

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
    EXPECT_EQ(dialog->BoundBox()->text().toStdString(), "( 160, 120, 200, 240 )");
    window.AreaCommand(kCommandAreaDraw);
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(40, 60));
    QTest::mouseMove(&window, QPoint(200, 180));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(200, 180));
    EXPECT_EQ(Texts(*dialog), "80,60,320,240");
}

TEST_F(AreaDialogTest, HalfFullCancelAndOk) {
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

TEST(AreaDialogNoVideoTest, ShowsTheRememberedAreaAndKeepsOnlyItsWidth) {
    MemoryProfile profile;
    AreaRectMemory memory;
    AreaDialog dialog(nullptr, memory);
    EXPECT_EQ(Texts(dialog), "0,0,50,50");
    EXPECT_FALSE(dialog.HalfButton()->isEnabled());
    EXPECT_FALSE(dialog.FullButton()->isEnabled());
    dialog.Field(AreaField::kWidth)->setText("-5");
    Leave(dialog.Field(AreaField::kWidth));
    EXPECT_EQ(dialog.Field(AreaField::kWidth)->text(), "0");
    dialog.Field(AreaField::kX)->setText("30");
    Leave(dialog.Field(AreaField::kX));
    dialog.OkButton()->click();
    EXPECT_EQ(std::tuple(memory.left, memory.right), std::tuple(0, 0));
}

}  // namespace
}  // namespace kelpa::test
