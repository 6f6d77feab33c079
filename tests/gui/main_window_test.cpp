// The main window's own parts: the delay box, the replacement texts of "kelpa.cfg", the start-up
// place and source, the stream events it answers, the Sources menu, the step keys and closing.
#include <QClipboard>
#include <QFocusEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <cstring>

#include "gui/delay_box.h"
#include "gui/startup_place.h"
#include "main_window_fixture.h"
#include "media/device_settings.h"
#include "media/file_test_util.h"
#include "media/test_device_provider.h"
#include "sim/sim_device_provider.h"

namespace kelpa::test {
namespace {

using kelpa::testing::WriteFile;

// ---- Delay box ----------------------------------------------------------------------------------

TEST(DelayText, ParsesWholeUnsignedNumbersOnly) {
    const std::pair<const char*, std::optional<uint32_t>> cases[] = {
        {"7000", 7000},
        {" 42 ", 42},
        {"0", 0u},
        {"4294967295", ~0u},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"06:000", std::nullopt},
        {"12a", std::nullopt},
        {"-1", std::nullopt},
        {"+5", std::nullopt},
        {"4294967296", std::nullopt},
        {"1 2", std::nullopt},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ParseDelayText(text), value) << text;
}

class DelayBoxTest : public MainWindowTest {
  protected:
    DelayBoxTest() {
        OpenSimulator();
        box = window->Tools()->Delay();
    }
    // Keys one by one: every text on the way is read.
    void Type(const QString& text) {
        box->selectAll();
        QTest::keyClicks(box, text);
    }
    // The whole text in one edit, as when pasted over the box's text.
    void Paste(const QString& text) {
        QApplication::clipboard()->setText(text);
        box->selectAll();
        box->paste();
    }
    void Leave() {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &out);
    }
    uint32_t Delay() const { return Engine().params.delayMs.load(); }

    DelayBox* box = nullptr;
};

TEST_F(DelayBoxTest, ANumberTakesEffectWhileTypedHeldToSixSecondsAndIsShownOnLeaving) {
    Type(QStringLiteral("7000"));
    EXPECT_EQ(Delay(), 6000u);
    EXPECT_EQ(box->text(), QStringLiteral("06:000"));
    ASSERT_FALSE(dialogs.rows.empty());  // the panel's delay row heard of it
    EXPECT_EQ(dialogs.rows.back(), StreamEvent::kDelayChanged);
    Type(QStringLiteral("1500"));
    EXPECT_EQ(Delay(), 1500u);
    EXPECT_EQ(box->text(), QStringLiteral("1500"));
    Leave();
    EXPECT_EQ(box->text(), QStringLiteral("01:500"));
    // Six characters at most: "123456" went in, above the limit.
    Type(QStringLiteral("1234567"));
    EXPECT_EQ(Delay(), 6000u);
}

TEST_F(DelayBoxTest, TextThatIsNotANumberOrUnchangedChangesNothing) {
    Engine().SetTimeDelay(250);
    for (const char* text : {"abc", "12a", " ", "-3", "01:500"}) {
        Paste(QString::fromLatin1(text));
        EXPECT_EQ(box->text(), QString::fromLatin1(text));
        EXPECT_EQ(Delay(), 250u) << text;
        Leave();
        EXPECT_EQ(box->text(), QStringLiteral("00:250")) << text;
    }
    dialogs.rows.clear();
    Paste(QStringLiteral("250"));
    EXPECT_TRUE(dialogs.rows.empty());
    Paste(QStringLiteral("251"));
    EXPECT_EQ(dialogs.rows.size(), 1u);
}

TEST_F(DelayBoxTest, TheAutomaticControlsDelayShowsInTheBox) {
    window->OnAutoChange(&Ctrl(), StreamEvent::kDelayChanged, 2345);
    EXPECT_EQ(box->text(), QStringLiteral("02:345"));
    EXPECT_EQ(dialogs.rows.back(), StreamEvent::kDelayChanged);
    // Another controller's changes are not this window's business.
    window->OnAutoChange(&app->FileCtrl(), StreamEvent::kDelayChanged, 10);
    EXPECT_EQ(box->text(), QStringLiteral("02:345"));
}

// ---- kelpa.cfg ----------------------------------------------------------------------------------

