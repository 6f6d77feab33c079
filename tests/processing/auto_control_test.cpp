// The automatic control: its three controls on given peaks, the messages it posts, the cases
// where it must leave everything alone, and the reset at the start of a run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>

#include "processing/auto_control.h"
#include "processing/engine_fixture.h"
#include "support/test_support.h"

namespace kelpa::test {
namespace {

class AutoControlTest : public ::testing::Test {
  protected:
    AutoControlTest() : f(64, 48) {
        events.SetReceiver(&notify);
        f.engine->SetEvents(&events);
    }
    EngineFixture f;
    StreamEvents events;
    RecordingReceiver notify;
};

// The three notifications, short for the tables below.
constexpr StreamEvent A = StreamEvent::kAmpChanged, C = StreamEvent::kCountAccumChanged,
                      D = StreamEvent::kDelayChanged;

// The stage on given peaks (s saturated pixels, peak level L, peak output O) from a given state:
// amplification, its trend, count and delay before and after, and the notifications posted (each
// carrying the value it announces).
struct Step {
    int32_t s, level, output;
    uint32_t flags;
    std::array<int32_t, 4> before;  // amp, trend, count, delay
    bool changed;
    std::array<int32_t, 4> after;
    std::vector<StreamEvent> messages;
};

TEST_F(AutoControlTest, ControlsFollowThePeaks) {
    constexpr uint32_t kAmp = kAutoAmplification, kCount = kAutoAccumulate, kDelay = kAutoDelay;
    const Step steps[] = {
        // A nearly full peak is left alone.
        {0, 252, 252, kAmp, {128, 0, 1, 0}, false, {128, 0, 1, 0}, {}},
        // O = 200, amp = 128: step = 55 * 128 / 200 = 35.
        {0, 150, 200, kAmp, {128, 0, 1, 0}, true, {163, 35, 1, 0}, {A}},
        // With the trend positive and O below 120 it raises again, never past 256.
        {0, 100, 100, kAmp, {163, 35, 1, 0}, true, {256, 128, 1, 0}, {A}},
        // A dark peak raises by one.
        {0, 0, 0, kAmp, {128, 0, 1, 0}, true, {129, 1, 1, 0}, {A}},
        // L = 100: c = 129 - 96 = 33, then 37 (L < 164 and c < 205).
        {0, 100, 100, kCount, {128, 0, 1, 0}, false, {128, 0, 37, 0}, {C, C}},
        // max(4, 129 - 200) then +1; the count changes without clearing the amplification trend.
        {0, 200, 250, kCount, {128, 5, 37, 0}, false, {128, 5, 5, 0}, {C, C}},
        // The delay follows the peak level, with a message only when it changes.
        {0, 255, 252, kDelay, {128, 0, 1, 500}, false, {128, 0, 1, 0}, {D}},
        {0, 100, 252, kDelay, {128, 0, 1, 0}, false, {128, 0, 1, 500}, {D}},
        {0, 247, 252, kDelay, {128, 0, 1, 0}, false, {128, 0, 1, 134}, {D}},
        {0, 247, 252, kDelay, {128, 0, 1, 134}, false, {128, 0, 1, 134}, {}},
        // Between 50 and 200 saturated pixels nothing changes.
        {120, 255, 250, kAutoAll, {128, 0, 1, 300}, false, {128, 0, 1, 300}, {}},
        // Many lower everything: c = 258 - 248 = 10, then (s > 2307, 8 < c <= 40) 9.
        {3000, 255, 250, kAutoAll, {128, 0, 120, 0}, true, {127, -1, 9, 0}, {A, C, C}},
        // A trend of exactly 1 keeps the amplification; an amplification below 2 stops all.
        {500, 255, 250, kAmp, {127, 1, 9, 0}, false, {127, 1, 9, 0}, {}},
        {500, 255, 250, kAutoAll, {1, 0, 9, 0}, false, {1, 0, 9, 0}, {}},
    };
    ProcEngine& e = *f.engine;
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& t = steps[i];
        e.SetCountAccum(t.before[2]);
        e.SetTimeDelay(static_cast<uint32_t>(t.before[3]));
        e.params.amp.store(t.before[0]);
        e.ampTrend.store(t.before[1]);
        e.params.autoFlags.store(t.flags);
        std::tie(e.saturatedCount, e.maxLevel, e.maxOutput) = std::tuple(t.s, t.level, t.output);
        notify.Clear();
        EXPECT_EQ(AutoStage(e), t.changed) << "step " << i;
        const std::array<int32_t, 4> after{e.params.amp.load(), e.ampTrend.load(),
                                           e.params.countAccum.load(),
                                           static_cast<int32_t>(e.params.delayMs.load())};
        EXPECT_EQ(after, t.after) << "step " << i;
        EXPECT_EQ(notify.Events(), t.messages) << "step " << i;
        if (!t.messages.empty()) {
            const StreamEvent last = t.messages.back();
            const int32_t value = last == A ? after[0] : last == C ? after[2] : after[3];
            EXPECT_EQ(events.AutoValue(last), value) << "step " << i;
        }
    }
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
    EXPECT_EQ(std::tuple(e.params.amp.load(), e.params.countAccum.load(), e.params.delayMs.load(),
                         e.accCount.load(), e.refresh.load()),
              std::tuple(128, 1, 0u, 0, 1));
    EXPECT_THAT(notify.Events(), ::testing::UnorderedElementsAre(A, C, D));
    EXPECT_EQ(std::tuple(events.AutoValue(A), events.AutoValue(C), events.AutoValue(D)),
              std::tuple(128, 1, 0));
    // Without the flags only the run state is reset.
    e.SetAmp(200);
    notify.Clear();
    e.params.autoFlags.store(0);
    e.AutoReset();
    EXPECT_EQ(std::pair(e.params.amp.load(), notify.Events().size()), std::pair(200, size_t{0}));
}

}  // namespace
}  // namespace kelpa::test
