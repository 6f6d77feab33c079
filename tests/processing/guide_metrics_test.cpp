// The guide step with the star metrics and the finer centre, through the engine and its
// statistics snapshot, on every way a frame reaches the measurement: the fused path's grey work
// plane, the grey picture of the stages one by one, and the colour picture of As Is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <tuple>
#include <utility>

#include "processing/engine_fixture.h"
#include "processing/output_stage.h"
#include "processing/star_field.h"

namespace kelpa::test {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFwhmPerSigma = 2.3548200450309493;
const double kHfdPerSigma = 2.0 * std::sqrt(kPi / 2.0);

enum class Path { kFusedGrey, kStagesGrey, kAsIs };
const char* Name(Path p) {
    return p == Path::kFusedGrey ? "fused grey" : p == Path::kStagesGrey ? "stages grey" : "As Is";
}
constexpr Path kPaths[] = {Path::kFusedGrey, Path::kStagesGrey, Path::kAsIs};

// An engine over a 162 x 122 frame whose guide window is the whole area (160 x 120 at 1, 1),
// guiding with method 0 at factor 4 ("Background Level"), the automatic control off.
struct GuideBench {
    GuideBench(Path path, bool refine) : f(162, 122), colour(path == Path::kAsIs) {
        ProcEngine& e = *f.engine;
        e.params.autoFlags.store(0);
        e.SetChannel(colour ? 0 : -2);
        e.SetVariant(FourCC("Accm"));
        e.fusedChain = path == Path::kFusedGrey;
        e.SetAreaFractions(0.5f, 0.5f, 1.0f, 1.0f);
        const float factors[3] = {4.0f, 0.0f, -2.0f};
        e.SetStarThresholds(0, factors);
        e.SetGuideRefine(refine);
        e.SetGuideEnable(true);
    }
    // Renders the star over a sky of 20, processes the frame and takes its snapshot.
    StatisticsSnapshot Frame(const StarShape& star, double noise, std::mt19937& rng) {
        RenderStar(f.input, star, 20, noise, rng, colour);
        f.Process();
        StatisticsSnapshot s;
        ++frame;
        f.engine->PublishStatistics(frame, static_cast<double>(frame) / 25.0, &s);
        return s;
    }
    // A star at a random sub-pixel position 30 px or more inside the guide window.
    StarShape RandomStar(std::mt19937& rng, double peak, double sigma) const {
        std::uniform_real_distribution<double> unit(0, 1);
        const PixelWindow& g = f.engine->guideWindow;
        return {g.left + 30 + (g.width - 60) * unit(rng), g.top + 30 + (g.height - 60) * unit(rng),
                peak, sigma, sigma};
    }

