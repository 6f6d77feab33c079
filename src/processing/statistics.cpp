#include "processing/statistics.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "processing/chain_kernels.h"
#include "processing/output_stage.h"
#include "processing/proc_engine.h"

namespace kelpa {
namespace {

struct Moments {
    uint64_t count = 0;
    double s1 = 0;
    double s2 = 0;
};

Moments SumBins(const uint32_t (&h)[kHistogramBins], int32_t lo, int32_t hi) {
    Moments m;
    uint64_t s1 = 0;
    uint64_t s2 = 0;
    for (int32_t i = std::max(lo, 0); i <= std::min(hi, kHistogramBins - 1); ++i) {
        m.count += h[i];
        s1 += uint64_t{h[i]} * i;
        s2 += uint64_t{h[i]} * i * i;
    }
    m.s1 = static_cast<double>(s1);
    m.s2 = static_cast<double>(s2);
    return m;
}

int32_t RoundHalfAway(double v) {
    return static_cast<int32_t>(std::lround(v));
}

// The window cut to the picture.
Rect WindowInPicture(const FrameBuffer& picture, int32_t left, int32_t top, int32_t width,
                     int32_t height) {
    const int32_t x0 = std::clamp(left, 0, picture.width);
    const int32_t y0 = std::clamp(top, 0, picture.height);
    const int32_t x1 = std::clamp(left + std::max(width, 0), x0, picture.width);
    const int32_t y1 = std::clamp(top + std::max(height, 0), y0, picture.height);
    return Rect{x0, y0, x1 - x0, y1 - y0};
}

}  // namespace

AreaStatistics ComputeStatistics(const uint32_t (&h)[kHistogramBins], uint32_t pixelCount) {
    AreaStatistics st;
    st.histMax = 0;
    for (int32_t i = kHistogramBins - 1; i >= 1; --i) {
        if (h[i]) {
            st.histMax = i;
            break;
        }
    }
    st.histMin = 255;
    for (int32_t i = 0; i <= 254; ++i) {
        if (h[i]) {
            st.histMin = i;
            break;
        }
    }
    // A window of no pixels has no mean to speak of.
    if (pixelCount == 0) return st;

    const Moments all = SumBins(h, st.histMin, st.histMax);
    const double mean = all.s1 / pixelCount;
    const double variance = all.s2 / pixelCount - mean * mean;
    st.mean = static_cast<float>(mean);
    st.bkgr = st.mean;
    if (variance <= 0) return st;

    const double rms = std::sqrt(variance);
    st.rms = static_cast<float>(rms);
    double bkgr = mean;
    double bkgrRms = rms;
    int32_t lo = std::max(RoundHalfAway(mean - 4 * rms), st.histMin);
    int32_t hi = std::min(RoundHalfAway(mean + 2 * rms), st.histMax);
    for (int pass = 0; pass < 7; ++pass) {
        const Moments m = SumBins(h, lo, hi);
        if (m.count == 0) break;
        const double level = m.s1 / m.count;
        const double v = m.s2 / m.count - level * level;
        if (!(v > FLT_MIN)) break;
        const double r = std::sqrt(v);
        if (r > bkgrRms) break;
        bkgr = level;
        const int32_t newLo = std::max(RoundHalfAway(level - 2 * r), st.histMin);
        const int32_t newHi = std::min(RoundHalfAway(level + 2 * r), st.histMax);
        const bool narrower = r < bkgrRms;
        const bool moved = newLo != lo || newHi != hi;
        bkgrRms = r;
        lo = newLo;
        hi = newHi;
        if (!narrower || !moved) break;
    }
    st.bkgr = static_cast<float>(bkgr);
    st.bkgrRms = static_cast<float>(bkgrRms);
    return st;
}

void BuildHistogram(const FrameBuffer& picture, int32_t left, int32_t top, int32_t width,
                    int32_t height, bool colour, uint32_t (&histogram)[kHistogramBins]) {
    std::memset(histogram, 0, sizeof histogram);
    if (!picture.data) return;
    AddHistogram(PictureView(picture, colour), WindowInPicture(picture, left, top, width, height),
                 histogram, nullptr);
}

namespace scalar {

void BuildHistogram(const FrameBuffer& picture, int32_t left, int32_t top, int32_t width,
                    int32_t height, bool colour, uint32_t (&histogram)[kHistogramBins]) {
    std::memset(histogram, 0, sizeof histogram);
    if (!picture.data) return;
    const Rect r = WindowInPicture(picture, left, top, width, height);
    for (int32_t y = r.y0; y < r.y0 + r.h; ++y) {
        const uint8_t* p = picture.data + size_t{picture.stride} * y + 3 * size_t(r.x0);
        if (colour) {
            for (int32_t x = 0; x < r.w; ++x, p += 3) ++histogram[(p[0] + p[1] + p[2] + 1) / 3];
        } else {
            for (int32_t x = 0; x < r.w; ++x, p += 3) ++histogram[p[0]];
        }
    }
}

}  // namespace scalar

void ProcEngine::MeasureArea() {
    MeasureArea(nullptr);
}

// Histogram, statistics and guide star of the statistics window, read from the work plane of
// the fused frame path or, without one, from the processed picture.
void ProcEngine::MeasureArea(const WorkPlane* plane, bool histogramReady) {
    std::lock_guard lock(chainLock);
    if (measuring_) return;  // an auto move inside the guide step re-applies the area
    measuring_ = true;
    const PixelWindow& w = statWindow;
    const bool colour = processor && processor->colour;
    const bool scratch = chainScratch.Ready() && w.height <= chainScratch.Height();
    uint16_t* rowMax = scratch ? chainScratch.RowMax() : nullptr;
    uint32_t* pairs = scratch ? chainScratch.Pairs() : nullptr;
    bool rowMaxFilled = false;
    if (histogramReady) {
        rowMaxFilled = rowMax != nullptr;
    } else if (plane) {
        std::fill(std::begin(histogram), std::end(histogram), 0u);
        AddHistogram(plane->view, Rect{w.left, w.top, w.width, w.height}, histogram, rowMax, pairs);
        if (pairs) FoldPairs(pairs, histogram);
        rowMaxFilled = rowMax != nullptr;
    } else {
        std::fill(std::begin(histogram), std::end(histogram), 0u);
        std::lock_guard out(surf.PictureLock());
        const FrameBuffer& picture = surf.Picture();
        const Rect r = WindowInPicture(picture, w.left, w.top, w.width, w.height);
        if (picture.data) {
            AddHistogram(PictureView(picture, colour), r, histogram, rowMax, pairs);
            if (pairs) FoldPairs(pairs, histogram);
        }
        rowMaxFilled =
            rowMax && r.x0 == w.left && r.y0 == w.top && r.w == w.width && r.h == w.height;
    }
    StoreStatistics(*this, ComputeStatistics(histogram, pixelCount));
    if (params.guideEnable.load()) {
        const PixelWindow& g = guideWindow;
        const bool sameWindow =
            g.left == w.left && g.top == w.top && g.width == w.width && g.height == w.height;
        MeasureGuide(plane, rowMaxFilled && sameWindow ? rowMax : nullptr);
    } else {
        starMetrics_ = StarMetrics{};
    }
    if (statisticsWanted.load()) {
        ReadPixelValue(plane);
        // A frame's statistics are posted after the frame; a measurement between frames (the
        // area moved while the graph stands) is posted at once, under the last frame's number.
        if (!inFrame_ && events_ != nullptr) {
            StatisticsSnapshot snapshot;
            FillSnapshot(&snapshot);
            events_->PostStatistics(snapshot);
        }
    }
    measuring_ = false;
}

void ProcEngine::FillSnapshot(StatisticsSnapshot* out) const {
    out->frame = lastFrame_;
    out->time = lastTime_;
    const FrameBuffer& picture = surf.Picture();
    out->width = picture.width;
    out->height = picture.height;
    out->histMin = histMin.load();
    out->histMax = histMax.load();
    out->mean = mean.load();
    out->rms = rms.load();
    out->bkgr = bkgr.load();
    out->bkgrRms = bkgrRms.load();
    out->starX = starX.load();
    out->starY = starY.load();
    out->starThreshold = guideThreshold;
    out->pixelValue = pixelValue.load();
    out->guideEnable = params.guideEnable.load() != 0;
    const bool metrics = out->guideEnable && starMetrics_.valid;
    out->starMetricsValid = metrics;
    out->hfd = metrics ? starMetrics_.hfd : 0.0f;
    out->fwhm = metrics ? starMetrics_.fwhm : 0.0f;
    out->peak = metrics ? starMetrics_.peak : 0.0f;
    out->snr = metrics ? starMetrics_.snr : 0.0f;
    out->amp = params.amp.load();
    out->countAccum = params.countAccum.load();
    out->delayMs = params.delayMs.load();
}

void ProcEngine::PublishStatistics(uint64_t frame, double time, StatisticsSnapshot* out) {
    std::lock_guard lock(chainLock);
    lastFrame_ = frame;
    lastTime_ = time;
    FillSnapshot(out);
    if (events_ != nullptr) events_->PostStatistics(*out);
}

void ProcEngine::ReadPixelValue(const WorkPlane* plane) {
    const float sx = starX.load();
    const float sy = starY.load();
    if (!(sx >= 0) || !(sy >= 0)) return;
    const int32_t x = static_cast<int32_t>(std::min(sx, 1e9f));
    const int32_t y = static_cast<int32_t>(std::min(sy, 1e9f));
    // Inside the area a grey plane holds what the picture will show before banding.
    if (plane && plane->view.bytesPerPixel == 1 && x >= plane->area.x0 &&
        x < plane->area.x0 + plane->area.w && y >= plane->area.y0 &&
        y < plane->area.y0 + plane->area.h) {
        pixelValue.store(uint32_t{*plane->view.At(x, y)} * 0x010101u);
        return;
    }
    std::lock_guard out(surf.PictureLock());
    const FrameBuffer& picture = surf.Picture();
    if (!picture.data || x >= picture.width || y >= picture.height) return;
    const uint8_t* p = picture.data + size_t{picture.stride} * y + 3 * size_t(x);
    pixelValue.store(p[0] + 256u * p[1] + 65536u * p[2]);
}

void ProcEngine::SetStarThresholds(int32_t method, const float factors[3]) {
    constexpr float kHigh[3] = {20.0f, 20.0f, 0.0f};
    for (int i = 0; i < 3; ++i) {
        // A factor that is not a number leaves the stored one as it was.
        if (std::isnan(factors[i])) continue;
        params.starThresholdFactor[i].store(std::clamp(factors[i], -20.0f, kHigh[i]));
    }
    method = std::clamp(method, 0, 2);
    if (params.starThresholdMethod.load() != method) params.starThresholdMethod.store(method);
}

}  // namespace kelpa
