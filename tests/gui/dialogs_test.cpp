// The dialogs on the current controller. "Capture Setup": its fields filled from the capture
// writer and written back to it with their rules, the folder chooser, the kind of file and picture
// with the header texts, and the preview of the next file name against the file the writer then
// writes. "If Slow?": its five boxes and their states for the program run, Cancel, and what OK
// does in order: the channel reset, a small and slow capture format on the device, small video
// windows. "GUIDE Setup": the method list, the factor's arrows and typed values held to the
// method's limits, the default button, the refinement box, and Cancel putting back what the
// dialog found.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui/capture_setup_dialog.h"
#include "gui/gui_test_support.h"
#include "gui/guide_setup_dialog.h"
#include "gui/if_slow_dialog.h"
#include "media/device_settings.h"
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
    // Types into a field as the user does.
    static void Retype(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
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

    Retype(dialog.DelayEdit(), "10");
    EXPECT_EQ(std::pair(writer.captureFrameDelay.load(), writer.captureCountdown.load()),
              std::pair(10u, 0u));
    EXPECT_EQ(Text(dialog.IntervalEdit()), "00:400");  // 10 frames at 25 per second
    Retype(dialog.DelayEdit(), "");
    Leave(dialog.DelayEdit());
    EXPECT_EQ(Text(dialog.DelayEdit()), "10");

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
    std::string warnings;
    QString answer;
    dialog.SetFolderChooser([&](QWidget*, const QString&, const QString&) { return answer; });
    dialog.SetWarningBox([&](QWidget*, const QString& title, const QString& text) {
        warnings += title.toStdString() + "|" + text.toStdString();
    });
    const std::string chosen = other.Path() + "/";
    const std::string tooLong = "/" + std::string(299, 'a');
    for (const std::string& next : {other.Path(), tooLong, std::string()}) {
        answer = QString::fromStdString(next);
        dialog.DirectoryButton()->click();
        EXPECT_STREQ(ctrl.sink.capture.CaptureDir(), chosen.c_str());
        EXPECT_EQ(Text(dialog.DirectoryEdit()), chosen);
        EXPECT_EQ(warnings, next == other.Path() ? "" : "Warning|Can`t set folder [long name!]...");
    }
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

    // The next run takes the choice.
    ASSERT_TRUE(writer.ToggleCapture(nullptr));
    EXPECT_EQ(writer.RunContent(), CaptureContent::kLive);
    // A run that is on keeps its kind of file and picture; the choice is the next run's.
    dialog.FileTypeBox()->setCurrentIndex(2);
    dialog.ContentBox()->setCurrentIndex(0);
    EXPECT_EQ(Extension(dialog.NextNameEdit()), ".ser");
    EXPECT_EQ(writer.RunContent(), CaptureContent::kLive);
    writer.ToggleCapture(nullptr);
    EXPECT_EQ(Extension(CaptureSetupDialog(App()).NextNameEdit()), ".fits");
    ASSERT_TRUE(writer.ToggleCapture(nullptr));
    EXPECT_EQ(writer.RunContent(), CaptureContent::kProcessed);
    writer.ToggleCapture(nullptr);
}

class IfSlowTest : public CoreTest {
  protected:
    IfSlowTest() {
        profile.Set("ProcAuto", "0");
        CurrentIfSlowChoices() = IfSlowChoices{};
        ThePreferredFormat() = PreferredFormat{};
    }
    ~IfSlowTest() override {
        CurrentIfSlowChoices() = IfSlowChoices{};
        ThePreferredFormat() = PreferredFormat{};
    }
    // Records the main window's part, with the device format at the time it was asked.
    IfSlowActions Recorder() {
        return IfSlowActions{[this] { calls.push_back("channels"); },
                             [this](int32_t width) {
                                 const BitmapInfoHeader h = Connected().header;
                                 calls.push_back("windows " + std::to_string(width) + " at " +
                                                 std::to_string(h.width) + "x" +
                                                 std::to_string(std::abs(h.height)));
                             }};
    }
    VideoMediaType Connected() { return App().CameraGraph().ConnectedType(); }

    std::vector<std::string> calls;
};

// The boxes and their first states; the states last for the program run, and Cancel puts back
// the states the dialog opened with.
TEST_F(IfSlowTest, BoxesStatesLastAndCancelRestores) {
    // The boxes' states in their order, from "Disable Colour" to "Small Video Windows".
    const auto states = [](auto&& dialog) {
        std::string text;
        for (size_t box = 0; box < kIfSlowBoxCount; ++box)
            text += dialog.Box(IfSlowBox(box))->isChecked() ? '1' : '0';
        return text;
    };
    {
        IfSlowDialog dialog(App(), {});
        EXPECT_EQ(states(dialog), "01111");
        dialog.Box(IfSlowBox::kDisableColour)->click();
        dialog.Box(IfSlowBox::kSmallWindows)->click();
        dialog.findChild<QPushButton*>("1")->click();
    }
    IfSlowDialog dialog(App(), {});
    EXPECT_EQ(states(dialog), "11110");
    dialog.Box(IfSlowBox::kSmallFrameSize)->click();
    dialog.Box(IfSlowBox::kDisableColour)->click();
    dialog.findChild<QPushButton*>("2")->click();
    EXPECT_EQ(states(IfSlowDialog(App(), {})), "11110");
}

