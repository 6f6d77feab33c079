// The tone tables: the gamma curve, its fixed ends, the double buffering with its rebuild
// guard, and the reset of the tone settings.
#include <gtest/gtest.h>

#include <cmath>

#include "processing/engine_fixture.h"
#include "processing/tone.h"

namespace kelpa::test {
namespace {

TEST(ToneTest, TablesFollowTheCurveAndKeepTheirEnds) {
    EXPECT_EQ(GammaFactor(128), 1.0);
    EXPECT_DOUBLE_EQ(GammaFactor(256), 6.0);
    EXPECT_DOUBLE_EQ(GammaFactor(64), 0.5);
    EXPECT_DOUBLE_EQ(GammaFactor(192), 3.5);
    EngineFixture f;
    for (int32_t v : {1, 64, 128, 200, 256}) {
        f.engine->SetGamma(v);
        const uint32_t* t = f.engine->ToneTable();
        EXPECT_EQ(t[0] & 0xFF, 0u);
        EXPECT_EQ(t[255] & 0xFF, 255u);
        const double e = 1.0 / GammaFactor(v);
        for (int i = 1; i < 255; ++i) {
            const double want =
                v == 128 ? i : std::min(255.0, std::trunc(std::pow(i / 255.0, e) * 255 + 0.5));
            ASSERT_EQ(t[i] & 0xFF, static_cast<uint32_t>(want)) << "gamma " << v << " entry " << i;
        }
    }
}

TEST(ToneTest, SetGammaClampsSwapsTablesAndWaitsForARebuild) {
    EngineFixture f;
    const uint32_t* before = f.engine->ToneTable();
    f.engine->SetGamma(0);
    EXPECT_EQ(f.engine->params.gamma.load(), 1);
    EXPECT_NE(f.engine->ToneTable(), before);
    f.engine->SetGamma(300);
    EXPECT_EQ(f.engine->params.gamma.load(), 256);
    EXPECT_EQ(f.engine->ToneTable(), before);
    // A rebuild in progress drops the call.
    f.engine->toneGuard.store(1);
    f.engine->SetGamma(200);
    EXPECT_EQ(f.engine->params.gamma.load(), 256);
    EXPECT_EQ(f.engine->ToneTable(), before);
}

TEST(ToneTest, ResetToneRestoresDefaults) {
    EngineFixture f;
    f.engine->SetGamma(90);
    f.engine->SetAmp(300);
    f.engine->SetBlackLevel(-30);
    f.engine->SetCountAccum(8);
    f.engine->SetTimeDelay(500);
    f.engine->ResetTone();
    EXPECT_EQ(f.engine->params.gamma.load(), 128);
    EXPECT_EQ(f.engine->ToneTable()[100] & 0xFF, 100u);
    EXPECT_EQ(f.engine->params.amp.load(), 128);
    EXPECT_EQ(f.engine->params.blackLevel.load(), 0);
    EXPECT_EQ(f.engine->params.countAccum.load(), 1);
    EXPECT_EQ(f.engine->params.delayMs.load(), 0u);
}

}  // namespace
}  // namespace kelpa::test
