// A painter on a widget set to device pixels: one unit is one pixel of the screen.
#pragma once

#include <QPainter>
#include <QWidget>

namespace kelpa {

inline void UseDevicePixels(QPainter& painter, const QWidget& widget) {
    const qreal ratio = widget.devicePixelRatio();
    if (ratio != 1.0) painter.scale(1.0 / ratio, 1.0 / ratio);
}

}  // namespace kelpa
