// Every command of the table, run on the main window over the simulated camera: it reaches its
// action (the current controller's engine, the windows, the panel and dialogs, the desktop), and
// its menu item's check mark and its toolbar button follow the state it changed.
#include <QMenu>
#include <QTest>
#include <functional>
#include <set>

#include "gui/command_state.h"
#include "gui/display_windows.h"
#include "gui/event_bridge.h"
#include "main_window_fixture.h"

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
const Read kChannel = [](T& t) {
    std::lock_guard lock(t.Engine().chainLock);
    return t.Engine().params.channels;
};
const Read kVariant = [](T& t) {
    std::lock_guard lock(t.Engine().chainLock);
    return static_cast<int>(t.Engine().params.variantId);
};
const Read kAreaCalls = [](T& t) { return int(t.windows.areaCommands.size()); };
const Read kResizes = [](T& t) { return int(t.windows.resizes.size()); };
const Read kOpened = [](T& t) { return int(t.desktop.opened.size() + t.desktop.warnings.size()); };
const Step kStart = [](T& t) { t.window->Execute(kCmdStart); };
const Step kRepaintedTwice = [](T& t) { EXPECT_EQ(t.windows.repaints, 2); };
const auto Opened = [](const char* url) -> Step {
    return [url](T& t) { EXPECT_EQ(t.desktop.opened.back(), QUrl(QString::fromLatin1(url))); };
};

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
     [](T& t) { return int(t.Ctrl().sink.dark.TakeState() == DarkTakeState::kTaking); }, 0, nullptr,
     [](T& t) { EXPECT_TRUE(t.Message().startsWith("Taking dark frame: 32 frames of ")); }},
    // Switched on without a stored dark: Use stays on, and the warning says why nothing is
    // subtracted.
    {"UseDark", kCmdUseDark, kToggle, [](T& t) { return int(t.app->DarkUse()); }, 0, nullptr,
     [](T& t) {
         ASSERT_EQ(t.desktop.warnings.size(), 1);
         EXPECT_TRUE(t.desktop.warnings[0].startsWith("No dark frame stored for"));
         EXPECT_EQ(t.Message(), "Dark frame: off");
     }},
    {"GuideLog", kCmdGuideLog, kToggle, [](T& t) { return int(t.app->GuideLog()); }, 0, nullptr,
     [](T& t) { EXPECT_EQ(t.Message(), "Guide log: off"); }},
    {"Default", kCmdDefault, kSelect, [](T& t) { return t.Engine().params.gamma.load(); }, 128,
     [](T& t) {
         t.Engine().SetGamma(200), t.Engine().SetCountAccum(9), t.Engine().SetTimeDelay(700);
         t.dialogs.refreshes = 0;
     },
     [](T& t) {
         EXPECT_EQ(t.Engine().params.countAccum.load(), 1);
         EXPECT_EQ(t.Engine().params.delayMs.load(), 0u);
         EXPECT_GT(t.dialogs.refreshes, 0);
     }},
    {"GuideStart", kCmdGuideStart, kToggle, Flag(&ProcParams::guideEnable)},
    // The virtual guide follows the guide star: it starts guiding, which goes on without it.
    {"VirtualGuide", kCmdVirtualGuide, kToggle,
     [](T& t) {
         return int(t.windows.flags[ViewFlag::kVirtualGuide] && t.Engine().guideVirtual.load());
     },
     0, nullptr,
     [](T& t) {
         EXPECT_EQ(t.Engine().params.guideEnable.load(), 1);
         EXPECT_TRUE(t.Action(kCmdGuideStart)->isChecked());
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
    {"SendMail", kCmdSendMail, kCall, kOpened, 0, nullptr,
     [](T& t) {
         const QUrl mail = t.desktop.opened.back();
         EXPECT_EQ(mail.scheme() + ":" + mail.path() + "?" + mail.query(),
                   QStringLiteral("mailto:") + kMailAddress + QStringLiteral("?subject=kelpa"));
     }},
    {"WebSite", kCmdWebSite, kCall, kOpened, 0, nullptr, Opened(kWebSiteUrl)},
    {"WebOrb", kCmdWebOrb, kCall, kOpened, 0, nullptr, Opened(kWebOrbUrl)},
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

// Exactly one channel item is checked; the accumulation items follow the method; the play
// state shows in the status bar and the buttons.
TEST_F(MainWindowTest, ExclusiveItemsAndThePlayStateFollowTheLastChoice) {
    OpenSimulator();
    const uint32_t channels[] = {kCmdAsIs, kCmdGrey, kCmdSum, kCmdRed, kCmdGreen, kCmdBlue};
    for (uint32_t chosen : channels) {
        window->Execute(chosen);
        for (uint32_t other : channels) EXPECT_EQ(Action(other)->isChecked(), other == chosen);
    }
    window->Execute(kCmdSubtracterAdder);
    EXPECT_FALSE(Action(kCmdAverage)->isChecked());
    const std::tuple<uint32_t, const char*, bool, bool> plays[] = {
        {kCmdStart, "Playing...", true, false},
        {kCmdPause, "Paused...", false, true},
        {kCmdStop, "Stopped...", false, false}};
    for (const auto& [command, message, started, paused] : plays) {
        window->Execute(command);
        EXPECT_EQ(Message(), QString::fromLatin1(message));
        EXPECT_EQ(std::pair(Button(kCmdStart)->isChecked(), Button(kCmdPause)->isChecked()),
                  std::pair(started, paused))
            << message;
    }
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

TEST_F(StreamEndTest, ADarkTakeShowsItsProgressAndItsEndAndIsUsed) {
    Ctrl().sink.dark.ApplySettings({false, 3});
    window->Execute(kCmdTakeDark);
    window->ShowDarkTakeProgress();
    EXPECT_EQ(Message(), QStringLiteral("Taking dark frame: 0 of 3 (start the video)"));
    window->Execute(kCmdStart);
    RunUntil([this] { return Message().startsWith("Dark frame of 3 frames"); });
    EXPECT_TRUE(Message().contains(QString::fromStdString(Ctrl().sink.dark.StoredPath())));
    EXPECT_TRUE(Message().endsWith("; Use dark subtracts it")) << Message().toStdString();
    EXPECT_TRUE(desktop.warnings.isEmpty());
    window->Execute(kCmdUseDark);
    EXPECT_TRUE(Action(kCmdUseDark)->isChecked() && Ctrl().sink.dark.Applied());
    EXPECT_EQ(Message(), QStringLiteral("Dark frame: in use (3 frames)"));
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

}  // namespace
}  // namespace kelpa::test
