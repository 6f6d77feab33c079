// The settings panel's rows without widgets: how positions are shown in the value boxes and
// tooltips, and what a row does to the engine.
#include "gui/panel_rows.h"

#include <gtest/gtest.h>

#include <string>

#include "processing/proc_engine.h"
#include "processing/proc_settings.h"
#include "support/test_support.h"

namespace kelpa {
namespace {

TEST(PanelFormat, ValueBoxAndTooltip) {
    const struct {
        PanelRow row;
        int32_t position;
        const char* value;    // value box (the delay row: before a source tells its rate)
        const char* tooltip;  // track bar tooltip
    } cases[] = {
        // Whole amplification factors have no decimals, others three; the tooltip in percent.
        {PanelRow::kAmplification, 192, "1.500", "150.0%"},
        {PanelRow::kAmplification, 256, "2", "200%"},
        {PanelRow::kAmplification, 1, "0.008", "0.8%"},
        // Black level has no tooltip formatter: the track bar's text is shown.
        {PanelRow::kBlackLevel, -765, "-765", "Black Level"},
        // Gamma: 1 ... 128 scale down to 0, above 128 up to 6.
        {PanelRow::kGamma, 256, "6", "6.000"},
        {PanelRow::kGamma, 64, "0.500", "0.500"},
        {PanelRow::kGamma, 160, "2.250", "2.250"},
        {PanelRow::kAccumulator, 17, "17", "Accumulator [frame number]"},
        // Delay: milliseconds x 0.03 frames; the tooltip as seconds and milliseconds.
        {PanelRow::kDelay, 1000, "30", "01:000"},
        {PanelRow::kDelay, 33, "0", "00:033"},
        {PanelRow::kDelay, 60000, "1800", "59:000"},
        // Thresholds in hundredths: whole factors without decimals.
        {PanelRow::kNrh, -200, "-2", "-2.000"},
        {PanelRow::kNrh, 150, "1.500", "1.500"},
        {PanelRow::kNrv, -5, "-0.050", "-0.050"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << RowDesc(c.row).key << " " << c.position);
        EXPECT_EQ(RowDesc(c.row).value(c.position), c.value);
        EXPECT_EQ(RowTooltip(c.row, c.position), c.tooltip);
    }
}

class PanelEngineTest : public ::testing::Test {
  protected:
    test::MemoryProfile profile;
    ProcEngine engine;
};

// A move is held to the row's range, applied once, and leaves the other rows alone; the
// panel's ranges are the ones the processing settings accept.
TEST_F(PanelEngineTest, MovesAreHeldToTheRangeAndAppliedOnce) {
    engine.ampTrend.store(5);
    EXPECT_TRUE(ApplyRowPosition(PanelRow::kAmplification, engine, 500));
    EXPECT_EQ(engine.params.amp.load(), 256);
    EXPECT_EQ(engine.ampTrend.load(), 0);  // the user took over from the trend
    engine.ampTrend.store(5);
    EXPECT_FALSE(ApplyRowPosition(PanelRow::kAmplification, engine, 256));
    EXPECT_EQ(engine.ampTrend.load(), 5);  // nothing changed, nothing reset
    EXPECT_TRUE(ApplyRowPosition(PanelRow::kBlackLevel, engine, -1000));
    EXPECT_TRUE(ApplyRowPosition(PanelRow::kAccumulator, engine, 300));
    EXPECT_TRUE(ApplyRowPosition(PanelRow::kDelay, engine, 7000));
    EXPECT_TRUE(ApplyRowPosition(PanelRow::kNrh, engine, 150));
    EXPECT_FALSE(ApplyRowPosition(PanelRow::kNrh, engine, 150));
    EXPECT_TRUE(ApplyRowPosition(PanelRow::kNrv, engine, -300));
    const ProcSettings s = engine.Settings();
    EXPECT_EQ(std::tuple(s.amp, s.blackLevel, s.gamma, s.countAccum, s.delayMs, s.rmsH, s.rmsV),
              std::tuple(256, -765, 128, 256, 6000u, 1.5f, -2.0f));
    // A count beyond the slider's end shows in the value box while the handle stands at the end;
    // the delay's box shows the frames the engine waits at its rate.
    engine.SetCountAccum(1000);
    EXPECT_EQ(RowPosition(PanelRow::kAccumulator, &engine), 256);
    EXPECT_EQ(RowValueText(PanelRow::kAccumulator, &engine), "1000");
    engine.SetFrameRate(10.0);
    EXPECT_EQ(RowValueText(PanelRow::kDelay, &engine), "60");
}

// Reset buttons store the default only when it is not there already.
TEST_F(PanelEngineTest, ResetStoresTheDefault) {
    for (const PanelRowDesc& desc : PanelRows()) {
        SCOPED_TRACE(desc.label);
        EXPECT_FALSE(ResetRow(desc.row, engine));
        ASSERT_TRUE(ApplyRowPosition(desc.row, engine, desc.maximum));
        EXPECT_EQ(RowValue(desc.row, &engine), desc.maximum);
        EXPECT_TRUE(ResetRow(desc.row, engine));
        EXPECT_EQ(RowValue(desc.row, &engine), desc.defaultPosition);
    }
}

}  // namespace
}  // namespace kelpa
