// Paints a video window's draw list: the picture from a picture copy, the black bands, the grey
// strips of the virtual-guide shift and the overlay lines in their pens' colours. Coordinates
// are device pixels, so that a picture shown at 1:1 maps each of its pixels onto one pixel of
// the screen whatever the desktop's scale.
#pragma once

#include <QImage>

#include "image/picture_copy.h"
#include "view/draw_list.h"

class QPainter;

namespace kelpa {

class PicturePainter {
  public:
    // Turns the copy into the image that is drawn, upright whatever its row order; the image's
    // memory is kept while the picture's size stays. Nothing is shown for an empty copy.
    void SetPicture(const PictureCopy& copy);
    bool HasPicture() const { return hasPicture_; }
    const QImage& Image() const { return image_; }

    // Paints the list's items in order. The painter works in device pixels; items from the
    // list's clip start on are clipped to its clip rectangle when the list says so. Stretch
    // mode 4 (halftone) draws the picture smoothed, every other mode copies the nearest pixel.
    void Paint(QPainter& painter, const DrawList& list) const;

  private:
    void PaintPicture(QPainter& painter, const DrawList& list, const DrawItem& item,
                      bool clipped) const;

    QImage image_;
    bool hasPicture_ = false;
};

}  // namespace kelpa
