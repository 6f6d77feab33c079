// The main window's own parts: the delay box, the replacement texts of "kelpa.cfg", the start-up
// place, the stream events it answers, the Sources menu and closing.
#include <QClipboard>
#include <QFocusEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <cstring>

#include "common/cfg_parser.h"
#include "gui/delay_box.h"
#include "gui/startup_place.h"
#include "gui/status_bar.h"
#include "main_window_fixture.h"
#include "media/device_settings.h"
#include "media/file_test_util.h"
#include "media/test_device_provider.h"
#include "sim/sim_device_provider.h"

namespace kelpa::test {
namespace {

using kelpa::testing::TempDir;
using kelpa::testing::WriteFile;

// ---- Delay box ----------------------------------------------------------------------------------

struct ParseCase {
    const char* text;
    std::optional<uint32_t> value;
};

TEST(DelayText, ParsesWholeUnsignedNumbersOnly) {
    const ParseCase cases[] = {
        {"7000", 7000},
        {" 42 ", 42},
        {"0", 0u},
        {"4294967295", 4294967295u},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"06:000", std::nullopt},
        {"12a", std::nullopt},
        {"-1", std::nullopt},
        {"+5", std::nullopt},
        {"4294967296", std::nullopt},
        {"1 2", std::nullopt},
    };
    for (const ParseCase& c : cases) EXPECT_EQ(ParseDelayText(c.text), c.value) << c.text;
}

TEST(DelayText, ShowsSecondsAndMillisecondsUpTo59Seconds) {
    EXPECT_EQ(DelayText(0), QStringLiteral("00:000"));
    EXPECT_EQ(DelayText(6000), QStringLiteral("06:000"));
    EXPECT_EQ(DelayText(1234), QStringLiteral("01:234"));
    EXPECT_EQ(DelayText(60000), QStringLiteral("59:000"));
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

TEST_F(DelayBoxTest, TypingPastTheLimitSetsSixSecondsAndShowsThemAtOnce) {
    Type(QStringLiteral("7000"));
    EXPECT_EQ(Delay(), 6000u);
    EXPECT_EQ(box->text(), QStringLiteral("06:000"));
    // The panel's delay row heard of it.
    ASSERT_FALSE(dialogs.rows.empty());
    EXPECT_EQ(dialogs.rows.back(), StreamEvent::kDelayChanged);
}

TEST_F(DelayBoxTest, ANumberTakesEffectWhileTypedAndIsShownOnLeaving) {
    Type(QStringLiteral("1500"));
    EXPECT_EQ(Delay(), 1500u);
    EXPECT_EQ(box->text(), QStringLiteral("1500"));
    Leave();
    EXPECT_EQ(box->text(), QStringLiteral("01:500"));
}

TEST_F(DelayBoxTest, TextThatIsNotANumberChangesNothingAndIsReplacedOnLeaving) {
    Engine().SetTimeDelay(250);
    for (const QString& text : {QStringLiteral("abc"), QStringLiteral("12a"), QStringLiteral(" "),
                                QStringLiteral("-3"), QStringLiteral("01:500")}) {
        Paste(text);
        EXPECT_EQ(box->text(), text);
        EXPECT_EQ(Delay(), 250u) << text.toStdString();
        Leave();
        EXPECT_EQ(box->text(), QStringLiteral("00:250")) << text.toStdString();
    }
}

TEST_F(DelayBoxTest, AnUnchangedDelayDoesNotBotherThePanel) {
    Engine().SetTimeDelay(300);
    dialogs.rows.clear();
    Paste(QStringLiteral("300"));
    EXPECT_TRUE(dialogs.rows.empty());
    Paste(QStringLiteral("301"));
    EXPECT_EQ(dialogs.rows.size(), 1u);
}

TEST_F(DelayBoxTest, TheAutomaticControlsDelayShowsInTheBox) {
    window->OnAutoChange(&Ctrl(), StreamEvent::kDelayChanged, 2345);
    EXPECT_EQ(box->text(), QStringLiteral("02:345"));
    ASSERT_FALSE(dialogs.rows.empty());
    EXPECT_EQ(dialogs.rows.back(), StreamEvent::kDelayChanged);
    // Another controller's changes are not this window's business.
    window->OnAutoChange(&app->FileCtrl(), StreamEvent::kDelayChanged, 10);
    EXPECT_EQ(box->text(), QStringLiteral("02:345"));
}

TEST_F(DelayBoxTest, TheBoxLimitsItsTextToSixCharacters) {
    EXPECT_EQ(box->maxLength(), 6);
    Type(QStringLiteral("1234567"));
    EXPECT_EQ(Delay(), 6000u);  // "123456" went in, above the limit
}

// ---- kelpa.cfg ----------------------------------------------------------------------------------

class ConfigTextsTest : public MainWindowTest {
  protected:
    void Load(const std::string& content) {
        WriteFile(dir / "kelpa.cfg", content);
        ASSERT_TRUE(texts.Load(dir.Path()));
        MakeWindow();
    }
    QMenu* TopMenu(int position) const { return window->menuBar()->actions().at(position)->menu(); }
    TempDir dir;
};

TEST_F(ConfigTextsTest, ReplacementTextsChangeMenusTitlesAndTooltips) {
    Load(
        "[TOOLBAR]\n"
        "Start = \"Go on [Space]\"\n"
        "nrh = 'Rows'\n"
        "[MENU1]\n"
        "name = \"Kontrolle\"\n"
        "Start = \"&Los\\tSpace\"\n"
        "[MENU3]\n"
        "ChannelsSubMenu = \"Kanaele\"\n"
        "Grey = \"Grau\"\n"
        "[MENU6]\n"
        "WEB = \"Netz\"\n"
        "SendMail = \"Post\"\n"
        "[CTRL]\n"
        "Gamma = \"G:\"\n");
    EXPECT_EQ(TopMenu(0)->title(), QStringLiteral("Kontrolle"));
    EXPECT_EQ(Action(kCmdStart)->text(), QStringLiteral("&Los \tSpace"));
    EXPECT_EQ(Action(kCmdStart)->toolTip(), QStringLiteral("Go on [Space]"));
    EXPECT_EQ(Action(kCmdNrHorizontal)->toolTip(), QStringLiteral("Rows"));
    EXPECT_EQ(window->MenuOf(Menu::kChannels)->title(), QStringLiteral("Kanaele"));
    EXPECT_EQ(Action(kCmdGrey)->text(), QStringLiteral("Grau"));
    EXPECT_EQ(window->MenuOf(Menu::kWeb)->title(), QStringLiteral("Netz"));
    EXPECT_EQ(Action(kCmdSendMail)->text(), QStringLiteral("Post"));
    ASSERT_NE(texts.PanelLabel("gamma"), nullptr);
    EXPECT_EQ(*texts.PanelLabel("gamma"), "G:");
    // What was not given keeps its built-in text; the submenus keep their items.
    EXPECT_EQ(TopMenu(2)->title(), QStringLiteral("Processing"));
    EXPECT_EQ(Action(kCmdPause)->text(), QStringLiteral("Pa&use\tCtrl+U"));
    EXPECT_EQ(Action(kCmdPause)->toolTip(), QStringLiteral("Pause [Ctrl+U]"));
    EXPECT_TRUE(window->MenuOf(Menu::kChannels)->actions().contains(Action(kCmdGrey)));
    // The shortcut still works under a new text.
    EXPECT_EQ(Action(kCmdStart)->shortcut(), QKeySequence(Qt::Key_Space));
}

TEST_F(ConfigTextsTest, KeysOfAnotherSectionOrUnknownKeysAreNotTaken) {
    Load(
        "[MENU1]\n"
        "Grey = \"Grau\"\n"  // a Processing item under Control
        "Nonsense = \"x\"\n"
        "[MENU2]\n"
        "name = \"Quellen\"\n"
        "[MENU9]\n"
        "name = \"Nine\"\n"
        "[TOOLBAR]\n"
        "Start = \"unclosed\n");
    EXPECT_EQ(Action(kCmdGrey)->text(), QStringLiteral("Grey"));
    EXPECT_EQ(TopMenu(1)->title(), QStringLiteral("Quellen"));
    EXPECT_EQ(Action(kCmdStart)->toolTip(), QStringLiteral("Play [Space]"));
    for (QAction* top : window->menuBar()->actions()) {
        EXPECT_NE(top->text(), QStringLiteral("Nine"));
    }
}

TEST(ConfigSectionTest, AnswersTheParserWithItsResultCodes) {
    ConfigSection section(0, {"Start", "Stop"});
    EXPECT_EQ(section.Assign("start", "\"Go\""), 1);
    EXPECT_EQ(section.Assign("Pause", "\"x\""), 0);
    EXPECT_EQ(section.Assign("Stop", "\"open"), -2);
    ASSERT_NE(section.Text("START"), nullptr);
    EXPECT_EQ(*section.Text("START"), "Go");
    EXPECT_EQ(section.Text("stop"), nullptr);
    EXPECT_EQ(ExpandTabs("a\\tb\\\\tc\\"), "a \tb\\ \tc\\");
}

// ---- Start-up place
// -------------------------------------------------------------------------------

TEST(StartupPlace, WorkAreaFallsBackToTheScreenLessMargins) {
    EXPECT_EQ(WorkAreaFrom({0, 0}, {640, 480}).width, 616);
    EXPECT_EQ(WorkAreaFrom({0, 0}, {640, 480}).height, 456);
    EXPECT_EQ(WorkAreaFrom({1280, 770}, {1280, 800}).height, 770);
    EXPECT_EQ(WorkAreaFrom({0, 0}, {50, 20}).width, 100);  // raised, less 24, raised again
    EXPECT_EQ(WorkAreaFrom({0, 0}, {50, 20}).height, 80);
}

TEST(StartupPlace, RememberedPositionIsClampedToTheWorkArea) {
    struct Case {
        const char* mx;
        const char* my;
        WindowPoint expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, {1280 - 513, 800 - 31}},
        {"100", "50", {100, 50}},
        {"0", "-7", {1, 1}},
        {"5000", "5000", {1280 - 513, 800 - 31}},
    };
    for (const Case& c : cases) {
        MemoryProfile profile;
        if (c.mx != nullptr) profile.Set("MX", c.mx);
        if (c.my != nullptr) profile.Set("MY", c.my);
        EXPECT_EQ(RememberedMainPosition({1280, 800}), c.expected) << (c.mx ? c.mx : "none");
    }
}

TEST(StartupPlace, FitOnScreenMovesOnlyWhatPassesAnEdge) {
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

TEST_F(MainWindowTest, ClosingSavesThePlaceAndEverythingElseOnce) {
    MakeWindow();
    window->move(123, 45);
    int closed = 0;
    QObject::connect(window.get(), &MainWindow::Closed, [&closed] { ++closed; });
    window->Execute(kCmdExit);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(profile.Get("MX"), "123");
    EXPECT_EQ(profile.Get("MY"), "45");
    EXPECT_EQ(dialogs.saves, 1);
    EXPECT_EQ(windows.closes, 1);
    window->close();
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(windows.closes, 1);
}

// ---- Stream events ------------------------------------------------------------------------------

TEST_F(MainWindowTest, CaptureProgressAndEndShowInTheStatusBar) {
    OpenSimulator();
    window->OnCaptureProgress(&Ctrl(), 8);
    EXPECT_EQ(window->Status()->Message(), QStringLiteral("Capturing in progress +8"));
    Ctrl().sink.capture.capturedBefore = 5;
    Ctrl().sink.capture.capturedCount.store(3);
    CaptureReport report;
    report.capturedCount = 3;
    window->OnCaptureDone(&Ctrl(), report);
    EXPECT_EQ(window->Status()->Message(), QStringLiteral("Capturing 8 (+3) frame(s)"));
    EXPECT_TRUE(desktop.warnings.isEmpty());
}

TEST_F(MainWindowTest, AFailedCaptureIsAWarningWithTheWritersReason) {
    OpenSimulator();
    CaptureReport report;
    report.failed = true;
    std::strcpy(report.failure,
                "Capture stopped: /full/#cap0001.bmp could not be written (No space)");
    window->OnCaptureDone(&Ctrl(), report);
    ASSERT_EQ(desktop.warnings.size(), 1);
    EXPECT_EQ(desktop.warnings[0], QString::fromLatin1(report.failure));
    EXPECT_EQ(window->Status()->Message(), QString::fromLatin1(report.failure));
}

TEST_F(MainWindowTest, ACaptureThatCannotStartIsAWarning) {
    OpenSimulator();
    // A file where the capture folder should be created.
    WriteFile(captures / "blocked", "");
    ASSERT_TRUE(Ctrl().sink.capture.SetCaptureDirectory((captures / "blocked/sub").c_str()));
    window->Execute(kCmdCapture);
    EXPECT_FALSE(Ctrl().sink.capture.capturing.load());
    EXPECT_FALSE(Button(kCmdCapture)->isChecked());
    ASSERT_EQ(desktop.warnings.size(), 1);
    EXPECT_TRUE(desktop.warnings[0].contains(QStringLiteral("blocked")))
        << desktop.warnings[0].toStdString();
}

TEST_F(MainWindowTest, ACaptureRunThatEndsReleasesTheCaptureButton) {
    OpenSimulator();
    window->Execute(kCmdCapture);
    ASSERT_TRUE(Button(kCmdCapture)->isChecked());
    Ctrl().sink.capture.capturing.store(false);  // the writer ended the run
    window->OnCaptureDone(&Ctrl(), CaptureReport{});
    EXPECT_FALSE(Button(kCmdCapture)->isChecked());
}

// ---- Sources menu -------------------------------------------------------------------------------

TEST_F(MainWindowTest, SourcesMenuListsTheDevicesWithTheOneInUseCheckedAndItsPages) {
    OpenSimulator();
    window->RebuildSourcesMenu();
    QMenu* sources = window->MenuOf(Menu::kSources);
    const std::vector<DeviceMenuItem>& devices = app->Devices().DeviceMenu();
    ASSERT_FALSE(devices.empty());
    QStringList items;
    int checked = 0;
    for (QAction* action : sources->actions()) {
        if (action->isSeparator()) continue;
        items << action->text();
        if (action->isChecked()) ++checked;
    }
    EXPECT_TRUE(items.contains(QString::fromStdString(app->Devices().FriendlyName())));
    EXPECT_EQ(checked, 1);
    // The simulated camera offers its formats, nothing else.
    EXPECT_TRUE(items.contains(QString::fromLatin1(kVideoFormatItem)));
    EXPECT_FALSE(items.contains(QString::fromLatin1(kCaptureFilterItem)));
    // Built again when it opens: nothing doubles.
    window->RebuildSourcesMenu();
    EXPECT_EQ(sources->actions().size(), items.size() + 1);  // + the separator
}

TEST_F(MainWindowTest, ChoosingTheDeviceInUseAgainKeepsItRunning) {
    OpenSimulator();
    window->Execute(kCmdStart);
    window->RebuildSourcesMenu();
    size_t index = 0;
    for (const DeviceMenuItem& item : app->Devices().DeviceMenu()) {
        if (item.checked) break;
        ++index;
    }
    window->Execute(DeviceCommand(index));
    EXPECT_EQ(app->CurrentKind(), SourceKind::kDevice);
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_EQ(windows.shownCtrl, &Ctrl());
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
    EXPECT_TRUE(window->Status()->Message().contains(QStringLiteral("gone")))
        << window->Status()->Message().toStdString();
    EXPECT_FALSE(Button(kCmdStart)->isChecked());
    // Started again by the user, it plays.
    window->Execute(kCmdStart);
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
}

}  // namespace
}  // namespace kelpa::test

