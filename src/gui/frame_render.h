// What a video window does to show a frame, apart from the widget: take the newest picture (and
// for the processed window the overlay) from the controller, lay it out for the client area and
// paint it. The windows call these from their paint events; the drawing benchmark calls them on
// an image. Once the picture and client sizes are stable, nothing here allocates.
#pragma once

#include <QSize>

#include "gui/picture_painter.h"
#include "image/picture_copy.h"
#include "view/draw_list.h"
#include "view/overlay_geometry.h"
#include "view/surface_layout.h"
#include "view/view_settings.h"

class QPainter;

namespace kelpa {

class LiveSurf;
class ProcEngine;

// The live window: the picture, scaled to fit, in black bands.
class LiveFrame {
  public:
    // Copies the newest picture under the surface's lock (nullptr: no video, nothing shown).
    void Take(const LiveSurf* surface);
    // Lays the picture out in the client area (device pixels) and paints the whole client.
    void Paint(QPainter& painter, QSize client);

    const SurfaceLayout& Layout() const { return layout_; }

  private:
    PictureCopy copy_;
    PicturePainter painter_;
    SurfaceLayout layout_;
    DrawList list_;
};

// The processed window: the picture with the grey strips of the virtual-guide shift, the grid,
// the processing area and the guide mark.
class ProcFrame {
  public:
    // Copies the newest picture and, when the engine's chain lock is free, its overlay (area,
    // star, reference, flags) from the same moment. While the chain is busy the last overlay is
    // kept: the GUI thread never waits for a frame to be processed.
    void Take(ProcEngine* engine);
    // As Take, but waits for the chain lock: the overlay is always the engine's current one
    // (after the user changed the area).
    void TakeOverlay(ProcEngine& engine);

    // Lays out for the client area (device pixels), places the overlay and paints.
    void Paint(QPainter& painter, QSize client, const ProcViewFlags& flags);

    // The layout and overlay as last painted, or as laid out for `client` (mouse editing
    // between paints).
    const ProcView& View() const { return view_; }
    void LayOut(QSize client, const ProcViewFlags& flags);
    bool VideoOpen() const { return videoOpen_; }

  private:
    PictureCopy copy_;
    PicturePainter painter_;
    OverlaySource source_;
    ProcView view_;
    DrawList list_;
    bool videoOpen_ = false;
};

}  // namespace kelpa
