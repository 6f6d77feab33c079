// Size, brightness and signal-to-noise of one star in the guide window: half-flux diameter,
// FWHM from second moments, peak level and SNR, each over a circular aperture around a given
// centre, with the background taken robustly from a ring just outside that aperture.
//
// Runs on the streaming thread after the guide position is found; allocates nothing (the ring is
// counted into a histogram on the stack).
#pragma once

#include <cstdint>

#include "processing/chain_kernels.h"

namespace kelpa {

// The aperture's radius follows the star: kApertureSigmas times its sigma, held to
// [kMinApertureRadius, kMaxApertureRadius]. Four sigmas hold all but 0.03 % of a Gaussian's
// light, so neither the HFD nor the FWHM is cut short; stars wider than 6 px sigma are measured
// inside 24 px and come out too small.
inline constexpr float kApertureSigmas = 4.0f;
inline constexpr float kMinApertureRadius = 3.0f;
inline constexpr float kMaxApertureRadius = 24.0f;
// The background ring starts kRingGap px outside the aperture and holds about kRingPixels
// pixels (about 1.6 % error in the noise it gives, which the SNR inherits); it needs
// kMinRingSamples of them inside the window.
inline constexpr float kRingGap = 3.0f;
inline constexpr double kRingPixels = 2000.0;
inline constexpr int32_t kMinRingSamples = 24;
// Values a pixel can have: 0 ... 255, or 0 ... 765 for the sum of three channels.
inline constexpr int32_t kValueBins = 766;
// Light below this SNR is not taken for a star.
inline constexpr float kMinSnr = 5.0f;

// Background of a ring in view values (B + G + R for colour): the median of the samples,
// interpolated inside its level so that quantised skies keep fractions of a level, and the RMS
// of the samples within 4 MAD-sigmas of it (stars and hot pixels in the ring are left out; the
// MAD alone is too coarse on 8-bit levels).
struct StarBackground {
    float level = 0.0f;
    float sigma = 0.0f;
    int32_t samples = 0;
};

// Pixels of the window whose centre lies at a distance in [innerRadius, outerRadius) from
// (x, y).
StarBackground RingBackground(const PixelView& view, const Rect& window, float x, float y,
                              float innerRadius, float outerRadius);

// Robust level and spread of the values counted in a histogram of kValueBins bins.
StarBackground RobustBackground(const uint32_t (&counts)[kValueBins]);

struct StarMetrics {
    // Half-flux diameter in px: twice the flux-weighted mean distance of the aperture's
    // background-subtracted light from the centre (2.507 sigma for a Gaussian; the measure
    // focusing aids use, steadier on small stars than the radius of the half-flux circle).
    float hfd = 0.0f;
    // 2.3548 times the star's sigma (the mean of the two axes) from the background-subtracted
    // second moments, taken through a Gaussian window of about the star's size and corrected
    // for it: exact for a Gaussian star, with much less noise than plain moments, which weigh
    // the aperture's outer pixels by r^2. A star the window cannot explain (a defocused ring)
    // falls back to the plain moments.
    float fwhm = 0.0f;
    // Highest level in the aperture (As Is: (B + G + R) / 3), background included: 255 means
    // the star is saturated.
    float peak = 0.0f;
    // Star flux over the background noise of the same aperture, sqrt(aperturePixels) *
    // backgroundSigma. No photon-noise term: the picture's levels are not electrons (gain,
    // stacking and amplification are unknown here), so this is the SNR against the sky.
    float snr = 0.0f;
    // False when the aperture is cut by the window, the ring holds too few samples, or the
    // light does not stand kMinSnr above the background noise (it may be noise itself).
    bool valid = false;

    // Background-subtracted light in the aperture, in levels times pixels.
    float flux = 0.0f;
    // Background level and noise in levels (As Is: the three-channel sums divided by 3).
    float background = 0.0f;
    float backgroundSigma = 0.0f;
    float apertureRadius = 0.0f;
    int32_t aperturePixels = 0;
};

// Measures the star centred at (x, y), frame coordinates with pixel centres at integers.
// Reads only the pixels inside `window`, which must lie inside the view's picture.
StarMetrics MeasureStar(const PixelView& view, const Rect& window, float x, float y);

}  // namespace kelpa
