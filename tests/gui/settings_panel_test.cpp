// The settings panel as the main window drives it: rows built from the current controller,
// sliders and reset buttons acting on its engine, the enable rules of the threshold rows, the
// automatic control's changes shown, replacement labels from "kelpa.cfg", its place and its
// shown flag in the profile.
#include "gui/settings_panel.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QToolButton>
#include <span>
#include <tuple>

#include "app/panel_settings.h"
#include "common/cfg_parser.h"
#include "common/value_token.h"
#include "gui/panel_dialogs.h"
#include "gui/panel_test_support.h"
#include "processing/auto_control.h"
#include "support/temp_files.h"
#include "support/test_support.h"

namespace kelpa::test {
namespace {

using kelpa::testing::TempDir;
using kelpa::testing::WriteFile;

class SettingsPanelTest : public CoreTest {
  protected:
    // The file controller made current without a file: its engine is the panel's.
    ProcEngine& CurrentEngine() {
        App().MakeCurrent(SourceKind::kFile);
        return App().Current()->sink.engine;
    }
    static std::string Text(QLineEdit* edit) { return edit->text().toStdString(); }
};

TEST_F(SettingsPanelTest, WithoutSourceShowsTheDefaults) {
    SettingsPanel panel(App(), {});
    EXPECT_EQ(panel.windowTitle().toStdString(), "Filters Setting");
    EXPECT_EQ(panel.size(), QSize(400, 197));
    const char* values[] = {"1", "0", "1", "1", "0", "2", "2"};
    for (const PanelRowDesc& desc : PanelRows()) {
        SCOPED_TRACE(desc.label);
        EXPECT_EQ(Text(panel.ValueBox(desc.row)), values[static_cast<size_t>(desc.row)]);
        EXPECT_EQ(panel.Track(desc.row)->value(), desc.defaultPosition);
        EXPECT_EQ(panel.Track(desc.row)->minimum(), desc.minimum);
        EXPECT_EQ(panel.Track(desc.row)->maximum(), desc.maximum);
        EXPECT_EQ(panel.Label(desc.row)->text().toStdString(), desc.label);
    }
    // Banding reduction is off by default: its rows are disabled.
    EXPECT_FALSE(panel.Track(PanelRow::kNrh)->isEnabled());
    EXPECT_FALSE(panel.ResetButton(PanelRow::kNrv)->isEnabled());
    EXPECT_TRUE(panel.Track(PanelRow::kGamma)->isEnabled());
    // Moving a slider without a source changes nothing.
    panel.Track(PanelRow::kAmplification)->setValue(200);
    EXPECT_EQ(Text(panel.ValueBox(PanelRow::kAmplification)), "1");
}

// The layout: rows 20 pixels apart with the two gaps, 258-pixel track bars and 60 x 17 value
// boxes behind labels as wide as the widest.
TEST_F(SettingsPanelTest, RowsAreLaidOutByTheRowDescription) {
    SettingsPanel panel(App(), {});
    int y = 6;
    int labelWidth = 0;
    for (const PanelRowDesc& desc : PanelRows()) {
        labelWidth = std::max(labelWidth, panel.Label(desc.row)->width());
    }
    for (const PanelRowDesc& desc : PanelRows()) {
        SCOPED_TRACE(desc.label);
        y += desc.gapBefore;
        const QRect label = panel.Label(desc.row)->geometry();
        const QRect button = panel.ResetButton(desc.row)->geometry();
        const QRect track = panel.Track(desc.row)->geometry();
        const QRect value = panel.ValueBox(desc.row)->geometry();
        EXPECT_EQ(label, QRect(6, y, labelWidth, 17));
        EXPECT_EQ(button, QRect(6 + labelWidth + 6, y, 17, 17));
        const int trackX = button.x() + 18;
        // Narrowed when the value box would not end 6 pixels inside the panel.
        const int expectedWidth = trackX + 258 + 68 > 400 ? 400 - (trackX + 68) : 258;
        EXPECT_EQ(track, QRect(trackX, y, expectedWidth, 18));
        EXPECT_EQ(value, QRect(track.right() + 1 + 2, y, 60, 17));
        EXPECT_LE(value.right() + 1, 400 - 6);
        y += 20;
    }
    SaveScreenshot(panel, "settings_panel");
}

TEST_F(SettingsPanelTest, SlidersAndResetButtonsActOnTheCurrentEngine) {
    ProcEngine& engine = CurrentEngine();
    SettingsPanel panel(App(), {});
    QSignalSpy delays(&panel, &SettingsPanel::delayChanged);

    panel.Track(PanelRow::kAmplification)->setValue(192);
    EXPECT_EQ(engine.params.amp.load(), 192);
    EXPECT_EQ(Text(panel.ValueBox(PanelRow::kAmplification)), "1.500");
    EXPECT_EQ(panel.Track(PanelRow::kAmplification)->toolTip().toStdString(), "150.0%");

    panel.Track(PanelRow::kGamma)->setValue(256);
    EXPECT_EQ(engine.params.gamma.load(), 256);
    EXPECT_EQ(Text(panel.ValueBox(PanelRow::kGamma)), "6");

    engine.SetFrameRate(25.0);
    panel.Track(PanelRow::kDelay)->setValue(1000);
    EXPECT_EQ(engine.params.delayMs.load(), 1000u);
    EXPECT_EQ(Text(panel.ValueBox(PanelRow::kDelay)), "25");  // frames at 25 per second
    EXPECT_EQ(panel.Track(PanelRow::kDelay)->toolTip().toStdString(), "01:000");
    ASSERT_EQ(delays.count(), 1);
    EXPECT_EQ(delays.takeFirst().at(0).toUInt(), 1000u);

    panel.ResetButton(PanelRow::kAmplification)->click();
    EXPECT_EQ(engine.params.amp.load(), 128);
    EXPECT_EQ(panel.Track(PanelRow::kAmplification)->value(), 128);
    EXPECT_EQ(Text(panel.ValueBox(PanelRow::kAmplification)), "1");

    // The main window routes the button commands 1021 ... 1039 here too.
    EXPECT_TRUE(panel.HandleCommand(1033));
    EXPECT_EQ(engine.params.delayMs.load(), 0u);
    ASSERT_EQ(delays.count(), 1);
    EXPECT_EQ(delays.takeFirst().at(0).toUInt(), 0u);
    EXPECT_FALSE(panel.HandleCommand(1034));
    EXPECT_FALSE(panel.HandleCommand(40016));
}

// At creation the delay row shows the frames the engine waits (1000 ms at 29.97 frames per
// second: 30) and its tooltip the time.
TEST_F(SettingsPanelTest, DelayAtCreation) {
    CurrentEngine().SetTimeDelay(1000);
    SettingsPanel panel(App(), {});
    EXPECT_EQ(Text(panel.ValueBox(PanelRow::kDelay)), "30");
    EXPECT_EQ(panel.Track(PanelRow::kDelay)->value(), 1000);
    EXPECT_EQ(panel.Track(PanelRow::kDelay)->toolTip().toStdString(), "01:000");
}

// The threshold rows follow the banding flags whatever channel and accumulation are chosen.
class PanelEnableTest : public SettingsPanelTest,
                        public ::testing::WithParamInterface<std::tuple<int32_t, uint32_t>> {};

TEST_P(PanelEnableTest, ThresholdRowsFollowTheirBandingFlag) {
    const auto [channel, variant] = GetParam();
    ProcEngine& engine = CurrentEngine();
    engine.SetVariant(variant);
    engine.SetChannel(channel);
    SettingsPanel panel(App(), {});
    for (const bool h : {false, true}) {
        for (const bool v : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "NRH " << h << " NRV " << v);
            engine.SetNR(h, v);
            panel.RefreshRow(PanelRow::kNrh);
            panel.RefreshRow(PanelRow::kNrv);
            for (const PanelRowDesc& desc : PanelRows()) {
                const bool expected = desc.row == PanelRow::kNrh   ? h
                                      : desc.row == PanelRow::kNrv ? v
                                                                   : true;
                EXPECT_EQ(panel.Label(desc.row)->isEnabled(), expected) << desc.label;
                EXPECT_EQ(panel.ResetButton(desc.row)->isEnabled(), expected) << desc.label;
                EXPECT_EQ(panel.Track(desc.row)->isEnabled(), expected) << desc.label;
                EXPECT_EQ(panel.ValueBox(desc.row)->isEnabled(), expected) << desc.label;
            }
        }
    }
    EXPECT_EQ(engine.params.channels, channel);
    EXPECT_EQ(engine.params.variantId, variant);
}

std::string ChannelAndVariant(
    const ::testing::TestParamInfo<std::tuple<int32_t, uint32_t>>& tested) {
    const auto [index, tag] = tested.param;
    std::string name;
    for (int shift = 0; shift < 32; shift += 8) name += static_cast<char>(tag >> shift);
    return name + "_Channel" + (index < 0 ? "Minus" : "") +
           std::to_string(index < 0 ? -index : index);
}

INSTANTIATE_TEST_SUITE_P(ChannelsAndAccumulation, PanelEnableTest,
                         ::testing::Combine(::testing::Values(-2, -1, 0, 1, 2, 3),
                                            ::testing::Values(TagWord("Accm"), TagWord("AcRB"))),
                         ChannelAndVariant);

// The automatic control raises the gain of a dim picture; the event it posts refreshes the
// amplification row, as the main window forwards it.
TEST_F(SettingsPanelTest, AutomaticGainChangeIsShown) {
    ProcEngine& engine = CurrentEngine();
    StreamEvents& events = App().Current()->Events();
    RecordingReceiver window;
    App().SetEventReceiver(&window);
    ASSERT_EQ(engine.Events(), &events);
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
    EXPECT_EQ(panel.Track(PanelRow::kAmplification)->value(), amp);
    EXPECT_EQ(Text(panel.ValueBox(PanelRow::kAmplification)), FormatAmplification(amp));
    // Refreshing moved the handle without acting as a user's move.
    EXPECT_EQ(engine.ampTrend.load(), amp - 128);
}

// ---- "kelpa.cfg" ------------------------------------------------------------------------

// Collects the texts of one section as the main window's configuration reader hands them on.
class TextTarget final : public CfgTarget {
  public:
    int32_t Assign(const char* name, const char* value) override {
        const char* cursor = value;
        std::string text;
        const int32_t result = ReadValueTokens(cursor, text);
        if (result > 0) texts[name] = text;
        return result > 0 ? 1 : -2;
    }
    std::map<std::string, std::string> texts;
};

class TextRoot final : public CfgRoot {
  public:
    CfgTarget* ToolBarTarget() override { return &toolbar; }
    CfgTarget* ControlsTarget() override { return &controls; }
    std::span<CfgMenuTarget* const> MenuTargets() override { return {}; }
    TextTarget toolbar;
    TextTarget controls;
};

TEST_F(SettingsPanelTest, KelpaCfgReplacesLabelsAndTitle) {
    TempDir dir;
    WriteFile(dir / "kelpa.cfg",
              "[TOOLBAR]\n"
              "Settings = \"Sliders\"\n"
              "[CTRL]\n"
              "Amplification = \"Gain (x):\"  ; the camera people's word\n"
              "nrv = \"Column noise threshold:\"\n");
    TextRoot root;
    ASSERT_TRUE(LoadConfig(&root, dir.Path().c_str(), "kelpa.cfg"));
    PanelTexts texts;
    texts.title = root.toolbar.texts["Settings"];
    texts.labels = root.controls.texts;

    SettingsPanel plain(App(), {});
    SettingsPanel panel(App(), texts);
    EXPECT_EQ(panel.windowTitle().toStdString(), "Sliders");
    EXPECT_EQ(panel.Label(PanelRow::kAmplification)->text().toStdString(), "Gain (x):");
    EXPECT_EQ(panel.Label(PanelRow::kNrv)->text().toStdString(), "Column noise threshold:");
    EXPECT_EQ(panel.Label(PanelRow::kNrh)->text().toStdString(), "NRH:");
    // The labels widen for the longest text; the track bars narrow to keep the row inside.
    EXPECT_GT(panel.Label(PanelRow::kGamma)->width(), plain.Label(PanelRow::kGamma)->width());
    EXPECT_LT(panel.Track(PanelRow::kGamma)->width(), 258);
    EXPECT_EQ(panel.ValueBox(PanelRow::kGamma)->geometry().right() + 1, 400 - 6);
    SaveScreenshot(panel, "settings_panel_cfg");
}

// ---- Shown flag and place ------------------------------------------------------------------

TEST_F(SettingsPanelTest, ToggleAndCloseBoxKeepTheShownFlag) {
    SettingsPanel panel(App(), {});
    QSignalSpy shown(&panel, &SettingsPanel::shownChanged);
    EXPECT_TRUE(panel.ShowToggle());
    EXPECT_TRUE(panel.isVisible());
    EXPECT_FALSE(panel.ShowToggle());
    EXPECT_FALSE(panel.isVisible());
    EXPECT_TRUE(panel.ShowToggle());
    panel.close();  // the close box hides the panel
    EXPECT_FALSE(panel.isVisible());
    EXPECT_FALSE(panel.Shown());
    ASSERT_EQ(shown.count(), 4);
    EXPECT_FALSE(shown.at(3).at(0).toBool());
    panel.SaveState();
    EXPECT_EQ(profile.Get("ProcFiltrPPage"), "0");
}

TEST_F(SettingsPanelTest, PlaceIsRestoredOnTheScreenAndSaved) {
    SettingsPanel panel(App(), {});
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize outer = panel.frameGeometry().size();

    // A first run: beside the main window, left of it.
    panel.Restore(PanelSettings{}, QRect(work.left() + 600, work.top() + 100, 300, 80));
    EXPECT_EQ(panel.frameGeometry().topLeft(), work.topLeft() + QPoint(198, 100));
    EXPECT_FALSE(panel.isVisible());

    // A remembered place past the screen's corner is pulled back; the panel shows when it was
    // shown at the last exit.
    panel.Restore(PanelSettings{true, 100000, -50}, QRect());
    EXPECT_TRUE(panel.isVisible());
    const QPoint at = panel.frameGeometry().topLeft();
    EXPECT_EQ(at, QPoint(work.left() + work.width() - outer.width(), work.top() + 1));

    panel.SaveState();
    EXPECT_EQ(profile.Get("ProcFiltrPPage"), "1");
    EXPECT_EQ(profile.Get("SLX"), std::to_string(at.x()));
    EXPECT_EQ(profile.Get("SLY"), std::to_string(at.y()));
    EXPECT_EQ(LoadPanelSettings(), (PanelSettings{true, at.x(), at.y()}));
}

// The main window's side: the panel shown and hidden by command, its delay and shown flag
// passed on, its rows refreshed by event, its state saved.
TEST_F(SettingsPanelTest, MainWindowDrivesThePanelThroughPanelDialogs) {
    ProcEngine& engine = CurrentEngine();
    QWidget mainWindow;
    PanelDialogs dialogs(App(), {}, {}, &mainWindow);
    QSignalSpy delays(&dialogs, &PanelDialogs::delayChanged);
    QSignalSpy shown(&dialogs, &PanelDialogs::panelShownChanged);

    profile.Set("ProcFiltrPPage", "1");
    dialogs.Restore(QRect(700, 100, 300, 80));
    EXPECT_TRUE(dialogs.PanelVisible());
    dialogs.SetPanelVisible(true);
    EXPECT_TRUE(dialogs.Panel().isVisible());
    dialogs.SetPanelVisible(false);
    EXPECT_FALSE(dialogs.Panel().isVisible());
    EXPECT_EQ(shown.count(), 2);

    engine.SetTimeDelay(2500);
    dialogs.RefreshPanelRow(StreamEvent::kDelayChanged);
    EXPECT_EQ(dialogs.Panel().Track(PanelRow::kDelay)->value(), 2500);
    ASSERT_GE(delays.count(), 1);
    EXPECT_EQ(delays.last().at(0).toUInt(), 2500u);
    EXPECT_EQ(FormatDelayText(delays.last().at(0).toUInt()), "02:500");

    dialogs.Save();
    EXPECT_EQ(profile.Get("ProcFiltrPPage"), "0");
    EXPECT_FALSE(profile.Get("SLX").empty());
}

}  // namespace
}  // namespace kelpa::test
