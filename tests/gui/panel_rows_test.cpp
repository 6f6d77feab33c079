// The settings panel's rows without widgets: how positions are shown in the value boxes and
// tooltips, the ranges and identifiers of the rows, and what a row does to the engine.
#include "gui/panel_rows.h"

#include <gtest/gtest.h>

#include <string>

#include "processing/proc_engine.h"
#include "processing/proc_settings.h"
#include "support/test_support.h"

namespace kelpa {
namespace {

struct FormatCase {
    PanelRow row;
    int32_t position;
    const char* value;    // value box (the delay row: before a source tells its rate)
    const char* tooltip;  // track bar tooltip
};

class PanelFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PanelFormatTest, ValueBoxAndTooltip) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(RowDesc(c.row).value(c.position), c.value);
    EXPECT_EQ(RowTooltip(c.row, c.position), c.tooltip);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PanelFormatTest,
    ::testing::Values(
        // Whole amplification factors have no decimals, others three; the tooltip in percent.
        FormatCase{PanelRow::kAmplification, 192, "1.500", "150.0%"},
        FormatCase{PanelRow::kAmplification, 256, "2", "200%"},
        FormatCase{PanelRow::kAmplification, 128, "1", "100%"},
        FormatCase{PanelRow::kAmplification, 1, "0.008", "0.8%"},
        FormatCase{PanelRow::kAmplification, 255, "1.992", "199.2%"},
        // Black level has no tooltip formatter: the track bar's text is shown.
        FormatCase{PanelRow::kBlackLevel, -765, "-765", "Black Level"},
        FormatCase{PanelRow::kBlackLevel, 765, "765", "Black Level"},
        // Gamma: 1 ... 128 scale down to 0, above 128 up to 6.
        FormatCase{PanelRow::kGamma, 128, "1", "1.000"},
        FormatCase{PanelRow::kGamma, 256, "6", "6.000"},
        FormatCase{PanelRow::kGamma, 64, "0.500", "0.500"},
        FormatCase{PanelRow::kGamma, 160, "2.250", "2.250"},
        FormatCase{PanelRow::kGamma, 1, "0.008", "0.008"},
        FormatCase{PanelRow::kAccumulator, 17, "17", "Accumulator [frame number]"},
        // Delay: milliseconds x 0.03 frames; the tooltip as seconds and milliseconds.
        FormatCase{PanelRow::kDelay, 1000, "30", "01:000"},
        FormatCase{PanelRow::kDelay, 0, "0", "00:000"},
        FormatCase{PanelRow::kDelay, 6000, "180", "06:000"},
        FormatCase{PanelRow::kDelay, 33, "0", "00:033"},
        FormatCase{PanelRow::kDelay, 60000, "1800", "59:000"},
        // Thresholds in hundredths: whole factors without decimals.
        FormatCase{PanelRow::kNrh, -200, "-2", "-2.000"},
        FormatCase{PanelRow::kNrh, 150, "1.500", "1.500"},
        FormatCase{PanelRow::kNrh, 200, "2", "2.000"},
        FormatCase{PanelRow::kNrv, 800, "8", "8.000"},
        FormatCase{PanelRow::kNrv, 1, "0.010", "0.010"},
        FormatCase{PanelRow::kNrv, -5, "-0.050", "-0.050"}),
    [](const ::testing::TestParamInfo<FormatCase>& tested) {
        const int32_t p = tested.param.position;
        std::string name = RowDesc(tested.param.row).key;
        return name + (p < 0 ? "_minus" : "_") + std::to_string(p < 0 ? -p : p);
    });

// The toolbar's delay box shares the delay text.
TEST(PanelFormat, DelayTextOfTheToolbar) {
    EXPECT_EQ(FormatDelayText(1000), "01:000");
    EXPECT_EQ(FormatDelayText(59999), "59:999");
    EXPECT_EQ(FormatDelayText(60000), "59:000");
    EXPECT_EQ(FormatDelayText(4294967295u), "59:000");
}

struct RowLayout {
    PanelRow row;
    const char* label;
    const char* key;
    int32_t defaultPosition, minimum, maximum;
    uint32_t button;
    int32_t gap;
};

