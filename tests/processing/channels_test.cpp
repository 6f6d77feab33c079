// The channel processors' pictures against formulas computed here independently.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "processing/engine_fixture.h"

namespace kelpa::test {
namespace {

// Integer formulas written out with floor (">> 7") and truncation toward zero ("/").
int64_t ShiftDown7(int64_t v) {
    return static_cast<int64_t>(std::floor(v / 128.0));
}
int64_t DivTrunc(int64_t a, int64_t b) {
    return static_cast<int64_t>(std::trunc(double(a) / b));
}

uint8_t Tone(int64_t level) {
    return static_cast<uint8_t>(std::clamp<int64_t>(level, 0, 255));
}

// Expected output of processor `index` for one pixel, identity gamma.
std::array<uint8_t, 3> Expected(int32_t index, const uint8_t* p, int64_t amp, int64_t black) {
    const int64_t b = p[0], g = p[1], r = p[2];
    int64_t level = 0;
    switch (index) {
        case -2:
            level = DivTrunc(ShiftDown7((114 * b + 587 * g + 299 * r) * amp) + 500, 1000);
            break;
        case -1:
            level = DivTrunc(ShiftDown7((b + g + r) * amp), 3);
            break;
        case 0:
            return {Tone(ShiftDown7(b * amp) + black), Tone(ShiftDown7(g * amp) + black),
                    Tone(ShiftDown7(r * amp) + black)};
        default:  // 1, 2, 3: blue, green, red
            level = ShiftDown7(p[index - 1] * amp);
    }
    const uint8_t v = Tone(level + black);
    return {v, v, v};
}

std::array<uint8_t, 3> Got(const EngineFixture& f, int32_t x, int32_t y) {
    const uint8_t* p = f.Out(x, y);
    return {p[0], p[1], p[2]};
}

class FullFrameTest : public ::testing::TestWithParam<std::tuple<int32_t, int32_t, int32_t>> {};

// With an empty area there is no accumulation: every pixel is rendered by the formula.
TEST_P(FullFrameTest, EveryPixelFollowsTheFormula) {
    const auto [index, amp, black] = GetParam();
    EngineFixture f(37, 23);
    f.input.Randomize(static_cast<uint32_t>(index * 1000 + amp + black));
    // The ends of the levels: white and the faintest grey.
    f.input.Pixel(0, 0)[0] = f.input.Pixel(0, 0)[1] = f.input.Pixel(0, 0)[2] = 255;
    f.input.Pixel(1, 0)[0] = f.input.Pixel(1, 0)[1] = f.input.Pixel(1, 0)[2] = 1;
    f.engine->SetChannel(index);
    f.engine->SetAreaFractions(0.5f, 0.5f, 0.0f, 0.0f);
    f.engine->SetAmp(amp);
    f.engine->SetBlackLevel(black);
    ASSERT_EQ(f.engine->accumulateStage, nullptr);
    ASSERT_TRUE(f.Process());
    for (int32_t y = 0; y < f.input.h; ++y) {
        for (int32_t x = 0; x < f.input.w; ++x) {
            const auto want = Expected(index, f.input.Pixel(x, y), amp, black);
            ASSERT_EQ(Got(f, x, y), want) << "x=" << x << " y=" << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllProcessors, FullFrameTest,
                         ::testing::Combine(::testing::Values(-2, -1, 0, 1, 2, 3),
                                            ::testing::Values(128, 1, 77, 256, 1000, -50),
                                            ::testing::Values(0, -40, 25)));

TEST(ChannelsTest, GammaTableShapesTheOutput) {
    EngineFixture f(8, 8);
    f.engine->SetAreaFractions(0.5f, 0.5f, 0.0f, 0.0f);
    f.engine->SetChannel(3);
    f.engine->SetGamma(256);
    f.input.Fill(0, 0, 1);
    f.Process();
    EXPECT_EQ(f.Out(0, 0)[2], 101);  // (1/255)^(1/6) * 255 + 0.5
}

// With "Outside zone - As Is" the outside keeps its colours while the area shows the chosen
// channel (here through the accumulation of one frame: weight 1, so the same formula).
TEST(ChannelsTest, OutsideAsIsKeepsColourAroundARedArea) {
    EngineFixture f(40, 30);
    f.input.Randomize(7);
    f.engine->SetChannel(3);
    f.engine->SetOutsideAsIs(true);
    f.engine->SetAreaRect(10, 10, 20, 20);
    ASSERT_NE(f.engine->accumulateStage, nullptr);
    f.Process();
    const ProcArea& a = f.engine->area;
    for (int32_t y = 0; y < f.input.h; ++y) {
        for (int32_t x = 0; x < f.input.w; ++x) {
            const bool inside = x >= a.x0 && x < a.x1 && y >= a.y0 && y < a.y1;
            const auto want = Expected(inside ? 3 : 0, f.input.Pixel(x, y), 128, 0);
            ASSERT_EQ(Got(f, x, y), want) << x << "," << y;
        }
    }
}

// The first frame after an area change repaints everything, later frames only the outside; a
// whole-frame area has no outside, so its outside stage never runs.
TEST(ChannelsTest, OutsideStageRepaintsTheWholeFrameOnceAfterAChange) {
    EngineFixture f(40, 30);
    f.engine->SetAreaRect(5, 5, 15, 15);
    const FrameStage wholeFirst = f.engine->processor->outside;
    EXPECT_EQ(f.engine->outsideStage, wholeFirst);
    f.Process();
    EXPECT_NE(f.engine->outsideStage, wholeFirst);
    f.engine->MoveArea(20, 10);
    EXPECT_EQ(f.engine->outsideStage, wholeFirst);
    f.engine->SetAreaFractions(0.5f, 0.5f, 1.0f, 1.0f);
    ASSERT_TRUE(f.engine->areaIsWholeFrame);
    f.Process();
    f.Process();
    EXPECT_EQ(f.engine->outsideStage, wholeFirst);
}

// Without an accumulator slot or full-frame stage, the live picture is copied as it is.
TEST(ChannelsTest, EmptyChainCopiesTheInput) {
    EngineFixture f(13, 7);
    f.input.Randomize(3);
    f.engine->SetAreaFractions(0.5f, 0.5f, 0.0f, 0.0f);
    f.engine->fullFrameStage = nullptr;
    f.Process();
    EXPECT_EQ(0, std::memcmp(f.Output().data, f.input.bytes.data(), f.input.bytes.size()));
}

}  // namespace
}  // namespace kelpa::test
