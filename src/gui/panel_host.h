// The settings panel and the Capture Setup, GUIDE Setup and If Slow? dialogs behind the
// DialogHost the main window drives, with their texts from "kelpa.cfg" and their answers
// (the panel's delay, its close box, If Slow?'s changes) passed back to the main window.
#pragma once

#include <QRect>
#include <memory>

#include "gui/dialog_host.h"
#include "gui/settings_panel.h"

namespace kelpa {

class Application;
class ConfigTexts;
class MainWindow;
class PanelDialogs;
class WindowSet;

// The panel's title ([TOOLBAR] Settings) and row labels ([CTRL]).
PanelTexts PanelTextsFrom(const ConfigTexts& texts);

class PanelHost final : public DialogHost {
  public:
    // `windows` (may be null) is what If Slow? resizes.
    PanelHost(Application& app, const ConfigTexts& texts, MainWindow& main, WindowSet* windows);
    ~PanelHost() override;

    // Start-up: the panel's place and, when it was shown at the last exit, the panel.
    void Restore(const QRect& mainWindowFrame);

    bool PanelVisible() const override;
    void SetPanelVisible(bool visible) override;
    void RefreshPanel() override;
    void RefreshPanelRow(StreamEvent kind) override;
    void ShowCaptureSetup() override;
    void ShowGuideSetup() override;
    void ShowIfSlow() override;
    void Save() override;

  private:
    std::unique_ptr<PanelDialogs> dialogs_;
};

}  // namespace kelpa
