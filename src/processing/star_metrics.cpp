#include "processing/star_metrics.h"

#include <algorithm>
#include <cmath>

#include "processing/chain_kernels_detail.h"

namespace kelpa {
namespace {

// FWHM of a Gaussian over its sigma: 2 sqrt(2 ln 2).
constexpr double kFwhmPerSigma = 2.3548200450309493;
constexpr double kPi = 3.14159265358979323846;
// A MAD times this is the sigma of Gaussian noise.
constexpr double kSigmaPerMad = 1.4826;
// Ring samples further than this many MAD-sigmas from the median are not background.
constexpr double kClipSigmas = 4.0;
// The first aperture, before the star's size is known; then at most kMaxSizeIterations
// apertures, until the radius changes by less than kRadiusTolerance px.
constexpr float kStartRadius = 8.0f;
constexpr int32_t kMaxSizeIterations = 8;
constexpr float kRadiusTolerance = 0.25f;

// Pixel columns or rows whose centres lie in [centre - reach, centre + reach], cut to
// [first, first + count).
struct Span {
    int32_t begin;
    int32_t end;  // one past the last
};
Span SpanAround(float centre, float reach, int32_t first, int32_t count) {
    const auto lo = static_cast<int32_t>(std::ceil(std::max(centre - reach, -1e6f)));
    const auto hi = static_cast<int32_t>(std::floor(std::min(centre + reach, 1e6f)));
    return {std::max(lo, first), std::min(hi + 1, first + count)};
}

// Second moments per axis of a light distribution, about its own mean.
struct Moments {
    double sum = 0;
    double sumX = 0;
    double sumY = 0;
    double sumXX = 0;
    double sumYY = 0;

    void Add(double w, double dx, double dy) {
        sum += w;
        sumX += w * dx;
        sumY += w * dy;
        sumXX += w * dx * dx;
        sumYY += w * dy * dy;
    }
    // The variance of the two axes' mean; not above 0 when there is no light.
    double Variance() const {
        if (!(sum > 0)) return 0;
        const double meanX = sumX / sum;
        const double meanY = sumY / sum;
        return 0.5 * (sumXX / sum - meanX * meanX + sumYY / sum - meanY * meanY);
    }
};

// Background-subtracted sums over the pixels within `radius` of the centre, w = v - background,
// with dx and dy taken from the centre.
struct ApertureSums {
    double flux = 0;
    double sumR = 0;  // of w * distance
    Moments plain;
    // Moments of w * exp(-r^2 / (2 s^2)), the light seen through a Gaussian of sigma s.
    Moments weighted;
    double weightSigma = 0;
    int32_t pixels = 0;
    uint32_t maxValue = 0;
    float radius = 0;
    bool cut = false;  // part of the disc lies outside the window

