// The main window's command handler: every command of the table, by its number.
#include <QAction>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <mutex>

#include "app/crossbar_routes.h"
#include "common/log.h"
#include "common/profile.h"
#include "gui/command_state.h"
#include "gui/desktop_services.h"
#include "gui/device_dialogs.h"
#include "gui/dialog_host.h"
#include "gui/main_window.h"
#include "gui/window_set.h"
#include "media/device_settings.h"
#include "platform/data_paths.h"

namespace kelpa {
void MainWindow::Execute(uint32_t command) {
    VideoCtrl* ctrl = app_.Current();
    const bool handled = ExecuteControl(command) || ExecuteHelp(command) ||
                         ExecuteDarkAndLog(command) || ExecuteGuideAndView(command, ctrl) ||
                         (ctrl != nullptr && ctrl->graphBuilt && ExecuteProcessing(command, *ctrl));
    if (!handled) {
        if (DeviceIndexOf(command) || SourcesSlotOf(command)) ExecuteSourcesItem(command);
    }
    if (command >= kCmdFlipVertical && command <= kCmdViewGrid && windows_ != nullptr) {
        windows_->Repaint();
    }
    if (!closed_) RefreshState();
}

bool MainWindow::ExecuteControl(uint32_t command) {
    switch (command) {
        case kCmdCaptureSetup:
            if (dialogs_ != nullptr) dialogs_->ShowCaptureSetup();
            return true;
        case kCmdStart:
        case kCmdPause:
        case kCmdStop: {
            if (app_.Current() == nullptr) return true;
            const CommandResult result = command == kCmdStart   ? app_.StartStop()
                                         : command == kCmdPause ? app_.PauseToggle()
                                                                : app_.Stop();
            if (result.ok) {
                ShowPlayState();
            } else {
                ApplyResult(result);
            }
            return true;
        }
        case kCmdCapture:
            // The capture writer tells the status bar what it started or ended; a run that
            // cannot start (no capture folder) is a warning.
            if (app_.Current() != nullptr) {
                const CommandResult result = app_.ToggleCapture();
                if (!result.ok) Warn(result.message.c_str());
            }
            return true;
        case kCmdExit:
            close();
            return true;
        case kCmdSettings:
            if (dialogs_ != nullptr) dialogs_->SetPanelVisible(!dialogs_->PanelVisible());
            return true;
        case kCmdDefault:
            if (VideoCtrl* ctrl = app_.Current()) ctrl->sink.engine.ResetTone();
            if (dialogs_ != nullptr) dialogs_->RefreshPanel();
            return true;
        default:
            return false;
    }
}

bool MainWindow::ExecuteProcessing(uint32_t command, VideoCtrl& ctrl) {
    ProcEngine& engine = ctrl.sink.engine;
    ProcParams& params = engine.params;
    if (const std::optional<int32_t> channel = ChannelOf(command)) {
        engine.SetChannel(*channel);
        return true;
    }
    switch (command) {
        case kCmdBlackAndWhite:
            engine.ResetOutsideAndChannel();
            return true;
        case kCmdOutsideAsIs:
            engine.SetOutsideAsIs(params.outsideAsIs.load() == 0);
            return true;
        case kCmdAverage:
            engine.SetVariant(kVariantAverage);
            return true;
        case kCmdSubtracterAdder:
            engine.SetVariant(kVariantSubtracterAdder);
            return true;
        case kCmdAutoAmplification:
            params.autoFlags.fetch_xor(kAutoAmplification);
            return true;
        case kCmdAutoAccumulate:
            params.autoFlags.fetch_xor(kAutoAccumulate);
            return true;
        case kCmdAutoDelay:
            params.autoFlags.fetch_xor(kAutoDelay);
            return true;
        case kCmdNrHorizontal:
        case kCmdNrVertical: {
            const bool horizontal = params.nrH.load() != 0;
            const bool vertical = params.nrV.load() != 0;
            engine.SetNR(horizontal != (command == kCmdNrHorizontal),
                         vertical != (command == kCmdNrVertical));
            // The threshold rows follow the switches.
            if (dialogs_ != nullptr) dialogs_->RefreshPanel();
            return true;
        }
        case kCmdFlipVertical:
            ToggleFlip(ctrl);
            return true;
        default:
            if (command >= kCmdAreaSetup && command <= kCmdAreaExitChange) {
                if (windows_ != nullptr) windows_->AreaCommand(command);
                return true;
            }
            return false;
    }
}

void MainWindow::ToggleFlip(VideoCtrl& ctrl) {
    ProcEngine& engine = ctrl.sink.engine;
    std::lock_guard lock(engine.chainLock);
    const bool flip = engine.params.flipV.load() == 0;
    engine.params.flipV.store(flip ? 1 : 0);
    engine.surf.SetFlip(flip);
    // The area's rows are counted in the picture as shown.
    engine.ApplyArea();
    ctrl.sink.live.SetFlip(flip);
}

void MainWindow::ToggleVirtualGuide(VideoCtrl& ctrl) {
    ProcEngine& engine = ctrl.sink.engine;
    const bool on = windows_ != nullptr ? !windows_->Flag(ViewFlag::kVirtualGuide)
                                        : !engine.guideVirtual.load();
    // The virtual guide follows the guide star: it starts guiding.
    if (on && engine.params.guideEnable.load() == 0) engine.SetGuideEnable(true);
    engine.SetVirtualGuideActive(on);
    if (windows_ != nullptr) windows_->SetFlag(ViewFlag::kVirtualGuide, on);
}

bool MainWindow::ExecuteGuideAndView(uint32_t command, VideoCtrl* ctrl) {
    switch (command) {
        case kCmdGuideSetup:
            if (dialogs_ != nullptr) dialogs_->ShowGuideSetup();
            return true;
        case kCmdLivePreview:
        case kCmdProcPreview:
        case kCmdInfoStatistic:
            ToggleWindow(command);
            return true;
        default:
            break;
    }
    const bool open = ctrl != nullptr && ctrl->graphBuilt;
    const auto toggleFlag = [this](ViewFlag flag) {
        if (windows_ != nullptr) windows_->SetFlag(flag, !windows_->Flag(flag));
    };
    switch (command) {
        case kCmdGuideStart:
            if (open) ctrl->sink.engine.SetGuideEnable(ctrl->sink.engine.params.guideEnable == 0);
            return true;
        case kCmdVirtualGuide:
            if (open) ToggleVirtualGuide(*ctrl);
            return true;
        case kCmdAutoMove:
            if (open) {
                ProcEngine& engine = ctrl->sink.engine;
                engine.SetGuideAutoMoveSetting(engine.params.guideAutoMoveSetting.load() == 0);
            }
            return true;
        case kCmdViewGrid:
            if (open) toggleFlag(ViewFlag::kGrid);
            return true;
        case kCmdViewArea:
            if (open) toggleFlag(ViewFlag::kArea);
            return true;
        case kCmdHalfSize:
        case kCmdDefaultSize:
            if (open && windows_ != nullptr) {
                windows_->Resize(command == kCmdHalfSize ? SizeCommand::kHalfSize
                                                         : SizeCommand::kInputSize);
            }
            return true;
        case kCmdInputSize:
            if (open) {
                bool& fit = ctrl->sink.fitWindowsToFrame;
                fit = !fit;
                if (fit && windows_ != nullptr) windows_->Resize(SizeCommand::kInputSize);
            }
            return true;
        default:
            return false;
    }
}

void MainWindow::ToggleWindow(uint32_t command) {
    if (windows_ == nullptr) return;
    const ShownWindow window = command == kCmdLivePreview   ? ShownWindow::kLive
                               : command == kCmdProcPreview ? ShownWindow::kProcessing
                                                            : ShownWindow::kStatistic;
    windows_->SetVisible(window, !windows_->Visible(window));
}

bool MainWindow::ExecuteHelp(uint32_t command) {
    switch (command) {
        case kCmdContents:
            OpenManual();
            return true;
        case kCmdIfSlow:
            if (dialogs_ != nullptr) dialogs_->ShowIfSlow();
            return true;
        case kCmdAbout:
            desktop_.About(this);
            return true;
        case kCmdSendMail:
            desktop_.Open(MailUrl());
            return true;
        case kCmdWebSite:
            desktop_.Open(QUrl(QString::fromLatin1(kWebSiteUrl)));
            return true;
        case kCmdWebOrb:
            desktop_.Open(QUrl(QString::fromLatin1(kWebOrbUrl)));
            return true;
        default:
            return false;
    }
}

bool MainWindow::ExecuteDarkAndLog(uint32_t command) {
    switch (command) {
        case kCmdTakeDark: {
            if (app_.Current() == nullptr) return true;
            const CommandResult result = app_.TakeDark();
            if (!result.ok) {
                Warn(result.message.c_str());
                return true;
            }
            ShowStatus(result.message.c_str());  // "... (cap on)" until the first progress
            darkTakeTimer_->start();
            return true;
        }
        case kCmdUseDark: {
            // A missing or refused dark leaves Use on (a dark taken later is used) but is shown.
            const CommandResult result = app_.SetDarkUse(!app_.DarkUse());
            if (result.ok) {
                ApplyResult(result);
            } else {
                Warn(result.message.c_str());
            }
            return true;
        }
        case kCmdGuideLog: {
            const bool on = !app_.GuideLog();
            app_.SetGuideLog(on);
            std::string text = on ? "Guide log: on" : "Guide log: off";
            VideoCtrl* ctrl = app_.Current();
            const std::string path = ctrl != nullptr ? ctrl->sink.guideLog.CurrentPath() : "";
            if (!on && !path.empty()) text += "; last file " + path;
            ShowStatus(text.c_str());
            return true;
        }
        default:
            return false;
    }
}

void MainWindow::OpenManual() {
    const QString page = QString::fromStdString(ProgramDataPaths().manualDirectory) +
                         QString::fromLatin1(kManualFirstPage);
    if (!QFileInfo::exists(page)) {
        Warn(("The manual was not found: " + page.toStdString()).c_str());
        return;
    }
    if (!desktop_.Open(QUrl::fromLocalFile(page))) {
        Warn(("The manual could not be opened: " + page.toStdString()).c_str());
    }
}

// ---- Sources
// -------------------------------------------------------------------------------------

void MainWindow::ExecuteSourcesItem(uint32_t command) {
    if (const std::optional<size_t> index = DeviceIndexOf(command)) {
        if (*index >= app_.Devices().Devices().size()) return;
        // The camera takes over the windows; a video file playing unseen would only cost time.
        if (app_.CurrentKind() == SourceKind::kFile) app_.FileCtrl().Stop();
        ApplyResult(app_.ChooseDevice(*index));
        if (app_.CurrentKind() == SourceKind::kDevice) RestoreVideoInput();
        SourceChanged();
        return;
    }
    const std::optional<int32_t> slot = SourcesSlotOf(command);
    if (!slot || !app_.DeviceCtrl().graphBuilt) return;
    DevicePages& pages = app_.Devices().Pages();
    const DevicePage page = pages.PageForSlot(*slot);
    QString message;
    switch (page) {
        case DevicePage::kNone:
            pages.ChooseVideoInput(*slot);
            break;
        case DevicePage::kCaptureFilter:
        case DevicePage::kTvTuner:
            // Their settings are seen at once in the running picture.
            message = ShowDevicePage(this, page, pages);
            break;
        default:
            pages.RunPageItem(*slot, [this, &pages, &message](DevicePage shown) {
                message = ShowDevicePage(this, shown, pages);
            });
            break;
    }
    KeepVideoInput();
    RefreshState();
    ShowPlayState();
    if (!message.isEmpty()) ShowStatus(message.toLocal8Bit().constData());
}

void MainWindow::RestoreVideoInput() {
    DevicePages& pages = app_.Devices().Pages();
    if (savedInput_.inPhysicalType <= 0 || pages.Inputs().size() < 2) return;
    if (!CrossbarRoutes::Collect(pages.Inputs()).Restore(pages, savedInput_)) {
        LogPrintf("No video input of the saved type %d", savedInput_.inPhysicalType);
    }
}

void MainWindow::KeepVideoInput() {
    const DevicePages& pages = app_.Devices().Pages();
    savedInput_ =
        CrossbarRoutes::Collect(pages.Inputs()).ToSave(pages.CheckedInputIndex(), savedInput_);
}

}  // namespace kelpa
