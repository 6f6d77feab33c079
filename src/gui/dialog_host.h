// What the main window asks of the settings panel and the dialogs: the panel's visibility and
// refresh, and the Capture Setup, GUIDE Setup and If Slow? dialogs. Their owner implements it;
// without one the main window carries out the core part of each command itself (Default resets
// the tone, the panel and the dialogs are simply not there).
//
// GUI thread only.
#pragma once

#include "processing/stream_events.h"

namespace kelpa {

class DialogHost {
  public:
    virtual ~DialogHost() = default;

    // Settings (40016): the panel shown or hidden.
    virtual bool PanelVisible() const = 0;
    virtual void SetPanelVisible(bool visible) = 0;
    // Every row shows the current controller's values again (after Default, a source change,
    // at start-up); the banding threshold rows follow the banding switches.
    virtual void RefreshPanel() = 0;
    // One row changed behind the panel's back: kAmpChanged, kCountAccumChanged or
    // kDelayChanged (the automatic control, the toolbar's delay box).
    virtual void RefreshPanelRow(StreamEvent kind) = 0;

    virtual void ShowCaptureSetup() = 0;  // 40009
    virtual void ShowGuideSetup() = 0;    // 40011
    virtual void ShowIfSlow() = 0;        // 40311

    // The main window closes: the panel writes its state and place.
    virtual void Save() = 0;
};

}  // namespace kelpa