    // The star's sigma. Through the Gaussian window a Gaussian star of sigma t shows a
    // variance m^2 with 1 / m^2 = 1 / t^2 + 1 / s^2, whatever s is.
    double Sigma() const {
        const double m2 = weighted.Variance();
        if (weightSigma > 0 && m2 > 0) {
            const double inverse = 1.0 / m2 - 1.0 / (weightSigma * weightSigma);
            if (inverse > 0) return std::sqrt(1.0 / inverse);
        }
        const double v = plain.Variance();
        return v > 0 ? std::sqrt(v) : 0;
    }
};

ApertureSums SumAperture(const PixelView& view, const Rect& window, float x, float y, float radius,
                         float background, double weightSigma) {
    ApertureSums s;
    s.radius = radius;
    s.weightSigma = weightSigma;
    const Span cols = SpanAround(x, radius, window.x0, window.w);
    const Span rows = SpanAround(y, radius, window.y0, window.h);
    s.cut = std::ceil(x - radius) < window.x0 || std::floor(x + radius) >= window.x0 + window.w ||
            std::ceil(y - radius) < window.y0 || std::floor(y + radius) >= window.y0 + window.h;
    const double r2Max = double{radius} * radius;
    const double falloff = weightSigma > 0 ? -0.5 / (weightSigma * weightSigma) : 0.0;
    for (int32_t row = rows.begin; row < rows.end; ++row) {
        const double dy = row - double{y};
        const uint8_t* p = view.At(cols.begin, row);
        for (int32_t col = cols.begin; col < cols.end; ++col, p += view.bytesPerPixel) {
            const double dx = col - double{x};
            const double r2 = dx * dx + dy * dy;
            if (r2 > r2Max) continue;
            const uint32_t v = detail::ViewValue(view, p);
            const double w = v - double{background};
            s.flux += w;
            s.sumR += w * std::sqrt(r2);
            s.plain.Add(w, dx, dy);
            if (weightSigma > 0) s.weighted.Add(w * std::exp(falloff * r2), dx, dy);
            s.maxValue = std::max(s.maxValue, v);
            ++s.pixels;
        }
    }
    return s;
}

// The ring from `inner` outward that holds about kRingPixels pixels.
float RingOuterRadius(float inner) {
    return static_cast<float>(std::sqrt(double{inner} * inner + kRingPixels / kPi));
}

}  // namespace

StarBackground RobustBackground(const uint32_t (&counts)[kValueBins]) {
    StarBackground bg;
    uint64_t total = 0;
    for (uint32_t c : counts) total += c;
    if (total == 0) return bg;

    // Median of the grouped values: each level spread evenly over [v - 0.5, v + 0.5).
    const double half = 0.5 * static_cast<double>(total);
    uint64_t below = 0;
    int32_t median = 0;
    while (median < kValueBins - 1 && static_cast<double>(below + counts[median]) < half) {
        below += counts[median++];
    }
    const double level = counts[median]
                             ? median - 0.5 + (half - static_cast<double>(below)) / counts[median]
                             : median;

    // MAD about the median's level: the smallest d that holds half the samples within +-d.
    uint64_t within = counts[median];
    int32_t mad = 0;
    while (static_cast<double>(within) < half && mad < kValueBins) {
        ++mad;
        if (median - mad >= 0) within += counts[median - mad];
        if (median + mad < kValueBins) within += counts[median + mad];
    }
    // Whole levels make the MAD coarse (0 for a sky mostly of one level): at least 1.
    const double clip = kClipSigmas * kSigmaPerMad * std::max(mad, 1);

    const int32_t lo = std::max(0, static_cast<int32_t>(std::ceil(level - clip)));
    const int32_t hi = std::min(kValueBins - 1, static_cast<int32_t>(std::floor(level + clip)));
    double n = 0;
    double s1 = 0;
    double s2 = 0;
    for (int32_t v = lo; v <= hi; ++v) {
        n += counts[v];
        s1 += static_cast<double>(counts[v]) * v;
        s2 += static_cast<double>(counts[v]) * v * v;
    }
    bg.level = static_cast<float>(level);
    bg.samples = static_cast<int32_t>(std::min<uint64_t>(total, INT32_MAX));
    if (n > 0) {
        const double mean = s1 / n;
        bg.sigma = static_cast<float>(std::sqrt(std::max(0.0, s2 / n - mean * mean)));
    }
    return bg;
}

StarBackground RingBackground(const PixelView& view, const Rect& window, float x, float y,
                              float innerRadius, float outerRadius) {
    uint32_t counts[kValueBins] = {};
    const Span cols = SpanAround(x, outerRadius, window.x0, window.w);
    const Span rows = SpanAround(y, outerRadius, window.y0, window.h);
    const double inner2 = double{innerRadius} * innerRadius;
    const double outer2 = double{outerRadius} * outerRadius;
    for (int32_t row = rows.begin; row < rows.end; ++row) {
        const double dy = row - double{y};
        const uint8_t* p = view.At(cols.begin, row);
        for (int32_t col = cols.begin; col < cols.end; ++col, p += view.bytesPerPixel) {
            const double dx = col - double{x};
            const double r2 = dx * dx + dy * dy;
            if (r2 >= inner2 && r2 < outer2) ++counts[detail::ViewValue(view, p)];
        }
    }
    return RobustBackground(counts);
}

StarMetrics MeasureStar(const PixelView& view, const Rect& window, float x, float y) {
    StarMetrics m;
    if (!std::isfinite(x) || !std::isfinite(y) || window.w <= 0 || window.h <= 0) return m;

    // Background and light for an aperture, whose radius then follows the star's sigma.
    float radius = kStartRadius;
    double sigma = 0;
    StarBackground bg;
    ApertureSums s;
    for (int32_t i = 0; i < kMaxSizeIterations; ++i) {
        bg = RingBackground(view, window, x, y, radius + kRingGap,
                            RingOuterRadius(radius + kRingGap));
        if (bg.samples < kMinRingSamples) return m;
        s = SumAperture(view, window, x, y, radius, bg.level, sigma);
        // The first aperture is too wide for the moments of a small star: its size comes
        // from the light over the peak instead (a Gaussian holds 2 pi sigma^2 times its peak),
        // rough but steady, and then from the moments through a window of that size.
        const double peak = s.maxValue - double{bg.level};
        const double next =
            i > 0 ? s.Sigma() : (s.flux > 0 && peak > 0 ? std::sqrt(s.flux / (2 * kPi * peak)) : 0);
        if (!(next > 0)) {
            sigma = 0;
            break;
        }
        const float nextRadius = std::clamp(static_cast<float>(kApertureSigmas * next),
                                            kMinApertureRadius, kMaxApertureRadius);
        sigma = next;
        if (i > 0 && std::abs(nextRadius - radius) < kRadiusTolerance) break;
        radius = nextRadius;
    }

    const double channels = view.colour ? 3.0 : 1.0;
    m.flux = static_cast<float>(s.flux / channels);
    m.background = static_cast<float>(bg.level / channels);
    m.backgroundSigma = static_cast<float>(bg.sigma / channels);
    m.peak = static_cast<float>(s.maxValue / channels);
    m.apertureRadius = s.radius;
    m.aperturePixels = s.pixels;
    if (!(sigma > 0) || s.pixels == 0) return m;
    m.fwhm = static_cast<float>(kFwhmPerSigma * sigma);
    m.hfd = static_cast<float>(2.0 * s.sumR / s.flux);
    // Rounding to whole levels is noise too: a sky of one level still has 1/12 level^2 per
    // channel, so a noiseless synthetic sky does not give an infinite SNR.
    const double noise = std::max(double{bg.sigma}, std::sqrt(channels / 12.0));
    m.snr = static_cast<float>(s.flux / (std::sqrt(static_cast<double>(s.pixels)) * noise));
    m.valid = !s.cut && m.hfd > 0 && m.snr >= kMinSnr;
    return m;
}

}  // namespace kelpa
