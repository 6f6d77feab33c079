#include "gui/panel_host.h"

#include "app/application.h"
#include "gui/config_texts.h"
#include "gui/main_window.h"
#include "gui/panel_dialogs.h"
#include "gui/window_set.h"

namespace kelpa {

PanelTexts PanelTextsFrom(const ConfigTexts& texts) {
    PanelTexts panel;
    if (const std::string* title = texts.Tooltip("Settings")) panel.title = *title;
    for (const char* key : kPanelRowKeys) {
        if (const std::string* label = texts.PanelLabel(key)) panel.labels[key] = *label;
    }
    return panel;
}

PanelHost::PanelHost(Application& app, const ConfigTexts& texts, MainWindow& main,
                     WindowSet* windows) {
    IfSlowActions ifSlow;
    ifSlow.channelsReset = [&main] { main.RefreshState(); };
    ifSlow.smallVideoWindows = [&app, &main, windows](int32_t clientWidth) {
        if (VideoCtrl* ctrl = app.Current()) ctrl->sink.fitWindowsToFrame = false;
        if (windows != nullptr) windows->Resize(SizeCommand::kFixedWidth, clientWidth);
        main.RefreshState();
    };
    dialogs_ = std::make_unique<PanelDialogs>(app, PanelTextsFrom(texts), ifSlow, &main);
    QObject::connect(dialogs_.get(), &PanelDialogs::delayChanged, &main,
                     [&main](quint32 delayMs) { main.ShowDelay(delayMs); });
    QObject::connect(dialogs_.get(), &PanelDialogs::panelShownChanged, &main,
                     [&main] { main.RefreshState(); });
}

PanelHost::~PanelHost() = default;

void PanelHost::Restore(const QRect& mainWindowFrame) {
    dialogs_->Restore(mainWindowFrame);
}

bool PanelHost::PanelVisible() const {
    return dialogs_->PanelVisible();
}

void PanelHost::SetPanelVisible(bool visible) {
    dialogs_->SetPanelVisible(visible);
}

void PanelHost::RefreshPanel() {
    dialogs_->RefreshPanel();
}

void PanelHost::RefreshPanelRow(StreamEvent kind) {
    dialogs_->RefreshPanelRow(kind);
}

void PanelHost::ShowCaptureSetup() {
    dialogs_->ShowCaptureSetup();
}

void PanelHost::ShowGuideSetup() {
    dialogs_->ShowGuideSetup();
}

void PanelHost::ShowIfSlow() {
    dialogs_->ShowIfSlow();
}

void PanelHost::Save() {
    dialogs_->Save();
}

}  // namespace kelpa
