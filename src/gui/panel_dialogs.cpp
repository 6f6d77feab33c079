#include "gui/panel_dialogs.h"

#include "app/panel_settings.h"
#include "gui/capture_setup_dialog.h"
#include "gui/guide_setup_dialog.h"

namespace kelpa {

PanelDialogs::PanelDialogs(Application& app, const PanelTexts& texts, IfSlowActions ifSlow,
                           QWidget* dialogParent)
    : app_(app),
      ifSlow_(std::move(ifSlow)),
      dialogParent_(dialogParent),
      panel_(std::make_unique<SettingsPanel>(app, texts)) {
    connect(panel_.get(), &SettingsPanel::delayChanged, this, &PanelDialogs::delayChanged);
    connect(panel_.get(), &SettingsPanel::shownChanged, this, &PanelDialogs::panelShownChanged);
}

PanelDialogs::~PanelDialogs() = default;

void PanelDialogs::Restore(const QRect& mainWindowFrame) {
    panel_->Restore(LoadPanelSettings(), mainWindowFrame);
}

bool PanelDialogs::PanelVisible() const {
    return panel_->Shown();
}

void PanelDialogs::SetPanelVisible(bool visible) {
    if (panel_->Shown() != visible) panel_->ShowToggle();
}

void PanelDialogs::RefreshPanel() {
    panel_->Refresh();
}

void PanelDialogs::RefreshPanelRow(StreamEvent kind) {
    panel_->RefreshForEvent(kind);
}

void PanelDialogs::ShowCaptureSetup() {
    RunCaptureSetup(app_, dialogParent_);
}

void PanelDialogs::ShowGuideSetup() {
    RunGuideSetup(app_, dialogParent_);
}

void PanelDialogs::ShowIfSlow() {
    RunIfSlow(app_, ifSlow_, dialogParent_);
    // The dialog may have changed the channel and the capture format.
    panel_->Refresh();
}

void PanelDialogs::Save() {
    panel_->SaveState();
}

}  // namespace kelpa