// The rows in order with their ranges, identifiers and gaps; the ranges agree with the
// processing settings table, so the panel cannot set what a saved profile would refuse.
TEST(PanelRowsTest, RowsInOrderWithRangesAndIdentifiers) {
    const RowLayout expected[] = {
        {PanelRow::kAmplification, "Amplification:", "Amplification", 128, 1, 256, 1021, 0},
        {PanelRow::kBlackLevel, "Black Level:", "BlackLevel", 0, -765, 765, 1024, 0},
        {PanelRow::kGamma, "Gamma:", "Gamma", 128, 1, 256, 1027, 0},
        {PanelRow::kAccumulator, "Accumulator:", "Accumulator", 1, 1, 256, 1030, 10},
        {PanelRow::kDelay, "Delay:", "Delay", 0, 0, 6000, 1033, 0},
        {PanelRow::kNrh, "NRH:", "NRH", 200, -200, 800, 1036, 10},
        {PanelRow::kNrv, "NRV:", "NRV", 200, -200, 800, 1039, 0},
    };
    ASSERT_EQ(PanelRows().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const PanelRowDesc& d = PanelRows()[i];
        const RowLayout& e = expected[i];
        SCOPED_TRACE(e.label);
        EXPECT_EQ(d.row, e.row);
        EXPECT_STREQ(d.label, e.label);
        EXPECT_STREQ(d.key, e.key);
        EXPECT_EQ(d.defaultPosition, e.defaultPosition);
        EXPECT_EQ(d.minimum, e.minimum);
        EXPECT_EQ(d.maximum, e.maximum);
        EXPECT_EQ(d.buttonId, e.button);
        EXPECT_EQ(d.trackId, e.button + 1);
        EXPECT_EQ(d.valueId, e.button + 2);
        EXPECT_EQ(d.gapBefore, e.gap);
        EXPECT_EQ(RowOfButton(e.button), e.row);
        EXPECT_EQ(RowOfButton(e.button + 1), std::nullopt);
    }
    // Without an engine the rows show the declared defaults.
    const ProcSettings defaults = DefaultProcSettings();
    EXPECT_EQ(RowValue(PanelRow::kAmplification, nullptr), defaults.amp);
    EXPECT_EQ(ThresholdFactor(RowValue(PanelRow::kNrh, nullptr)), defaults.rmsH);
    EXPECT_EQ(RowValueText(PanelRow::kNrv, nullptr), "2");
}

class PanelEngineTest : public ::testing::Test {
  protected:
    test::MemoryProfile profile;
    ProcEngine engine;
};

// A move is held to the row's range, applied once, and leaves the other rows alone.
TEST_F(PanelEngineTest, MovesAreHeldToTheRangeAndAppliedOnce) {
    engine.ampTrend.store(5);
    EXPECT_TRUE(ApplyRowPosition(PanelRow::kAmplification, engine, 500));
    EXPECT_EQ(engine.params.amp.load(), 256);
    EXPECT_EQ(engine.ampTrend.load(), 0);  // the user took over from the trend
    engine.ampTrend.store(5);
    EXPECT_FALSE(ApplyRowPosition(PanelRow::kAmplification, engine, 256));
    EXPECT_EQ(engine.ampTrend.load(), 5);  // nothing changed, nothing reset

    EXPECT_TRUE(ApplyRowPosition(PanelRow::kBlackLevel, engine, -1000));
    EXPECT_EQ(engine.params.blackLevel.load(), -765);
    EXPECT_TRUE(ApplyRowPosition(PanelRow::kGamma, engine, 256));
    EXPECT_EQ(engine.params.gamma.load(), 256);
    EXPECT_TRUE(ApplyRowPosition(PanelRow::kAccumulator, engine, 300));
    EXPECT_EQ(engine.params.countAccum.load(), 256);
    EXPECT_TRUE(ApplyRowPosition(PanelRow::kDelay, engine, 7000));
    EXPECT_EQ(engine.params.delayMs.load(), 6000u);
    EXPECT_TRUE(ApplyRowPosition(PanelRow::kNrh, engine, 150));
    EXPECT_EQ(engine.params.rmsH.load(), 1.5f);
    EXPECT_FALSE(ApplyRowPosition(PanelRow::kNrh, engine, 150));
    EXPECT_TRUE(ApplyRowPosition(PanelRow::kNrv, engine, -300));
    EXPECT_EQ(engine.params.rmsV.load(), -2.0f);
    EXPECT_EQ(engine.params.rmsH.load(), 1.5f);
    EXPECT_EQ(engine.params.amp.load(), 256);
}

// The delay's value box shows the frames the engine waits, which depend on the frame rate.
TEST_F(PanelEngineTest, DelayValueIsTheEnginesFrameCount) {
    engine.SetFrameRate(25.0);
    ApplyRowPosition(PanelRow::kDelay, engine, 1000);
    EXPECT_EQ(RowValueText(PanelRow::kDelay, &engine), "25");
    engine.SetFrameRate(10.0);
    EXPECT_EQ(RowValueText(PanelRow::kDelay, &engine), "10");
    EXPECT_EQ(RowValueText(PanelRow::kDelay, nullptr), "0");
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
    EXPECT_EQ(engine.params.rmsH.load(), 2.0f);
    EXPECT_EQ(engine.params.amp.load(), 128);
}

// A count beyond the slider's end (a profile of a larger count) shows in the value box while
// the handle stands at the end.
TEST_F(PanelEngineTest, CountBeyondTheSliderShowsItsValue) {
    engine.SetCountAccum(1000);
    EXPECT_EQ(RowPosition(PanelRow::kAccumulator, &engine), 256);
    EXPECT_EQ(RowValueText(PanelRow::kAccumulator, &engine), "1000");
}

}  // namespace
}  // namespace kelpa