// Small: 320 x 240 unless smaller or already so; slow: 5 frames per second unless the rate is
// unknown or that slow already.
TEST(IfSlowFormat, SizeAndRateRules) {
    const auto text = [](const std::optional<PreferredFormat>& f) {
        return f ? std::to_string(f->width) + "x" + std::to_string(f->height) + "@" +
                       std::to_string(f->timePerFrame) + (f->subtype == kSubtypeYuy2 ? "" : "?")
                 : std::string("none");
    };
    // small, slow, width, height, time per frame, expected
    const std::tuple<bool, bool, int32_t, int32_t, int64_t, const char*> cases[] = {
        {false, true, 640, 480, 333333, "640x480@2000000"}, {true, false, 320, 240, 333333, "none"},
        {true, false, 321, 200, 333333, "320x240@333333"},  {false, true, 640, 480, 0, "none"},
        {false, true, 640, 480, 2000000, "none"},
    };
    for (const auto& [small, slow, width, height, time, expected] : cases) {
        IfSlowChoices choices;
        choices[IfSlowBox::kSmallFrameSize] = small;
        choices[IfSlowBox::kSlowFrameRate] = slow;
        const PreferredFormat in{kSubtypeYuy2, time, width, height};
        EXPECT_EQ(text(SlowFormat(in, choices)), expected) << text(in) << " " << small << slow;
    }
}

// OK with every remedy on the simulated camera: the channel is reset first, then the camera
// delivers 320 x 240 at 5 frames per second, then the windows are made small. With only
// "Small Video Windows" the device and the channel stay as they are.
TEST_F(IfSlowTest, OkAppliesTheRemediesInOrder) {
    const CommandResult opened = App().OpenSource("sim");
    ASSERT_TRUE(opened.ok) << opened.message;
    ASSERT_EQ(Connected().header.width, 640);
    ProcEngine& engine = App().Current()->sink.engine;
    engine.SetChannel(1);
    IfSlowChoices only;
    only.on = {false, false, false, false, true};
    ApplyIfSlow(App(), only, Recorder());
    EXPECT_EQ(std::tuple(calls, engine.params.channels, Connected().header.width),
              std::tuple(std::vector<std::string>{"windows 240 at 640x480"}, 1, 640));

    calls.clear();
    engine.SetChannel(0);
    engine.SetOutsideAsIs(true);
    ASSERT_TRUE(App().Run().ok);
    IfSlowDialog dialog(App(), Recorder());
    dialog.findChild<QPushButton*>("1")->click();
    EXPECT_EQ(calls, (std::vector<std::string>{"channels", "windows 240 at 320x240"}));
    // Running again after the change.
    EXPECT_EQ(std::tuple(engine.params.channels, engine.params.outsideAsIs.load(),
                         std::abs(Connected().header.height), Connected().timePerFrame100ns,
                         App().PlayState()),
              std::tuple(-1, 0, 240, int64_t{2000000}, kStateRunning));
    EXPECT_NEAR(App().Current()->sink.fps.load(), 5.0, 1e-9);
    App().Stop();
}

// Without a source OK does nothing; with a video file current and no camera graph, the small
// format waits for the camera: no camera is opened behind the user's back.
TEST_F(IfSlowTest, WithoutCameraGraphTheFormatIsKeptForLater) {
    ApplyIfSlow(App(), IfSlowChoices{}, Recorder());
    EXPECT_TRUE(calls.empty());
    App().MakeCurrent(SourceKind::kFile);
    ThePreferredFormat() = PreferredFormat{kSubtypeYuy2, 333333, 1280, 720};
    ApplyIfSlow(App(), IfSlowChoices{}, Recorder());
    EXPECT_FALSE(App().DeviceCtrl().graphBuilt);
    const PreferredFormat& kept = ThePreferredFormat();
    EXPECT_EQ(std::tuple(kept.width, kept.height, kept.timePerFrame, calls.size()),
              std::tuple(320, 240, 2000000, 2u));
}

class GuideSetupTest : public CoreTest {
  protected:
    // The current engine, its method and factors set.
    ProcEngine& Engine(int32_t method = 0, std::array<float, 3> factors = {4.0f, 0.0f, -2.0f}) {
        ProcEngine& engine = CurrentEngine();
        engine.SetStarThresholds(method, factors.data());
        return engine;
    }
    static std::string Factor(GuideSetupDialog& d) { return Text(d.FactorBox()->Edit()); }
    static void Type(GuideSetupDialog& d, const QString& text) {
        d.FactorBox()->Edit()->setText(text);
        d.FactorLeft();
    }
    // Chooses a method as the user does, from the open list.
    static void Choose(GuideSetupDialog& d, int index) {
        d.MethodBox()->setCurrentIndex(index);
        emit d.MethodBox()->activated(index);
    }
};

