// Guide-star measurement inside the guide window, the guide flags, and the automatic
// re-centring of the processing area on the star ("Auto move").
#include <algorithm>
#include <cmath>
#include <mutex>

#include "processing/centroid_refine.h"
#include "processing/chain_kernels.h"
#include "processing/output_stage.h"
#include "processing/proc_engine.h"

namespace kelpa {
namespace {

// Share of the area's width and height, on each side, that the star may wander into before
// the area follows it.
constexpr float kInnerMargin = 0.2f;
// A candidate position this close (in pixels, on both axes) to the last one is taken at once.
constexpr int32_t kFollowDistance = 80;
// Frames a far-away position must persist before the area jumps to it.
constexpr int32_t kRejectedFramesBeforeJump = 10;

// A threshold level from a float, truncated toward zero; not-a-number counts as 0.
int32_t TruncateLevel(float v) {
    if (std::isnan(v)) return 0;
    return static_cast<int32_t>(std::clamp(v, -1e6f, 1e6f));
}

// The light-weighted centre of the pixels above the threshold and, around it, the star's size
// and brightness; with `refine` the centre is then recomputed around the star. False when no
// pixel lies above the threshold. Without the refinement the centre is exactly the weighted
// mean of the moments.
bool LocateStar(const PixelView& view, const Rect& window, const GuideMoments& m, bool refine,
                GuideStar& star) {
    if (m.sumW == 0) return false;
    const float x = static_cast<float>(static_cast<double>(m.sumX) / m.sumW) + window.x0;
    const float y = static_cast<float>(static_cast<double>(m.sumY) / m.sumW) + window.y0;
    star = MeasureGuideStar(view, window, x, y, refine);
    return true;
}

}  // namespace

int32_t ProcEngine::GuideThresholdLevel() const {
    const int32_t hMin = histMin.load();
    const int32_t hMax = histMax.load();
    const float bg = bkgr.load();
    const float bgRms = bkgrRms.load();
    int32_t t;
    if (bgRms != 0.0f) {
        switch (params.starThresholdMethod.load()) {
            case 0:
                t = TruncateLevel(params.starThresholdFactor[0].load() * bgRms + bg);
                break;
            case 1:
                t = (TruncateLevel(params.starThresholdFactor[1].load() * bgRms + bg) + hMax) >> 1;
                break;
            default:
                t = TruncateLevel(params.starThresholdFactor[2].load() * bgRms) + hMax;
                break;
        }
    } else {
        t = hMax - 1;
    }
    if (t >= hMax) t = hMax - 1;
    if (t < hMin) t = hMin;
    return t;
}

void ProcEngine::MeasureGuide() {
    MeasureGuide(nullptr, nullptr);
}

void ProcEngine::MeasureGuide(const WorkPlane* plane, const uint16_t* rowMax) {
    // The metrics describe this measurement's star or none.
    starMetrics_ = StarMetrics{};
    const int32_t hMin = histMin.load();
    const int32_t hMax = histMax.load();
    const int32_t t = GuideThresholdLevel();
    guideThreshold = t;
    const int32_t black = params.blackLevel.load();
    if (t >= hMax || (black >= 0 && hMax <= black) || hMax == 0) return;

    const PixelWindow& g = guideWindow;
    float sx;
    float sy;
    if (hMin >= hMax) {
        sx = g.left + g.width * 0.5f;
        sy = g.top + g.height * 0.5f;
    } else {
        const Rect window{g.left, g.top, g.width, g.height};
        const int32_t level = std::max(t, 0);
        const bool refine = params.guideRefine.load() != 0;
        GuideStar star;
        bool found;
        if (plane) {
            found = LocateStar(plane->view, window, SumGuide(plane->view, window, level, rowMax),
                               refine, star);
        } else {
            std::lock_guard out(surf.PictureLock());
            const FrameBuffer& picture = surf.Picture();
            if (!picture.data || g.left < 0 || g.top < 0 || g.width < 0 || g.height < 0 ||
                g.left + g.width > picture.width || g.top + g.height > picture.height) {
                return;
            }
            const PixelView view = PictureView(picture, processor && processor->colour);
            found = LocateStar(view, window, SumGuide(view, window, level, rowMax), refine, star);
        }
        if (!found) {
            starX.store(-1.0f);
            surf.ClearGuideMark();
            RecordGuide(-1.0f, -1.0f);
            return;
        }
        starMetrics_ = star.metrics;
        sx = star.x;
        sy = star.y;
    }
    starX.store(sx);
    starY.store(sy);
    RecordGuide(sx, sy);
    FollowStar(sx, sy);
}

namespace scalar {

GuideMoments SumGuide(const PixelView& view, const Rect& rect, int32_t level) {
    GuideMoments m;
    const int64_t threshold = view.colour ? 3 * int64_t{level} : level;
    for (int32_t row = 0; row < rect.h; ++row) {
        const uint8_t* p = view.At(rect.x0, rect.y0 + row);
        for (int32_t col = 0; col < rect.w; ++col, p += view.bytesPerPixel) {
            const int64_t v = view.colour ? int64_t{p[0]} + p[1] + p[2] : int64_t{p[0]};
            const int64_t w = v - threshold;
            if (w <= 0) continue;
            m.sumW += w;
            m.sumX += w * col;
            m.sumY += w * row;
        }
    }
    return m;
}

}  // namespace scalar

// Hands the position to the surface and, with auto move on, re-centres the area on the star.
// The surface gets every position: without the virtual guide it marks the star, with it the
// picture is shifted so that the star stays on its reference.
void ProcEngine::FollowStar(float sx, float sy) {
    if (sx < 0) {
        surf.ClearGuideMark();
        return;
    }
    surf.SetGuidePosition(sx, sy);
    const FrameBuffer& out = surf.Picture();
    if (!guideAutoMove.load() || areaIsWholeFrame) return;

    const ProcArea a = area;
    const float marginX = kInnerMargin * a.w;
    const float marginY = kInnerMargin * a.h;
    const bool outside =
        sx < a.x0 + marginX || sx > a.x1 - marginX || sy < a.y0 + marginY || sy > a.y1 - marginY;
    if (!outside) return;

    // Rows of the star and of the area are both counted as stored.
    int32_t left = static_cast<int32_t>(std::floor(sx - static_cast<float>(a.w >> 1)));
    int32_t top = static_cast<int32_t>(std::floor(sy - static_cast<float>(a.h >> 1)));
    left = std::clamp(left, 0, std::max(0, out.width - a.w));
    top = std::clamp(top, 0, std::max(0, out.height - a.h));
    if (moveCandidateX < 0) {
        moveCandidateX = left;
        moveCandidateY = top;
    }
    const bool near = std::abs(left - moveCandidateX) < kFollowDistance &&
                      std::abs(top - moveCandidateY) < kFollowDistance;
    if (moveRejected > kRejectedFramesBeforeJump || near) {
        MoveArea(left, top);
        moveCandidateX = left;
        moveCandidateY = top;
        moveRejected = 0;
    } else {
        ++moveRejected;
    }
}

void ProcEngine::ResetAutoMoveTracking() {
    moveCandidateX = -1;
    moveCandidateY = -1;
    moveRejected = 0;
}

void ProcEngine::SetGuideEnable(bool on) {
    std::lock_guard lock(chainLock);
    if (guideAutoMove.load()) ResetAutoMoveTracking();
    params.guideEnable.store(on ? 1 : 0);
    if (guideRecorder_ != nullptr) guideRecorder_->GuideSwitched(on);
    const float cx = guideWindow.left + guideWindow.width * 0.5f;
    const float cy = guideWindow.top + guideWindow.height * 0.5f;
    starX.store(cx);
    starY.store(cy);
    starMetrics_ = StarMetrics{};
    surf.SetGuidePosition(cx, cy);
}

void ProcEngine::SetGuideRefine(bool on) {
    params.guideRefine.store(on ? 1 : 0);
}

void ProcEngine::SetGuideAutoMove(bool on) {
    std::lock_guard lock(chainLock);
    if (on) ResetAutoMoveTracking();
    guideAutoMove.store(on ? 1 : 0);
}

void ProcEngine::SetGuideAutoMoveSetting(bool on) {
    params.guideAutoMoveSetting.store(on ? 1 : 0);
    SetGuideAutoMove(on);
}

void ProcEngine::SetVirtualGuideActive(bool on) {
    std::lock_guard lock(chainLock);
    if (guideAutoMove.load() && on) ResetAutoMoveTracking();
    guideVirtual.store(on);
    surf.ClearGuideMark();
}

}  // namespace kelpa
