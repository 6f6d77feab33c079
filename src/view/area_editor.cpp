// Mouse editing of the processing area: modes, drags, wheel, and the suspension of auto move
// and the virtual guide while the button is held.
#include "view/area_editor.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "processing/proc_engine.h"
#include "view/overlay_geometry.h"

namespace kelpa {
namespace {

// One wheel notch.
constexpr int32_t kWheelStep = 120;
// Frame rates from which the next frame shows an area change soon enough.
constexpr double kFastFramesPerSecond = 10.0;

WindowPoint Unshift(WindowPoint pointer, const SurfaceLayout& layout) {
    const WindowPoint shift = layout.Shift();
    return {pointer.x - shift.x, pointer.y - shift.y};
}

int32_t Sign(int32_t v) {
    return (v > 0) - (v < 0);
}

// Image size of the engine's picture (set by the GUI thread only).
struct ImageSize {
    int32_t width;
    int32_t height;
};
ImageSize PictureSize(const ProcEngine& engine) {
    return {engine.surf.Picture().width, engine.surf.Picture().height};
}

float ToFraction(int32_t windowOffset, int32_t imageExtent, double scale) {
    return static_cast<float>(windowOffset / (imageExtent * scale));
}

// Fractions need a picture and a laid-out window.
bool CanEdit(const ImageSize& image, const SurfaceLayout& layout) {
    return image.width > 0 && image.height > 0 && layout.scale > 0.0 && layout.pictureWidth > 0 &&
           layout.pictureHeight > 0;
}

}  // namespace

AreaMenuState AreaMenuStateFor(EditMode mode, bool videoOpen) {
    AreaMenuState s;
    s.modesEnabled = videoOpen;
    s.moveChecked = videoOpen && mode == EditMode::kMove;
    s.resizeChecked = videoOpen && mode == EditMode::kResize;
    s.drawChecked = videoOpen && mode == EditMode::kDraw;
    s.exitEnabled = mode != EditMode::kNone;
    return s;
}

EditMode EditModeAfterCommand(EditMode mode, int32_t command, bool videoOpen) {
    if (!videoOpen) return mode;
    const auto toggle = [mode](EditMode m) { return mode == m ? EditMode::kNone : m; };
    switch (command) {
        case kCommandAreaMove:
            return toggle(EditMode::kMove);
        case kCommandAreaResize:
            return toggle(EditMode::kResize);
        case kCommandAreaDraw:
            return toggle(EditMode::kDraw);
        case kCommandAreaExit:
            return EditMode::kNone;
        default:
            return mode;
    }
}

AreaFractions PointerToFractions(WindowPoint pointer, const SurfaceLayout& layout,
                                 int32_t imageWidth, int32_t imageHeight) {
    const WindowPoint p = Unshift(pointer, layout);
    return {(p.x - layout.origin.x) / (imageWidth * layout.scale),
            (p.y - layout.origin.y) / (imageHeight * layout.scale)};
}

void AreaEditor::SetEngine(ProcEngine* engine) {
    if (engine == engine_) return;
    if (dragging_ && engine_) {
        EditResult ignored;
        EndDrag(*engine_, engine_->params.guideAutoMoveSetting.load() != 0, suspendedVirtualGuide_,
                ignored);
    }
    engine_ = engine;
}

bool AreaEditor::Command(int32_t command) {
    if (command < kCommandAreaResize || command > kCommandAreaExit) return false;
    mode_ = EditModeAfterCommand(mode_, command, engine_ != nullptr);
    return true;
}

EditResult AreaEditor::Press(WindowPoint pointer, PointerKeys keys, const SurfaceLayout& layout) {
    EditResult result;
    if (mode_ == EditMode::kNone || !engine_) {
        result.moveWindow = true;
        return result;
    }
    ProcEngine& e = *engine_;
    result.captureMouse = true;
    dragging_ = true;
    last_ = Unshift(pointer, layout);
    // The engine must not redraw or move the area under the pointer while the button is held.
    e.SetAreaEditing(true);
    if (e.guideAutoMove.load()) {
        e.SetGuideAutoMove(false);
        result.overlayChanged = true;
    }
    suspendedVirtualGuide_ = e.guideVirtual.load();
    if (suspendedVirtualGuide_) {
        e.SetVirtualGuideActive(false);
        result.overlayChanged = true;
    }
    if (mode_ == EditMode::kMove) result.areaChanged = PlaceCentre(last_, 0, 0, keys, layout);
    return result;
}

EditResult AreaEditor::Drag(WindowPoint pointer, PointerKeys keys, const SurfaceLayout& layout) {
    EditResult result;
    if (!dragging_ || !engine_) return result;
    const WindowPoint p = Unshift(pointer, layout);
    const int32_t dx = last_.x - p.x;
    const int32_t dy = last_.y - p.y;
    switch (mode_) {
        case EditMode::kDraw:
            // The press point stays the first corner.
            result.areaChanged = DrawTo(p, layout);
            break;
        case EditMode::kMove:
            last_ = p;
            result.areaChanged = PlaceCentre(p, dx, dy, keys, layout);
            break;
        case EditMode::kResize:
            last_ = p;
            if (dx != 0 || dy != 0) {
                result.areaChanged = Grow(Sign(dx), Sign(dy), keys.shift, layout);
            }
            break;
        case EditMode::kNone:
            break;
    }
    return result;
}

EditResult AreaEditor::Release(bool virtualGuideSetting) {
    EditResult result;
    if (!dragging_) return result;
    if (engine_) {
        EndDrag(*engine_, engine_->params.guideAutoMoveSetting.load() != 0, virtualGuideSetting,
                result);
    }
    dragging_ = false;
    return result;
}

void AreaEditor::EndDrag(ProcEngine& engine, bool autoMoveSetting, bool virtualGuideSetting,
                         EditResult& result) {
    result.releaseMouse = true;
    dragging_ = false;
    engine.SetAreaEditing(false);
    if (autoMoveSetting != (engine.guideAutoMove.load() != 0)) {
        engine.SetGuideAutoMove(autoMoveSetting);
        result.overlayChanged = true;
    }
    if (virtualGuideSetting != engine.guideVirtual.load()) {
        engine.SetVirtualGuideActive(virtualGuideSetting);
        result.overlayChanged = true;
    }
}

EditResult AreaEditor::Wheel(int32_t delta, PointerKeys keys, const SurfaceLayout& layout) {
    EditResult result;
    const int32_t steps = delta / kWheelStep;
    if (steps == 0 || !engine_) return result;
    int32_t dx = 0;
    int32_t dy = steps;
    if (keys.shift) {
        dx = steps;
    } else if (keys.ctrl) {
        dx = steps;
        dy = 0;
    }
    result.areaChanged = Grow(dx, dy, false, layout);
    return result;
}

// Moves the area's centre to a point of the unshifted picture. Shift moves it only up and
// down, Ctrl only sideways; a point on or outside the picture's edge is ignored.
bool AreaEditor::PlaceCentre(WindowPoint p, int32_t dx, int32_t dy, PointerKeys keys,
                             const SurfaceLayout& layout) {
    ProcEngine& e = *engine_;
    const ImageSize image = PictureSize(e);
    if (!CanEdit(image, layout)) return false;
    const WindowRect picture = layout.PictureRect();
    const auto insideX = [&](int32_t x) { return x > picture.left && x < picture.right; };
    const auto insideY = [&](int32_t y) { return y > picture.top && y < picture.bottom; };
    const float fx = ToFraction(p.x - layout.origin.x, image.width, layout.scale);
    std::lock_guard lock(e.chainLock);
    const ProcParams& a = e.params;
    if (keys.shift) {
        const int32_t y = p.y + (dy == 0 ? dx : 0);
        if (!insideY(y)) return false;
        const float fy = ToFraction(y - layout.origin.y, image.height, layout.scale);
        return e.SetAreaFractions(a.areaX, fy, a.areaW, a.areaH);
    }
    if (keys.ctrl) {
        const int32_t x = p.x + (dx == 0 ? dy : 0);
        if (!insideX(x)) return false;
        const float fxOnly = ToFraction(x - layout.origin.x, image.width, layout.scale);
        return e.SetAreaFractions(fxOnly, a.areaY, a.areaW, a.areaH);
    }
    if (!insideX(p.x) || !insideY(p.y)) return false;
    const float fy = ToFraction(p.y - layout.origin.y, image.height, layout.scale);
    return e.SetAreaFractions(fx, fy, a.areaW, a.areaH);
}

// The area becomes the rectangle between the press point and the pointer, whichever way the
// drag went; its centre stays on the picture and its size at most the picture's.
bool AreaEditor::DrawTo(WindowPoint p, const SurfaceLayout& layout) {
    ProcEngine& e = *engine_;
    const ImageSize image = PictureSize(e);
    if (!CanEdit(image, layout)) return false;
    const int32_t left = std::min(last_.x, p.x);
    const int32_t top = std::min(last_.y, p.y);
    const int32_t width = std::abs(last_.x - p.x);
    const int32_t height = std::abs(last_.y - p.y);
    const int32_t centreX = left + (width >> 1);
    const int32_t centreY = top + (height >> 1);
    const float fx =
        std::clamp(ToFraction(centreX - layout.origin.x, image.width, layout.scale), 0.0f, 1.0f);
    const float fy =
        std::clamp(ToFraction(centreY - layout.origin.y, image.height, layout.scale), 0.0f, 1.0f);
    const float fw = std::min(ToFraction(width, image.width, layout.scale), 1.0f);
    const float fh = std::min(ToFraction(height, image.height, layout.scale), 1.0f);
    return e.SetAreaFractions(fx, fy, fw, fh);
}

// Grows the area by 2 x (dx, dy) window pixels around its centre (negative steps shrink it),
// within the picture's size. Diagonal growth takes the length of the step on both axes.
bool AreaEditor::Grow(int32_t dx, int32_t dy, bool diagonal, const SurfaceLayout& layout) {
    ProcEngine& e = *engine_;
    if (diagonal) {
        int32_t r = static_cast<int32_t>(std::lround(std::sqrt(double(dx) * dx + double(dy) * dy)));
        if (dx < 1 && dy < 1) r = -r;
        dx = dy = r;
    }
    const ImageSize image = PictureSize(e);
    if (!CanEdit(image, layout)) return false;
    std::lock_guard lock(e.chainLock);
    ProcView view{layout, {}};
    MapAreaToWindow(view, SnapshotOverlay(e), true);
    const WindowRect& area = view.overlay.area;
    const int64_t wantedWidth = int64_t{area.Width()} + 2 * int64_t{dx};
    const int64_t wantedHeight = int64_t{area.Height()} + 2 * int64_t{dy};
    const int32_t width =
        static_cast<int32_t>(std::clamp<int64_t>(wantedWidth, 0, layout.pictureWidth));
    const int32_t height =
        static_cast<int32_t>(std::clamp<int64_t>(wantedHeight, 0, layout.pictureHeight));
    const bool widthChanged = width != area.Width();
    const bool heightChanged = height != area.Height();
    if (!widthChanged && !heightChanged) return false;
    const ProcParams& a = e.params;
    const float fw = widthChanged ? ToFraction(width, image.width, layout.scale) : a.areaW;
    const float fh = heightChanged ? ToFraction(height, image.height, layout.scale) : a.areaH;
    return e.SetAreaFractions(a.areaX, a.areaY, fw, fh);
}

AreaRedraw DecideAreaRedraw(bool areaHidden, int32_t playState, double framesPerSecond,
                            double processedPerSecond) {
    if (areaHidden) return AreaRedraw::kNone;
    if (playState == 2 && framesPerSecond >= kFastFramesPerSecond &&
        processedPerSecond >= kFastFramesPerSecond) {
        return AreaRedraw::kNextFrame;
    }
    return AreaRedraw::kNow;
}

AreaRedraw DecideAreaRedraw(const ProcEngine& engine, bool areaHidden) {
    const int32_t state = engine.owner ? engine.owner->PlayState() : 0;
    return DecideAreaRedraw(areaHidden, state, engine.fps.load(), engine.procRate.load());
}

}  // namespace kelpa