    EngineFixture f;
    bool colour;
    uint64_t frame = 0;
};

// The star's light at the pixel centre nearest to its own.
double BrightestPixelLight(const StarShape& star) {
    return StarLight(star, std::round(star.x), std::round(star.y));
}

// For sigma 1 to 4 on each path the snapshot carries the star's HFD and FWHM within 5 %, its
// peak level and an SNR within 10 % of the one the known noise gives (the light of a Gaussian,
// 2 pi sigma^2 peak, over the noise of a 4-sigma aperture; As Is averages three channels of
// independent noise).
TEST(GuideMetricsTest, SnapshotCarriesTheStarsSizeAndBrightness) {
    for (const Path path : kPaths) {
        for (const double sigma : {1.0, 2.0, 4.0}) {
            SCOPED_TRACE(std::string(Name(path)) + " sigma " + std::to_string(sigma));
            GuideBench bench(path, false);
            std::mt19937 rng(static_cast<uint32_t>(sigma * 10) + static_cast<uint32_t>(path));
            for (int i = 0; i < 4; ++i) {
                const StarShape star = bench.RandomStar(rng, 200, sigma);
                const StatisticsSnapshot s = bench.Frame(star, 1.5, rng);
                EXPECT_TRUE(s.guideEnable);
                ASSERT_TRUE(s.starMetricsValid) << i;
                EXPECT_NEAR(s.hfd / (kHfdPerSigma * sigma), 1.0, 0.05) << i;
                EXPECT_NEAR(s.fwhm / (kFwhmPerSigma * sigma), 1.0, 0.05) << i;
                EXPECT_NEAR(s.peak, 20 + BrightestPixelLight(star), 7.0) << i;
                const double radius = std::max(4.0 * sigma, 3.0);
                const double levelNoise = std::sqrt((bench.colour ? 1.5 * 1.5 / 3 : 1.5 * 1.5) +
                                                    (bench.colour ? 1.0 / 36 : 1.0 / 12));
                const double snr =
                    2 * kPi * sigma * sigma * 200 / (std::sqrt(kPi * radius * radius) * levelNoise);
                EXPECT_NEAR(s.snr / snr, 1.0, 0.1) << i;
            }
        }
    }
}

// The threshold centre, computed here from the processed picture, as the guide has always
// measured it.
std::pair<float, float> ThresholdCentre(const ProcEngine& e, bool colour) {
    const PixelWindow& g = e.guideWindow;
    const GuideMoments m =
        scalar::SumGuide(PictureView(e.surf.Picture(), colour),
                         Rect{g.left, g.top, g.width, g.height}, std::max(e.guideThreshold, 0));
    return {static_cast<float>(static_cast<double>(m.sumX) / m.sumW) + g.left,
            static_cast<float>(static_cast<double>(m.sumY) / m.sumW) + g.top};
}

// Gaussian stars of sigma 1.5 and peak 150 over a sky of 20 with noise 3 (the threshold centre
// is right to about 0.13 px there). Without the refinement the position is the threshold centre
// bit for bit, with the metrics beside it; with it the position is within 0.05 px RMS of the
// truth, and the surface's guide mark (what the virtual guide and auto move follow) is on it.
TEST(GuideMetricsTest, RefinedCentreToFiveHundredthsOfAPixel) {
    for (const Path path : kPaths) {
        SCOPED_TRACE(Name(path));
        double squares[2] = {0, 0};
        constexpr int kStars = 60;
        for (const bool refine : {false, true}) {
            GuideBench bench(path, refine);
            ProcEngine& e = *bench.f.engine;
            std::mt19937 rng(40 + static_cast<uint32_t>(path));  // the same stars both times
            for (int i = 0; i < kStars; ++i) {
                const StarShape star = bench.RandomStar(rng, 150, 1.5);
                const StatisticsSnapshot s = bench.Frame(star, 3, rng);
                EXPECT_TRUE(s.starMetricsValid) << i;
                if (!refine) {
                    const auto [x, y] = ThresholdCentre(e, bench.colour);
                    EXPECT_EQ(s.starX, x) << i;
                    EXPECT_EQ(s.starY, y) << i;
                }
                EXPECT_EQ(e.surf.GuideMarkX(), s.starX) << i;
                EXPECT_EQ(e.surf.GuideMarkY(), s.starY) << i;
                squares[refine] += std::pow(s.starX - star.x, 2) + std::pow(s.starY - star.y, 2);
            }
        }
        const double threshold = std::sqrt(squares[0] / kStars);
        const double refined = std::sqrt(squares[1] / kStars);
        EXPECT_LE(refined, 0.05) << "threshold centre " << threshold;
        EXPECT_LT(refined, threshold);
    }
}

// Metrics belong to the measurement they come with: a frame without a star, a star cut by the
// window's edge, a flat window and a guide switched off leave none behind from the frame before.
TEST(GuideMetricsTest, NoStaleMetrics) {
    for (const Path path : kPaths) {
        SCOPED_TRACE(Name(path));
        GuideBench bench(path, true);
        ProcEngine& e = *bench.f.engine;
        std::mt19937 rng(5);
        const StarShape star = bench.RandomStar(rng, 150, 1.5);
        ASSERT_TRUE(bench.Frame(star, 3, rng).starMetricsValid);

        // Noise alone: the threshold finds a few noise pixels, which are no star.
        StatisticsSnapshot s = bench.Frame(StarShape{80, 60, 0, 1, 1}, 3, rng);
        EXPECT_GE(s.starX, 0.0f);
        EXPECT_FALSE(s.starMetricsValid);
        EXPECT_EQ(std::tuple(s.hfd, s.fwhm, s.peak, s.snr), std::tuple(0.0f, 0.0f, 0.0f, 0.0f));

        ASSERT_TRUE(bench.Frame(star, 3, rng).starMetricsValid);
        // Half the star beyond the window's left edge.
        const PixelWindow& g = e.guideWindow;
        s = bench.Frame(StarShape{g.left + 0.2, 60.3, 150, 1.5, 1.5}, 3, rng);
        EXPECT_FALSE(s.starMetricsValid);

        ASSERT_TRUE(bench.Frame(star, 3, rng).starMetricsValid);
        s = bench.Frame(StarShape{80, 60, 0, 1, 1}, 0, rng);  // every level 20
        EXPECT_FALSE(s.starMetricsValid);

        ASSERT_TRUE(bench.Frame(star, 3, rng).starMetricsValid);
        e.SetGuideEnable(false);
        StatisticsSnapshot off;
        e.PublishStatistics(100, 4.0, &off);
        EXPECT_FALSE(off.guideEnable);
        EXPECT_FALSE(off.starMetricsValid);
        off = bench.Frame(star, 3, rng);
        EXPECT_FALSE(off.guideEnable);
        EXPECT_FALSE(off.starMetricsValid);
        // Switched off and on again, before the next measurement.
        e.SetGuideEnable(true);
        ASSERT_TRUE(bench.Frame(star, 3, rng).starMetricsValid);
        e.SetGuideEnable(false);
        e.SetGuideEnable(true);
        e.PublishStatistics(101, 4.1, &off);
        EXPECT_TRUE(off.guideEnable);
        EXPECT_FALSE(off.starMetricsValid);
    }
}

}  // namespace
}  // namespace kelpa::test
