// The frame path three ways over the same frames and settings: fused (the production path),
// the vector stages slot by slot, and the plain reference stages slot by slot. Every picture
// byte and every published number must agree after every frame: odd sizes, partial areas,
// accumulation over several frames, both variants, all processors, banding, guide with auto
// move, and the automatic control changing amplification, count and delay as it goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>
#include <tuple>

#include "processing/engine_fixture.h"
#include "processing/reference_stages.h"
#include "processing/sky_frames.h"

namespace kelpa::test {
namespace {

struct ChainCase {
    int32_t channel = -2;
    bool subtracterAdder = false;
    int32_t width = 64, height = 48;
    bool topDown = true;
    std::array<float, 4> area{0.5f, 0.5f, 1.0f, 1.0f};  // x, y, w, h fractions
    int32_t count = 1, amp = 128, black = 0, gamma = 128;
    bool nrH = false, nrV = false;
    float rms[2] = {2.0f, 2.0f};
    bool guide = false, autoMove = false;
    int32_t guideMethod = 2;
    bool info = false;
    uint32_t autoFlags = 0;
    bool outsideAsIs = false, colourScene = false;
    uint32_t seed = 1;
};

class Trio {
  public:
    explicit Trio(const ChainCase& c) : c_(c) {
        for (EngineFixture* f : {&fused_, &stages_, &reference_}) Configure(*f);
        stages_.engine->fusedChain = false;
    }

    void Frame(const SkyScene& scene, std::mt19937& rng, int frame) {
        TestPicture& input = fused_.input;  // all three process the same frame
        RenderScene(input, scene, rng);
        InstallScalarStages(*reference_.engine);
        const bool a = fused_.engine->ProcessFrame(input.Buffer()),
                   b = stages_.engine->ProcessFrame(input.Buffer()),
                   r = reference_.engine->ProcessFrame(input.Buffer());
        ASSERT_EQ(std::tie(a, b), std::tie(r, r)) << "frame " << frame;
        Compare(*fused_.engine, *reference_.engine, "fused", frame);
        Compare(*stages_.engine, *reference_.engine, "stages", frame);
    }

  private:
    void Configure(EngineFixture& f) {
        ProcEngine& e = f.Whole(c_.channel, FourCC(c_.subtracterAdder ? "AcRB" : "Accm"), c_.count);
        e.SetOutsideAsIs(c_.outsideAsIs);
        e.SetAreaFractions(c_.area[0], c_.area[1], c_.area[2], c_.area[3]);
        e.SetAmp(c_.amp);
        e.SetBlackLevel(c_.black);
        e.SetGamma(c_.gamma);
        e.params.rmsH.store(c_.rms[0]);
        e.params.rmsV.store(c_.rms[1]);
        e.SetNR(c_.nrH, c_.nrV);
        const float factors[3] = {4.0f, 0.0f, -2.0f};
        e.SetStarThresholds(c_.guideMethod, factors);
        e.SetGuideEnable(c_.guide);
        e.SetGuideAutoMoveSetting(c_.autoMove);
        e.params.autoFlags.store(c_.autoFlags);
        e.statisticsWanted.store(c_.info);
    }

    // Everything a frame publishes, for one comparison that prints both sides on a mismatch.
    static auto Published(const ProcEngine& e) {
        return std::make_tuple(e.histMin.load(), e.histMax.load(), e.mean.load(), e.rms.load(),
                               e.bkgr.load(), e.bkgrRms.load(), e.starX.load(), e.starY.load(),
                               e.pixelValue.load(), e.guideThreshold, e.maxLevel, e.saturatedCount,
                               e.maxOutput, e.params.amp.load(), e.params.countAccum.load(),
                               e.params.delayMs.load(), e.ampTrend.load(), e.accWeight, e.accFrames,
                               e.accCount.load(), e.refresh.load());
    }

