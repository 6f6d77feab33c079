// One synthetic star of known shape on a noisy sky, rounded to 8-bit levels like a real frame
// (so a bright star saturates at 255), and the plain view the star measurements read.
#pragma once

#include <algorithm>
#include <cmath>
#include <random>

#include "processing/chain_kernels.h"
#include "support/test_support.h"

namespace kelpa::test {

struct StarShape {
    double x, y, peak, sigmaX, sigmaY;
};

// The star's light at a pixel centre, background excluded.
inline double StarLight(const StarShape& s, double x, double y) {
    const double dx = (x - s.x) / s.sigmaX;
    const double dy = (y - s.y) / s.sigmaY;
    return s.peak * std::exp(-0.5 * (dx * dx + dy * dy));
}

// Grey: all three bytes of a pixel alike. Colour: each channel with noise of its own.
inline void RenderStar(TestPicture& picture, const StarShape& star, double sky, double noiseRms,
                       std::mt19937& rng, bool colour = false) {
    std::normal_distribution<double> noise(0.0, noiseRms > 0 ? noiseRms : 1.0);
    const auto level = [&](double v) {
        const double noisy = v + (noiseRms > 0 ? noise(rng) : 0.0);
        return static_cast<uint8_t>(std::clamp(std::lround(noisy), 0L, 255L));
    };
    for (int32_t y = 0; y < picture.h; ++y) {
        for (int32_t x = 0; x < picture.w; ++x) {
            const double v = sky + StarLight(star, x, y);
            uint8_t* p = picture.Pixel(x, y);
            if (colour) {
                for (int c = 0; c < 3; ++c) p[c] = level(v);
            } else {
                p[0] = p[1] = p[2] = level(v);
            }
        }
    }
}

inline PixelView ViewOf(const uint8_t* data, uint32_t stride, bool colour) {
    PixelView view;
    view.data = data;
    view.stride = stride;
    view.colour = colour;
    return view;
}
inline PixelView ViewOf(const TestPicture& picture, bool colour = false) {
    return ViewOf(picture.bytes.data(), picture.stride, colour);
}

}  // namespace kelpa::test