// Without a source: "Maximum Level" and 4, and the arrows have nothing to change.
TEST_F(GuideSetupTest, OpensOnMaximumLevelAndFourWithoutSource) {
    GuideSetupDialog dialog(App());
    EXPECT_FALSE(dialog.RefineBox()->isEnabled());
    dialog.Step(1);
    EXPECT_EQ(std::pair(dialog.MethodBox()->currentIndex(), Factor(dialog)),
              std::pair(2, std::string("4.00")));
}

// Each arrow step moves the factor by 0.2 and holds it to the method's limits: -20 below, 0
// above for "Maximum Level", 20 for the others. Typed texts are read and held the same way.
TEST_F(GuideSetupTest, StepsAndTypedFactorsAreHeldToTheMethodsLimits) {
    // method, factor, arrow steps, factor after
    const std::tuple<int32_t, float, int, float> steps[] = {
        {2, -0.1f, 1, 0.0f},                                                 // not 0.1
        {2, -19.9f, -1, -20.0f}, {0, 19.9f, 1, 20.0f}, {1, 0.0f, 10, 0.2f},  // page: one step
        {0, 4.0f, -1, 3.8f},
    };
    for (const auto& [method, factor, direction, expected] : steps) {
        SCOPED_TRACE(::testing::Message() << method << " " << factor << " " << direction);
        std::array<float, 3> factors = {4.0f, 0.0f, -2.0f};
        factors[method] = factor;
        ProcEngine& engine = Engine(method, factors);
        GuideSetupDialog dialog(App());
        dialog.FactorBox()->stepBy(direction);
        EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[method].load(), expected);
        EXPECT_EQ(Factor(dialog), QString::asprintf("%.2f", expected).toStdString());
    }

    ProcEngine& engine = Engine();
    GuideSetupDialog dialog(App());
    // Typed, stored, shown.
    const std::tuple<const char*, float, const char*> typed[] = {
        {"7abc", 7.0f, "7.00"},   {"abc", 0.0f, "0.00"},     {"-99", -20.0f, "-20.00"},
        {"1e99", 20.0f, "20.00"}, {"nan", -20.0f, "-20.00"}, {" 3", 3.0f, "3.00"},
    };
    for (const auto& [text, stored, shown] : typed) {
        SCOPED_TRACE(text);
        Type(dialog, text);
        EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[0].load(), stored);
        EXPECT_EQ(Factor(dialog), shown);
    }
    // An emptied field shows the factor again, with three decimals.
    Type(dialog, "");
    EXPECT_EQ(Factor(dialog), "3.000");
    EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[0].load(), 3.0f);
}

// Cancel after changing the method, the factors and the refinement box (ticked more than once)
// puts back what the dialog found, from either state of the box; OK keeps the changes.
TEST_F(GuideSetupTest, CancelRestoresOkKeepsDefaultSetsTheMethodsDefault) {
    const std::array<float, 3> factors = {3.0f, 1.5f, -1.0f};
    ProcEngine& engine = Engine(0, factors);
    // The method, the factors and the refinement box as the engine holds them.
    const auto held = [&p = engine.params] {
        return std::tuple(
            p.starThresholdMethod.load(),
            std::array{p.starThresholdFactor[0].load(), p.starThresholdFactor[1].load(),
                       p.starThresholdFactor[2].load()},
            p.guideRefine.load() != 0);
    };
    for (const bool refine : {false, true}) {
        SCOPED_TRACE(refine);
        engine.SetGuideRefine(refine);
        GuideSetupDialog dialog(App());
        EXPECT_EQ(dialog.RefineBox()->isChecked(), refine);
        Type(dialog, "6");
        Choose(dialog, 2);
        dialog.FactorBox()->stepBy(-1);
        for (int i = 0; i < 3; ++i) dialog.RefineBox()->click();
        EXPECT_EQ(held(), std::tuple(2, std::array{6.0f, 1.5f, -1.2f}, !refine));
        dialog.findChild<QPushButton*>("2")->click();  // Cancel
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(held(), std::tuple(0, factors, refine));
    }
    // The default button sets the chosen method's default only; a method chosen shows its factor.
    GuideSetupDialog dialog(App());
    dialog.DefaultButton()->click();
    EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[0].load(), 4.0f);
    Choose(dialog, 1);
    EXPECT_EQ(Factor(dialog), "1.50");
    Type(dialog, "2");
    dialog.RefineBox()->click();
    dialog.findChild<QPushButton*>("1")->click();  // OK
    EXPECT_EQ(held(), std::tuple(1, std::array{4.0f, 2.0f, -1.0f}, false));
    // What the engine holds is what the profile gets.
    EXPECT_FALSE(engine.Settings().guideRefine);
}

}  // namespace
}  // namespace kelpa::test
