// The engine's setters: the processing area (fractions to pixels, mirroring of rows shown bottom
// first, the pixel setters, the statistics window, the rules that keep tiny frames alone), the
// delay, and the tone settings with the tables' double buffering.
// (The tone curve itself is checked through the rendered pictures in channels_test.cpp.)
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "processing/engine_fixture.h"
#include "processing/tone.h"

namespace kelpa::test {
namespace {

// Fractions become pixels clamped to the frame, and rows shown bottom first are mirrored;
// MoveArea counts rows as stored and stops at the frame's edge; a frame too small for an area
// keeps none. (The pixel setters in the rows as shown: the area editor's and dialog's tests.)
TEST(AreaTest, FractionsMovesAndTinyFrames) {
    EngineFixture f(640, 480);
    f.engine->SetAreaFractions(0.9f, 0.5f, 0.5f, 0.5f);
    const ProcArea& a = f.engine->area;
    // x1 = 736 before clamping.
    EXPECT_EQ(std::tuple(a.x0, a.x1, a.w, a.y0, a.h), std::tuple(416, 640, 224, 120, 240));
    EXPECT_FALSE(f.engine->areaIsWholeFrame);
    for (bool topDown : {true, false}) {
        EngineFixture g(100, 100, topDown);
        const ProcArea& b = g.engine->area;
        g.engine->SetAreaFractions(0.5f, 0.25f, 0.2f, 0.1f);
        EXPECT_EQ(std::pair(b.y0, b.y1), topDown ? std::pair(20, 30) : std::pair(70, 80));
        ASSERT_TRUE(g.engine->SetAreaRect(7, 3, 28, 20));
        g.engine->MoveArea(60, 50);
        EXPECT_EQ(std::tuple(b.x0, b.y0, b.w), std::tuple(60, 50, 21));
        g.engine->MoveArea(1000, 1000);
        EXPECT_EQ(std::pair(b.x1, b.y1), std::pair(100, 100));
    }
    EngineFixture tiny(3, 3);
    EXPECT_FALSE(tiny.engine->SetAreaRect(0, 0, 2, 2));
    EXPECT_FALSE(tiny.engine->MoveArea(1, 1));
}

// Any change resets the sum and asks for a refresh; no change leaves both alone. An empty
// area takes the accumulation out of the chain until it has pixels again.
TEST(AreaTest, ChangesResetTheSumAndAnEmptyAreaAccumulatesNothing) {
    EngineFixture f(64, 48);
    f.engine->SetAreaRect(0, 0, 10, 10);
    f.engine->accCount.store(3);
    f.engine->refresh.store(0);
    EXPECT_FALSE(f.engine->SetAreaRect(0, 0, 10, 10));
    EXPECT_EQ(std::pair(f.engine->accCount.load(), f.engine->refresh.load()), std::pair(3, 0));
    EXPECT_TRUE(f.engine->SetAreaRect(1, 0, 10, 10));
    EXPECT_EQ(std::pair(f.engine->accCount.load(), f.engine->refresh.load()), std::pair(0, 1));
    f.engine->SetAreaSize(0, 10);
    EXPECT_EQ(std::pair(f.engine->area.w, f.engine->accumulateStage),
              std::pair(0, AccumulateStage{}));
    f.engine->SetAreaSize(10, 10);
    EXPECT_NE(f.engine->accumulateStage, nullptr);
}

// The statistics window keeps 2 pixels off a border the area starts at, and never reaches
// outside the image, for every area position.
TEST(AreaTest, StatisticsWindowStaysInsideTheImage) {
    EngineFixture f(40, 30);
    for (int32_t x0 = 0; x0 < 40; ++x0) {
        for (int32_t x1 = x0; x1 <= 40; x1 += 3) {
            f.engine->SetAreaRect(x0, 0, x1, 30);
            const PixelWindow& s = f.engine->statWindow;
            ASSERT_TRUE(s.left >= 0 && s.width >= 0 && s.left + s.width <= 40 &&
                        s.top + s.height <= 30)
                << x0 << ".." << x1 << ": " << s.left << " + " << s.width << ", " << s.top << " + "
                << s.height;
            EXPECT_EQ(f.engine->pixelCount, uint32_t(s.width) * uint32_t(s.height));
        }
    }
    f.engine->SetAreaRect(0, 0, 40, 30);
    EXPECT_EQ(std::pair(f.engine->statWindow.left, f.engine->statWindow.width), std::pair(2, 38));
}

// The delay in whole frames, and the processing rate it leaves. (Rounding up, and the gate that
// skips frames: the intake's test in tests/video.)
TEST(AreaTest, DelayFollowsTheFrameRate) {
    EngineFixture f;
    f.engine->SetFrameRate(25.0);
    f.engine->SetTimeDelay(40);
    EXPECT_EQ(f.engine->delayFrames.load(), 1);  // exactly one frame, not two
    f.engine->SetCountAccum(4);
    f.engine->SetTimeDelay(80);
    EXPECT_DOUBLE_EQ(f.engine->procRate.load(), 25.0 / 4 / 2);
}

// SetGamma clamps to 1 ... 256 and swaps tables. The reset puts the tone back. (Gamma, count and
// delay after the Default command: the main window's test in tests/gui.)
TEST(ToneTest, SetGammaClampsSwapsTablesAndResetRestoresDefaults) {
    EngineFixture f;
    ProcEngine& e = *f.engine;
    const uint32_t* before = e.ToneTable();
    e.SetGamma(0);
    EXPECT_EQ(std::pair(e.params.gamma.load(), e.ToneTable() == before), std::pair(1, false));
    e.SetGamma(300);  // the table in use before is the one written now
    EXPECT_EQ(std::pair(e.params.gamma.load(), e.ToneTable() == before), std::pair(256, true));

    e.SetGamma(90);
    e.SetAmp(300);
    e.SetBlackLevel(-30);
    e.ResetTone();
    EXPECT_EQ(e.ToneTable()[100] & 0xFF, 100u);
    EXPECT_EQ(std::pair(e.params.amp.load(), e.params.blackLevel.load()), std::pair(128, 0));
}

}  // namespace
}  // namespace kelpa::test
