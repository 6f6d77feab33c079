// A 640 x 480 engine shown in a 320 x 300 processed window (scale 0.5, picture at (0, 30)),
// with an area editor on it.
#pragma once

#include <mutex>
#include <vector>

#include "processing/engine_fixture.h"
#include "view/area_editor.h"
#include "view/overlay_geometry.h"

namespace kelpa::test {

struct AreaEditFixture {
    explicit AreaEditFixture(bool topDown = true) : engine(640, 480, topDown) {
        FitProcLayout(layout, 640, 480, 320, 300, false);
        editor.SetEngine(&E());
    }
    ProcEngine& E() { return *engine.engine; }
    ProcArea Area() {
        std::lock_guard lock(E().chainLock);
        return E().area;
    }
    // The area in window pixels, unshifted.
    WindowRect ShownArea() {
        ProcView view{layout, {}};
        MapAreaToWindow(view, SnapshotOverlay(E()), true);
        return view.overlay.area;
    }
    void SetMode(EditMode mode) {
        editor.Command(kCommandAreaExit);
        if (mode == EditMode::kMove) editor.Command(kCommandAreaMove);
        if (mode == EditMode::kResize) editor.Command(kCommandAreaResize);
        if (mode == EditMode::kDraw) editor.Command(kCommandAreaDraw);
    }
    // Press, move through `path`, release; true when any step changed the area.
    bool Drag(WindowPoint press, const std::vector<WindowPoint>& path, PointerKeys keys = {}) {
        bool changed = editor.Press(press, keys, layout).areaChanged;
        for (WindowPoint p : path) changed |= editor.Drag(p, keys, layout).areaChanged;
        editor.Release(false);
        return changed;
    }

    EngineFixture engine;
    SurfaceLayout layout;
    AreaEditor editor;
};

}  // namespace kelpa::test
