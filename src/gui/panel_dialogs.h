// The settings panel and the Capture Setup, GUIDE Setup and If Slow? dialogs as the main window
// drives them: one object that owns the panel, opens the dialogs over the main window and
// passes the panel's delay on to the toolbar.
//
// GUI thread only.
#pragma once

#include <QObject>
#include <QRect>
#include <memory>

#include "gui/if_slow_dialog.h"
#include "gui/settings_panel.h"

namespace kelpa {

class PanelDialogs : public QObject {
    Q_OBJECT

  public:
    // `dialogParent` (the main window) owns the dialogs while they are open; the panel is a
    // window of its own.
    PanelDialogs(Application& app, const PanelTexts& texts, IfSlowActions ifSlow,
                 QWidget* dialogParent);
    ~PanelDialogs() override;

    SettingsPanel& Panel() { return *panel_; }

    // Start-up: the panel's remembered place (else beside the main window) and, when it was
    // shown at the last exit, the panel.
    void Restore(const QRect& mainWindowFrame);

    // Command 40016 and its check mark.
    bool PanelVisible() const;
    void SetPanelVisible(bool visible);
    // After Default, a source change, the banding switches: every row again.
    void RefreshPanel();
    // kAmpChanged, kCountAccumChanged, kDelayChanged: that row.
    void RefreshPanelRow(StreamEvent kind);

    void ShowCaptureSetup();  // 40009
    void ShowGuideSetup();    // 40011
    void ShowIfSlow();        // 40311

    // The main window closes: ProcFiltrPPage, SLX and SLY.
    void Save();

  signals:
    // The toolbar's delay box shows FormatDelayText(delayMs).
    void delayChanged(quint32 delayMs);
    // The panel was shown or hidden (also by its close box): the Settings check follows.
    void panelShownChanged(bool shown);

  private:
    Application& app_;
    IfSlowActions ifSlow_;
    QWidget* dialogParent_;
    std::unique_ptr<SettingsPanel> panel_;
};

}  // namespace kelpa