namespace kelpa::test {
namespace {

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
        app = std::make_unique<Application>();  // its monitor lists the test camera
        app->SetNotice(&notice);
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

TEST_F(PluggedDevicesTest, TheMenuFollowsTheCamerasAndAPulledCameraLeavesTheProgramUsable) {
    MakeWindow();
    app->LoadDeviceSettings();
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
    EXPECT_EQ(window->Status()->Message(), QStringLiteral("Stopped..."));

    // Another source, and on with the night.
    window->Execute(DeviceCommand(Slot("Plugged Camera")));
    EXPECT_TRUE(Action(kCmdStart)->isEnabled());
    window->Execute(kCmdStart);
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_EQ(windows.shownCtrl, &Ctrl());
}

}  // namespace
}  // namespace kelpa::test

namespace kelpa::test {
namespace {

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
    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int frame;
    };
    const Step steps[] = {
        {Qt::Key_Right, Qt::NoModifier, 1},   {Qt::Key_Right, Qt::ShiftModifier, 11},
        {Qt::Key_Period, Qt::NoModifier, 21}, {Qt::Key_Comma, Qt::NoModifier, 11},
        {Qt::Key_Left, Qt::NoModifier, 10},   {Qt::Key_Z, Qt::ShiftModifier, 0},
        {Qt::Key_X, Qt::NoModifier, 1},       {Qt::Key_X, Qt::ShiftModifier, 11},
        {Qt::Key_Z, Qt::NoModifier, 10},
    };
    for (const Step& step : steps) {
        QTest::keyClick(window.get(), step.key, step.modifiers);
        EXPECT_EQ(shows(step.frame), step.frame) << QKeySequence(step.key).toString().toStdString();
    }
}

}  // namespace
}  // namespace kelpa::test

