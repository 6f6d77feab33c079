// The settings panel: its rows' formats and what a row does to the engine, without widgets;
// then the panel as the main window drives it: rows built from the current controller, sliders
// and reset buttons acting on its engine, the enable rules of the threshold rows, the automatic
// control's changes shown, its place and its shown flag in the profile.
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QToolButton>
#include <string>

#include "app/panel_settings.h"
#include "gui/gui_test_support.h"
#include "gui/panel_dialogs.h"
#include "gui/panel_host.h"
#include "gui/panel_rows.h"
#include "gui/settings_panel.h"
#include "processing/auto_control.h"
#include "processing/proc_engine.h"
#include "processing/proc_settings.h"
#include "support/test_support.h"

namespace kelpa::test {
namespace {

using SettingsPanelTest = CoreTest;

// Without a source the rows show the defaults and moving a slider changes nothing; with one,
// the sliders and reset buttons act on its engine. The value boxes' formats are the rows' own.
TEST_F(SettingsPanelTest, SlidersAndResetButtonsActOnTheCurrentEngine) {
    {
        SettingsPanel panel(App(), {});
        panel.Track(PanelRow::kAmplification)->setValue(200);
        EXPECT_EQ(Text(panel.ValueBox(PanelRow::kAmplification)), "1");
    }
    ProcEngine& engine = CurrentEngine();
    SettingsPanel panel(App(), {});
    QSignalSpy delays(&panel, &SettingsPanel::delayChanged);
    panel.Track(PanelRow::kAmplification)->setValue(192);
    EXPECT_EQ(std::pair(engine.params.amp.load(), Text(panel.ValueBox(PanelRow::kAmplification))),
              std::pair(192, std::string("1.500")));
    engine.SetFrameRate(25.0);
    panel.Track(PanelRow::kDelay)->setValue(2000);
    // 50 frames at 25 per second.
    EXPECT_EQ(std::pair(engine.params.delayMs.load(), Text(panel.ValueBox(PanelRow::kDelay))),
              std::pair(2000u, std::string("50")));
    ASSERT_EQ(delays.count(), 1);
    EXPECT_EQ(delays.takeFirst().at(0).toUInt(), 2000u);

    panel.ResetButton(PanelRow::kAmplification)->click();
    EXPECT_EQ(std::tuple(engine.params.amp.load(), panel.Track(PanelRow::kAmplification)->value(),
                         Text(panel.ValueBox(PanelRow::kAmplification))),
              std::tuple(128, 128, std::string("1")));
}

// The threshold rows follow the banding flags whatever channel and accumulation are chosen.
TEST_F(SettingsPanelTest, ThresholdRowsFollowTheirBandingFlagForEveryChannelAndMethod) {
    ProcEngine& engine = CurrentEngine();
    for (const auto& [channel, variant] :
         {std::pair(-2, TagWord("Accm")), std::pair(0, TagWord("AcRB")),
          std::pair(3, TagWord("Accm"))}) {
        engine.SetVariant(variant);
        engine.SetChannel(channel);
        SettingsPanel panel(App(), {});
        for (const bool h : {false, true}) {
            for (const bool v : {false, true}) {
                SCOPED_TRACE(::testing::Message() << "channel " << channel << " variant " << variant
                                                  << " NRH " << h << " NRV " << v);
                engine.SetNR(h, v);
                panel.RefreshRow(PanelRow::kNrh);
                panel.RefreshRow(PanelRow::kNrv);
                for (const PanelRowDesc& desc : PanelRows()) {
                    const bool on = desc.row == PanelRow::kNrh   ? h
                                    : desc.row == PanelRow::kNrv ? v
                                                                 : true;
                    EXPECT_EQ(std::tuple(panel.Label(desc.row)->isEnabled(),
                                         panel.ResetButton(desc.row)->isEnabled(),
                                         panel.Track(desc.row)->isEnabled(),
                                         panel.ValueBox(desc.row)->isEnabled()),
                              std::tuple(on, on, on, on))
                        << desc.label;
                }
            }
        }
    }
}

// The automatic control raises the gain of a dim picture; the event it posts refreshes the
// amplification row, as the main window forwards it.
TEST_F(SettingsPanelTest, AutomaticGainChangeIsShown) {
    ProcEngine& engine = CurrentEngine();
    StreamEvents& events = App().Current()->Events();
    RecordingReceiver window;
    App().SetEventReceiver(&window);
    SettingsPanel panel(App(), {});
    engine.params.autoFlags.store(kAutoAmplification);
    engine.saturatedCount = 0;
    engine.maxOutput = 100;
    engine.maxLevel = 100;
    ASSERT_TRUE(AutoStage(engine));
    const int32_t amp = engine.params.amp.load();
    ASSERT_GT(amp, 128);
    ASSERT_EQ(window.Events(), std::vector<StreamEvent>{StreamEvent::kAmpChanged});
    EXPECT_EQ(events.AutoValue(StreamEvent::kAmpChanged), amp);
    EXPECT_EQ(panel.Track(PanelRow::kAmplification)->value(), 128);  // not yet told
    for (StreamEvent kind : window.Events()) panel.RefreshForEvent(kind);
    EXPECT_EQ(std::pair(panel.Track(PanelRow::kAmplification)->value(),
                        Text(panel.ValueBox(PanelRow::kAmplification))),
              std::pair(amp, FormatAmplification(amp)));
    // Refreshing moved the handle without acting as a user's move.
    EXPECT_EQ(engine.ampTrend.load(), amp - 128);
}

// The panel shown and hidden by its toggle, its close box and the main window's commands, the
// shown flag passed on and saved; its place restored and saved.
TEST_F(SettingsPanelTest, ShownFlagAndPlaceAreRestoredAndSaved) {
    ProcEngine& engine = CurrentEngine();
    QWidget mainWindow;
    profile.Set("ProcFiltrPPage", "1");
    PanelDialogs dialogs(App(), {}, {}, &mainWindow);
    SettingsPanel& panel = dialogs.Panel();
    QSignalSpy delays(&dialogs, &PanelDialogs::delayChanged);
    QSignalSpy shown(&dialogs, &PanelDialogs::panelShownChanged);  // the menu's check mark
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    dialogs.Restore(QRect(work.left() + 600, work.top() + 100, 300, 80));
    panel.close();  // the close box hides the panel
    EXPECT_FALSE(panel.Shown() || dialogs.PanelVisible() || shown.last().at(0).toBool());
    dialogs.Save();
    EXPECT_EQ(profile.Get("ProcFiltrPPage"), "0");
    engine.SetTimeDelay(2500);
    dialogs.RefreshPanelRow(StreamEvent::kDelayChanged);
    EXPECT_EQ(panel.Track(PanelRow::kDelay)->value(), 2500);
    ASSERT_GE(delays.count(), 1);
    EXPECT_EQ(delays.last().at(0).toUInt(), 2500u);

    // A remembered place past the screen's corner is pulled back onto it; the panel shows when
    // it was shown at the last exit.
    SettingsPanel placed(App(), {});
    placed.Restore(PanelSettings{true, 100000, -50}, QRect());
    const QPoint at = placed.frameGeometry().topLeft();
    EXPECT_TRUE(placed.isVisible() && work.contains(at)) << at.x() << "," << at.y();
    placed.SaveState();
    EXPECT_EQ(LoadPanelSettings(), (PanelSettings{true, at.x(), at.y()}));
}

TEST(PanelFormat, ValueBoxAndTooltip) {
    // row, position, value box (the delay row: before a source tells its rate), track bar tooltip
    const std::tuple<PanelRow, int32_t, const char*, const char*> cases[] = {
        // Whole amplification factors have no decimals, others three; the tooltip in percent.
        {PanelRow::kAmplification, 192, "1.500", "150.0%"},
        {PanelRow::kAmplification, 1, "0.008", "0.8%"},
        // Black level has no tooltip formatter: the track bar's text is shown.
        {PanelRow::kBlackLevel, -765, "-765", "Black Level"},
        // Gamma: 1 ... 128 scale down to 0, above 128 up to 6.
        {PanelRow::kGamma, 256, "6", "6.000"},
        {PanelRow::kGamma, 64, "0.500", "0.500"},
        // Delay: milliseconds x 0.03 frames; the tooltip as seconds and milliseconds.
        {PanelRow::kDelay, 60000, "1800", "59:000"},
        // Thresholds in hundredths: whole factors without decimals.
        {PanelRow::kNrh, -200, "-2", "-2.000"},
        {PanelRow::kNrv, -5, "-0.050", "-0.050"},
    };
    for (const auto& [row, position, value, tooltip] : cases) {
        SCOPED_TRACE(::testing::Message() << RowDesc(row).key << " " << position);
        EXPECT_EQ(std::pair(RowDesc(row).value(position), RowTooltip(row, position)),
                  std::pair(std::string(value), std::string(tooltip)));
    }
}

// A move that changes the value takes over from the automatic trend; one that changes nothing
// leaves it. A count beyond the slider's end shows in the value box, the handle at the end.
TEST_F(SettingsPanelTest, AMoveTakesOverFromTheTrendOnlyWhenItChangesTheValue) {
    ProcEngine& engine = CurrentEngine();
    for (const auto& [changed, trend] : {std::pair(true, 0), std::pair(false, 5)}) {
        engine.ampTrend.store(5);
        EXPECT_EQ(ApplyRowPosition(PanelRow::kAmplification, engine, 200), changed);
        EXPECT_EQ(std::pair(engine.params.amp.load(), engine.ampTrend.load()),
                  std::pair(200, trend));
    }
    engine.SetCountAccum(1000);
    EXPECT_EQ(std::pair(RowPosition(PanelRow::kAccumulator, &engine),
                        RowValueText(PanelRow::kAccumulator, &engine)),
              std::pair(256, std::string("1000")));
}

}  // namespace
}  // namespace kelpa::test