    static void Compare(const ProcEngine& got, const ProcEngine& want, const char* path,
                        int frame) {
        const FrameBuffer& g = got.surf.Picture();
        const FrameBuffer& w = want.surf.Picture();
        ASSERT_EQ(g.imageSize, w.imageSize);
        const uint8_t* diff = std::mismatch(g.data, g.data + w.imageSize, w.data).first;
        if (diff != g.data + w.imageSize) {
            const size_t i = diff - g.data;
            FAIL() << path << " frame " << frame << " x " << (i % w.stride) / 3 << " y "
                   << i / w.stride << " byte " << (i % w.stride) % 3;
        }
        EXPECT_EQ(Published(got), Published(want)) << path << " frame " << frame;
        EXPECT_TRUE(got.area == want.area) << path << " frame " << frame;
        EXPECT_EQ(0, std::memcmp(got.histogram, want.histogram, sizeof got.histogram)) << frame;
    }

    ChainCase c_;
    EngineFixture fused_{c_.width, c_.height, c_.topDown};
    EngineFixture stages_{c_.width, c_.height, c_.topDown};
    EngineFixture reference_{c_.width, c_.height, c_.topDown};
};

// Frames of a sky with a star that drifts and once jumps (for the auto move), optional bands.
void RunCase(const ChainCase& c, int frames, const std::string& name) {
    SCOPED_TRACE(name);
    Trio trio(c);
    std::mt19937 rng(c.seed);
    SkyScene scene;
    scene.sky = 15 + rng() % 40;
    scene.noiseRms = 1 + rng() % 8;
    scene.colour = c.colourScene;
    scene.channelOffset[0] = 5;
    scene.channelOffset[2] = -4;
    std::uniform_real_distribution<double> offset(-12, 12);
    for (int32_t y = 0; y < c.height; ++y) scene.rowOffset.push_back(offset(rng));
    for (int32_t x = 0; x < c.width; ++x) scene.columnOffset.push_back(offset(rng) / 2);
    StarShape star{c.width * 0.45, c.height * 0.55, 120.0 + rng() % 120, 1.6};
    for (int f = 0; f < frames; ++f) {
        star.x += (f == frames / 2) ? c.width * 0.3 : 1.3;
        star.y += 0.7;
        scene.stars = {star, StarShape{c.width * 0.2, c.height * 0.3, 255.0, 1.0}};
        trio.Frame(scene, rng, f);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

// Random settings over the whole grid, every processor with each variant among the first cases;
// banding, the guide, the statistics and the automatic control are on more often than not, so
// that they meet each other.
TEST(ChainEquivalenceTest, RandomCases) {
    std::mt19937 rng(20240611);
    auto pick = [&rng](auto... values) {
        const std::array<std::common_type_t<decltype(values)...>, sizeof...(values)> all{values...};
        return all[rng() % all.size()];
    };
    for (int i = 0; i < 96; ++i) {
        ChainCase c;
        c.channel = std::array{-2, -1, 1, 2, 3, 0}[i % 6];
        c.subtracterAdder = i / 6 % 2;
        c.width = pick(5, 16, 37, 64, 97, 131);
        c.height = pick(5, 9, 23, 48, 67);
        c.topDown = rng() % 2;
        c.area[0] = pick(0.5f, 0.2f, 0.8f, 0.35f);
        c.area[1] = pick(0.5f, 0.1f, 0.9f, 0.45f);
        c.area[2] = pick(1.0f, 0.5f, 0.33f, 0.9f, 0.05f);
        c.area[3] = pick(1.0f, 0.5f, 0.7f, 0.2f);
        c.count = pick(1, 1, 2, 4, 30);
        c.amp = pick(128, 128, 64, 200, 256, 1, 0, 900, 5000, -40, 70000);
        c.black = pick(0, 0, 10, -30, 250, -300, 400);
        c.gamma = pick(128, 128, 1, 60, 256);
        c.nrH = rng() % 4 != 0;
        c.nrV = rng() % 4 != 0;
        c.rms[0] = pick(2.0f, 0.5f, 40.0f, -3.0f);
        c.rms[1] = pick(2.0f, 1.0f, 40.0f);
        c.guide = rng() % 4 != 0;
        c.autoMove = rng() % 2;
        c.guideMethod = pick(0, 1, 2);
        c.info = rng() % 4 != 0;
        c.autoFlags = pick(0u, 7u, 7u, 1u, 2u, 4u);
        c.outsideAsIs = rng() % 3 == 0;
        c.colourScene = rng() % 2;
        c.seed = rng();
        RunCase(c, 8, "case " + std::to_string(i));
        if (HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace kelpa::test
