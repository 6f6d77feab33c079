// Paints a video window's draw list: the picture from a picture copy, the black bands, the grey
// strips of the virtual-guide shift and the overlay lines in their pens' colours. Coordinates
// are device pixels, so that a picture shown at 1:1 maps each of its pixels onto one pixel of
// the screen whatever the desktop's scale.
//
// Stretch mode 4 (halftone) scales the picture by averaging (view/smooth_scale); every other
// mode copies the nearest pixel. Either way the picture is first made into display rows, upright
// whatever its row order, in images that are kept while the sizes stay: painting a frame
// allocates nothing.
#pragma once

#include <QImage>

#include "image/picture_copy.h"
#include "view/draw_list.h"
#include "view/smooth_scale.h"

class QPainter;

namespace kelpa {

class PicturePainter {
  public:
    // The picture to paint (kept by the caller until Paint); nullptr or an empty copy: none.
    void SetPicture(const PictureCopy* copy) { copy_ = copy; }
    bool HasPicture() const { return copy_ != nullptr && !copy_->Empty(); }

    // Paints the list's items in order. The painter works in device pixels; items from the
    // list's clip start on are clipped to its clip rectangle when the list says so.
    void Paint(QPainter& painter, const DrawList& list);

  private:
    void PaintPicture(QPainter& painter, const DrawList& list, const DrawItem& item, bool clipped);

    const PictureCopy* copy_ = nullptr;
    QImage picture_;  // the whole picture as display rows
    QImage scaled_;   // the picture smoothed to the size it is drawn at
    SmoothScaler scaler_;
};

}  // namespace kelpa
