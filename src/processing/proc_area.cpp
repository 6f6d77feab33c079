// The processing area: from the four stored fractions to pixels (ApplyArea), the pixel setters
// used by the area editing and the dialog, and the statistics and guide windows derived from it.
#include <algorithm>
#include <cmath>
#include <mutex>

#include "processing/proc_engine.h"

namespace kelpa {
namespace {

// One axis of ApplyArea: the fractions are single precision, as stored in the profile.
void AreaSpan(float centre, float size, int32_t extent, int32_t& lo, int32_t& hi) {
    const float sizePixels = static_cast<float>(extent) * size;
    const int32_t span = sizePixels < 0.5f ? 0 : static_cast<int32_t>(std::lround(sizePixels));
    hi = static_cast<int32_t>((size * 0.5f + centre) * static_cast<float>(extent));
    lo = hi - span;
}

// Statistics window: 2 pixels off a border the area touches, cut back into the image.
void StatSpan(int32_t lo, int32_t size, int32_t extent, int32_t& start, int32_t& length) {
    start = (lo < 3 && size >= 5) ? 2 : lo;
    length = size >= extent ? size - 2 : size;
    if (start > extent) start = extent;
    if (start + length > extent) length = extent - start;
    if (length < 0) length = 0;
}

// The current area as a rectangle of the picture as shown (top row first).
struct ShownRect {
    int32_t x0, y0, x1, y1;
};

// Read under chainLock: the guide's auto move changes the area on the streaming thread.
ShownRect CurrentShown(ProcEngine& e) {
    std::lock_guard lock(e.chainLock);
    const int32_t H = e.surf.Picture().height;
    const ProcArea& a = e.area;
    if (e.surf.HeaderHeight() > 0) return {a.x0, H - a.y1, a.x1, H - a.y0};
    return {a.x0, a.y0, a.x1, a.y1};
}

}  // namespace

bool ProcEngine::SkipsImmediateWork() const {
    return owner && owner->PlayState() == 2 && fps.load() >= 10.0 && procRate.load() >= 10.0;
}

void ProcEngine::ApplyArea() {
    const FrameBuffer& out = surf.Picture();
    const int32_t W = out.width;
    const int32_t H = out.height;
    if (W < 3 || H < 3) return;

    ProcArea a;
    AreaSpan(params.areaX, params.areaW, W, a.x0, a.x1);
    a.x0 = std::clamp(a.x0, 0, W);
    if (a.x1 < a.x0) a.x1 = a.x0;
    if (a.x1 > W) a.x1 = W;

    AreaSpan(params.areaY, params.areaH, H, a.y0, a.y1);
    // Fractions are measured on the picture as shown; a picture shown as stored (bottom row
    // first) has its rows mirrored.
    if (surf.HeaderHeight() > 0) {
        const int32_t top = a.y0;
        a.y0 = H - a.y1;
        a.y1 = H - top;
    }
    a.y0 = std::clamp(a.y0, 0, H);
    a.y1 = std::clamp(a.y1, a.y0, H);
    a.w = a.x1 - a.x0;
    a.h = a.y1 - a.y0;
    const bool whole = a.w == W && a.h == H;

    if (whole != areaIsWholeFrame || !(a == area)) {
        accCount.store(0);
        area = a;
        areaIsWholeFrame = whole;
        RefillOutsideSlots();
        refresh.store(1);
        if (a.w <= 0 || a.h <= 0 || !accumulator || !processor) {
            accumulateStage = nullptr;
        } else if (!accumulateStage) {
            accumulateStage = processor->accumulate;
        }
        surf.SetArea(a.x0, a.y0, a.x1, a.y1);
    }

    StatSpan(a.x0, a.w, W, statWindow.left, statWindow.width);
    StatSpan(a.y0, a.h, H, statWindow.top, statWindow.height);
    pixelCount = static_cast<uint32_t>(statWindow.width) * static_cast<uint32_t>(statWindow.height);
    guideWindow = statWindow;
    if (!params.guideEnable.load()) {
        starX.store(guideWindow.left + guideWindow.width * 0.5f);
        starY.store(guideWindow.top + guideWindow.height * 0.5f);
        surf.SetGuidePosition(starX.load(), starY.load());
    }

    if (!SkipsImmediateWork() && statisticsWanted.load() && out.data) MeasureArea();
}

bool ProcEngine::AreaSettersAllowed() const {
    const FrameBuffer& out = surf.Picture();
    return out.width >= 4 && out.height >= 4;
}

// Turns a rectangle in the picture as shown into the fractions and recomputes the area. The
// centre is set a quarter pixel past the middle so that single-precision rounding cannot pull
// the right or bottom edge one pixel in.
bool ProcEngine::SetAreaPixels(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    bool changed = false;
    {
        std::lock_guard lock(chainLock);
        const FrameBuffer& out = surf.Picture();
        const float W = static_cast<float>(out.width);
        const float H = static_cast<float>(out.height);
        x0 = std::clamp(x0, 0, out.width);
        x1 = std::clamp(x1, x0, out.width);
        y0 = std::clamp(y0, 0, out.height);
        y1 = std::clamp(y1, y0, out.height);
        const float w = static_cast<float>(x1 - x0);
        const float h = static_cast<float>(y1 - y0);
        params.areaW = w / W;
        params.areaH = h / H;
        params.areaX = (static_cast<float>(x0) + w * 0.5f + 0.25f) / W;
        params.areaY = (static_cast<float>(y0) + h * 0.5f + 0.25f) / H;
        const ProcArea before = area;
        ApplyArea();
        changed = !(before == area);
    }
    AfterAreaChange(changed);
    return changed;
}

void ProcEngine::AfterAreaChange(bool changed) {
    if (!changed || areaEditing_.load()) return;
    if (SkipsImmediateWork()) return;
    surf.RedrawArea();
}

bool ProcEngine::SetAreaFractions(float x, float y, float w, float h) {
    if (!AreaSettersAllowed()) return false;
    bool changed = false;
    {
        std::lock_guard lock(chainLock);
        params.areaX = std::clamp(x, -1.0f, 2.0f);
        params.areaY = std::clamp(y, -1.0f, 2.0f);
        params.areaW = std::clamp(w, 0.0f, 1.0f);
        params.areaH = std::clamp(h, 0.0f, 1.0f);
        const ProcArea before = area;
        ApplyArea();
        changed = !(before == area);
    }
    AfterAreaChange(changed);
    return changed;
}

bool ProcEngine::SetAreaRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    if (!AreaSettersAllowed()) return false;
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    return SetAreaPixels(x0, y0, x1, y1);
}

