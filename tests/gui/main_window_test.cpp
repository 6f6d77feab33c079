// The main window on the simulated camera: every command of the table reaching its action (the
// current controller's engine, the windows, the panel and dialogs, the desktop) with its check
// mark and toolbar button following the state it changed; the ends the stream reports; and the
// window's own parts: the arguments, the delay box, the replacement texts of "kelpa.cfg", the
// start-up place and source, capture and graph events, plugged and pulled cameras, closing.
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

#include "cli/argument_reader.h"
#include "gui/command_state.h"
#include "gui/delay_box.h"
#include "gui/display_windows.h"
#include "gui/event_bridge.h"
#include "gui/startup_place.h"
#include "main_window_fixture.h"
#include "media/device_settings.h"
#include "sim/sim_device_provider.h"
#include "support/test_devices.h"
#include "support/video_clips.h"

namespace kelpa::test {
namespace {

enum class Kind {
    kToggle,  // each run flips a state; the check mark and the button follow it
    kSelect,  // the run sets a value; the item is checked when it can be
    kCall,    // the run reaches a window, dialog or the desktop once
};

constexpr Kind kToggle = Kind::kToggle, kSelect = Kind::kSelect, kCall = Kind::kCall;
using T = MainWindowTest;
using Read = std::function<int(T&)>;
using Step = std::function<void(T&)>;

struct CommandCase {
    const char* name;
    uint32_t command;
    Kind kind;
    Read read;
    int selected = 0;        // kSelect: the value expected
    Step prepare = nullptr;  // before the run
    Step check = nullptr;    // the other effects, after the last run
};

// Readers of the state a command changes, as 0 or 1 for the switches.
const auto Flag = [](std::atomic<int32_t> ProcParams::*f) -> Read {
    return [f](T& t) { return int((t.Engine().params.*f).load() != 0); };
};
const auto AutoBit = [](uint32_t bit) -> Read {
    return [bit](T& t) { return int((t.Engine().params.autoFlags.load() & bit) != 0); };
};
const auto Shown = [](ShownWindow w) -> Read {
    return [w](T& t) { return int(t.windows.visible[w]); };
};
const auto View = [](ViewFlag f) -> Read { return [f](T& t) { return int(t.windows.flags[f]); }; };
const auto Play = [](int32_t s) -> Read {
    return [s](T& t) { return int(t.Ctrl().PlayState() == s); };
};
const Read kChannel = [](T& t) { return t.Engine().Settings().channels; };
const Read kVariant = [](T& t) { return int(t.Engine().Settings().variantId); };
const Read kAreaCalls = [](T& t) { return int(t.windows.areaCommands.size()); };
const Read kResizes = [](T& t) { return int(t.windows.resizes.size()); };
const Read kOpened = [](T& t) { return int(t.desktop.opened.size() + t.desktop.warnings.size()); };
const Step kStart = [](T& t) { t.window->Execute(kCmdStart); };
const Step kRepaintedTwice = [](T& t) { EXPECT_EQ(t.windows.repaints, 2); };

const CommandCase kCases[] = {
    {"Start", kCmdStart, kToggle, Play(kStateRunning)},
    {"Pause", kCmdPause, kToggle, Play(kStatePaused), 0, kStart},
    {"Stop", kCmdStop, kSelect, Play(kStateStopped), 1, kStart},
    {"Capture", kCmdCapture, kToggle,
     [](T& t) { return int(t.Ctrl().sink.capture.capturing.load()); }},
    {"CaptureSetup", kCmdCaptureSetup, kCall, [](T& t) { return t.dialogs.captureSetups; }},
    {"Exit", kCmdExit, kCall, [](T& t) { return t.windows.closes; }},
    {"BlackAndWhite", kCmdBlackAndWhite, kSelect, kChannel, -1,
     [](T& t) { t.Engine().SetChannel(3), t.Engine().SetOutsideAsIs(true); },
     [](T& t) { EXPECT_EQ(t.Engine().params.outsideAsIs.load(), 0); }},
    {"OutsideAsIs", kCmdOutsideAsIs, kToggle, Flag(&ProcParams::outsideAsIs)},
    {"AsIs", kCmdAsIs, kSelect, kChannel, 0},
    {"Grey", kCmdGrey, kSelect, kChannel, -2, [](T& t) { t.Engine().SetChannel(0); }},
    {"Sum", kCmdSum, kSelect, kChannel, -1},
    {"Red", kCmdRed, kSelect, kChannel, 3},
    {"Green", kCmdGreen, kSelect, kChannel, 2},
    {"Blue", kCmdBlue, kSelect, kChannel, 1},
    {"Average", kCmdAverage, kSelect, kVariant, int(kVariantAverage),
     [](T& t) { t.Engine().SetVariant(kVariantSubtracterAdder); }},
    {"SubtracterAdder", kCmdSubtracterAdder, kSelect, kVariant, int(kVariantSubtracterAdder)},
    {"AreaSetup", kCmdAreaSetup, kCall, kAreaCalls},
    {"AreaMove", kCmdAreaMove, kCall, kAreaCalls},
    {"AreaResize", kCmdAreaResize, kCall, kAreaCalls},
    {"AreaDraw", kCmdAreaDraw, kCall, kAreaCalls},
    {"AreaExitChange", kCmdAreaExitChange, kCall, kAreaCalls, 0,
     [](T& t) { t.windows.areaMode = kCmdAreaDraw; }},
    {"AutoAmplification", kCmdAutoAmplification, kToggle, AutoBit(kAutoAmplification)},
    {"AutoAccumulate", kCmdAutoAccumulate, kToggle, AutoBit(kAutoAccumulate)},
    {"AutoDelay", kCmdAutoDelay, kToggle, AutoBit(kAutoDelay)},
    // The threshold rows of the panel follow the switches.
    {"NrHorizontal", kCmdNrHorizontal, kToggle, Flag(&ProcParams::nrH), 0,
     [](T& t) { t.dialogs.refreshes = 0; }, [](T& t) { EXPECT_EQ(t.dialogs.refreshes, 2); }},
    {"NrVertical", kCmdNrVertical, kToggle, Flag(&ProcParams::nrV)},
    {"FlipVertical", kCmdFlipVertical, kToggle, Flag(&ProcParams::flipV), 0, nullptr,
     kRepaintedTwice},
    {"Settings", kCmdSettings, kToggle, [](T& t) { return int(t.dialogs.panelVisible); }},
    {"TakeDark", kCmdTakeDark, kCall,
     [](T& t) { return int(t.Ctrl().sink.dark.TakeState() == DarkTakeState::kTaking); }},
    // Switched on without a stored dark: Use stays on, and the warning says why nothing is
    // subtracted.
    {"UseDark", kCmdUseDark, kToggle, [](T& t) { return int(t.app->DarkUse()); }, 0, nullptr,
     [](T& t) {
         ASSERT_EQ(t.desktop.warnings.size(), 1);
         EXPECT_TRUE(t.desktop.warnings[0].startsWith("No dark frame stored for"));
     }},
    {"GuideLog", kCmdGuideLog, kToggle, [](T& t) { return int(t.app->GuideLog()); }},
    // Gamma, accumulation and delay back to their defaults, the panel told.
    {"Default", kCmdDefault, kSelect, [](T& t) { return t.Engine().params.gamma.load(); }, 128,
     [](T& t) {
         t.Engine().SetGamma(200), t.Engine().SetCountAccum(9), t.Engine().SetTimeDelay(700);
         t.dialogs.refreshes = 0;
     },
     [](T& t) {
         EXPECT_EQ(std::tuple(t.Engine().params.countAccum.load(), t.Engine().params.delayMs.load(),
                              t.dialogs.refreshes > 0),
                   std::tuple(1, 0u, true));
     }},
    {"GuideStart", kCmdGuideStart, kToggle, Flag(&ProcParams::guideEnable)},
    // The virtual guide follows the guide star: it starts guiding, which goes on without it.
    {"VirtualGuide", kCmdVirtualGuide, kToggle,
     [](T& t) { return int(t.windows.flags[ViewFlag::kVirtualGuide] && t.Engine().guideVirtual); },
     0, nullptr,
     [](T& t) {
         EXPECT_TRUE(t.Engine().params.guideEnable.load() && t.Action(kCmdGuideStart)->isChecked());
     }},
    {"AutoMove", kCmdAutoMove, kToggle, Flag(&ProcParams::guideAutoMoveSetting)},
    {"GuideSetup", kCmdGuideSetup, kCall, [](T& t) { return t.dialogs.guideSetups; }},
    {"LivePreview", kCmdLivePreview, kToggle, Shown(ShownWindow::kLive)},
    {"ProcPreview", kCmdProcPreview, kToggle, Shown(ShownWindow::kProcessing)},
    {"InfoStatistic", kCmdInfoStatistic, kToggle, Shown(ShownWindow::kStatistic)},
    {"ViewGrid", kCmdViewGrid, kToggle, View(ViewFlag::kGrid), 0, nullptr, kRepaintedTwice},
    {"ViewArea", kCmdViewArea, kToggle, View(ViewFlag::kArea)},
    {"HalfSize", kCmdHalfSize, kCall, kResizes, 0, nullptr,
     [](T& t) { EXPECT_EQ(t.windows.resizes.back(), SizeCommand::kHalfSize); }},
    {"DefaultSize", kCmdDefaultSize, kCall, kResizes, 0, nullptr,
     [](T& t) { EXPECT_EQ(t.windows.resizes.back(), SizeCommand::kInputSize); }},
    // Switched on it fits the windows at once; switched off it leaves them.
    {"InputSize", kCmdInputSize, kToggle, [](T& t) { return int(t.Ctrl().sink.fitWindowsToFrame); },
     0, nullptr, [](T& t) { EXPECT_EQ(t.windows.resizes, std::vector{SizeCommand::kInputSize}); }},
    {"Contents", kCmdContents, kCall, kOpened},
    {"IfSlow", kCmdIfSlow, kCall, [](T& t) { return t.dialogs.ifSlows; }},
    {"About", kCmdAbout, kCall, [](T& t) { return t.desktop.abouts; }},
    {"SendMail", kCmdSendMail, kCall, kOpened},
    {"WebSite", kCmdWebSite, kCall, kOpened},
    {"WebOrb", kCmdWebOrb, kCall, kOpened},
};

// The item's check mark and its toolbar button show `on`.
void ExpectChecked(MainWindowTest& t, uint32_t command, bool on) {
    ASSERT_TRUE(t.Action(command)->isCheckable());
    EXPECT_EQ(t.Action(command)->isChecked(), on);
    const QToolButton* button = t.Button(command);
    EXPECT_TRUE(button == nullptr || button->isChecked() == on);
}

// One process for the table, a new core and window for each command; every command of the
// menus and the toolbar has its row.
TEST_F(MainWindowTest, EveryCommandReachesItsActionAndShowsTheState) {
    std::set<uint32_t> covered;
    for (const CommandCase& c : kCases) {
        SCOPED_TRACE(c.name);
        covered.insert(c.command);
        Restart();
        OpenSimulator();
        if (c.prepare) c.prepare(*this);
        window->RefreshState();
        QAction* action = Action(c.command);
        ASSERT_NE(action, nullptr);
        EXPECT_TRUE(action->isEnabled());
        const int before = c.read(*this);
        action->trigger();
        if (c.kind == kToggle) {
            EXPECT_EQ(c.read(*this), 1 - before);
            ExpectChecked(*this, c.command, before == 0);
            action->trigger();
            EXPECT_EQ(c.read(*this), before);
            ExpectChecked(*this, c.command, before != 0);
        } else if (c.kind == kSelect) {
            EXPECT_EQ(c.read(*this), c.selected);
            if (IsCheckable(c.command)) ExpectChecked(*this, c.command, true);
        } else {
            EXPECT_EQ(c.read(*this), before + 1);
        }
        if (c.check) c.check(*this);
    }
    for (const MenuItem& item : MenuItems()) EXPECT_TRUE(covered.count(item.command)) << item.text;
    for (const ToolbarButton& button : ToolbarButtons()) {
        EXPECT_TRUE(button.command == 0 || covered.count(button.command)) << button.tooltip;
    }
}

// Choosing a channel unchecks the one before; a pause shows in the status bar, the start button
// up.
TEST_F(MainWindowTest, ExclusiveItemsFollowTheLastChoiceAndAPauseShows) {
    OpenSimulator();
    window->Execute(kCmdRed);
    window->Execute(kCmdGrey);
    EXPECT_FALSE(Action(kCmdRed)->isChecked());
    window->Execute(kCmdStart);
    window->Execute(kCmdPause);
    EXPECT_EQ(std::pair(Message(), Button(kCmdStart)->isChecked()),
              std::pair(QStringLiteral("Paused..."), false));
}

TEST_F(MainWindowTest, WithoutAVideoTheVideoCommandsAreGreyedUncheckedAndDoNothing) {
    MakeWindow();
    window->SourceChanged();
    for (uint32_t command : {kCmdAsIs, kCmdGrey, kCmdBlackAndWhite, kCmdOutsideAsIs, kCmdAverage,
                             kCmdStart, kCmdPause, kCmdStop, kCmdCapture, kCmdNrHorizontal,
                             kCmdGuideStart, kCmdViewGrid, kCmdAreaMove, kCmdTakeDark}) {
        EXPECT_FALSE(Action(command)->isEnabled() || Action(command)->isChecked()) << command;
        window->Execute(command);
    }
    EXPECT_TRUE(windows.areaCommands.empty());
    EXPECT_EQ(Message(), QStringLiteral("Stopped..."));
    // The windows' own items and the settings stay usable.
    for (uint32_t command : {kCmdLivePreview, kCmdSettings, kCmdUseDark, kCmdGuideLog}) {
        EXPECT_TRUE(Action(command)->isEnabled()) << command;
    }
}

TEST_F(MainWindowTest, FlipTurnsBothPicturesOver) {
    OpenSimulator();
    const int32_t proc = Engine().surf.HeaderHeight();
    const int32_t live = Ctrl().sink.live.HeaderHeight();
    ASSERT_NE(proc, 0);
    window->Execute(kCmdFlipVertical);
    EXPECT_EQ(std::pair(Engine().surf.HeaderHeight(), Ctrl().sink.live.HeaderHeight()),
              std::pair(-proc, -live));
}

// ---- The ends the stream reports, through the program's event bridge ----------------------

class StreamEndTest : public MainWindowTest {
  protected:
    void SetUp() override {
        OpenSimulator();
        bridge.Watch(*app);
        ConnectMainWindow(bridge, *window);
    }
    // No frame may reach the bridge after it is gone.
    void TearDown() override { app->DeviceCtrl().Stop(); }
    // Lets frames flow until `done`, for 3 s at most.
    template <typename Done>
    void RunUntil(Done done) {
        for (int i = 0; i < 300 && !done(); ++i) QTest::qWait(10);
    }
    EventBridge bridge;
};

TEST_F(StreamEndTest, ADarkTakeShowsItsEndAndIsUsed) {
    Ctrl().sink.dark.ApplySettings({false, 3});
    window->Execute(kCmdTakeDark);
    window->Execute(kCmdStart);
    RunUntil([this] { return Message().startsWith("Dark frame of 3 frames"); });
    EXPECT_TRUE(Message().contains(QString::fromStdString(Ctrl().sink.dark.StoredPath())));
    EXPECT_TRUE(desktop.warnings.isEmpty());
    window->Execute(kCmdUseDark);
    EXPECT_TRUE(Action(kCmdUseDark)->isChecked() && Ctrl().sink.dark.Applied());
    EXPECT_EQ(Message(), QStringLiteral("Dark frame: in use (3 frames)"));
}

// A stored dark that cannot be read is refused with its reason; Use stays on, so a dark taken
// later is used.
TEST_F(StreamEndTest, AnUnreadableDarkIsRefusedInTheWarningBox) {
    std::filesystem::create_directories(captures / "darks");
    kelpa::testing::WriteFile(Ctrl().sink.dark.StoredPath(), "not a dark");
    window->Execute(kCmdUseDark);
    ASSERT_EQ(desktop.warnings.size(), 1);
    EXPECT_TRUE(desktop.warnings[0].startsWith("Dark frame refused."));
    EXPECT_TRUE(Action(kCmdUseDark)->isChecked() && !Ctrl().sink.dark.Applied());
}

TEST_F(StreamEndTest, AGuideLogThatCannotWriteStopsWithItsReason) {
    // Its folder would lie under a file.
    kelpa::testing::WriteFile(captures / "file", "");
    Ctrl().sink.guideLog.SetDirectory(captures / "file" + "/logs");
    window->Execute(kCmdGuideLog);
    ASSERT_TRUE(Action(kCmdGuideLog)->isChecked());
    window->Execute(kCmdGuideStart);
    window->Execute(kCmdStart);
    RunUntil([this] { return !desktop.warnings.isEmpty(); });
    ASSERT_EQ(desktop.warnings.size(), 1);
    EXPECT_TRUE(desktop.warnings[0].startsWith("Guide log stopped: cannot create"));
    EXPECT_FALSE(Action(kCmdGuideLog)->isChecked() || app->GuideLog());
}

using kelpa::testing::WriteFile;

// Typed keys are read one by one; pasted text in one edit; leaving the box shows the delay.
TEST_F(MainWindowTest, TheDelayBoxSetsTheDelayAsTypedAndShowsItOnLeaving) {
    OpenSimulator();
    DelayBox* box = window->Tools()->Delay();
    const auto enter = [box](const char* text, bool typed) {
        box->selectAll();
        if (typed) QTest::keyClicks(box, QString::fromLatin1(text));
        if (!typed) QApplication::clipboard()->setText(QString::fromLatin1(text)), box->paste();
    };
    const auto leave = [box] { return Leave(box), box->text(); };
    const auto delay = [this] { return Engine().params.delayMs.load(); };
    enter("7000", true);  // held to six seconds
    EXPECT_EQ(std::pair(delay(), box->text()), std::pair(6000u, QStringLiteral("06:000")));
    ASSERT_FALSE(dialogs.rows.empty());  // the panel's delay row heard of it
    EXPECT_EQ(dialogs.rows.back(), StreamEvent::kDelayChanged);
    enter("1500", true);
    EXPECT_EQ(std::pair(delay(), box->text()), std::pair(1500u, QStringLiteral("1500")));
    EXPECT_EQ(leave(), QStringLiteral("01:500"));

    // Text that is not a number changes nothing.
    Engine().SetTimeDelay(250);
    for (const char* text : {"12a", "-3", "01:500"}) {
        enter(text, false);
        EXPECT_EQ(std::pair(delay(), box->text()), std::pair(250u, QString::fromLatin1(text)));
        EXPECT_EQ(leave(), QStringLiteral("00:250")) << text;
    }

    // The automatic control's delay shows; another controller's does not.
    window->OnAutoChange(&Ctrl(), StreamEvent::kDelayChanged, 2345);
    EXPECT_EQ(dialogs.rows.back(), StreamEvent::kDelayChanged);
    window->OnAutoChange(&app->FileCtrl(), StreamEvent::kDelayChanged, 10);
    EXPECT_EQ(box->text(), QStringLiteral("02:345"));
}

TEST_F(MainWindowTest, ReplacementTextsChangeMenusTitlesAndTooltipsAndNothingElse) {
    WriteFile(captures / "kelpa.cfg",
              "[TOOLBAR]\nStart = \"Go on [Space]\"\n"
              "[MENU1]\nname = \"Kontrolle\"\nStart = \"&Los\\tSpace\"\n"
              "Grey = \"Grau\"\n"  // a Processing item under Control
              "[TOOLBAR]\nPause = \"unclosed\n");
    ASSERT_TRUE(texts.Load(captures.Path()));
    MakeWindow();
    // What was not given, or given in another section, keeps its built-in text.
    const QString shown = window->menuBar()->actions().at(0)->text() + "|" +
                          Action(kCmdStart)->text() + "|" + Action(kCmdStart)->toolTip() + "|" +
                          Action(kCmdGrey)->text() + "|" + Action(kCmdPause)->toolTip();
    EXPECT_EQ(shown, "Kontrolle|&Los \tSpace|Go on [Space]|Grey|Pause [Ctrl+U]");
    // The shortcut works under a new text.
    EXPECT_EQ(Action(kCmdStart)->shortcut(), QKeySequence(Qt::Key_Space));
}

// The edges; the usual places are the window's test below.
TEST(StartupPlace, RememberedPositionAndFitting) {
    for (const auto& [mx, my, expected] : {std::tuple("0", "-7", WindowPoint{1, 1}),
                                           std::tuple("5000", "5000", WindowPoint{767, 769})}) {
        MemoryProfile profile;
        profile.Set("MX", mx), profile.Set("MY", my);
        EXPECT_EQ(RememberedMainPosition({1280, 800}), expected) << mx;
    }
    const ScreenSize work{800, 600};
    EXPECT_EQ(FitOnScreen({-50, -5}, 400, 100, {0, 0}, work), (WindowPoint{0, 0}));
}

TEST_F(MainWindowTest, StartsAtTheRememberedPlaceOrNearTheBottomRightCornerAndSavesItOnClosing) {
    MakeWindow();
    const ScreenSize work{1024, 768};
    window->Place(RememberedMainPosition(work), {0, 0}, work);
    // Without MX/MY: 513 left of the right edge; 31 above the bottom would cut the window off,
    // so it sits on the bottom edge.
    EXPECT_EQ(window->pos(), QPoint(1024 - 513, 768 - window->frameGeometry().height()));
    profile.Set("MX", "120");
    profile.Set("MY", "80");
    window->Place(RememberedMainPosition(work), {0, 0}, work);
    EXPECT_EQ(window->pos(), QPoint(120, 80));

    window->move(123, 45);
    int closed = 0;
    QObject::connect(window.get(), &MainWindow::Closed, [&closed] { ++closed; });
    window->Execute(kCmdExit);
    window->close();
    EXPECT_EQ(profile.Get("MX") + "," + profile.Get("MY"), "123,45");
    EXPECT_EQ(std::tuple(closed, dialogs.saves, windows.closes), std::tuple(1, 1, 1));
}

// A start-up file plays; one that cannot is an error and the camera runs, the simulated one
// when there is none.
TEST_F(MainWindowTest, StartsOnTheGivenFileOrTheCamera) {
    const std::string path = captures / "night.avi";
    std::string error;
    ASSERT_TRUE(WriteClip(path, ClipParams{}, &error)) << error;
    MakeWindow();
    window->Start(path);
    ASSERT_EQ(app->CurrentKind(), SourceKind::kFile);
    EXPECT_EQ(std::tuple(desktop.errors, Ctrl().PlayState(), window->Status()->Source()),
              std::tuple(QStringList(), kStateRunning, QStringLiteral("night.avi")));

    Restart();
    MakeWindow();
    app->LoadDeviceSettings();
    window->Start(captures / "missing.avi");
    EXPECT_EQ(desktop.errors, QStringList{QStringLiteral("Error|Can`t play video file...")});
    ASSERT_EQ(app->CurrentKind(), SourceKind::kDevice);
    EXPECT_EQ(std::tuple(app->Devices().CurrentDevice()->identity, Ctrl().PlayState(),
                         window->Status()->Source()),
              std::tuple(std::string(kSimDeviceId), kStateRunning,
                         QString::fromStdString(app->Devices().FriendlyName())));
}

// The capture's end in the status bar (counting earlier runs); a run's failure or one that
// cannot start also in the warning box, and the button follows.
TEST_F(MainWindowTest, CaptureEndAndFailuresShowInTheStatusBarAndTheWarningBox) {
    OpenSimulator();
    window->Execute(kCmdCapture);
    ASSERT_TRUE(Button(kCmdCapture)->isChecked());
    // The writer ended the run, after 5 frames of earlier runs.
    Ctrl().sink.capture.capturing.store(false);
    Ctrl().sink.capture.capturedBefore = 5;
    Ctrl().sink.capture.capturedCount.store(3);
    CaptureReport report;
    report.capturedCount = 3;
    window->OnCaptureDone(&Ctrl(), report);
    EXPECT_EQ(Message(), QStringLiteral("Capturing 8 (+3) frame(s)"));
    EXPECT_FALSE(Button(kCmdCapture)->isChecked() || !desktop.warnings.isEmpty());
    report.failed = true;
    std::strcpy(report.failure, "Capture stopped: /full/#cap0001.bmp could not be written");
    window->OnCaptureDone(&Ctrl(), report);
    EXPECT_EQ(desktop.warnings + QStringList{Message()}, QStringList(2, report.failure));
    // A file where the capture folder should be created.
    WriteFile(captures / "blocked", "");
    ASSERT_TRUE(Ctrl().sink.capture.SetCaptureDirectory((captures / "blocked/sub").c_str()));
    window->Execute(kCmdCapture);
    EXPECT_FALSE(Ctrl().sink.capture.capturing.load() || Button(kCmdCapture)->isChecked());
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
    for (int i = 0; i < 200 && Ctrl().PlayState() == kStateRunning; ++i) {
        QTest::qWait(10);
        window->OnGraphEvent(&Ctrl());
    }
    EXPECT_EQ(Ctrl().PlayState(), kStateStopped);
    EXPECT_TRUE(Message().contains(QStringLiteral("gone"))) << Message().toStdString();
    EXPECT_FALSE(Button(kCmdStart)->isChecked());
    window->Execute(kCmdStart);  // started again by the user, it plays
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
}

// Cameras plugged in and pulled out while the program runs, with test cameras that open the
// simulated one.
TEST_F(MainWindowTest, FirstNightTakesTheFirstCameraAndTheMenuFollowsPluggedAndPulledOnes) {
    RegisterTestDeviceProvider();
    SetInitialTestDevices(1);
    struct Reset {
        ~Reset() { SetInitialTestDevices(0); }
    } reset;
    Restart();  // its monitor lists the test camera
    MakeWindow();
    app->LoadDeviceSettings();
    // The Sources menu's device items, "name" or "name*" when checked.
    const auto devices = [this] {
        window->RebuildSourcesMenu();
        QStringList items;
        for (QAction* action : window->MenuOf(Menu::kSources)->actions()) {
            if (DeviceIndexOf(action->data().toUInt())) {
                items << action->text() + (action->isChecked() ? "*" : "");
            }
        }
        return items.join(QLatin1Char('|')).toStdString();
    };
    window->Start("");
    EXPECT_EQ(app->Devices().CurrentDevice()->identity, "test:1");
    EXPECT_EQ(std::tuple(Ctrl().PlayState(), Message(), windows.shownCtrl),
              std::tuple(kStateRunning, QStringLiteral("Playing..."), &Ctrl()));
    EXPECT_EQ(devices(), "Test Camera 1*|Telescope Simulator");  // built again: nothing doubles

    ASSERT_TRUE(PlugTestDevice("Plugged Camera", "test:plug"));
    window->OnDevicesChanged();
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);  // the camera in use goes on running

