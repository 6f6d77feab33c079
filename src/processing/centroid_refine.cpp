#include "processing/centroid_refine.h"

#include <algorithm>
#include <cmath>

#include "processing/chain_kernels_detail.h"

namespace kelpa {
namespace {

// Steps are never made more than five times larger.
constexpr float kMinStepGain = 0.2f;
// The HFD of a Gaussian star over its sigma.
constexpr float kHfdPerSigma = 2.5066283f;

// Columns (or rows) a box of half-side kMaxBoxSide / 2 can touch.
constexpr int32_t kMaxSpan = static_cast<int32_t>(kMaxBoxSide) + 2;

// The columns (or rows) [begin, end) that touch [centre - half, centre + half], each with the
// share of its width inside.
struct Coverage {
    int32_t begin = 0;
    int32_t end = 0;
    float share[kMaxSpan] = {};
};
void Cover(float centre, float half, Coverage& c) {
    const float lo = centre - half;
    const float hi = centre + half;
    c.begin = static_cast<int32_t>(std::floor(lo + 0.5f));
    c.end = std::min(static_cast<int32_t>(std::ceil(hi - 0.5f)) + 1, c.begin + kMaxSpan);
    for (int32_t i = c.begin; i < c.end; ++i) {
        const float a = std::max(lo, i - 0.5f);
        const float b = std::min(hi, i + 0.5f);
        c.share[i - c.begin] = std::max(0.0f, b - a);
    }
}

// How far the centre of a Gaussian star of sigma `sigma` seen through a box of half-side
// `half` moves when the star moves by one: the box holds back the light of the side the star
// moves to. Near 1 for wide boxes; near the window's edge, where the box shrinks to a sigma or
// so, about 0.2, and the steps of the plain iteration would creep. Dividing each step by it
// reaches the same centre in a few steps.
float StepGain(float half, float sigma) {
    constexpr float kInverseSqrt2Pi = 0.3989422804f;
    constexpr float kInverseSqrt2 = 0.7071067812f;
    const float u = half / sigma;
    const float gain =
        1.0f - 2.0f * u * kInverseSqrt2Pi * std::exp(-0.5f * u * u) / std::erf(u * kInverseSqrt2);
    return std::clamp(gain, kMinStepGain, 1.0f);
}

}  // namespace

RefinedCentre RefineCentroid(const PixelView& view, const Rect& window, float x, float y, float hfd,
                             float background) {
    RefinedCentre out;
    out.x = x;
    out.y = y;
    if (!std::isfinite(x) || !std::isfinite(y) || !(hfd > 0) || !std::isfinite(hfd) ||
        window.w <= 0 || window.h <= 0) {
        return out;
    }
    const float half = 0.5f * std::clamp(kBoxHfds * hfd, kMinBoxSide, kMaxBoxSide);
    // The pixels of the window cover [x0 - 0.5, x0 + w - 0.5) and the same for rows.
    const float left = window.x0 - 0.5f;
    const float right = window.x0 + window.w - 0.5f;
    const float top = window.y0 - 0.5f;
    const float bottom = window.y0 + window.h - 0.5f;

    Coverage cols;
    Coverage rows;
    float cx = x;
    float cy = y;
    for (int32_t step = 1; step <= kMaxRefineSteps; ++step) {
        const float halfX = std::min({half, cx - left, right - cx});
        const float halfY = std::min({half, cy - top, bottom - cy});
        // Near the window's edge the box shrinks with every step towards it; the last centre
        // measured is the best there is.
        if (!(halfX >= kMinBoxHalfSide) || !(halfY >= kMinBoxHalfSide)) break;
        Cover(cx, halfX, cols);
        Cover(cy, halfY, rows);
        double sumW = 0;
        double sumX = 0;
        double sumY = 0;
        for (int32_t row = rows.begin; row < rows.end; ++row) {
            const double shareY = rows.share[row - rows.begin];
            const uint8_t* p = view.At(cols.begin, row);
            double rowW = 0;
            double rowX = 0;
            for (int32_t col = cols.begin; col < cols.end; ++col, p += view.bytesPerPixel) {
                const double w = (detail::ViewValue(view, p) - double{background}) *
                                 cols.share[col - cols.begin];
                rowW += w;
                rowX += w * col;
            }
            sumW += rowW * shareY;
            sumX += rowX * shareY;
            sumY += rowW * shareY * row;
        }
        if (!(sumW > 0)) return out;
        const float sigma = hfd / kHfdPerSigma;
        const float nx = cx + (static_cast<float>(sumX / sumW) - cx) / StepGain(halfX, sigma);
        const float ny = cy + (static_cast<float>(sumY / sumW) - cy) / StepGain(halfY, sigma);
        // A centre that leaves the first box has followed noise, not the star.
        if (!(std::abs(nx - x) <= half && std::abs(ny - y) <= half)) return out;
        const float moved = std::hypot(nx - cx, ny - cy);
        cx = nx;
        cy = ny;
        out.steps = step;
        if (moved < kSettledPx) break;
    }
    out.x = cx;
    out.y = cy;
    out.refined = out.steps > 0;
    return out;
}

GuideStar MeasureGuideStar(const PixelView& view, const Rect& window, float x, float y,
                           bool refine) {
    GuideStar star;
    star.x = x;
    star.y = y;
    star.metrics = MeasureStar(view, window, x, y);
    if (!refine || !(star.metrics.flux > 0)) return star;
    const float channels = view.colour ? 3.0f : 1.0f;
    const RefinedCentre c =
        RefineCentroid(view, window, x, y, star.metrics.hfd, star.metrics.background * channels);
    if (!c.refined) return star;
    star.x = c.x;
    star.y = c.y;
    star.refined = true;
    star.metrics = MeasureStar(view, window, c.x, c.y);
    return star;
}

}  // namespace kelpa