TEST_F(MainWindowTest, ReplacementTextsChangeMenusTitlesAndTooltipsAndNothingElse) {
    WriteFile(captures / "kelpa.cfg",
              "[TOOLBAR]\nStart = \"Go on [Space]\"\nnrh = 'Rows'\n"
              "[MENU1]\nname = \"Kontrolle\"\nStart = \"&Los\\tSpace\"\n"
              "Grey = \"Grau\"\nNonsense = \"x\"\n"  // a Processing item under Control
              "[MENU3]\nChannelsSubMenu = \"Kanaele\"\nSum = \"Summe\"\n"
              "[MENU4]\nGuideLog = \"Protokoll\"\n"
              "[MENU6]\nWEB = \"Netz\"\nSendMail = \"Post\"\n"
              "[MENU9]\nname = \"Nine\"\n"
              "[CTRL]\nGamma = \"G:\"\n"
              "[TOOLBAR]\nPause = \"unclosed\n");
    ASSERT_TRUE(texts.Load(captures.Path()));
    MakeWindow();
    const QList<QAction*> top = window->menuBar()->actions();
    EXPECT_EQ(top.at(0)->text(), QStringLiteral("Kontrolle"));
    EXPECT_EQ(Action(kCmdStart)->text(), QStringLiteral("&Los \tSpace"));
    EXPECT_EQ(Action(kCmdStart)->toolTip(), QStringLiteral("Go on [Space]"));
    EXPECT_EQ(Action(kCmdNrHorizontal)->toolTip(), QStringLiteral("Rows"));
    EXPECT_EQ(window->MenuOf(Menu::kChannels)->title(), QStringLiteral("Kanaele"));
    EXPECT_EQ(Action(kCmdSum)->text(), QStringLiteral("Summe"));
    EXPECT_EQ(Action(kCmdGuideLog)->text(), QStringLiteral("Protokoll"));
    EXPECT_EQ(window->MenuOf(Menu::kWeb)->title(), QStringLiteral("Netz"));
    EXPECT_EQ(Action(kCmdSendMail)->text(), QStringLiteral("Post"));
    EXPECT_EQ(*texts.PanelLabel("gamma"), "G:");
    // What was not given, or given in another section, keeps its built-in text; the submenus
    // keep their items and the shortcut works under a new text.
    EXPECT_EQ(Action(kCmdGrey)->text(), QStringLiteral("Grey"));
    EXPECT_EQ(top.at(2)->text(), QStringLiteral("Processing"));
    EXPECT_EQ(Action(kCmdPause)->text(), QStringLiteral("Pa&use\tCtrl+U"));
    EXPECT_EQ(Action(kCmdPause)->toolTip(), QStringLiteral("Pause [Ctrl+U]"));
    for (QAction* menu : top) EXPECT_NE(menu->text(), QStringLiteral("Nine"));
    EXPECT_TRUE(window->MenuOf(Menu::kChannels)->actions().contains(Action(kCmdGrey)));
    EXPECT_EQ(Action(kCmdStart)->shortcut(), QKeySequence(Qt::Key_Space));
    EXPECT_EQ(ExpandTabs("a\\tb\\\\tc\\"), "a \tb\\ \tc\\");
}

// ---- Start-up place and source
// -------------------------------------------------------------------

TEST(StartupPlace, WorkAreaRememberedPositionAndFitting) {
    EXPECT_EQ(WorkAreaFrom({0, 0}, {640, 480}).width, 616);  // the screen less margins
    EXPECT_EQ(WorkAreaFrom({0, 0}, {640, 480}).height, 456);
    EXPECT_EQ(WorkAreaFrom({1280, 770}, {1280, 800}).height, 770);
    EXPECT_EQ(WorkAreaFrom({0, 0}, {50, 20}).width, 100);  // raised, less 24, raised again
    const std::tuple<const char*, const char*, WindowPoint> remembered[] = {
        {nullptr, nullptr, {1280 - 513, 800 - 31}},
        {"100", "50", {100, 50}},
        {"0", "-7", {1, 1}},
        {"5000", "5000", {1280 - 513, 800 - 31}},
    };
    for (const auto& [mx, my, expected] : remembered) {
        MemoryProfile profile;
        if (mx != nullptr) profile.Set("MX", mx);
        if (my != nullptr) profile.Set("MY", my);
        EXPECT_EQ(RememberedMainPosition({1280, 800}), expected) << (mx ? mx : "none");
    }
    const ScreenSize work{800, 600};
    EXPECT_EQ(FitOnScreen({10, 20}, 400, 100, {0, 0}, work), (WindowPoint{10, 20}));
    EXPECT_EQ(FitOnScreen({700, 580}, 400, 100, {0, 0}, work), (WindowPoint{400, 500}));
    EXPECT_EQ(FitOnScreen({-50, -5}, 400, 100, {0, 0}, work), (WindowPoint{0, 0}));
    EXPECT_EQ(FitOnScreen({10, 10}, 900, 100, {0, 0}, work), (WindowPoint{0, 10}));
    EXPECT_EQ(FitOnScreen({0, 0}, 100, 100, {30, 40}, work), (WindowPoint{30, 40}));
}

