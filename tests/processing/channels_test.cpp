// The channel processors' pictures, and the accumulation variants', against formulas computed
// here independently.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <tuple>
#include <utility>

#include "processing/engine_fixture.h"

namespace kelpa::test {
namespace {

// Integer formulas written out with floor (">> 7") and truncation toward zero ("/").
const auto ShiftDown7 = [](int64_t v) { return int64_t(std::floor(v / 128.0)); };
const auto DivTrunc = [](int64_t a, int64_t b) { return int64_t(std::trunc(double(a) / b)); };

// The tone table of a gamma setting, built here from its definition: levels 1 ... 254 through
// the power 1 / factor, rounded; the ends stay 0 and 255.
std::array<uint8_t, 256> ToneTable(int32_t gamma) {
    const double factor = gamma == 128  ? 1.0
                          : gamma > 128 ? (gamma - 128) / 128.0 * 5 + 1
                                        : gamma / 128.0;
    std::array<uint8_t, 256> t{};
    t[255] = 255;
    for (int32_t i = 1; i < 255; ++i) {
        t[i] = static_cast<uint8_t>(
            std::min(255.0, std::floor(std::pow(i / 255.0, 1 / factor) * 255 + 0.5)));
    }
    return t;
}

// Expected output of processor `index` for one pixel.
std::array<uint8_t, 3> Expected(int32_t index, const uint8_t* p, int64_t amp, int64_t black,
                                const std::array<uint8_t, 256>& tone) {
    const auto out = [&](int64_t level) { return tone[std::clamp<int64_t>(level, 0, 255)]; };
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
            return {out(ShiftDown7(b * amp) + black), out(ShiftDown7(g * amp) + black),
                    out(ShiftDown7(r * amp) + black)};
        default:  // 1, 2, 3: blue, green, red
            level = ShiftDown7(p[index - 1] * amp);
    }
    const uint8_t v = out(level + black);
    return {v, v, v};
}

// Every output pixel against want(input pixel, inside the area), which may skip it.
template <class Want>
void ExpectPixels(EngineFixture& f, Want want) {
    const ProcArea& a = f.engine->area;
    for (int32_t y = 0; y < f.input.h; ++y) {
        for (int32_t x = 0; x < f.input.w; ++x) {
            const bool inside = x >= a.x0 && x < a.x1 && y >= a.y0 && y < a.y1;
            const std::optional<std::array<uint8_t, 3>> w = want(f.input.Pixel(x, y), inside);
            const uint8_t* o = f.Out(x, y);
            if (!w) continue;
            ASSERT_EQ((std::array{o[0], o[1], o[2]}), *w) << "x=" << x << " y=" << y;
        }
    }
}

// Pixels rendered from one frame follow the formula for every processor, gain (negative and too
// large for the lanes among them), black level and gamma: the whole frame with an empty area,
// and the outside of an area on the frames after the first (101 columns: whole vectors and a
// tail on every instruction set).
TEST(ChannelsTest, FramePixelsFollowTheFormula) {
    constexpr int32_t kIndexes[] = {-2, -1, 0, 1, 2, 3};
    constexpr int32_t kAmps[] = {128, 1, 77, 256, 1000, -50};
    for (int32_t pair = 0; pair < 36; ++pair) {
        const int32_t index = kIndexes[pair / 6], amp = kAmps[pair % 6];
        SCOPED_TRACE(testing::Message() << "processor " << index << " amp " << amp);
        for (const bool withArea : {false, true}) {
            for (const int32_t black : {0, -40, 25}) {
                for (const int32_t gamma : {128, 200, 60, 1, 256}) {
                    EngineFixture f(101, 23);
                    ProcEngine& e = f.Whole(index);  // the automatic control off: the gain stays
                    if (withArea) {
                        e.SetAreaRect(40, 5, 70, 15);
                    } else {
                        e.SetAreaFractions(0.5f, 0.5f, 0.0f, 0.0f);
                        ASSERT_EQ(e.accumulateStage, nullptr);
                    }
                    e.SetAmp(amp);
                    e.SetBlackLevel(black);
                    e.SetGamma(gamma);
                    const auto tone = ToneTable(gamma);
                    for (uint32_t frame = 0; frame < 2; ++frame) {
                        f.input.Randomize(static_cast<uint32_t>(index * 1000 + amp + black) +
                                          frame);
                        // The ends of the levels: white and the faintest grey.
                        std::fill_n(f.input.Pixel(0, 0), 3, uint8_t{255});
                        std::fill_n(f.input.Pixel(1, 0), 3, uint8_t{1});
                        ASSERT_TRUE(f.Process());
                    }
                    SCOPED_TRACE(testing::Message() << "black " << black << " gamma " << gamma
                                                    << " area " << withArea);
                    ExpectPixels(f, [&](const uint8_t* p, bool inside) {
                        return inside ? std::nullopt
                                      : std::optional(Expected(index, p, amp, black, tone));
                    });
                    if (HasFatalFailure()) return;
                }
            }
        }
    }
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
    const auto identity = ToneTable(128);
    ExpectPixels(f, [&](const uint8_t* p, bool inside) {
        return std::optional(Expected(inside ? 3 : 0, p, 128, 0, identity));
    });
}

// "Accm", four frames of a pixel at level 100: grey adds (1000 * 100) / 100 = 1000 at a weight
// of 10 each, and L = (4000 + 20) / 40 = 100. Levels 100 and 101 in turn average 100.5, which
// rounds up, grey and As Is.
TEST(AccumulationTest, AverageOfFourFrames) {
    for (const int32_t channel : {-2, 0}) {
        for (const auto& [odd, level] : {std::pair(100, 100), std::pair(101, 101)}) {
            EngineFixture f(40, 30);
            f.Whole(channel, FourCC("Accm"), 4);
            for (int frame = 0; frame < 4; ++frame) {
                const uint8_t v = static_cast<uint8_t>(frame % 2 ? odd : 100);
                f.input.Fill(v, v, v);
                f.Process();
            }
            if (channel == -2) {
                EXPECT_EQ(std::tuple(f.engine->accumulator[0], f.engine->accWeight,
                                     f.engine->accCount.load()),
                          std::tuple(uint32_t(2000 + 2 * 10 * odd), 40, 0));
            }
            const uint8_t want = static_cast<uint8_t>(level);
            SCOPED_TRACE(testing::Message() << "channel " << channel);
            ExpectPixels(f, [&](const uint8_t*, bool) { return std::array{want, want, want}; });
        }
    }
}

// With one frame in the sum "AcRB" renders as "Accm" does, except that its division by the
// weight truncates where "Accm" rounds: grey (0, 0, 100) adds 299, shown as 29 and 30.
TEST(AccumulationTest, SubtracterAdderOfOneFrameTruncatesWhereAverageRounds) {
    for (const bool subtracterAdder : {false, true}) {
        EngineFixture f(64, 48);
        f.Whole(-2, subtracterAdder ? FourCC("AcRB") : FourCC("Accm"));
        f.input.Randomize(11);
        std::fill_n(f.input.Pixel(0, 0), 2, uint8_t{0});
        f.input.Pixel(0, 0)[2] = 100;
        ASSERT_TRUE(f.Process());
        int differ = 0;
        ExpectPixels(f, [&](const uint8_t* p, bool) {
            const int32_t a = (114 * p[0] + 587 * p[1] + 299 * p[2]) / 100;
            const auto want = static_cast<uint8_t>(subtracterAdder ? a / 10 : (a + 5) / 10);
            differ += a % 10 >= 5;
            return std::array{want, want, want};
        });
        EXPECT_EQ(f.Out(0, 0)[0], subtracterAdder ? 29 : 30);
        EXPECT_GT(differ, 1000);
    }
}

}  // namespace
}  // namespace kelpa::test
