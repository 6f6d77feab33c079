// The automatic control: its three controls on given peaks, the messages it posts, the cases
// where it must leave everything alone, and the reset at the start of a run.
#include <gtest/gtest.h>

#include "processing/auto_control.h"
#include "processing/engine_fixture.h"

namespace kelpa::test {
namespace {

class AutoControlTest : public ::testing::Test {
  protected:
    AutoControlTest() : f(64, 48) { f.engine->notifyWindow.store(&notify); }

    // Runs the stage on given peaks: s saturated pixels, peak level L, peak output O.
    bool Run(int32_t s, int32_t level, int32_t output, uint32_t flags) {
        ProcEngine& e = *f.engine;
        e.params.autoFlags.store(flags);
        e.saturatedCount = s;
        e.maxLevel = level;
        e.maxOutput = output;
        return AutoStage(e);
    }

    EngineFixture f;
    RecordingTarget notify;
};

TEST_F(AutoControlTest, RaisesTheAmplificationByThePeakOutput) {
    // A nearly full peak is left alone.
    EXPECT_FALSE(Run(0, 252, 252, kAutoAmplification));
    EXPECT_TRUE(notify.Messages().empty());
    // O = 200, amp = 128: step = 55 * 128 / 200 = 35.
    EXPECT_TRUE(Run(0, 150, 200, kAutoAmplification));
    EXPECT_EQ(f.engine->params.amp.load(), 163);
    EXPECT_EQ(f.engine->ampTrend.load(), 35);
    EXPECT_EQ(notify.Messages(), std::vector<uint32_t>{WM_AUTO_AMP_CHANGED});
    // With the trend positive and O below 120 it raises again, never past 256.
    EXPECT_TRUE(Run(0, 100, 100, kAutoAmplification));
    EXPECT_EQ(f.engine->params.amp.load(), 256);
    // A dark peak raises by one; an amplification of 0 or below still goes up.
    f.engine->SetAmp(128);
    f.engine->ampTrend.store(0);
    EXPECT_TRUE(Run(0, 0, 0, kAutoAmplification));
    EXPECT_EQ(f.engine->params.amp.load(), 129);
    f.engine->SetAmp(-20);
    EXPECT_TRUE(Run(0, 10, 40, kAutoAmplification));
    EXPECT_EQ(f.engine->params.amp.load(), -19);
}

TEST_F(AutoControlTest, SomeSaturationChangesNothing) {
    f.engine->SetTimeDelay(300);
    notify.Clear();
    EXPECT_FALSE(Run(120, 255, 250, kAutoAll));
    EXPECT_EQ(f.engine->params.amp.load(), 128);
    EXPECT_EQ(f.engine->params.countAccum.load(), 1);
    EXPECT_EQ(f.engine->params.delayMs.load(), 300u);
    EXPECT_TRUE(notify.Messages().empty());
}

TEST_F(AutoControlTest, AccumulatesMoreForFaintPeaks) {
    // L = 100: c = 129 - 96 = 33, then 37 (L < 164 and c < 205).
    EXPECT_FALSE(Run(0, 100, 100, kAutoAccumulate));
    EXPECT_EQ(f.engine->params.countAccum.load(), 37);
    EXPECT_EQ(notify.Count(WM_AUTO_ACCUM_CHANGED), 2);
    // The count changes without clearing the amplification trend.
    f.engine->ampTrend.store(5);
    Run(0, 200, 250, kAutoAccumulate);
    EXPECT_EQ(f.engine->params.countAccum.load(), 5);  // max(4, 129 - 200) then +1
    EXPECT_EQ(f.engine->ampTrend.load(), 5);
}

TEST_F(AutoControlTest, DelayFollowsThePeakLevel) {
    f.engine->SetTimeDelay(500);
    notify.Clear();
    Run(0, 255, 252, kAutoDelay);
    EXPECT_EQ(f.engine->params.delayMs.load(), 0u);
    EXPECT_EQ(notify.Messages(), std::vector<uint32_t>{WM_AUTO_DELAY_CHANGED});
    for (auto [level, ms] : {std::pair{100, 500u}, {170, 300u}, {200, 200u}, {247, 134u}}) {
        Run(0, level, 252, kAutoDelay);
        EXPECT_EQ(f.engine->params.delayMs.load(), ms) << level;
    }
    notify.Clear();
    Run(0, 247, 252, kAutoDelay);  // unchanged: no message
    EXPECT_TRUE(notify.Messages().empty());
}

TEST_F(AutoControlTest, ManySaturatedPixelsLowerEverything) {
    f.engine->SetCountAccum(120);
    notify.Clear();
    EXPECT_TRUE(Run(3000, 255, 250, kAutoAll));
    EXPECT_EQ(f.engine->params.amp.load(), 127);
    EXPECT_EQ(f.engine->ampTrend.load(), -1);
    // c = 258 - 248 = 10, then (s > 2307, 8 < c <= 40) 9.
    EXPECT_EQ(f.engine->params.countAccum.load(), 9);
    EXPECT_EQ(notify.Count(WM_AUTO_AMP_CHANGED), 1);
    EXPECT_EQ(notify.Count(WM_AUTO_ACCUM_CHANGED), 2);
    // A trend of exactly 1 keeps the amplification; an amplification below 2 stops all.
    f.engine->ampTrend.store(1);
    EXPECT_FALSE(Run(500, 255, 250, kAutoAmplification));
    f.engine->SetAmp(1);
    notify.Clear();
    EXPECT_FALSE(Run(500, 255, 250, kAutoAll));
    EXPECT_TRUE(notify.Messages().empty());
}

TEST_F(AutoControlTest, ResetPutsTheControlledSettingsBack) {
    ProcEngine& e = *f.engine;
    e.SetAmp(200);
    e.SetCountAccum(40);
    e.SetTimeDelay(500);
    e.accCount.store(7);
    notify.Clear();
    e.params.autoFlags.store(kAutoAll);
    e.AutoReset();
    EXPECT_EQ(e.params.amp.load(), 128);
    EXPECT_EQ(e.params.countAccum.load(), 1);
    EXPECT_EQ(e.params.delayMs.load(), 0u);
    EXPECT_EQ(e.accCount.load(), 0);
    EXPECT_EQ(e.refresh.load(), 1);
    EXPECT_EQ(notify.Count(WM_AUTO_AMP_CHANGED), 1);
    EXPECT_EQ(notify.Count(WM_AUTO_ACCUM_CHANGED), 1);
    EXPECT_EQ(notify.Count(WM_AUTO_DELAY_CHANGED), 1);
    // Without the flags only the run state is reset.
    e.SetAmp(200);
    notify.Clear();
    e.params.autoFlags.store(0);
    e.AutoReset();
    EXPECT_EQ(e.params.amp.load(), 200);
    EXPECT_TRUE(notify.Messages().empty());
}

// In the chain: a raise re-renders the area at once with the new amplification.
TEST_F(AutoControlTest, ARaiseRefreshesTheArea) {
    ProcEngine& e = *f.engine;
    e.SetAreaFractions(0.5f, 0.5f, 1.0f, 1.0f);
    e.params.autoFlags.store(kAutoAmplification);
    f.input.Fill(100, 100, 100);
    ASSERT_TRUE(f.Process());
    // O = 100: step = 155 * 128 / 100 = 198, cut to 256: every level becomes 100 * 2 = 200.
    EXPECT_EQ(e.params.amp.load(), 256);
    EXPECT_EQ(f.Out(10, 10)[0], 200);
}

}  // namespace
}  // namespace kelpa::test