TEST_F(MainWindowTest, StartsAtTheRememberedPlaceOrNearTheBottomRightCorner) {
    MakeWindow();
    const ScreenSize work{1024, 768};
    window->Place(RememberedMainPosition(work), {0, 0}, work);
    // Without MX/MY: 513 left of the right edge; 31 above the bottom would cut the window off,
    // so it sits on the bottom edge.
    EXPECT_EQ(window->x(), 1024 - 513);
    EXPECT_EQ(window->y(), 768 - window->frameGeometry().height());
    EXPECT_LE(window->frameGeometry().width(), 513);
    profile.Set("MX", "120");
    profile.Set("MY", "80");
    window->Place(RememberedMainPosition(work), {0, 0}, work);
    EXPECT_EQ(window->pos(), QPoint(120, 80));
}

TEST_F(MainWindowTest, FirstNightWithoutACameraStartsTheSimulatedOne) {
    MakeWindow();
    app->LoadDeviceSettings();
    window->Start("");
    ASSERT_EQ(app->CurrentKind(), SourceKind::kDevice);
    EXPECT_EQ(app->Devices().CurrentDevice()->identity, kSimDeviceId);
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_EQ(window->Status()->Source(), QString::fromStdString(app->Devices().FriendlyName()));
}

TEST_F(MainWindowTest, AStartUpFilePlaysAndOneThatCannotIsAnErrorAndTheCameraRuns) {
    const std::string path = captures / "night.avi";
    std::string error;
    ASSERT_TRUE(WriteClip(path, ClipParams{}, &error)) << error;
    MakeWindow();
    window->Start(path);
    EXPECT_TRUE(desktop.errors.isEmpty());
    ASSERT_EQ(app->CurrentKind(), SourceKind::kFile);
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_EQ(window->Status()->Source(), QStringLiteral("night.avi"));

    Restart();
    MakeWindow();
    app->LoadDeviceSettings();
    window->Start(captures / "missing.avi");
    EXPECT_EQ(desktop.errors, QStringList{QStringLiteral("Error|Can`t play video file...")});
    EXPECT_EQ(app->CurrentKind(), SourceKind::kDevice);
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
}

TEST_F(MainWindowTest, ClosingSavesThePlaceAndEverythingElseOnce) {
    MakeWindow();
    window->move(123, 45);
    int closed = 0;
    QObject::connect(window.get(), &MainWindow::Closed, [&closed] { ++closed; });
    window->Execute(kCmdExit);
    window->close();
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(profile.Get("MX"), "123");
    EXPECT_EQ(profile.Get("MY"), "45");
    EXPECT_EQ(dialogs.saves, 1);
    EXPECT_EQ(windows.closes, 1);
}

// ---- Stream events ------------------------------------------------------------------------------

TEST_F(MainWindowTest, CaptureProgressAndEndShowInTheStatusBarAndReleaseTheButton) {
    OpenSimulator();
    window->Execute(kCmdCapture);
    ASSERT_TRUE(Button(kCmdCapture)->isChecked());
    window->OnCaptureProgress(&Ctrl(), 8);
    EXPECT_EQ(Message(), QStringLiteral("Capturing in progress +8"));
    // The writer ended the run.
    Ctrl().sink.capture.capturing.store(false);
    Ctrl().sink.capture.capturedBefore = 5;
    Ctrl().sink.capture.capturedCount.store(3);
    CaptureReport report;
    report.capturedCount = 3;
    window->OnCaptureDone(&Ctrl(), report);
    EXPECT_EQ(Message(), QStringLiteral("Capturing 8 (+3) frame(s)"));
    EXPECT_FALSE(Button(kCmdCapture)->isChecked());
    EXPECT_TRUE(desktop.warnings.isEmpty());
}