    ASSERT_TRUE(UnplugTestDevice("test:1"));
    window->OnDevicesChanged();
    EXPECT_EQ(devices(), "Plugged Camera|Telescope Simulator");
    EXPECT_EQ(std::tuple(Ctrl().PlayState(), Message(), Action(kCmdStart)->isEnabled()),
              std::tuple(kStateStopped, QStringLiteral("Stopped..."), false));
}

// The program's arguments as main hands them over: each is read as one quoted item, so a plain
// argument is a file whatever it holds (even one holding "/i"), and /i allows a second copy.
TEST(WindowedArguments, PlainArgumentsAreFilesAndIAllowsASecondCopy) {
    const std::tuple<std::vector<const char*>, std::string, bool> cases[] = {
        {{"kelpa"}, "", false},
        {{"kelpa", "/i", "C:\\My Videos\\m42.avi"}, "C:\\My Videos\\m42.avi", true},
        {{"kelpa", "say \"hi\" it's.avi"}, "say \"hi\" it's.avi", false},
        {{"kelpa", "--", "junk/i"}, "junk/i", false},
    };
    for (const auto& [argv, file, secondCopy] : cases) {
        const WindowedArguments arguments = ReadWindowedArguments(int(argv.size()), argv.data());
        EXPECT_EQ(std::pair(arguments.startupFile, arguments.secondCopy),
                  std::pair(file, secondCopy))
            << argv.back();
    }
}

}  // namespace
}  // namespace kelpa::test
