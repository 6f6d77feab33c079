// What a video window paints, as a short list of items in window pixels: the black bands
// around the picture, the picture itself, the grey strips the virtual-guide shift uncovers,
// the grid, the processing area and the guide mark. The window paints the items in order with
// the named pen or brush; building the list allocates nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "view/overlay_geometry.h"
#include "view/surface_layout.h"

namespace kelpa {

enum class DrawKind : uint8_t {
    kFill,     // rect filled with `brush`; right and bottom excluded
    kPicture,  // the image stretched into rect; right and bottom excluded
    kOutline,  // rectangle outline with `pen` along columns left, right and rows top, bottom
    kLine,     // horizontal or vertical line with `pen` from (left, top) to (right, bottom),
               // both ends drawn
};

enum class DrawPen : uint8_t { kNone, kGrid, kArea, kAreaAutoMove, kGuideMark };
enum class DrawBrush : uint8_t { kNone, kBlack, kGrey };

// Pen colours (red, green, blue).
struct PenColour {
    uint8_t red, green, blue;
};
inline constexpr PenColour kGridPenColour{180, 180, 180};
inline constexpr PenColour kAreaPenColour{255, 180, 0};
inline constexpr PenColour kAreaAutoMovePenColour{0, 180, 200};
inline constexpr PenColour kGuideMarkPenColour{255, 0, 0};

struct DrawItem {
    DrawKind kind = DrawKind::kFill;
    DrawPen pen = DrawPen::kNone;
    DrawBrush brush = DrawBrush::kNone;
    WindowRect rect;
    friend bool operator==(const DrawItem&, const DrawItem&) = default;
};

// Stretch modes of the processed window; 4 smooths (halftone), the others copy pixels.
inline constexpr int32_t kStretchColourOnColour = 3;
inline constexpr int32_t kStretchHalftone = 4;

class DrawList {
  public:
    static constexpr size_t kCapacity = 16;

    void Clear() { size_ = 0; }
    // Items beyond the capacity are dropped (the builders never come near it).
    void Add(const DrawItem& item) {
        if (size_ < kCapacity) items_[size_++] = item;
    }
    size_t Size() const { return size_; }
    const DrawItem& operator[](size_t i) const { return items_[i]; }
    const DrawItem* begin() const { return items_.data(); }
    const DrawItem* end() const { return items_.data() + size_; }

    // While `clipped` is set, the items from `clipStart` on (the picture and what is drawn over
    // it) are clipped to `clip`; the bands before them are not.
    bool clipped = false;
    size_t clipStart = 0;
    WindowRect clip;
    int32_t stretchMode = kStretchColourOnColour;
    // Brush origin (x = y) to set before a halftone stretch; 0 when not needed.
    int32_t brushOrigin = 0;

  private:
    std::array<DrawItem, kCapacity> items_{};
    size_t size_ = 0;
};

// The builders append to the list; a window that erases its background starts with the bands.

// The black bands around the picture, for erasing the background. Empty bands are left out.
void AddBands(const SurfaceLayout& layout, DrawList& list);

// The live window's picture.
void BuildLiveFrame(const SurfaceLayout& layout, DrawList& list);

// How the processed window draws its overlay.
struct FrameStyle {
    int32_t stretchMode = kStretchColourOnColour;
    bool showGrid = false;
    // The show-area setting: the guide mark is drawn only with it.
    bool showArea = false;
    // The area pen shows auto move: used when auto move is on or no video is open.
    bool autoMovePen = false;
    bool virtualGuideActive = false;
};

// The processed window's frame: picture, grey strips, grid, area, guide mark.
void BuildProcFrame(const ProcView& view, const FrameStyle& style, DrawList& list);

}  // namespace kelpa