TEST_F(MainWindowTest, ACaptureThatFailsOrCannotStartIsAWarningWithTheReason) {
    OpenSimulator();
    CaptureReport report;
    report.failed = true;
    std::strcpy(report.failure,
                "Capture stopped: /full/#cap0001.bmp could not be written (No space)");
    window->OnCaptureDone(&Ctrl(), report);
    ASSERT_EQ(desktop.warnings.size(), 1);
    EXPECT_EQ(desktop.warnings[0], QString::fromLatin1(report.failure));
    EXPECT_EQ(Message(), QString::fromLatin1(report.failure));
    // A file where the capture folder should be created.
    WriteFile(captures / "blocked", "");
    ASSERT_TRUE(Ctrl().sink.capture.SetCaptureDirectory((captures / "blocked/sub").c_str()));
    window->Execute(kCmdCapture);
    EXPECT_FALSE(Ctrl().sink.capture.capturing.load());
    EXPECT_FALSE(Button(kCmdCapture)->isChecked());
    ASSERT_EQ(desktop.warnings.size(), 2);
    EXPECT_TRUE(desktop.warnings[1].contains(QStringLiteral("blocked")));
}

TEST_F(MainWindowTest, AGraphThatFailsStopsWithItsMessageAndTheProgramStaysUsable) {
    OpenSimulator();
    window->Execute(kCmdStart);
    ASSERT_EQ(Ctrl().PlayState(), kStateRunning);
    // The camera is taken away under the running graph, as when it is pulled out.
    GstElement* device = app->CameraGraph().DeviceElement();
    ASSERT_NE(device, nullptr);
    GST_ELEMENT_ERROR(device, RESOURCE, NOT_FOUND, ("Device is gone"), ("pulled out"));
    for (int i = 0; i < 100 && Ctrl().PlayState() == kStateRunning; ++i) {
        QTest::qWait(20);
        window->OnGraphEvent(&Ctrl());
    }
    EXPECT_EQ(Ctrl().PlayState(), kStateStopped);
    EXPECT_TRUE(Message().contains(QStringLiteral("gone"))) << Message().toStdString();
    EXPECT_FALSE(Button(kCmdStart)->isChecked());
    window->Execute(kCmdStart);  // started again by the user, it plays
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
}

// ---- Sources menu -------------------------------------------------------------------------------

TEST_F(MainWindowTest, SourcesMenuListsTheDevicesWithTheOneInUseCheckedAndItsPages) {
    OpenSimulator();
    window->Execute(kCmdStart);
    window->RebuildSourcesMenu();
    QMenu* sources = window->MenuOf(Menu::kSources);
    QStringList items;
    int checked = -1;
    for (QAction* action : sources->actions()) {
        if (action->isSeparator()) continue;
        if (action->isChecked()) checked = checked == -1 ? int(items.size()) : -2;
        items << action->text();
    }
    ASSERT_GE(checked, 0);  // exactly one
    EXPECT_EQ(items[checked], QString::fromStdString(app->Devices().FriendlyName()));
    // The simulated camera offers its formats, nothing else.
    EXPECT_TRUE(items.contains(QString::fromLatin1(kVideoFormatItem)));
    EXPECT_FALSE(items.contains(QString::fromLatin1(kCaptureFilterItem)));
    // Built again when it opens: nothing doubles.
    window->RebuildSourcesMenu();
    EXPECT_EQ(sources->actions().size(), items.size() + 1);  // + the separator
    // The device in use chosen again goes on running.
    window->Execute(DeviceCommand(static_cast<size_t>(checked)));
    EXPECT_EQ(app->CurrentKind(), SourceKind::kDevice);
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_EQ(windows.shownCtrl, &Ctrl());
}

// Cameras plugged in and pulled out while the program runs, with test cameras that open the
// simulated one.
class PluggedDevicesTest : public MainWindowTest {
  protected:
    static void SetUpTestSuite() {
        MainWindowTest::SetUpTestSuite();
        RegisterTestDeviceProvider();
    }
    PluggedDevicesTest() {
        SetInitialTestDevices(1);
        app.reset();
        NewApp();  // its monitor lists the test camera
        MakeWindow();
        app->LoadDeviceSettings();
    }
    ~PluggedDevicesTest() override { SetInitialTestDevices(0); }

