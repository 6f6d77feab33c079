// Painting a draw list with QPainter. Lines and outlines are filled one-pixel rectangles, so they
// land exactly on the pixels the geometry names, and clipping is done here on the rectangles
// instead of by the painter.
#include "gui/picture_painter.h"

#include <QPainter>
#include <algorithm>

#include "view/display_rows.h"

namespace kelpa {
namespace {

// The grey of the strips the virtual-guide shift uncovers.
const QColor kStripGrey(128, 128, 128);

QColor ColourOf(DrawPen pen) {
    PenColour c{255, 255, 255};
    switch (pen) {
        case DrawPen::kGrid:
            c = kGridPenColour;
            break;
        case DrawPen::kArea:
            c = kAreaPenColour;
            break;
        case DrawPen::kAreaAutoMove:
            c = kAreaAutoMovePenColour;
            break;
        case DrawPen::kGuideMark:
            c = kGuideMarkPenColour;
            break;
        case DrawPen::kNone:
            break;
    }
    return QColor(c.red, c.green, c.blue);
}

// Right and bottom excluded.
WindowRect Intersect(const WindowRect& a, const WindowRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// Fills `r` (right and bottom excluded), clipped when asked.
void Fill(QPainter& painter, WindowRect r, const QColor& colour, const WindowRect* clip) {
    if (clip) r = Intersect(r, *clip);
    if (r.Width() <= 0 || r.Height() <= 0) return;
    painter.fillRect(QRect(r.left, r.top, r.Width(), r.Height()), colour);
}

// A horizontal or vertical line with both ends drawn.
void Line(QPainter& painter, int32_t x0, int32_t y0, int32_t x1, int32_t y1, const QColor& colour,
          const WindowRect* clip) {
    const WindowRect r{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1,
                       std::max(y0, y1) + 1};
    Fill(painter, r, colour, clip);
}

// An image of the given size in the display rows' format; the old one is kept when it fits.
bool SizeImage(QImage& image, int width, int height) {
    if (image.width() != width || image.height() != height) {
        image = QImage(width, height, QImage::Format_RGB32);
    }
    return !image.isNull();
}

uint32_t* Words(QImage& image) {
    return reinterpret_cast<uint32_t*>(image.bits());
}

size_t StrideWords(const QImage& image) {
    return static_cast<size_t>(image.bytesPerLine()) / sizeof(uint32_t);
}

}  // namespace

void PicturePainter::Paint(QPainter& painter, const DrawList& list) {
    for (size_t i = 0; i < list.Size(); ++i) {
        const DrawItem& item = list[i];
        const bool clipped = list.clipped && i >= list.clipStart;
        const WindowRect* clip = clipped ? &list.clip : nullptr;
        const WindowRect& r = item.rect;
        switch (item.kind) {
            case DrawKind::kFill:
                Fill(painter, r, item.brush == DrawBrush::kGrey ? kStripGrey : QColor(Qt::black),
                     clip);
                break;
            case DrawKind::kPicture:
                PaintPicture(painter, list, item, clipped);
                break;
            case DrawKind::kOutline: {
                const QColor colour = ColourOf(item.pen);
                Line(painter, r.left, r.top, r.right, r.top, colour, clip);
                Line(painter, r.left, r.bottom, r.right, r.bottom, colour, clip);
                Line(painter, r.left, r.top, r.left, r.bottom, colour, clip);
                Line(painter, r.right, r.top, r.right, r.bottom, colour, clip);
                break;
            }
            case DrawKind::kLine:
                Line(painter, r.left, r.top, r.right, r.bottom, ColourOf(item.pen), clip);
                break;
        }
    }
}

void PicturePainter::PaintPicture(QPainter& painter, const DrawList& list, const DrawItem& item,
                                  bool clipped) {
    const WindowRect& target = item.rect;
    const WindowRect* clip = clipped ? &list.clip : nullptr;
    if (target.Width() <= 0 || target.Height() <= 0) return;
    if (!HasPicture()) {
        Fill(painter, target, Qt::black, clip);
        return;
    }
    // The part of the picture inside the clip.
    const WindowRect shown = clip ? Intersect(target, *clip) : target;
    if (shown.Width() <= 0 || shown.Height() <= 0) return;
    const QRect destination(shown.left, shown.top, shown.Width(), shown.Height());
    const FrameBuffer& picture = copy_->Picture();
    // A positive header height: rows stored bottom row first.
    const bool bottomUp = copy_->Header().height > 0;
    const bool sameSize = target.Width() == picture.width && target.Height() == picture.height;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);

    if (list.stretchMode == kStretchHalftone && !sameSize) {
        if (!SizeImage(scaled_, target.Width(), target.Height())) return;
        scaler_.Scale(picture, bottomUp, Words(scaled_), target.Width(), target.Height(),
                      StrideWords(scaled_));
        painter.drawImage(destination.topLeft(), scaled_,
                          destination.translated(-target.left, -target.top));
        return;
    }
    if (!SizeImage(picture_, picture.width, picture.height)) return;
    ToDisplayRows(picture, bottomUp, Words(picture_), StrideWords(picture_));
    if (sameSize) {
        painter.drawImage(destination.topLeft(), picture_,
                          destination.translated(-target.left, -target.top));
        return;
    }
    // The part of the image the shown part covers, for the nearest-pixel scaling.
    const double perPixelX = double(picture.width) / target.Width();
    const double perPixelY = double(picture.height) / target.Height();
    const QRectF source((shown.left - target.left) * perPixelX,
                        (shown.top - target.top) * perPixelY, shown.Width() * perPixelX,
                        shown.Height() * perPixelY);
    painter.drawImage(QRectF(destination), picture_, source);
}

}  // namespace kelpa
