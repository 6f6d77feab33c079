// What the main window asks of the other top-level windows it drives: the live and processed
// video windows and the statistic window. The video windows' owner implements it; the main
// window runs without one (nothing is shown, the commands change only the engine).
//
// GUI thread only.
#pragma once

#include <cstdint>

#include "view/window_sizing.h"

namespace kelpa {

class VideoCtrl;

enum class ShownWindow : uint8_t { kLive, kProcessing, kStatistic };

// Display flags of the processed window (its ViewGuide... settings).
enum class ViewFlag : uint8_t { kGrid, kArea, kVirtualGuide };

class WindowSet {
  public:
    virtual ~WindowSet() = default;

    virtual bool Visible(ShownWindow window) const = 0;
    virtual void SetVisible(ShownWindow window, bool visible) = 0;

    // The video windows show the pictures of `ctrl` (nullptr: none) from now on.
    virtual void ShowController(VideoCtrl* ctrl) = 0;
    // Both video windows sized by a sizing command for the current picture.
    virtual void Resize(SizeCommand command, int32_t fixedWidth = 0) = 0;
    // Both video windows draw their pictures again.
    virtual void Repaint() = 0;

    virtual bool Flag(ViewFlag flag) const = 0;
    virtual void SetFlag(ViewFlag flag, bool on) = 0;

    // Processing -> Area (Setup..., Move, Resize, Draw, Exit Change).
    virtual void AreaCommand(uint32_t command) = 0;
    // The Area item whose editing mode is on, 0 when none.
    virtual uint32_t AreaMode() const = 0;

    // The main window closes: the windows write their places and flags, then go.
    virtual void SaveAndClose() = 0;
};

}  // namespace kelpa
