// The static part of the simulated sky (background, field stars, hot pixels, noise tables), the
// guide star's path and the per-frame banding. Rendering lives in sim_render.cpp.
#include "sim/sim_sky.h"

#include "sim/sim_random.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kelpa {
namespace {

constexpr uint64_t kJitterSalt = 0x6A6974746572ull;
constexpr uint64_t kNoiseSalt = 0x6E6F697365ull;
constexpr uint64_t kUnitSalt = 0x756E6974ull;
constexpr uint64_t kStarSalt = 0x7374617273ull;
constexpr uint64_t kHotSalt = 0x686F74ull;
constexpr uint64_t kBandSalt = 0x62616E64ull;

double Finite(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

double Bounded(double value, double lo, double hi, double fallback) {
    return std::clamp(Finite(value, fallback), lo, hi);
}

// Keeps every parameter in the range the fixed-point renderer is built for.
SimSkyParams Sanitized(const SimSkyParams& in) {
    const SimSkyParams d;
    SimSkyParams p = in;
    p.width = std::clamp(in.width, 1, kSimMaxDimension);
    p.height = std::clamp(in.height, 1, kSimMaxDimension);
    const double rate = Finite(in.frameRate, d.frameRate);
    p.frameRate = rate > 0.0 ? rate : d.frameRate;
    p.background = Bounded(in.background, 0.0, 255.0, d.background);
    p.readNoise = Bounded(in.readNoise, 0.0, 16.0, d.readNoise);
    p.electronsPerDn = Bounded(in.electronsPerDn, 0.5, 1e6, d.electronsPerDn);
    p.rowBanding = Bounded(in.rowBanding, 0.0, 8.0, d.rowBanding);
    p.columnBanding = Bounded(in.columnBanding, 0.0, 8.0, d.columnBanding);
    p.starsPerMegapixel = Bounded(in.starsPerMegapixel, 0.0, 1000.0, d.starsPerMegapixel);
    p.starPeakMin = Bounded(in.starPeakMin, 1.0, 1e5, d.starPeakMin);
    p.starPeakMax = Bounded(in.starPeakMax, p.starPeakMin, 1e5, d.starPeakMax);
    p.psfSigma = Bounded(in.psfSigma, 0.5, 6.0, d.psfSigma);
    p.hotPixelsPerMegapixel = Bounded(in.hotPixelsPerMegapixel, 0.0, 1000.0, 0.0);
    p.guidePeak = Bounded(in.guidePeak, 0.0, 1000.0, d.guidePeak);
    p.driftAmplitudePx = Bounded(in.driftAmplitudePx, 0.0, 1000.0, 0.0);
    p.driftPeriodS = Finite(in.driftPeriodS, 0.0);
    p.driftAngleDeg = Finite(in.driftAngleDeg, 0.0);
    p.periodicErrorPx = Bounded(in.periodicErrorPx, 0.0, 1000.0, 0.0);
    p.periodicErrorPeriodS = Finite(in.periodicErrorPeriodS, 0.0);
    p.periodicErrorAngleDeg = Finite(in.periodicErrorAngleDeg, 0.0);
    p.seeingPx = Bounded(in.seeingPx, 0.0, 10.0, 0.0);
    return p;
}

// Radius (pixels) beyond which a star of this peak adds less than 1/32 DN.
int LightRadius(double peak, double sigma) {
    if (peak <= 1.0 / 32.0) return 1;
    return static_cast<int>(std::ceil(sigma * std::sqrt(2.0 * std::log(peak * 32.0)))) + 1;
}

// Share of a unit-flux Gaussian (centre `centre`, width `sigma`) falling on pixel `pixel`,
// which covers pixel - 0.5 ... pixel + 0.5.
double PixelShare(int pixel, double centre, double sigma) {
    const double k = 1.0 / (sigma * std::numbers::sqrt2);
    return 0.5 * (std::erf((pixel + 0.5 - centre) * k) - std::erf((pixel - 0.5 - centre) * k));
}

// A triangle wave of amplitude 1 that starts at 0 and rises first.
double Triangle(double t, double period) {
    if (period <= 0.0) return 0.0;
    return 2.0 / std::numbers::pi * std::asin(std::sin(2.0 * std::numbers::pi * t / period));
}

// `count` standard normal samples with mean exactly 0 and variance exactly 1, cut at 5 sigma
// so the fixed-point sums have a hard bound.
std::vector<double> NormalSamples(uint64_t key, int count) {
    SimRandom random(key);
    std::vector<double> z(count);
    double sum = 0.0;
    for (double& v : z) {
        v = std::clamp(random.Gaussian(), -5.0, 5.0);
        sum += v;
    }
    const double mean = sum / count;
    double squares = 0.0;
    for (double& v : z) {
        v -= mean;
        squares += v * v;
    }
    const double scale = 1.0 / std::sqrt(squares / count);
    for (double& v : z) v *= scale;
    return z;
}

int16_t ToInt16(double v) {
    return static_cast<int16_t>(std::clamp(std::lround(v), -32767l, 32767l));
}

struct StarLight {
    uint32_t index;  // y * width + x
    float signal;    // DN above the background
    float cb, cr;    // colour as full-range chroma, DN
};

}  // namespace

SimGuideTrack::SimGuideTrack(const SimSkyParams& params) : params_(Sanitized(params)) {
    const SimSkyParams& p = params_;
    home_ = {p.width * 0.5 + 0.3, p.height * 0.5 - 0.2};
    const double reach = p.driftAmplitudePx + p.periodicErrorPx + 4.0 * p.seeingPx +
                         LightRadius(p.guidePeak, p.psfSigma) + 2.0;
    zone_.left = std::max(0, static_cast<int>(std::floor(home_.x - reach)));
    zone_.top = std::max(0, static_cast<int>(std::floor(home_.y - reach)));
    zone_.right = std::min(p.width, static_cast<int>(std::ceil(home_.x + reach)) + 1);
    zone_.bottom = std::min(p.height, static_cast<int>(std::ceil(home_.y + reach)) + 1);
}

SimPoint SimGuideTrack::PositionAt(uint64_t frame) const {
    const SimSkyParams& p = params_;
    const double t = static_cast<double>(frame) / p.frameRate;
    const double degree = std::numbers::pi / 180.0;
    const double drift = p.driftAmplitudePx * Triangle(t, p.driftPeriodS);
    const double pe =
        p.periodicErrorPeriodS > 0.0
            ? p.periodicErrorPx * std::sin(2.0 * std::numbers::pi * t / p.periodicErrorPeriodS)
            : 0.0;
    SimRandom random(MixBits(MixBits(p.seed ^ kJitterSalt) ^ MixBits(frame)));
    const double jx = std::clamp(random.Gaussian(), -4.0, 4.0) * p.seeingPx;
    const double jy = std::clamp(random.Gaussian(), -4.0, 4.0) * p.seeingPx;
    return {home_.x + drift * std::cos(p.driftAngleDeg * degree) +
                pe * std::cos(p.periodicErrorAngleDeg * degree) + jx,
            home_.y + drift * std::sin(p.driftAngleDeg * degree) +
                pe * std::sin(p.periodicErrorAngleDeg * degree) + jy};
}

SimSky::SimSky(const SimSkyParams& params)
    : params_(Sanitized(params)), track_(params_), seedKey_(MixBits(params_.seed)) {
    const size_t w = static_cast<size_t>(params_.width);
    const size_t h = static_cast<size_t>(params_.height);
    guideRadius_ = LightRadius(params_.guidePeak, params_.psfSigma);
    base16_.assign(w * h, static_cast<int16_t>(std::lround(params_.background * 16.0)));
    BuildNoiseTables();
    BuildStars();
    BuildHotPixels();
    rows16_.resize(h);
    columns16_.resize(w);
    lumRow_.resize(w);
    chromaSum_.assign((w + 1) / 2 * 2, 0);
    guideX_.resize(2 * static_cast<size_t>(guideRadius_) + 2);
    guideY_.resize(2 * static_cast<size_t>(guideRadius_) + 2);
}

double SimSky::NoiseSigma() const {
    return std::sqrt(params_.readNoise * params_.readNoise +
                     params_.background / params_.electronsPerDn);
}

uint64_t SimSky::FrameKey(uint64_t frame) const {
    return MixBits(seedKey_ ^ MixBits(frame));
}

void SimSky::BuildNoiseTables() {
    const int w = params_.width;
    const int longest = std::max(params_.width, params_.height);
    const std::vector<double> sky = NormalSamples(seedKey_ ^ kNoiseSalt, kNoiseLength);
    const double sigma16 = NoiseSigma() * 16.0;
    noise16_.resize(static_cast<size_t>(kNoiseLength) + w);
    for (size_t i = 0; i < noise16_.size(); ++i) {
        noise16_[i] = ToInt16(sky[i % kNoiseLength] * sigma16);
    }
    const std::vector<double> unit = NormalSamples(seedKey_ ^ kUnitSalt, kNoiseLength);
    unit256_.resize(static_cast<size_t>(kNoiseLength) + longest);
    for (size_t i = 0; i < unit256_.size(); ++i) {
        unit256_[i] = ToInt16(unit[i % kNoiseLength] * 256.0);
    }
}

void SimSky::BuildStars() {
    const SimSkyParams& p = params_;
    const int w = p.width;
    const int h = p.height;
    const SimRect zone = track_.Zone();
    SimRandom random(seedKey_ ^ kStarSalt);
    const long count = std::lround(p.starsPerMegapixel * w * h / 1e6);
    const double logRange = std::log(p.starPeakMax / p.starPeakMin);
    const double clipLevel = 255.0 - p.background;  // light beyond this only saturates
    std::vector<StarLight> light;

    for (long i = 0; i < count; ++i) {
        // Most stars are faint: the cube pushes the logarithmic brightness towards the minimum.
        const double u = random.Uniform();
        const double peak = p.starPeakMin * std::exp(u * u * u * logRange);
        const int radius = LightRadius(peak, p.psfSigma);
        const double warmth = random.Uniform();
        const double tintCb = p.colour ? 0.10 - 0.22 * warmth : 0.0;
        const double tintCr = p.colour ? -0.08 + 0.20 * warmth : 0.0;
        double x = 0.0;
        double y = 0.0;
        bool placed = false;
        for (int attempt = 0; attempt < 8 && !placed; ++attempt) {
            x = random.Uniform() * w - 0.5;
            y = random.Uniform() * h - 0.5;
            placed = x + radius < zone.left || x - radius >= zone.right || y + radius < zone.top ||
                     y - radius >= zone.bottom;
        }
        if (!placed) continue;
        stars_.push_back({x, y, peak});

        const double flux = peak * 2.0 * std::numbers::pi * p.psfSigma * p.psfSigma;
        const int x0 = std::max(0, static_cast<int>(std::floor(x)) - radius);
        const int x1 = std::min(w - 1, static_cast<int>(std::floor(x)) + radius + 1);
        const int y0 = std::max(0, static_cast<int>(std::floor(y)) - radius);
        const int y1 = std::min(h - 1, static_cast<int>(std::floor(y)) + radius + 1);
        for (int row = y0; row <= y1; ++row) {
            const double rowShare = flux * PixelShare(row, y, p.psfSigma);
            for (int col = x0; col <= x1; ++col) {
                const double s = rowShare * PixelShare(col, x, p.psfSigma);
                const double seen = std::min(s, clipLevel);
                light.push_back({static_cast<uint32_t>(row * w + col), static_cast<float>(s),
                                 static_cast<float>(seen * tintCb),
                                 static_cast<float>(seen * tintCr)});
            }
        }
    }

    // Overlapping stars add up; then each lit pixel enters the static sky once.
    std::sort(light.begin(), light.end(),
              [](const StarLight& a, const StarLight& b) { return a.index < b.index; });
    rowStart_.assign(static_cast<size_t>(h) + 1, 0);
    for (size_t i = 0; i < light.size();) {
        StarLight sum = light[i];
        for (++i; i < light.size() && light[i].index == sum.index; ++i) {
            sum.signal += light[i].signal;
            sum.cb += light[i].cb;
            sum.cr += light[i].cr;
        }
        int16_t& base = base16_[sum.index];
        base = static_cast<int16_t>(
            std::min<long>(base + std::lround(sum.signal * 16.0), kMaxStatic16));
        if (sum.signal < 1.0f) continue;
        const double cb = std::clamp<double>(sum.cb, -60.0, 60.0);
        const double cr = std::clamp<double>(sum.cr, -60.0, 60.0);
        const double shot =
            std::sqrt(std::min<double>(sum.signal, kMaxStatic16 / 16.0) / p.electronsPerDn);
        starPixels_.push_back({static_cast<uint16_t>(sum.index % w), ToInt16(shot * 16.0),
                               ToInt16(1.772 * cb), ToInt16(-0.344136 * cb - 0.714136 * cr),
                               ToInt16(1.402 * cr),
                               static_cast<int8_t>(std::lround(cb * 224.0 / 255.0)),
                               static_cast<int8_t>(std::lround(cr * 224.0 / 255.0))});
        ++rowStart_[sum.index / w + 1];
    }
    for (int row = 0; row < h; ++row) rowStart_[row + 1] += rowStart_[row];
}

void SimSky::BuildHotPixels() {
    const SimSkyParams& p = params_;
    const SimRect zone = track_.Zone();
    const int16_t sky16 = static_cast<int16_t>(std::lround(p.background * 16.0));
    SimRandom random(seedKey_ ^ kHotSalt);
    const long count = std::lround(p.hotPixelsPerMegapixel * p.width * p.height / 1e6);
    for (long i = 0; i < count; ++i) {
        for (int attempt = 0; attempt < 8; ++attempt) {
            const int x = std::min(p.width - 1, static_cast<int>(random.Uniform() * p.width));
            const int y = std::min(p.height - 1, static_cast<int>(random.Uniform() * p.height));
            const int level = 100 + static_cast<int>(random.Uniform() * 156.0);
            const bool inZone =
                x >= zone.left && x < zone.right && y >= zone.top && y < zone.bottom;
            int16_t& base = base16_[static_cast<size_t>(y) * p.width + x];
            // Only on bare sky, so a hot pixel never carries a star's noise or colour.
            if (inZone || base != sky16) continue;
            base = static_cast<int16_t>(level * 16);
            hotPixels_.push_back({x, y, level});
            break;
        }
    }
}

void SimSky::FillBanding(uint64_t frame, int16_t* rows16, int16_t* columns16) const {
    const uint64_t key = MixBits(FrameKey(frame) ^ kBandSalt);
    const int16_t* rowNoise = &unit256_[key & (kNoiseLength - 1)];
    const int16_t* columnNoise = &unit256_[(key >> 20) & (kNoiseLength - 1)];
    const int rowScale = static_cast<int>(std::lround(params_.rowBanding * 16.0));
    const int columnScale = static_cast<int>(std::lround(params_.columnBanding * 16.0));
    for (int y = 0; y < params_.height; ++y) {
        rows16[y] = static_cast<int16_t>((rowScale * rowNoise[y]) >> 8);
    }
    for (int x = 0; x < params_.width; ++x) {
        columns16[x] = static_cast<int16_t>((columnScale * columnNoise[x]) >> 8);
    }
}

void SimSky::PrepareFrame(uint64_t frame) {
    frameKey_ = FrameKey(frame);
    FillBanding(frame, rows16_.data(), columns16_.data());

    // The guide star's light for this frame, as one factor per window column and row.
    const SimPoint star = track_.PositionAt(frame);
    const double sigma = params_.psfSigma;
    const double amplitude = std::sqrt(params_.guidePeak * 2.0 * std::numbers::pi * sigma * sigma);
    const int cx = static_cast<int>(std::floor(star.x));
    const int cy = static_cast<int>(std::floor(star.y));
    guideLeft_ = std::max(0, cx - guideRadius_);
    guideRight_ = std::min(params_.width, cx + guideRadius_ + 2);
    guideTop_ = std::max(0, cy - guideRadius_);
    guideBottom_ = std::min(params_.height, cy + guideRadius_ + 2);
    if (guideLeft_ >= guideRight_ || guideTop_ >= guideBottom_) {
        guideRight_ = guideLeft_;
        guideBottom_ = guideTop_;
        return;
    }
    for (int x = guideLeft_; x < guideRight_; ++x) {
        guideX_[x - guideLeft_] = static_cast<float>(amplitude * PixelShare(x, star.x, sigma));
    }
    for (int y = guideTop_; y < guideBottom_; ++y) {
        guideY_[y - guideTop_] = static_cast<float>(amplitude * PixelShare(y, star.y, sigma));
    }
}

}  // namespace kelpa
