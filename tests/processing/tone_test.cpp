// The tone tables' double buffering with its rebuild guard, and the reset of the tone settings.
// (The curve itself is checked through the rendered pictures in channels_test.cpp.)
#include <gtest/gtest.h>

#include <tuple>

#include "processing/engine_fixture.h"
#include "processing/tone.h"

namespace kelpa::test {
namespace {

// SetGamma clamps to 1 ... 256 and swaps tables; a rebuild in progress drops the call. The reset
// puts gamma, amplification, black level, count and delay back.
TEST(ToneTest, SetGammaClampsSwapsTablesAndResetRestoresDefaults) {
    EngineFixture f;
    ProcEngine& e = *f.engine;
    const uint32_t* before = e.ToneTable();
    e.SetGamma(0);
    EXPECT_EQ(e.params.gamma.load(), 1);
    EXPECT_NE(e.ToneTable(), before);
    e.SetGamma(300);
    EXPECT_EQ(e.params.gamma.load(), 256);
    EXPECT_EQ(e.ToneTable(), before);
    e.toneGuard.store(1);
    e.SetGamma(200);
    EXPECT_EQ(e.params.gamma.load(), 256);
    EXPECT_EQ(e.ToneTable(), before);
    e.toneGuard.store(0);

    e.SetGamma(90);
    e.SetAmp(300);
    e.SetBlackLevel(-30);
    e.SetCountAccum(8);
    e.SetTimeDelay(500);
    e.ResetTone();
    EXPECT_EQ(e.params.gamma.load(), 128);
    EXPECT_EQ(e.ToneTable()[100] & 0xFF, 100u);
    EXPECT_EQ(std::tuple(e.params.amp.load(), e.params.blackLevel.load(),
                         e.params.countAccum.load(), e.params.delayMs.load()),
              std::tuple(128, 0, 1, 0u));
}

}  // namespace
}  // namespace kelpa::test
