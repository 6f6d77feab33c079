// Editing the processing area with the mouse in the processed window: the edit modes chosen
// from the menus, the pointer turned into area fractions, Move, Resize and Draw drags, and the
// mouse wheel. Changes go to the engine through its area calls, which take chainLock.
#pragma once

#include <cstdint>

#include "view/surface_layout.h"

namespace kelpa {

class ProcEngine;

enum class EditMode : int32_t { kNone = 0, kMove = 1, kResize = 2, kDraw = 3 };

inline constexpr int32_t kCommandAreaSetup = 40305;
inline constexpr int32_t kCommandAreaResize = 40306;
inline constexpr int32_t kCommandAreaMove = 40307;
inline constexpr int32_t kCommandAreaDraw = 40308;
inline constexpr int32_t kCommandAreaExit = 40309;

// The popup menu of the processed window; command 0 is the separator. The popup takes each
// text from the main menu and falls back to its own when that is empty.
struct AreaMenuItem {
    int32_t command;
    const char* menuText;
    const char* popupText;
};
inline constexpr AreaMenuItem kAreaPopupItems[] = {
    {kCommandAreaMove, "Move", "Move"},
    {kCommandAreaResize, "Resize", "Resize"},
    {kCommandAreaDraw, "Draw", "Draw"},
    {0, nullptr, nullptr},
    {kCommandAreaExit, "Exit Chanage", "Exit Change"},
};

// Check marks and enabled states of the mode items, in the main menu and the popup alike.
struct AreaMenuState {
    bool moveChecked = false;
    bool resizeChecked = false;
    bool drawChecked = false;
    bool modesEnabled = false;
    bool exitEnabled = false;
};
AreaMenuState AreaMenuStateFor(EditMode mode, bool videoOpen);

// A mode command toggles its mode (a second time back to None); "Exit" ends editing. Without a
// video nothing changes.
EditMode EditModeAfterCommand(EditMode mode, int32_t command, bool videoOpen);

struct PointerKeys {
    bool shift = false;
    bool ctrl = false;
};

// A pointer position as fractions of the picture as shown (0 = left or top edge, 1 = right or
// bottom edge), the virtual-guide shift taken out first.
struct AreaFractions {
    double x = 0.0;
    double y = 0.0;
};
AreaFractions PointerToFractions(WindowPoint pointer, const SurfaceLayout& layout,
                                 int32_t imageWidth, int32_t imageHeight);

// What the window does after a mouse event.
struct EditResult {
    bool moveWindow = false;      // drag the window itself (no edit mode)
    bool captureMouse = false;    // a drag has started
    bool releaseMouse = false;    // the drag has ended
    bool areaChanged = false;     // the area moved or changed size
    bool overlayChanged = false;  // auto move or the virtual guide was suspended or resumed
};

class AreaEditor {
  public:
    // The engine of the current source; nullptr when no video is open. A drag in progress is
    // ended on the engine it started on.
    void SetEngine(ProcEngine* engine);
    ProcEngine* Engine() const { return engine_; }

    EditMode Mode() const { return mode_; }
    // Mode commands 40306 ... 40309; true when the command was one of them.
    bool Command(int32_t command);
    AreaMenuState MenuState() const { return AreaMenuStateFor(mode_, engine_ != nullptr); }

    // `layout` is the processed window's layout as drawn; pointers are in client pixels.
    EditResult Press(WindowPoint pointer, PointerKeys keys, const SurfaceLayout& layout);
    EditResult Drag(WindowPoint pointer, PointerKeys keys, const SurfaceLayout& layout);
    // Ends a drag: auto move and the virtual guide come back where their settings say so.
    EditResult Release(bool virtualGuideSetting);
    // Wheel delta in 1/120 steps: forward grows the area (in every mode).
    EditResult Wheel(int32_t delta, PointerKeys keys, const SurfaceLayout& layout);

    bool Dragging() const { return dragging_; }

  private:
    bool PlaceCentre(WindowPoint pointer, int32_t dx, int32_t dy, PointerKeys keys,
                     const SurfaceLayout& layout);
    bool DrawTo(WindowPoint pointer, const SurfaceLayout& layout);
    bool Grow(int32_t dx, int32_t dy, bool diagonal, const SurfaceLayout& layout);
    void EndDrag(ProcEngine& engine, bool autoMoveSetting, bool virtualGuideSetting,
                 EditResult& result);

    ProcEngine* engine_ = nullptr;
    EditMode mode_ = EditMode::kNone;
    // Last pointer position, with the virtual-guide shift taken out (the picture as unshifted).
    WindowPoint last_;
    bool dragging_ = false;
    bool suspendedVirtualGuide_ = false;
};

// When the processed window shows a changed area.
enum class AreaRedraw : uint8_t {
    kNone,       // the area is not drawn
    kNextFrame,  // frames come fast enough to show it
    kNow,        // draw the frame at once
};
AreaRedraw DecideAreaRedraw(bool areaHidden, int32_t playState, double framesPerSecond,
                            double processedPerSecond);
AreaRedraw DecideAreaRedraw(const ProcEngine& engine, bool areaHidden);

}  // namespace kelpa
