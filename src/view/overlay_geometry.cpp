// The overlay of the processed window: reference point, guide mark, virtual-guide shift and
// the processing area, from image pixels to window pixels.
#include "view/overlay_geometry.h"

#include <cmath>
#include <mutex>

#include "processing/proc_engine.h"

namespace kelpa {
namespace {

int32_t FloorToPixel(double value) {
    return TruncateToPixel(std::floor(value));
}

}  // namespace

OverlaySource SnapshotOverlay(ProcEngine& engine) {
    OverlaySource s;
    std::lock_guard lock(engine.chainLock);
    const FrameBuffer& picture = engine.surf.Picture();
    s.imageWidth = picture.width;
    s.imageHeight = picture.height;
    s.flipped = engine.surf.HeaderHeight() < 0;
    s.area = engine.area;
    s.referenceX = engine.guideRefX[0];
    s.referenceY = engine.guideRefY[0];
    s.starX = engine.surf.GuideMarkX();
    s.starY = engine.surf.GuideMarkY();
    s.virtualGuideActive = engine.guideVirtual.load();
    s.autoMove = engine.guideAutoMove.load() != 0;
    return s;
}

void MapAreaToWindow(ProcView& view, const OverlaySource& source, bool showArea) {
    const SurfaceLayout& l = view.layout;
    const ProcArea& a = source.area;
    const double s = l.scale;
    WindowRect& r = view.overlay.area;
    r.left = TruncateToPixel(a.x0 * s) + l.origin.x;
    r.right = a.x1 == a.x0 ? r.left : TruncateToPixel(a.x1 * s) + l.origin.x;
    if (source.flipped) {
        r.top = TruncateToPixel(a.y0 * s) + l.origin.y;
        r.bottom = a.y1 == a.y0 ? r.top : TruncateToPixel(a.y1 * s) + l.origin.y;
    } else {
        // Stored bottom row first: the last stored row is the top one on the screen.
        r.top = TruncateToPixel((source.imageHeight - a.y1) * s) + l.origin.y;
        r.bottom =
            a.y1 == a.y0 ? r.top : TruncateToPixel((source.imageHeight - a.y0) * s) + l.origin.y;
    }
    view.overlay.areaHidden = !showArea || a.w == source.imageWidth;
}

void PlaceStar(ProcView& view, const OverlaySource& source) {
    SurfaceLayout& l = view.layout;
    OverlayGeometry& o = view.overlay;
    if (source.starX < 0.0f) {
        o.mark = {-1, 0};
        l.position = l.origin;
        return;
    }
    const double s = l.scale;
    const double rx = source.referenceX;
    const double ry = source.referenceY;
    const double sx = source.starX;
    const double sy = source.starY;
    if (source.virtualGuideActive) {
        // The star sits on the reference point; the picture moves instead of the mark. The
        // shift is rounded down, not toward zero, so that the picture does not jump by an extra
        // pixel when the star crosses the reference.
        o.mark = {-1, 0};
        l.position.x = FloorToPixel((rx - sx - 0.5) * s + l.origin.x) + 1;
        l.position.y = source.flipped
                           ? FloorToPixel((ry - sy - 0.5) * s + l.origin.y)
                           : FloorToPixel((ry + sy + 0.5) * s + 1 - l.pictureHeight) + l.origin.y;
        return;
    }
    l.position = l.origin;
    o.mark.x = TruncateToPixel((sx + 0.5) * s + l.origin.x);
    o.mark.y = source.flipped ? TruncateToPixel((sy + 0.5) * s) + l.origin.y
                              : TruncateToPixel((l.clientHeight - l.origin.y) - (sy + 0.5) * s);
}

void UpdateOverlayGeometry(ProcView& view, const OverlaySource& source, bool showArea) {
    const SurfaceLayout& l = view.layout;
    view.overlay.reference = {TruncateToPixel(double{source.referenceX} * l.scale) + l.origin.x,
                              TruncateToPixel(double{source.referenceY} * l.scale) + l.origin.y};
    PlaceStar(view, source);
    MapAreaToWindow(view, source, showArea);
}

void ResetView(ProcView& view) {
    view.overlay.mark = {-1, 0};
    view.layout.position = view.layout.origin;
}

}  // namespace kelpa
