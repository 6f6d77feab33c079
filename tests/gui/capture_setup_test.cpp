// "Capture Setup" on the current controller: its fields filled from the capture writer and
// written back to it with their rules, the folder chooser, the kind of file and picture with the
// header texts, and the preview of the next file name against the file the writer then writes.
#include "gui/capture_setup_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <vector>

#include "gui/gui_test_support.h"
#include "support/temp_files.h"
#include "video/convert.h"

namespace kelpa::test {
namespace {

using kelpa::testing::FileExists;
using kelpa::testing::TempDir;

class CaptureSetupTest : public CoreTest {
  protected:
    CaptureSetupTest() {
        profile.Set("CapWorkDir", captures.Path());
        profile.Set("CapFormat", "#m42_%t#_%f");
        profile.Set("CapCount", "3");
        profile.Set("ProcAuto", "0");
    }
    // Types into a field as the user does, then leaves it.
    static void Retype(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    static void Leave(QLineEdit* edit) { emit edit->editingFinished(); }
    static std::string Extension(QLineEdit* edit) {
        const std::string name = Text(edit);
        return name.substr(std::min(name.rfind('.'), name.size()));
    }

    TempDir captures;
};

TEST_F(CaptureSetupTest, FieldsShowTheCaptureWriterOrStayEmptyWithoutSource) {
    {
        CaptureSetupDialog dialog(App());
        EXPECT_EQ(Text(dialog.TemplateEdit()) + Text(dialog.FramesEdit()), "");
        EXPECT_FALSE(dialog.FramesEdit()->isEnabled() || dialog.DirectoryButton()->isEnabled());
    }
    VideoCtrl& ctrl = CurrentCtrl();
    CaptureSetupDialog dialog(App());
    EXPECT_TRUE(dialog.DirectoryEdit()->isReadOnly());
    // A stopped source starts at its first frame.
    const std::string dir = captures.Path() + "/";
    EXPECT_EQ(
        dialog.windowTitle().toStdString() + "|" + Text(dialog.TemplateEdit()) + "|" +
            Text(dialog.DirectoryEdit()) + "|" + Text(dialog.FramesEdit()) + " " +
            Text(dialog.DelayEdit()) + " " + Text(dialog.IntervalEdit()) + "|" +
            dialog.LastCaptureText()->text().toStdString() + "|" + Text(dialog.NextNameEdit()),
        "Capture Setup|#m42_%t#_%f|" + dir + "|3 0 00:000|<none>|" + dir + "m42_0000000_00001.bmp");
    EXPECT_EQ(ctrl.sink.capture.captureCount.load(), 3u);
}

// Frames and delay store every valid number as it is typed; leaving a field with no number
// brings the stored one back. The delay is shown as the time between written frames.
TEST_F(CaptureSetupTest, CountDelayAndTemplateAreWrittenBack) {
    VideoCtrl& ctrl = CurrentCtrl();
    ctrl.sink.ApplyFrameRate(25.0);
    CaptureWriter& writer = ctrl.sink.capture;
    writer.captureCountdown.store(7);
    CaptureSetupDialog dialog(App());

    Retype(dialog.FramesEdit(), "25");
    EXPECT_EQ(writer.captureCount.load(), 25u);
    Retype(dialog.FramesEdit(), "");
    Leave(dialog.FramesEdit());
    QTest::keyClicks(dialog.FramesEdit(), "x");  // digits only
    EXPECT_EQ(std::pair(writer.captureCount.load(), Text(dialog.FramesEdit())),
              std::pair(25u, std::string("25")));
    Retype(dialog.FramesEdit(), "123456789");  // eight digits at most
    EXPECT_EQ(writer.captureCount.load(), 12345678u);

    Retype(dialog.DelayEdit(), "10");
    EXPECT_EQ(std::pair(writer.captureFrameDelay.load(), writer.captureCountdown.load()),
              std::pair(10u, 0u));
    EXPECT_EQ(Text(dialog.IntervalEdit()), "00:400");  // 10 frames at 25 per second
    Retype(dialog.DelayEdit(), "3000");
    EXPECT_EQ(Text(dialog.IntervalEdit()), "02:00:000");
    Retype(dialog.DelayEdit(), "0");
    EXPECT_EQ(Text(dialog.IntervalEdit()), "00:000");
    Retype(dialog.DelayEdit(), "");
    Leave(dialog.DelayEdit());
    EXPECT_EQ(Text(dialog.DelayEdit()), "0");

    // The template is taken when the field is left: characters a file name cannot hold become
    // '_', and the preview follows.
    Retype(dialog.TemplateEdit(), "#M42 <Orion>|%f");
    EXPECT_STREQ(writer.CaptureTemplate(), "#m42_%t#_%f");  // not yet
    Leave(dialog.TemplateEdit());
    EXPECT_EQ(std::string(writer.CaptureTemplate()) + "|" + Text(dialog.TemplateEdit()) + "|" +
                  Text(dialog.NextNameEdit()),
              "#M42 _Orion_|%f|#M42 _Orion_|%f|" + captures.Path() + "/M42 _Orion_00001.bmp");
}

// The chosen folder is taken; one too long for a capture path is refused with the warning; a
// cancelled choice changes nothing.
TEST_F(CaptureSetupTest, FolderChooserSetsTheDirectory) {
    VideoCtrl& ctrl = CurrentCtrl();
    TempDir other;
    CaptureSetupDialog dialog(App());
    std::vector<std::string> asked;
    std::string warnings;
    QString answer = QString::fromStdString(other.Path());
    dialog.SetFolderChooser([&](QWidget*, const QString& title, const QString& start) {
        asked.push_back(title.toStdString() + "|" + start.toStdString());
        return answer;
    });
    dialog.SetWarningBox([&](QWidget*, const QString& title, const QString& text) {
        warnings += title.toStdString() + "|" + text.toStdString();
    });
    const std::string chosen = other.Path() + "/";
    std::string tooLong(300, 'a');
    tooLong[0] = '/';
    for (const std::string& next : {other.Path(), tooLong, std::string()}) {
        answer = QString::fromStdString(next);
        dialog.DirectoryButton()->click();
        EXPECT_STREQ(ctrl.sink.capture.CaptureDir(), chosen.c_str());
        EXPECT_EQ(Text(dialog.DirectoryEdit()), chosen);
        EXPECT_EQ(warnings, next == other.Path() ? "" : "Warning|Can`t set folder [long name!]...");
    }
    EXPECT_EQ(asked.at(0), "Select directory for capturing|" + captures.Path() + "/");
    EXPECT_EQ(Text(dialog.NextNameEdit()).rfind(chosen + "m42_", 0), 0u);
}

// The preview names the frame after the last one shown; a capture started then writes exactly
// that file, and the dialog shows it as the last capture.
TEST_F(CaptureSetupTest, PreviewIsTheNameTheWriterUses) {
    VideoCtrl& ctrl = CurrentCtrl();
    FrameSink& sink = ctrl.sink;
    ASSERT_TRUE(sink.SetSourceHeader(
        BitmapInfoHeader{.width = 8, .height = 6, .bitCount = 24, .compression = kFormatRgb}));
    // Times and rate exact in binary, so the expected name is plain arithmetic.
    sink.ApplyFrameRate(32.0);
    sink.isLive = true;
    sink.playState.store(kStateRunning);
    const std::vector<uint8_t> sample(sink.geometry.srcRequiredSize, 90);
    const double shown = 12.25;
    sink.SampleCB(shown, sample.data(), sample.size());

    // The plain name is taken already: the writer never replaces a file, and the preview
    // shows the suffix it will add.
    const std::string taken = captures.Path() + "/m42_0012281_00394.bmp";
    kelpa::testing::WriteFile(taken, "keep");
    std::string preview;
    {
        CaptureSetupDialog dialog(App());
        preview = Text(dialog.NextNameEdit());
    }
    EXPECT_EQ(preview, captures.Path() + "/m42_0012281_00394_1.bmp");
    ASSERT_FALSE(FileExists(preview));
    sink.capture.captureCount.store(1);
    sink.capture.ToggleCapture(nullptr);
    sink.SampleCB(NextCaptureTime(ctrl), sample.data(), sample.size());
    EXPECT_TRUE(FileExists(preview));
    EXPECT_EQ(kelpa::testing::ReadFile(taken), "keep");

    CaptureSetupDialog dialog(App());
    EXPECT_EQ(dialog.LastCaptureText()->text().toStdString(), preview);
}

// The kind of file and the picture reach the writer as they are chosen, the preview takes the
// chosen kind's extension, and the header texts take only what SER and FITS headers hold.
TEST_F(CaptureSetupTest, FileChoicesReachTheWriter) {
    CaptureWriter& writer = CurrentCtrl().sink.capture;
    CaptureSetupDialog dialog(App());
    EXPECT_EQ(Items(dialog.FileTypeBox()) + "|" + Items(dialog.ContentBox()),
              "BMP|SER|FITS|processed picture|live picture (before processing)");
    EXPECT_EQ(dialog.FileTypeBox()->currentIndex() + dialog.ContentBox()->currentIndex(), 0);
    EXPECT_FALSE(dialog.ObserverEdit()->isEnabled());  // BMP files have no header
    for (const auto& [type, extension] :
         {std::pair(CaptureFileType::kFits, ".fits"), std::pair(CaptureFileType::kBmp, ".bmp"),
          std::pair(CaptureFileType::kSer, ".ser")}) {
        SCOPED_TRACE(extension);
        dialog.FileTypeBox()->setCurrentIndex(static_cast<int>(type));
        EXPECT_EQ(writer.FileSettings().FileType(), type);
        EXPECT_EQ(Extension(dialog.NextNameEdit()), extension);
        EXPECT_EQ(dialog.TelescopeEdit()->isEnabled(), type != CaptureFileType::kBmp);
    }
    dialog.ContentBox()->setCurrentIndex(1);
    EXPECT_EQ(writer.FileSettings().Content(), CaptureContent::kLive);

    QTest::keyClicks(dialog.ObserverEdit(), "A. Observer");
    // Typed letters outside printable ASCII are refused; 40 characters at most.
    for (const char16_t c : std::u16string(u"C8 \u00e9t\u00e9") + std::u16string(50, u'x')) {
        QTest::sendKeyEvent(QTest::Click, dialog.TelescopeEdit(), Qt::Key_unknown, QChar(c),
                            Qt::NoModifier);
    }
    EXPECT_EQ(writer.FileSettings().observer, "A. Observer");
    EXPECT_EQ(writer.FileSettings().telescope, "C8 t" + std::string(36, 'x'));

    // Opened again, the dialog shows what the writer has; the next run takes it.
    CaptureSetupDialog again(App());
    EXPECT_EQ(std::pair(again.FileTypeBox()->currentIndex(), again.ContentBox()->currentIndex()),
              std::pair(1, 1));
    EXPECT_EQ(Text(again.ObserverEdit()), "A. Observer");
    ASSERT_TRUE(writer.ToggleCapture(nullptr));
    EXPECT_EQ(writer.RunContent(), CaptureContent::kLive);
    // A run that is on keeps its kind of file and picture; the choice is the next run's.
    again.FileTypeBox()->setCurrentIndex(2);
    again.ContentBox()->setCurrentIndex(0);
    EXPECT_EQ(Extension(again.NextNameEdit()), ".ser");
    EXPECT_EQ(writer.RunContent(), CaptureContent::kLive);
    writer.ToggleCapture(nullptr);
    EXPECT_EQ(Extension(CaptureSetupDialog(App()).NextNameEdit()), ".fits");
    ASSERT_TRUE(writer.ToggleCapture(nullptr));
    EXPECT_EQ(writer.RunContent(), CaptureContent::kProcessed);
    writer.ToggleCapture(nullptr);
}

TEST_F(CaptureSetupTest, StoredHeaderTextsAreShownAsTheFieldsHoldThem) {
    profile.Set("CapFileType", "2");
    profile.Set("CapObserver", "J\xc3\xbcrgen");
    VideoCtrl& ctrl = CurrentCtrl();
    CaptureSetupDialog dialog(App());
    EXPECT_EQ(dialog.FileTypeBox()->currentIndex(), 2);
    EXPECT_EQ(Text(dialog.ObserverEdit()), "J_rgen");
    // Shown, not written back until the field is edited.
    EXPECT_EQ(ctrl.sink.capture.FileSettings().observer, "J\xc3\xbcrgen");
    QTest::keyClick(dialog.ObserverEdit(), Qt::Key_End);
    QTest::keyClick(dialog.ObserverEdit(), Qt::Key_Backspace);
    EXPECT_EQ(ctrl.sink.capture.FileSettings().observer, "J_rge");
}

}  // namespace
}  // namespace kelpa::test
