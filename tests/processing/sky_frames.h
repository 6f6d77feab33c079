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

// The noiseless level of a pixel.
inline double SceneLevel(const SkyScene& s, int32_t x, int32_t y) {
    double v = s.sky;
    for (const Star& star : s.stars) {
        const double dx = x - star.x;
        const double dy = y - star.y;
        v += star.peak * std::exp(-(dx * dx + dy * dy) / (2 * star.sigma * star.sigma));
    }
    if (!s.rowOffset.empty()) v += s.rowOffset[y];
    if (!s.columnOffset.empty()) v += s.columnOffset[x];
    return v;
}

inline void RenderScene(TestPicture& picture, const SkyScene& s, std::mt19937& rng) {
    std::normal_distribution<double> noise(0.0, s.noiseRms > 0 ? s.noiseRms : 1.0);
    auto level = [](double v) {
        return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
    };
    for (int32_t y = 0; y < picture.h; ++y) {
        for (int32_t x = 0; x < picture.w; ++x) {
            const double base = SceneLevel(s, x, y);
            uint8_t* p = picture.Pixel(x, y);
            if (s.colour) {
                for (int c = 0; c < 3; ++c) {
                    const double n = s.noiseRms > 0 ? noise(rng) : 0.0;
                    p[c] = level(base + s.channelOffset[c] + n);
                }
            } else {
                const uint8_t v = level(base + (s.noiseRms > 0 ? noise(rng) : 0.0));
                p[0] = v;
                p[1] = v;
                p[2] = v;
            }
        }
    }
}

}  // namespace kelpa::test
