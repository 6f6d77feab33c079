// The finer guide centre against the engine's threshold centre on the same synthetic stars:
// under 0.05 px RMS on the stars the threshold centre finds to a few tenths, and no worse on
// saturated, elongated, edge, faint and wide stars; noiseless stars settle on their true centre,
// and a centre that cannot be refined is left alone.
#include "processing/centroid_refine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <utility>

#include "processing/engine_fixture.h"
#include "processing/star_field.h"

namespace kelpa::test {
namespace {

// Stars of one kind at random sub-pixel positions 20 px or more inside the window, or, near
// the edge, their centres 0.5 to 3.5 px inside the left or the top edge.
struct StarKind {
    const char* name;
    double peak, sigmaX, sigmaY;
    bool nearEdge;
};

struct RmsErrors {
    double threshold = 0;  // of the engine's centre
    double refined = 0;
};

// The engine's guide, method 0 at factor 4, over a 160 x 120 window of a 162 x 122 frame with
// a sky of 20 and noise 3; each star's threshold centre is then refined on the output picture.
RmsErrors MeasureKind(const StarKind& kind, uint32_t seed, int32_t stars) {
    EngineFixture f(162, 122);
    ProcEngine& e = *f.engine;
    e.params.autoFlags.store(0);
    e.SetChannel(-2);
    e.SetVariant(FourCC("Accm"));
    e.SetAreaFractions(0.5f, 0.5f, 1.0f, 1.0f);
    const float factors[3] = {4.0f, 0.0f, -2.0f};
    e.SetStarThresholds(0, factors);
    e.SetGuideEnable(true);
    const PixelWindow g = e.guideWindow;
    EXPECT_EQ(std::pair(g.width, g.height), std::pair(160, 120));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    double squares[2] = {0, 0};
    for (int32_t i = 0; i < stars; ++i) {
        StarShape star{g.left + 20 + 120 * unit(rng), g.top + 20 + 80 * unit(rng), kind.peak,
                       kind.sigmaX, kind.sigmaY};
        if (kind.nearEdge)
            (i % 2 ? star.y : star.x) = (i % 2 ? g.top : g.left) + 0.5 + 3 * unit(rng);
        RenderStar(f.input, star, 20, 3, rng);
        f.Process();
        const float x = e.starX.load();
        const float y = e.starY.load();
        const FrameBuffer& out = f.Output();
        const GuideStar refined =
            MeasureGuideStar(ViewOf(out.data, out.stride, false),
                             Rect{g.left, g.top, g.width, g.height}, x, y, true);
        squares[0] += std::pow(x - star.x, 2) + std::pow(y - star.y, 2);
        squares[1] += std::pow(refined.x - star.x, 2) + std::pow(refined.y - star.y, 2);
    }
    const RmsErrors rms{std::sqrt(squares[0] / stars), std::sqrt(squares[1] / stars)};
    std::printf("%-10s threshold centre %.4f px RMS, refined %.4f px RMS\n", kind.name,
                rms.threshold, rms.refined);
    return rms;
}

TEST(CentroidRefineTest, GaussianStarsToFiveHundredthsOfAPixel) {
    const RmsErrors rms = MeasureKind({"gaussian", 150, 1.5, 1.5, false}, 11, 100);
    EXPECT_LE(rms.refined, 0.05);
    EXPECT_LT(rms.refined, rms.threshold);
}

TEST(CentroidRefineTest, NoWorseThanTheThresholdCentre) {
    const StarKind kinds[] = {
        {"saturated", 400, 1.5, 1.5, false}, {"elongated", 150, 2.5, 1.2, false},
        {"edge", 150, 1.5, 1.5, true},       {"faint", 50, 1.5, 1.5, false},
        {"very faint", 30, 1.5, 1.5, false}, {"wide", 150, 4.0, 4.0, false},
    };
    uint32_t seed = 30;
    for (const StarKind& kind : kinds) {
        const RmsErrors rms = MeasureKind(kind, ++seed, 40);
        EXPECT_LE(rms.refined, rms.threshold) << kind.name;
    }
}

// Noiseless stars (8-bit levels only) started a pixel off their centre settle on it, also in
// a colour view, elongated, and with part of the star beyond the window's edge.
TEST(CentroidRefineTest, NoiselessStarsSettleOnTheirCentre) {
    struct Case {
        StarShape star;
        bool colour;
    };
    const Case cases[] = {{{60.3, 50.7, 150, 1.5, 1.5}, false},
                          {{60.3, 50.7, 150, 1.5, 1.5}, true},
                          {{61.8, 49.2, 200, 3.0, 1.2}, false},
                          {{3.4, 50.2, 150, 1.5, 1.5}, false},
                          {{40.6, 3.1, 150, 2.0, 2.0}, false}};
    std::mt19937 rng(1);
    for (const Case& c : cases) {
        TestPicture picture(120, 100);
        RenderStar(picture, c.star, 20, 0, rng, c.colour);
        const float background = c.colour ? 60.0f : 20.0f;
        const RefinedCentre r =
            RefineCentroid(ViewOf(picture, c.colour), Rect{2, 2, 116, 96}, float(c.star.x + 0.8),
                           float(c.star.y - 0.6), 3.8f, background);
        EXPECT_TRUE(r.refined);
        EXPECT_NEAR(r.x, c.star.x, 0.02) << c.star.x;
        EXPECT_NEAR(r.y, c.star.y, 0.02) << c.star.y;
    }
}

// No light above the background, no size, a box narrower than a pixel at the window's edge:
// the centre comes back as it was given.
TEST(CentroidRefineTest, LeavesTheCentreItCannotRefine) {
    TestPicture picture(120, 100);
    picture.Fill(20, 20, 20);
    const Rect window{2, 2, 116, 96};
    struct Case {
        float x, y, hfd, background;
    };
    const Case cases[] = {{60.2f, 50.4f, 3.8f, 20.0f},
                          {60.2f, 50.4f, 3.8f, 25.0f},
                          {60.2f, 50.4f, 0.0f, 10.0f},
                          {60.2f, 50.4f, NAN, 10.0f},
                          {2.3f, 50.4f, 3.8f, 10.0f}};
    for (const Case& c : cases) {
        const RefinedCentre r =
            RefineCentroid(ViewOf(picture), window, c.x, c.y, c.hfd, c.background);
        EXPECT_FALSE(r.refined) << c.x << " " << c.hfd << " " << c.background;
        EXPECT_EQ(r.x, c.x);
        EXPECT_EQ(r.y, c.y);
    }
    // Without the refinement the guide star keeps the centre it was given.
    std::mt19937 rng(3);
    RenderStar(picture, StarShape{60.3, 50.7, 150, 1.5, 1.5}, 20, 3, rng);
    const GuideStar star = MeasureGuideStar(ViewOf(picture), window, 60.0f, 51.0f, false);
    EXPECT_FALSE(star.refined);
    EXPECT_EQ(star.x, 60.0f);
    EXPECT_EQ(star.y, 51.0f);
    EXPECT_TRUE(star.metrics.valid);
}

}  // namespace
}  // namespace kelpa::test
