// What the processed window draws over its picture, in window pixels: the guide reference
// point, the guide-star mark or the virtual-guide shift of the picture, and the processing
// area. Computed from a snapshot of the engine taken under its chainLock, so that the area,
// the star and the reference belong to the same moment.
#pragma once

#include <cstdint>

#include "processing/proc_params.h"
#include "view/surface_layout.h"

namespace kelpa {

class ProcEngine;

// The engine's side of the overlay at one moment.
struct OverlaySource {
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    // The picture is shown top row first as stored (negative header height). Otherwise its
    // rows are stored bottom row first and are mirrored on the screen.
    bool flipped = false;
    ProcArea area;  // image pixels, rows as stored
    // Guide reference position, image pixels of the picture as shown.
    float referenceX = 0.0f;
    float referenceY = 0.0f;
    // The last star position handed to the surface, image pixels with rows as stored;
    // x < 0: no star.
    float starX = -1.0f;
    float starY = -1.0f;
    bool virtualGuideActive = false;
    bool autoMove = false;
};

struct OverlayGeometry {
    WindowPoint reference;
    WindowPoint mark{-1, 0};  // x = -1: no mark
    WindowRect area;          // unshifted; right and bottom are one past the area
    bool areaHidden = true;
};

// The processed window: its layout and its overlay.
struct ProcView {
    SurfaceLayout layout;
    OverlayGeometry overlay;
};

// Reads the overlay inputs of an engine under its chainLock (GUI thread).
OverlaySource SnapshotOverlay(ProcEngine& engine);

// The processing area in window pixels, and whether it is hidden: when the show-area setting is
// off, or the area is as wide as the image.
void MapAreaToWindow(ProcView& view, const OverlaySource& source, bool showArea);

// Places the guide mark, or with the virtual guide active shifts the picture so that the star
// is shown on the reference point. Without a star the mark is cleared and the picture is put
// back at the origin. Without an active virtual guide the picture is never shifted.
void PlaceStar(ProcView& view, const OverlaySource& source);

// The whole overlay: reference point, star, area. Called after every size change of the
// processed window, whenever the area or the processing parameters change, and with each new
// star position.
void UpdateOverlayGeometry(ProcView& view, const OverlaySource& source, bool showArea);

// The processed window forgets its mark and shift (flip changed, virtual guide switched).
void ResetView(ProcView& view);

}  // namespace kelpa
