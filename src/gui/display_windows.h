// The main window's view of the display windows: the Live, Processing and Info: Statistic
// windows behind the WindowSet the main window drives, and the wiring of the event bridge and
// the windows' own signals to the main window.
#pragma once

#include "gui/window_set.h"

namespace kelpa {

class EventBridge;
class MainWindow;
class VideoWindows;

class DisplayWindowSet final : public WindowSet {
  public:
    // Both outlive this object. Connects the windows' signals to `main`.
    DisplayWindowSet(VideoWindows& windows, MainWindow& main);

    bool Visible(ShownWindow window) const override;
    void SetVisible(ShownWindow window, bool visible) override;
    void ShowController(VideoCtrl* ctrl) override;
    void Resize(SizeCommand command, int32_t fixedWidth = 0) override;
    void Repaint() override;
    bool Flag(ViewFlag flag) const override;
    void SetFlag(ViewFlag flag, bool on) override;
    void AreaCommand(uint32_t command) override;
    uint32_t AreaMode() const override;
    void SaveAndClose() override;

  private:
    VideoWindows& windows_;
    MainWindow& main_;
};

// The stream events the main window answers (graph events, automatic-control changes, capture
// progress and ends, devices plugged or pulled), from the bridge to the main window.
void ConnectMainWindow(EventBridge& bridge, MainWindow& main);

}  // namespace kelpa
