// Building the paint lists of the live and processed windows.
#include "view/draw_list.h"

#include <algorithm>

namespace kelpa {
namespace {

// Half-length of the cross that stands for an area of no width and no height: 15 pixels.
constexpr int32_t kPointCrossArm = 7;
// Half-length of the guide-mark cross: 7 pixels.
constexpr int32_t kMarkArm = 3;

void AddFill(DrawList& list, DrawBrush brush, const WindowRect& r) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    list.Add({DrawKind::kFill, DrawPen::kNone, brush, r});
}

void AddLine(DrawList& list, DrawPen pen, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    list.Add({DrawKind::kLine, pen, DrawBrush::kNone, {x0, y0, x1, y1}});
}

void AddCross(DrawList& list, DrawPen pen, WindowPoint centre, int32_t arm) {
    AddLine(list, pen, centre.x - arm, centre.y, centre.x + arm, centre.y);
    AddLine(list, pen, centre.x, centre.y - arm, centre.x, centre.y + arm);
}

WindowRect Intersect(const WindowRect& a, const WindowRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

void StartFrame(const SurfaceLayout& layout, DrawList& list) {
    list.clipped = layout.clip;
    list.clipStart = list.Size();
    list.clip = layout.PictureRect();
    const WindowRect drawn{layout.position.x, layout.position.y,
                           layout.position.x + layout.pictureWidth,
                           layout.position.y + layout.pictureHeight};
    list.Add({DrawKind::kPicture, DrawPen::kNone, DrawBrush::kNone, drawn});
}

// The strips of the unshifted picture rectangle that the shifted picture leaves uncovered.
void AddShiftStrips(const SurfaceLayout& layout, DrawList& list) {
    const WindowPoint o = layout.origin;
    const WindowPoint p = layout.position;
    const int32_t w = layout.pictureWidth;
    const int32_t h = layout.pictureHeight;
    const WindowRect picture = layout.PictureRect();
    WindowRect across{o.x, std::min(o.y, p.y), o.x + w, std::max(o.y, p.y)};
    if (p.y < o.y) across = {o.x, p.y + h, o.x + w, o.y + h};  // uncovered below
    WindowRect down{std::min(o.x, p.x), p.y, std::max(o.x, p.x), p.y + h};
    if (p.x < o.x) down = {p.x + w, p.y, o.x + w, p.y + h};  // uncovered on the right
    AddFill(list, DrawBrush::kGrey, Intersect(across, picture));
    AddFill(list, DrawBrush::kGrey, Intersect(down, picture));
}

void AddArea(const ProcView& view, DrawPen pen, DrawList& list) {
    const SurfaceLayout& l = view.layout;
    const WindowPoint shift = l.Shift();
    WindowRect r = view.overlay.area;
    r = {r.left + shift.x, r.top + shift.y, r.right + shift.x, r.bottom + shift.y};
    if (r.Width() == 0 && r.Height() == 0) {
        AddCross(list, pen, {r.left, r.top}, kPointCrossArm);
    } else if (r.Width() == 0 || r.Height() == 0) {
        AddLine(list, pen, r.left, r.top, r.right, r.bottom);
    } else {
        // An edge on the picture's last column or row would be clipped away: pull it in.
        const WindowRect unshifted = view.overlay.area;
        if (unshifted.right >= l.origin.x + l.pictureWidth) --r.right;
        if (unshifted.bottom >= l.origin.y + l.pictureHeight) --r.bottom;
        list.Add({DrawKind::kOutline, pen, DrawBrush::kNone, r});
    }
}

}  // namespace

void AddBands(const SurfaceLayout& layout, DrawList& list) {
    const WindowPoint o = layout.origin;
    const WindowPoint p = layout.position;
    const int32_t top = std::max(p.y, o.y);
    const int32_t bottom = std::min(p.y, o.y) + layout.pictureHeight;
    const int32_t left = std::max(p.x, o.x);
    const int32_t right = std::min(p.x, o.x) + layout.pictureWidth;
    const int32_t cw = layout.clientWidth;
    const int32_t ch = layout.clientHeight;
    AddFill(list, DrawBrush::kBlack, {0, 0, cw, top});
    AddFill(list, DrawBrush::kBlack, {0, bottom, cw, ch});
    AddFill(list, DrawBrush::kBlack, {0, top, left, bottom});
    AddFill(list, DrawBrush::kBlack, {right, top, cw, bottom});
}

void BuildLiveFrame(const SurfaceLayout& layout, DrawList& list) {
    list.stretchMode = kStretchColourOnColour;
    list.brushOrigin = 0;
    StartFrame(layout, list);
}

void BuildProcFrame(const ProcView& view, const FrameStyle& style, DrawList& list) {
    const SurfaceLayout& l = view.layout;
    const OverlayGeometry& o = view.overlay;
    list.stretchMode = style.stretchMode;
    list.brushOrigin = style.stretchMode == kStretchHalftone ? l.halftoneBrushOrigin : 0;
    StartFrame(l, list);
    if (style.virtualGuideActive) AddShiftStrips(l, list);
    if (style.showGrid) {
        list.Add({DrawKind::kOutline, DrawPen::kGrid, DrawBrush::kNone, l.grid});
        AddLine(list, DrawPen::kGrid, l.grid.left, o.reference.y, l.grid.right, o.reference.y);
        AddLine(list, DrawPen::kGrid, o.reference.x, l.grid.top, o.reference.x, l.grid.bottom);
    }
    if (!o.areaHidden)
        AddArea(view, style.autoMovePen ? DrawPen::kAreaAutoMove : DrawPen::kArea, list);
    if (style.showArea && o.mark.x >= 0) {
        const WindowPoint shift = l.Shift();
        AddCross(list, DrawPen::kGuideMark, {o.mark.x + shift.x, o.mark.y + shift.y}, kMarkArm);
    }
}

}  // namespace kelpa