namespace kelpa::test {
namespace {

// ---- Start-up source
// ------------------------------------------------------------------------------

TEST_F(PluggedDevicesTest, FirstNightTakesTheFirstCameraAndStartsIt) {
    MakeWindow();
    app->LoadDeviceSettings();
    window->Start("");
    ASSERT_EQ(app->CurrentKind(), SourceKind::kDevice);
    EXPECT_EQ(app->Devices().CurrentDevice()->identity, "test:1");
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_EQ(window->Status()->Message(), QStringLiteral("Playing..."));
    EXPECT_EQ(windows.shownCtrl, &Ctrl());
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

TEST_F(MainWindowTest, AStartUpFileThatCannotBePlayedIsAnErrorAndTheCameraRuns) {
    MakeWindow();
    app->LoadDeviceSettings();
    window->Start(captures / "missing.avi");
    ASSERT_EQ(desktop.errors.size(), 1);
    EXPECT_EQ(desktop.errors[0], QStringLiteral("Error|Can`t play video file..."));
    EXPECT_EQ(app->CurrentKind(), SourceKind::kDevice);
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
}

TEST_F(MainWindowTest, AStartUpFilePlays) {
    ClipParams clip;
    std::string error;
    const std::string path = captures / "night.avi";
    ASSERT_TRUE(WriteClip(path, clip, &error)) << error;
    MakeWindow();
    window->Start(path);
    EXPECT_TRUE(desktop.errors.isEmpty());
    ASSERT_EQ(app->CurrentKind(), SourceKind::kFile);
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_EQ(window->Status()->Source(), QStringLiteral("night.avi"));
}

}  // namespace
}  // namespace kelpa::test