    // The Sources menu's device items: text and check.
    std::vector<std::pair<std::string, bool>> Devices() {
        window->RebuildSourcesMenu();
        std::vector<std::pair<std::string, bool>> items;
        for (QAction* action : window->MenuOf(Menu::kSources)->actions()) {
            if (DeviceIndexOf(action->data().toUInt())) {
                items.emplace_back(action->text().toStdString(), action->isChecked());
            }
        }
        return items;
    }
    size_t Slot(const std::string& name) {
        const std::vector<std::pair<std::string, bool>> items = Devices();
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i].first == name) return i;
        }
        ADD_FAILURE() << name << " is not listed";
        return 0;
    }
};

TEST_F(PluggedDevicesTest, FirstNightTakesTheFirstCameraAndStartsIt) {
    window->Start("");
    ASSERT_EQ(app->CurrentKind(), SourceKind::kDevice);
    EXPECT_EQ(app->Devices().CurrentDevice()->identity, "test:1");
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_EQ(Message(), QStringLiteral("Playing..."));
    EXPECT_EQ(windows.shownCtrl, &Ctrl());
}

TEST_F(PluggedDevicesTest, TheMenuFollowsTheCamerasAndAPulledCameraLeavesTheProgramUsable) {
    window->Execute(DeviceCommand(Slot("Test Camera 1")));
    ASSERT_EQ(app->CurrentKind(), SourceKind::kDevice);
    window->Execute(kCmdStart);
    ASSERT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_TRUE(Devices()[Slot("Test Camera 1")].second);

    ASSERT_TRUE(PlugTestDevice("Plugged Camera", "test:plug"));
    window->OnDevicesChanged();
    EXPECT_FALSE(Devices()[Slot("Plugged Camera")].second);
    // The camera in use goes on running.
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_TRUE(Devices()[Slot("Test Camera 1")].second);

    ASSERT_TRUE(UnplugTestDevice("test:1"));
    window->OnDevicesChanged();
    for (const auto& [name, checked] : Devices()) {
        EXPECT_NE(name, "Test Camera 1");
        EXPECT_FALSE(checked) << name;
    }
    EXPECT_EQ(Ctrl().PlayState(), kStateStopped);
    EXPECT_FALSE(Action(kCmdStart)->isEnabled());
    EXPECT_EQ(Message(), QStringLiteral("Stopped..."));

    // Another source, and on with the night.
    window->Execute(DeviceCommand(Slot("Plugged Camera")));
    EXPECT_TRUE(Action(kCmdStart)->isEnabled());
    window->Execute(kCmdStart);
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_EQ(windows.shownCtrl, &Ctrl());
}

// ---- Step keys ----------------------------------------------------------------------------------

// The frame-step keys on a video file whose frames tell their number.
TEST_F(MainWindowTest, StepKeysMoveAVideoFileByOneOrTenFrames) {
    ClipParams clip;
    clip.frames = 40;
    std::string error;
    const std::string path = captures / "steps.avi";
    ASSERT_TRUE(WriteClip(path, clip, &error)) << error;
    MakeWindow();
    ASSERT_TRUE(app->OpenFile(path).ok);
    window->SourceChanged();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const auto shows = [this](int frame) {
        for (int i = 0; i < 250 && ShownFrame(Ctrl().sink.live) != frame; ++i) QTest::qWait(20);
        return ShownFrame(Ctrl().sink.live);
    };
    ASSERT_EQ(shows(0), 0);
    const std::tuple<Qt::Key, Qt::KeyboardModifiers, int> steps[] = {
        {Qt::Key_Right, Qt::NoModifier, 1},   {Qt::Key_Right, Qt::ShiftModifier, 11},
        {Qt::Key_Period, Qt::NoModifier, 21}, {Qt::Key_Comma, Qt::NoModifier, 11},
        {Qt::Key_Left, Qt::NoModifier, 10},   {Qt::Key_Z, Qt::ShiftModifier, 0},
        {Qt::Key_X, Qt::NoModifier, 1},       {Qt::Key_X, Qt::ShiftModifier, 11},
        {Qt::Key_Z, Qt::NoModifier, 10},
    };
    for (const auto& [key, modifiers, frame] : steps) {
        QTest::keyClick(window.get(), key, modifiers);
        EXPECT_EQ(shows(frame), frame) << QKeySequence(key).toString().toStdString();
    }
}

}  // namespace
}  // namespace kelpa::test
