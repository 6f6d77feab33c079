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
#include "gui/status_bar.h"
#include "main_window_fixture.h"

namespace kelpa::test {
namespace {

enum class Kind {
    kToggle,  // each run flips a state; the check mark and the button follow it
    kSelect,  // the run sets a value; the item is checked when it can be
    kCall,    // the run reaches a window, dialog or the desktop once
};

using Read = std::function<int(MainWindowTest&)>;

struct CommandCase {
    const char* name;
    uint32_t command;
    Kind kind;
    Read read;
    int selected = 0;                                        // kSelect: the value expected
    std::function<void(MainWindowTest&)> prepare = nullptr;  // before the run
};

int Flag(bool on) {
    return on ? 1 : 0;
}

Read ParamsFlag(std::atomic<int32_t> ProcParams::*field) {
    return [field](MainWindowTest& t) { return Flag((t.Engine().params.*field).load() != 0); };
}

Read AutoBit(uint32_t bit) {
    return
        [bit](MainWindowTest& t) { return Flag((t.Engine().params.autoFlags.load() & bit) != 0); };
}

Read Shown(ShownWindow window) {
    return [window](MainWindowTest& t) { return Flag(t.windows.visible[window]); };
}

Read ViewOn(ViewFlag flag) {
    return [flag](MainWindowTest& t) { return Flag(t.windows.flags[flag]); };
}

Read Channel() {
    return [](MainWindowTest& t) {
        std::lock_guard lock(t.Engine().chainLock);
        return t.Engine().params.channels;
    };
}

Read Variant() {
    return [](MainWindowTest& t) {
        std::lock_guard lock(t.Engine().chainLock);
        return static_cast<int>(t.Engine().params.variantId);
    };
}

Read PlayState(int32_t state) {
    return [state](MainWindowTest& t) { return Flag(t.Ctrl().PlayState() == state); };
}

Read AreaCalls() {
    return [](MainWindowTest& t) { return static_cast<int>(t.windows.areaCommands.size()); };
}

Read Resizes() {
    return [](MainWindowTest& t) { return static_cast<int>(t.windows.resizes.size()); };
}

Read Opened() {
    return [](MainWindowTest& t) {
        return static_cast<int>(t.desktop.opened.size() + t.desktop.warnings.size());
    };
}

void Run(MainWindowTest& t) {
    t.window->Execute(kCmdStart);
}

const CommandCase kCases[] = {
    {"Start", kCmdStart, Kind::kToggle, PlayState(kStateRunning)},
    {"Pause", kCmdPause, Kind::kToggle, PlayState(kStatePaused), 0, Run},
    {"Stop", kCmdStop, Kind::kSelect, PlayState(kStateStopped), 1, Run},
    {"Capture", kCmdCapture, Kind::kToggle,
     [](MainWindowTest& t) { return Flag(t.Ctrl().sink.capture.capturing.load()); }},
    {"CaptureSetup", kCmdCaptureSetup, Kind::kCall,
     [](MainWindowTest& t) { return t.dialogs.captureSetups; }},
    {"Exit", kCmdExit, Kind::kCall, [](MainWindowTest& t) { return t.windows.closes; }},
    {"BlackAndWhite", kCmdBlackAndWhite, Kind::kSelect, Channel(), -1,
     [](MainWindowTest& t) {
         t.Engine().SetChannel(3);
         t.Engine().SetOutsideAsIs(true);
     }},
    {"OutsideAsIs", kCmdOutsideAsIs, Kind::kToggle, ParamsFlag(&ProcParams::outsideAsIs)},
    {"AsIs", kCmdAsIs, Kind::kSelect, Channel(), 0},
    {"Grey", kCmdGrey, Kind::kSelect, Channel(), -2,
     [](MainWindowTest& t) { t.Engine().SetChannel(0); }},
    {"Sum", kCmdSum, Kind::kSelect, Channel(), -1},
    {"Red", kCmdRed, Kind::kSelect, Channel(), 3},
    {"Green", kCmdGreen, Kind::kSelect, Channel(), 2},
    {"Blue", kCmdBlue, Kind::kSelect, Channel(), 1},
    {"Average", kCmdAverage, Kind::kSelect, Variant(), static_cast<int>(kVariantAverage),
     [](MainWindowTest& t) { t.Engine().SetVariant(kVariantSubtracterAdder); }},
    {"SubtracterAdder", kCmdSubtracterAdder, Kind::kSelect, Variant(),
     static_cast<int>(kVariantSubtracterAdder)},
    {"AreaSetup", kCmdAreaSetup, Kind::kCall, AreaCalls()},
    {"AreaMove", kCmdAreaMove, Kind::kCall, AreaCalls()},
    {"AreaResize", kCmdAreaResize, Kind::kCall, AreaCalls()},
    {"AreaDraw", kCmdAreaDraw, Kind::kCall, AreaCalls()},
    {"AreaExitChange", kCmdAreaExitChange, Kind::kCall, AreaCalls(), 0,
     [](MainWindowTest& t) { t.windows.areaMode = kCmdAreaDraw; }},
    {"AutoAmplification", kCmdAutoAmplification, Kind::kToggle, AutoBit(kAutoAmplification)},
    {"AutoAccumulate", kCmdAutoAccumulate, Kind::kToggle, AutoBit(kAutoAccumulate)},
    {"AutoDelay", kCmdAutoDelay, Kind::kToggle, AutoBit(kAutoDelay)},
    {"NrHorizontal", kCmdNrHorizontal, Kind::kToggle, ParamsFlag(&ProcParams::nrH)},
    {"NrVertical", kCmdNrVertical, Kind::kToggle, ParamsFlag(&ProcParams::nrV)},
    {"FlipVertical", kCmdFlipVertical, Kind::kToggle, ParamsFlag(&ProcParams::flipV)},
    {"Settings", kCmdSettings, Kind::kToggle,
     [](MainWindowTest& t) { return Flag(t.dialogs.panelVisible); }},
    {"TakeDark", kCmdTakeDark, Kind::kCall,
     [](MainWindowTest& t) {
         return Flag(t.Ctrl().sink.dark.TakeState() == DarkTakeState::kTaking);
     }},
    {"UseDark", kCmdUseDark, Kind::kToggle,
     [](MainWindowTest& t) { return Flag(t.app->DarkUse()); }},
    {"GuideLog", kCmdGuideLog, Kind::kToggle,
     [](MainWindowTest& t) { return Flag(t.app->GuideLog()); }},
    {"Default", kCmdDefault, Kind::kSelect,
     [](MainWindowTest& t) { return t.Engine().params.gamma.load(); }, 128,
     [](MainWindowTest& t) { t.Engine().SetGamma(200); }},
    {"GuideStart", kCmdGuideStart, Kind::kToggle, ParamsFlag(&ProcParams::guideEnable)},
    {"VirtualGuide", kCmdVirtualGuide, Kind::kToggle, ViewOn(ViewFlag::kVirtualGuide)},
    {"AutoMove", kCmdAutoMove, Kind::kToggle, ParamsFlag(&ProcParams::guideAutoMoveSetting)},
    {"GuideSetup", kCmdGuideSetup, Kind::kCall,
     [](MainWindowTest& t) { return t.dialogs.guideSetups; }},
    {"LivePreview", kCmdLivePreview, Kind::kToggle, Shown(ShownWindow::kLive)},
    {"ProcPreview", kCmdProcPreview, Kind::kToggle, Shown(ShownWindow::kProcessing)},
    {"InfoStatistic", kCmdInfoStatistic, Kind::kToggle, Shown(ShownWindow::kStatistic)},
    {"ViewGrid", kCmdViewGrid, Kind::kToggle, ViewOn(ViewFlag::kGrid)},
    {"ViewArea", kCmdViewArea, Kind::kToggle, ViewOn(ViewFlag::kArea)},
    {"HalfSize", kCmdHalfSize, Kind::kCall, Resizes()},
    {"DefaultSize", kCmdDefaultSize, Kind::kCall, Resizes()},
    {"InputSize", kCmdInputSize, Kind::kToggle,
     [](MainWindowTest& t) { return Flag(t.Ctrl().sink.fitWindowsToFrame); }},
    {"Contents", kCmdContents, Kind::kCall, Opened()},
    {"IfSlow", kCmdIfSlow, Kind::kCall, [](MainWindowTest& t) { return t.dialogs.ifSlows; }},
    {"About", kCmdAbout, Kind::kCall, [](MainWindowTest& t) { return t.desktop.abouts; }},
    {"SendMail", kCmdSendMail, Kind::kCall, Opened()},
    {"WebSite", kCmdWebSite, Kind::kCall, Opened()},
    {"WebOrb", kCmdWebOrb, Kind::kCall, Opened()},
};

// Test names show the command.
void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandTableTest : public MainWindowTest, public ::testing::WithParamInterface<CommandCase> {
  protected:
    // The item's check mark and its toolbar button show `on`.
    void ExpectChecked(uint32_t command, bool on) {
        QAction* action = Action(command);
        ASSERT_NE(action, nullptr);
        ASSERT_TRUE(action->isCheckable());
        EXPECT_EQ(action->isChecked(), on);
        if (QToolButton* button = Button(command)) {
            EXPECT_EQ(button->isChecked(), on);
        }
    }
};

TEST_P(CommandTableTest, ReachesItsActionAndShowsTheState) {
    const CommandCase& c = GetParam();
    OpenSimulator();
    if (c.prepare) c.prepare(*this);
    window->RefreshState();
    QAction* action = Action(c.command);
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(action->isEnabled());

    const int before = c.read(*this);
    switch (c.kind) {
        case Kind::kToggle:
            action->trigger();
            EXPECT_EQ(c.read(*this), 1 - before);
            if (IsCheckable(c.command)) {
                ExpectChecked(c.command, c.read(*this) != 0);
            }
            action->trigger();
            EXPECT_EQ(c.read(*this), before);
            if (IsCheckable(c.command)) {
                ExpectChecked(c.command, before != 0);
            }
            break;
        case Kind::kSelect:
            action->trigger();
            EXPECT_EQ(c.read(*this), c.selected);
            if (IsCheckable(c.command)) {
                ExpectChecked(c.command, true);
            }
            break;
        case Kind::kCall:
            action->trigger();
            EXPECT_EQ(c.read(*this), before + 1);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, CommandTableTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CommandCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(CommandTable, EveryCommandOfTheMenusAndTheToolbarHasACase) {
    std::set<uint32_t> covered;
    for (const CommandCase& c : kCases) covered.insert(c.command);
    for (const MenuItem& item : MenuItems()) {
        EXPECT_TRUE(covered.count(item.command)) << item.text;
    }
    for (const ToolbarButton& button : ToolbarButtons()) {
        if (button.command != 0) {
            EXPECT_TRUE(covered.count(button.command)) << button.tooltip;
        }
    }
}

// Exactly one channel item is checked; the accumulation items follow the method.
TEST_F(MainWindowTest, ChannelAndMethodItemsAreExclusive) {
    OpenSimulator();
    const uint32_t channels[] = {kCmdAsIs, kCmdGrey, kCmdSum, kCmdRed, kCmdGreen, kCmdBlue};
    for (uint32_t chosen : channels) {
        window->Execute(chosen);
        for (uint32_t other : channels) {
            EXPECT_EQ(Action(other)->isChecked(), other == chosen) << chosen << " " << other;
        }
    }
    window->Execute(kCmdSubtracterAdder);
    EXPECT_FALSE(Action(kCmdAverage)->isChecked());
    EXPECT_TRUE(Action(kCmdSubtracterAdder)->isChecked());
}

TEST_F(MainWindowTest, WithoutAVideoTheVideoCommandsAreGreyedUncheckedAndDoNothing) {
    MakeWindow();
    window->SourceChanged();
    for (const MenuItem& item : MenuItems()) {
        const CommandState state = StateOf(item.command, {});
        EXPECT_EQ(Action(item.command)->isEnabled(), state.enabled) << item.text;
    }
    for (uint32_t command :
         {kCmdAsIs, kCmdGrey, kCmdSum, kCmdRed, kCmdGreen, kCmdBlue, kCmdBlackAndWhite,
          kCmdOutsideAsIs, kCmdAverage, kCmdStart, kCmdPause, kCmdStop, kCmdCapture,
          kCmdNrHorizontal, kCmdGuideStart, kCmdViewGrid, kCmdAreaMove}) {
        EXPECT_FALSE(Action(command)->isEnabled()) << command;
        EXPECT_FALSE(Action(command)->isChecked()) << command;
        window->Execute(command);
    }
    EXPECT_TRUE(windows.areaCommands.empty());
    EXPECT_EQ(window->Status()->Message(), QStringLiteral("Stopped..."));
    // The windows' own items stay usable.
    EXPECT_TRUE(Action(kCmdLivePreview)->isEnabled());
    EXPECT_TRUE(Action(kCmdSettings)->isEnabled());
}

TEST_F(MainWindowTest, PlayStateShowsInTheStatusBarAndTheButtons) {
    OpenSimulator();
    window->Execute(kCmdStart);
    EXPECT_EQ(window->Status()->Message(), QStringLiteral("Playing..."));
    EXPECT_TRUE(Button(kCmdStart)->isChecked());
    window->Execute(kCmdPause);
    EXPECT_EQ(window->Status()->Message(), QStringLiteral("Paused..."));
    EXPECT_TRUE(Button(kCmdPause)->isChecked());
    EXPECT_FALSE(Button(kCmdStart)->isChecked());
    window->Execute(kCmdStop);
    EXPECT_EQ(window->Status()->Message(), QStringLiteral("Stopped..."));
    EXPECT_FALSE(Button(kCmdPause)->isChecked());
}

TEST_F(MainWindowTest, FlipTurnsBothPicturesOverAndRepaints) {
    OpenSimulator();
    const int32_t proc = Engine().surf.HeaderHeight();
    const int32_t live = Ctrl().sink.live.HeaderHeight();
    ASSERT_NE(proc, 0);
    const int repaints = windows.repaints;
    window->Execute(kCmdFlipVertical);
    EXPECT_EQ(Engine().surf.HeaderHeight(), -proc);
    EXPECT_EQ(Ctrl().sink.live.HeaderHeight(), -live);
    EXPECT_GT(windows.repaints, repaints);
}

TEST_F(MainWindowTest, VirtualGuideStartsGuiding) {
    OpenSimulator();
    ASSERT_EQ(Engine().params.guideEnable.load(), 0);
    window->Execute(kCmdVirtualGuide);
    EXPECT_EQ(Engine().params.guideEnable.load(), 1);
    EXPECT_TRUE(Engine().guideVirtual.load());
    EXPECT_TRUE(Action(kCmdGuideStart)->isChecked());
}

TEST_F(MainWindowTest, ViewCommandsRepaintAndAlwaysInputSizeResizesAtOnce) {
    OpenSimulator();
    const int repaints = windows.repaints;
    window->Execute(kCmdViewGrid);
    EXPECT_GT(windows.repaints, repaints);
    window->Execute(kCmdInputSize);
    ASSERT_EQ(windows.resizes.size(), 1u);
    EXPECT_EQ(windows.resizes[0], SizeCommand::kInputSize);
    window->Execute(kCmdInputSize);  // off: no resize
    EXPECT_EQ(windows.resizes.size(), 1u);
    window->Execute(kCmdHalfSize);
    EXPECT_EQ(windows.resizes.back(), SizeCommand::kHalfSize);
}

TEST_F(MainWindowTest, HelpAddressesAreTheMakersOnes) {
    MakeWindow();
    window->Execute(kCmdSendMail);
    window->Execute(kCmdWebSite);
    window->Execute(kCmdWebOrb);
    ASSERT_EQ(desktop.opened.size(), 3);
    EXPECT_EQ(desktop.opened[0].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(desktop.opened[0].path(), QString::fromLatin1(kMailAddress));
    EXPECT_EQ(desktop.opened[0].query(), QStringLiteral("subject=kelpa"));
    EXPECT_EQ(desktop.opened[1], QUrl(QString::fromLatin1(kWebSiteUrl)));
    EXPECT_EQ(desktop.opened[2], QUrl(QString::fromLatin1(kWebOrbUrl)));
}

TEST_F(MainWindowTest, DefaultResetsTheToneAndRefreshesThePanel) {
    OpenSimulator();
    Engine().SetGamma(40);
    Engine().SetCountAccum(9);
    Engine().SetTimeDelay(700);
    const int refreshes = dialogs.refreshes;
    window->Execute(kCmdDefault);
    EXPECT_EQ(Engine().params.gamma.load(), 128);
    EXPECT_EQ(Engine().params.countAccum.load(), 1);
    EXPECT_EQ(Engine().params.delayMs.load(), 0u);
    EXPECT_GT(dialogs.refreshes, refreshes);
}

// The window over the simulated camera with the program's event bridge, so the stream's ends
// reach it as they do in the program.
class StreamEndTest : public MainWindowTest {
  protected:
    void SetUp() override {
        OpenSimulator();
        bridge.Watch(*app);
        ConnectMainWindow(bridge, *window);
    }
    // No frame may reach the bridge after it is gone.
    void TearDown() override { app->DeviceCtrl().Stop(); }
    QString Message() const { return window->Status()->Message(); }
    // Lets frames flow until `done` or 5 s.
    template <typename Done>
    void RunUntil(Done done) {
        for (int i = 0; i < 250 && !done(); ++i) QTest::qWait(20);
    }

    EventBridge bridge;
};

TEST_F(StreamEndTest, ADarkTakeShowsItsProgressAndItsEndAndIsUsed) {
    Ctrl().sink.dark.ApplySettings({false, 3});
    window->Execute(kCmdTakeDark);
    window->ShowDarkTakeProgress();
    EXPECT_EQ(Message(), QStringLiteral("Taking dark frame: 0 of 3 (start the video)"));
    window->Execute(kCmdStart);
    RunUntil([this] { return Message().startsWith(QStringLiteral("Dark frame of 3 frames")); });
    EXPECT_TRUE(Message().contains(QString::fromStdString(Ctrl().sink.dark.StoredPath())));
    EXPECT_TRUE(Message().endsWith(QStringLiteral("; Use dark subtracts it")))
        << Message().toStdString();
    EXPECT_TRUE(desktop.warnings.isEmpty());
    window->Execute(kCmdUseDark);
    EXPECT_TRUE(Action(kCmdUseDark)->isChecked());
    EXPECT_TRUE(Ctrl().sink.dark.Applied());
    EXPECT_EQ(Message(), QStringLiteral("Dark frame: in use (3 frames)"));
}

TEST_F(StreamEndTest, AnUnreadableDarkIsRefusedInTheWarningBox) {
    std::filesystem::create_directories(captures / "darks");
    kelpa::testing::WriteFile(Ctrl().sink.dark.StoredPath(), "not a dark");
    window->Execute(kCmdUseDark);
    ASSERT_EQ(desktop.warnings.size(), 1);
    EXPECT_TRUE(desktop.warnings[0].startsWith(QStringLiteral("Dark frame refused.")))
        << desktop.warnings[0].toStdString();
    EXPECT_FALSE(Ctrl().sink.dark.Applied());
    // Use stays on: a dark taken later is used.
    EXPECT_TRUE(Action(kCmdUseDark)->isChecked());
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
    EXPECT_TRUE(desktop.warnings[0].startsWith(QStringLiteral("Guide log stopped: cannot create")))
        << desktop.warnings[0].toStdString();
    EXPECT_FALSE(Action(kCmdGuideLog)->isChecked());
    EXPECT_FALSE(app->GuideLog());
}

}  // namespace
}  // namespace kelpa::test
