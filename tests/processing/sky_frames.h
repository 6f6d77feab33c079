// Synthetic telescope frames built from known truth: a sky level with Gaussian noise, Gaussian
// stars at sub-pixel positions (round or elongated), and bands (whole rows or columns offset by
// a fixed amount), rounded to 8-bit levels like a real frame (a bright star saturates at 255).
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "support/test_support.h"

namespace kelpa::test {

// A Gaussian star; a sigmaY of 0 makes it round.
struct StarShape {
    double x, y, peak, sigmaX, sigmaY = 0.0;
};

// A Gaussian of sigma s has FWHM 2 sqrt(2 ln 2) s; its light lies at a mean distance of
// sqrt(pi / 2) s from its centre, twice which is the HFD as measured.
constexpr double kFwhmPerSigma = 2.3548200450309493;
inline const double kHfdPerSigma = 2.0 * std::sqrt(std::numbers::pi / 2.0);

// The star's light at a pixel centre, background excluded.
inline double StarLight(const StarShape& s, double x, double y) {
    const double dx = (x - s.x) / s.sigmaX;
    const double dy = (y - s.y) / (s.sigmaY > 0 ? s.sigmaY : s.sigmaX);
    return s.peak * std::exp(-0.5 * (dx * dx + dy * dy));
}

struct SkyScene {
    double sky = 20.0;
    double noiseRms = 3.0;
    std::vector<StarShape> stars = {};
    std::vector<double> rowOffset = {};  // per row, added to every pixel of the row (may be empty)
    std::vector<double> columnOffset = {};  // per column
    // Colour: each channel gets its own noise and the channels differ by these offsets.
    bool colour = false;
    double channelOffset[3] = {0.0, 0.0, 0.0};
};

inline void RenderScene(TestPicture& picture, const SkyScene& s, std::mt19937& rng) {
    std::normal_distribution<double> noise(0.0, s.noiseRms > 0 ? s.noiseRms : 1.0);
    const auto level = [&](double v) {
        const double noisy = v + (s.noiseRms > 0 ? noise(rng) : 0.0);
        return static_cast<uint8_t>(std::clamp(std::lround(noisy), 0L, 255L));
    };
    for (int32_t y = 0; y < picture.h; ++y) {
        for (int32_t x = 0; x < picture.w; ++x) {
            // The noiseless level of the pixel, then noise of its own for each channel.
            double base = s.sky + (s.rowOffset.empty() ? 0.0 : s.rowOffset[y]) +
                          (s.columnOffset.empty() ? 0.0 : s.columnOffset[x]);
            for (const StarShape& star : s.stars) base += StarLight(star, x, y);
            uint8_t* p = picture.Pixel(x, y);
            if (!s.colour) p[0] = p[1] = p[2] = level(base);
            for (int c = 0; c < 3 && s.colour; ++c) p[c] = level(base + s.channelOffset[c]);
        }
    }
}

// One star over a flat sky.
inline void RenderStar(TestPicture& picture, const StarShape& star, double sky, double noiseRms,
                       std::mt19937& rng, bool colour = false) {
    RenderScene(picture,
                SkyScene{.sky = sky, .noiseRms = noiseRms, .stars = {star}, .colour = colour}, rng);
}

}  // namespace kelpa::test
