// Readable test messages for the view's value types.
#pragma once

#include <ostream>

#include "view/draw_list.h"
#include "view/surface_layout.h"
#include "view/view_settings.h"

namespace kelpa {

inline void PrintTo(const WindowPoint& p, std::ostream* os) {
    *os << "(" << p.x << ", " << p.y << ")";
}
inline void PrintTo(const WindowRect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
inline void PrintTo(const WindowPlace& p, std::ostream* os) {
    *os << "{" << p.x << ", " << p.y << ", " << p.width << " x " << p.height << "}";
}
inline void PrintTo(const DrawItem& item, std::ostream* os) {
    *os << "kind " << int(item.kind) << " pen " << int(item.pen) << " brush " << int(item.brush)
        << " ";
    PrintTo(item.rect, os);
}

}  // namespace kelpa
