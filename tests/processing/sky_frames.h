// Synthetic telescope frames built from known truth: a sky level with Gaussian noise, Gaussian
// stars at sub-pixel positions, and bands (whole rows or columns offset by a fixed amount).
#pragma once

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "support/test_support.h"

namespace kelpa::test {

struct SkyScene {
    double sky = 20.0;
    double noiseRms = 3.0;
    std::vector<Star> stars;
    std::vector<double> rowOffset;     // per row, added to every pixel of the row (may be empty)
    std::vector<double> columnOffset;  // per column
    // Colour: each channel gets its own noise and the channels differ by these offsets.
    bool colour = false;
    double channelOffset[3] = {0.0, 0.0, 0.0};
};

inline void RenderScene(TestPicture& picture, const SkyScene& s, std::mt19937& rng) {
    std::normal_distribution<double> noise(0.0, s.noiseRms > 0 ? s.noiseRms : 1.0);
    auto level = [](double v) {
        return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
    };
    for (int32_t y = 0; y < picture.h; ++y) {
        for (int32_t x = 0; x < picture.w; ++x) {
            // The noiseless level of the pixel, then noise of its own for each channel.
            double base = s.sky + (s.rowOffset.empty() ? 0.0 : s.rowOffset[y]) +
                          (s.columnOffset.empty() ? 0.0 : s.columnOffset[x]);
            for (const Star& star : s.stars) {
                const double dx = x - star.x;
                const double dy = y - star.y;
                base += star.peak * std::exp(-(dx * dx + dy * dy) / (2 * star.sigma * star.sigma));
            }
            uint8_t* p = picture.Pixel(x, y);
            const auto noisy = [&](double v) {
                return level(v + (s.noiseRms > 0 ? noise(rng) : 0));
            };
            if (!s.colour) p[0] = p[1] = p[2] = noisy(base);
            for (int c = 0; c < 3 && s.colour; ++c) p[c] = noisy(base + s.channelOffset[c]);
        }
    }
}

}  // namespace kelpa::test