bool ProcEngine::MoveArea(int32_t x, int32_t y) {
    if (!AreaSettersAllowed()) return false;
    const FrameBuffer& out = surf.Picture();
    int32_t w;
    int32_t h;
    {
        std::lock_guard lock(chainLock);  // the auto move changes the area on the other thread
        w = area.w;
        h = area.h;
    }
    x = std::clamp(x, 0, std::max(0, out.width - w));
    y = std::clamp(y, 0, std::max(0, out.height - h));
    // y counts rows as stored; the setters work on the picture as shown.
    const int32_t top = surf.HeaderHeight() > 0 ? out.height - (y + h) : y;
    return SetAreaPixels(x, top, x + w, top + h);
}

bool ProcEngine::SetAreaLeft(int32_t x) {
    if (!AreaSettersAllowed()) return false;
    const ShownRect r = CurrentShown(*this);
    x = std::clamp(x, 0, surf.Picture().width);
    return SetAreaPixels(x, r.y0, x + (r.x1 - r.x0), r.y1);
}

bool ProcEngine::SetAreaTop(int32_t y) {
    if (!AreaSettersAllowed()) return false;
    const ShownRect r = CurrentShown(*this);
    y = std::clamp(y, 0, surf.Picture().height);
    return SetAreaPixels(r.x0, y, r.x1, y + (r.y1 - r.y0));
}

bool ProcEngine::SetAreaSize(int32_t w, int32_t h) {
    if (!AreaSettersAllowed()) return false;
    const ShownRect r = CurrentShown(*this);
    w = std::clamp(w, 0, surf.Picture().width);
    h = std::clamp(h, 0, surf.Picture().height);
    return SetAreaPixels(r.x0, r.y0, r.x0 + w, r.y0 + h);
}

bool ProcEngine::SetAreaWidth(int32_t w) {
    if (!AreaSettersAllowed()) return false;
    const ShownRect r = CurrentShown(*this);
    return SetAreaSize(w, r.y1 - r.y0);
}

bool ProcEngine::SetAreaHeight(int32_t h) {
    if (!AreaSettersAllowed()) return false;
    const ShownRect r = CurrentShown(*this);
    return SetAreaSize(r.x1 - r.x0, h);
}

void ProcEngine::CentreGuideReference() {
    std::lock_guard lock(chainLock);
    const FrameBuffer& out = surf.Picture();
    if (out.width < 4 || out.height < 4) return;
    for (int i = 0; i < 2; ++i) {
        guideRefX[i] = out.width * 0.5f;
        guideRefY[i] = out.height * 0.5f;
    }
    ApplyArea();
}

}  // namespace kelpa
