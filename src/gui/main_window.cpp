#include "gui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QShortcut>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "common/log.h"
#include "gui/command_state.h"
#include "gui/config_texts.h"
#include "gui/delay_box.h"
#include "gui/desktop_services.h"
#include "gui/dialog_host.h"
#include "gui/status_bar.h"
#include "gui/tool_bar.h"
#include "gui/window_set.h"
#include "media/device_settings.h"
#include "media/file_graph.h"

namespace kelpa {
namespace {

// The client area the window is laid out for at least: the toolbar's row.
constexpr int kMinClientWidth = 413;
constexpr int kToolbarSlack = 8;
// How often the status bar shows the frames a dark take has summed.
constexpr int kDarkTakeProgressMs = 250;

QString SourceLabel(Application& app) {
    switch (app.CurrentKind()) {
        case SourceKind::kDevice:
            return QString::fromStdString(app.Devices().FriendlyName());
        case SourceKind::kFile:
            return QString::fromStdString(
                std::filesystem::path(app.VideoFileGraph().FilePath()).filename().string());
        case SourceKind::kNone:
            break;
    }
    return {};
}

}  // namespace

MainWindow::MainWindow(Application& app, const ConfigTexts& texts, DesktopServices& desktop,
                       QWidget* parent)
    : QMainWindow(parent), app_(app), texts_(texts), desktop_(desktop) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QString::fromLatin1(kProgramTitle));
    setWindowIcon(QIcon(QStringLiteral(":/icons/kelpa.svg")));
    // A captioned window with system menu and minimise box; it cannot be resized.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    CreateCommandActions(this, &menus_);
    BuildMenuBar(menuBar(), &menus_);
    ApplyMenuTexts(texts_, menus_);
    for (const auto& [command, action] : menus_.actions) {
        connect(action, &QAction::triggered, this, [this, id = command] { Execute(id); });
    }
    connect(MenuOf(Menu::kSources), &QMenu::aboutToShow, this, &MainWindow::RebuildSourcesMenu);

    toolBar_ = new KelpaToolBar(menus_, texts_, this);
    addToolBar(Qt::TopToolBarArea, toolBar_);
    DelayBox* delay = toolBar_->Delay();
    delay->SetDelaySource([this] {
        VideoCtrl* ctrl = app_.Current();
        return ctrl != nullptr ? ctrl->sink.engine.params.delayMs.load() : 0u;
    });
    connect(delay, &DelayBox::DelayTyped, this, [this](uint32_t ms) {
        VideoCtrl* ctrl = app_.Current();
        if (ctrl == nullptr || !ctrl->sink.engine.SetTimeDelay(ms)) return;
        if (dialogs_ != nullptr) dialogs_->RefreshPanelRow(StreamEvent::kDelayChanged);
    });

    statusBar_ = new KelpaStatusBar(this);
    setStatusBar(statusBar_);
    auto* client = new QWidget(this);
    client->setFixedHeight(0);
    setCentralWidget(client);
    BuildShortcuts();
    darkTakeTimer_ = new QTimer(this);
    darkTakeTimer_->setInterval(kDarkTakeProgressMs);
    connect(darkTakeTimer_, &QTimer::timeout, this, &MainWindow::ShowDarkTakeProgress);

    // The frame-step keys go to the window, not to the delay box.
    setFocusPolicy(Qt::StrongFocus);
    adjustSize();
    const int width = std::max(kMinClientWidth, toolBar_->sizeHint().width() + kToolbarSlack);
    setFixedSize(width, sizeHint().height());
    RefreshState();
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildShortcuts() {
    struct StepKey {
        QKeySequence keys;
        int64_t frames;
    };
    const StepKey steps[] = {
        {QKeySequence(Qt::Key_Left), -1},
        {QKeySequence(Qt::Key_Z), -1},
        {QKeySequence(Qt::SHIFT | Qt::Key_Left), -10},
        {QKeySequence(Qt::SHIFT | Qt::Key_Z), -10},
        {QKeySequence(Qt::Key_Right), 1},
        {QKeySequence(Qt::Key_X), 1},
        {QKeySequence(Qt::SHIFT | Qt::Key_Right), 10},
        {QKeySequence(Qt::SHIFT | Qt::Key_X), 10},
        {QKeySequence(Qt::Key_Comma), -10},
        {QKeySequence(Qt::Key_Period), 10},
    };
    for (const StepKey& step : steps) {
        auto* shortcut = new QShortcut(step.keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this,
                [this, frames = step.frames] { Step(frames); });
    }
}

void MainWindow::Step(int64_t frames) {
    if (app_.CurrentKind() != SourceKind::kFile) return;
    const CommandResult result = app_.Step(frames);
    if (!result.ok) ShowStatus(result.message.c_str());
}

void MainWindow::Place(WindowPoint topLeft, WindowPoint workOrigin, ScreenSize work) {
    const WindowPoint fitted =
        FitOnScreen(topLeft, frameGeometry().width(), frameGeometry().height(), workOrigin, work);
    move(fitted.x, fitted.y);
}

bool MainWindow::OpenFirstNightSource() {
    // The first camera, else the simulated telescope camera; a camera that cannot be opened
    // leaves the simulated one.
    CommandResult result = app_.OpenDevice("");
    if (!result.ok) {
        LogPrintf("First camera not opened: %s", result.message.c_str());
        result = app_.OpenDevice("sim");
    }
    if (!result.ok) ShowStatus(result.message.c_str());
    return result.ok;
}

void MainWindow::Start(const std::string& startupFile) {
    savedInput_ = LoadCrossbarSettings();
    bool opened = false;
    if (!startupFile.empty()) {
        opened = app_.OpenFile(startupFile).ok;
        if (!opened) {
            desktop_.Error(this, QStringLiteral("Error"),
                           QStringLiteral("Can`t play video file..."));
        }
    }
    if (!opened && app_.Devices().CurrentDevice() != nullptr && app_.DeviceCtrl().graphBuilt) {
        // The saved device was found and its graph built at start-up.
        app_.MakeCurrent(SourceKind::kDevice);
        opened = true;
    }
    if (!opened) opened = OpenFirstNightSource();
    if (opened && app_.CurrentKind() == SourceKind::kDevice) RestoreVideoInput();
    if (opened) ApplyResult(app_.Run());
    SourceChanged();
}

void MainWindow::SourceChanged() {
    if (windows_ != nullptr) windows_->ShowController(app_.Current());
    if (dialogs_ != nullptr) dialogs_->RefreshPanel();
    statusBar_->ShowSource(SourceLabel(app_));
    RefreshState();
    ShowPlayState();
}

CommandInputs MainWindow::Inputs() {
    CommandInputs in = ReadCommandInputs(app_);
    if (windows_ != nullptr) {
        in.liveVisible = windows_->Visible(ShownWindow::kLive);
        in.procVisible = windows_->Visible(ShownWindow::kProcessing);
        in.statisticVisible = windows_->Visible(ShownWindow::kStatistic);
        in.viewArea = windows_->Flag(ViewFlag::kArea);
        in.viewGrid = windows_->Flag(ViewFlag::kGrid);
        in.virtualGuide = windows_->Flag(ViewFlag::kVirtualGuide);
        in.areaMode = windows_->AreaMode();
    } else if (VideoCtrl* ctrl = app_.Current()) {
        in.virtualGuide = ctrl->sink.engine.guideVirtual.load();
    }
    in.panelVisible = dialogs_ != nullptr && dialogs_->PanelVisible();
    return in;
}

void MainWindow::RefreshState() {
    const CommandInputs in = Inputs();
    for (const auto& [command, action] : menus_.actions) {
        const CommandState state = StateOf(command, in);
        action->setEnabled(state.enabled);
        if (action->isCheckable()) action->setChecked(state.checked);
    }
    if (windows_ != nullptr) app_.SetStatisticsWanted(in.statisticVisible);
    DelayBox* delay = toolBar_->Delay();
    // While the user types, the box keeps the text; it shows the delay again on leaving.
    if (!delay->hasFocus()) {
        VideoCtrl* ctrl = app_.Current();
        delay->ShowDelay(ctrl != nullptr ? ctrl->sink.engine.params.delayMs.load() : 0);
    }
}

void MainWindow::ShowPlayState() {
    const int32_t state = app_.PlayState();
    if (state == kStateStopped && app_.Capturing()) {
        char text[kCaptureStatusSize];
        FormatCaptureProgress(text, sizeof text, app_.Current()->sink.capture.capturedCount.load());
        statusBar_->ShowMessage(QString::fromLatin1(text));
        return;
    }
    statusBar_->ShowMessage(QString::fromLatin1(app_.StateText()));
}

void MainWindow::ShowDelay(uint32_t ms) {
    toolBar_->Delay()->ShowDelay(ms);
}

void MainWindow::ApplyResult(const CommandResult& result) {
    if (!result.message.empty()) ShowStatus(result.message.c_str());
}

// ---- Stream events ------------------------------------------------------------------------------

void MainWindow::OnGraphEvent(VideoCtrl* ctrl) {
    const Application::GraphOutcome outcome = app_.HandleGraphEvents(ctrl->Events());
    if (ctrl != app_.Current()) return;
    if (outcome.failed) {
        ShowStatus(outcome.message.c_str());
    } else if (outcome.stopped) {
        ShowPlayState();
    }
    RefreshState();
}

void MainWindow::OnAutoChange(VideoCtrl* ctrl, StreamEvent kind, int32_t value) {
    if (ctrl != app_.Current()) return;
    if (dialogs_ != nullptr) dialogs_->RefreshPanelRow(kind);
    if (kind == StreamEvent::kDelayChanged) ShowDelay(static_cast<uint32_t>(std::max(value, 0)));
}

void MainWindow::OnCaptureProgress(VideoCtrl* ctrl, uint32_t capturedCount) {
    if (ctrl != app_.Current()) return;
    char text[kCaptureStatusSize];
    FormatCaptureProgress(text, sizeof text, capturedCount);
    statusBar_->ShowMessage(QString::fromLatin1(text));
}

void MainWindow::OnCaptureDone(VideoCtrl* ctrl, const CaptureReport& report) {
    if (ctrl != app_.Current()) return;
    RefreshState();  // the Capture button comes up first
    if (report.failed) {
        // A capture that could not be written is something the user must not miss.
        Warn(report.failure);
    } else {
        ctrl->sink.capture.ReportRunEnd(this);
    }
}

void MainWindow::OnDevicesChanged() {
    app_.DevicesChanged();
    if (app_.CurrentKind() == SourceKind::kNone && app_.DeviceCtrl().graphBuilt) {
        app_.MakeCurrent(SourceKind::kDevice);
    }
    SourceChanged();
}

void MainWindow::ShowDarkTakeProgress() {
    VideoCtrl* ctrl = app_.Current();
    if (ctrl == nullptr || ctrl->sink.dark.TakeState() != DarkTakeState::kTaking) {
        darkTakeTimer_->stop();
        return;
    }
    std::string text = app_.DarkStatus();
    // The take sums the frames that arrive: none come while the video stands.
    if (ctrl->PlayState() != kStateRunning) text += " (start the video)";
    statusBar_->ShowMessage(QString::fromStdString(text));
}

void MainWindow::OnDarkTakeEnded(VideoCtrl* ctrl) {
    // A take started again after this one ended is still running: nothing to finish.
    const DarkTakeState state = ctrl->sink.dark.TakeState();
    if (state != DarkTakeState::kTaken && state != DarkTakeState::kFailed) return;
    if (ctrl == app_.Current()) darkTakeTimer_->stop();
    CommandResult result = app_.FinishDarkTake(ctrl->Events());
    if (!result.ok) {
        Warn(result.message.c_str());
    } else {
        if (!app_.DarkUse()) result.message += "; Use dark subtracts it";
        ShowStatus(result.message.c_str());
    }
    RefreshState();
}

void MainWindow::OnGuideLogStopped(VideoCtrl* ctrl) {
    std::string failure = ctrl->sink.guideLog.FailureText();
    if (failure.empty()) return;  // switched on again since: the new session has not failed
    // Off, the check mark tells the truth, and switching it on again starts a new file.
    app_.SetGuideLog(false);
    RefreshState();
    Warn(failure.c_str());
}

// ---- Notices ------------------------------------------------------------------------------------

void MainWindow::ShowStatus(const char* text) {
    const QString message = QString::fromLocal8Bit(text);
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, message] { statusBar_->ShowMessage(message); }, Qt::QueuedConnection);
        return;
    }
    statusBar_->ShowMessage(message);
}

void MainWindow::Warn(const char* text) {
    LogPrintf("%s", text);
    QString message = QString::fromLocal8Bit(text);
    message.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const auto show = [this, message] {
        statusBar_->ShowMessage(message);
        desktop_.Warning(isVisible() ? this : nullptr, message);
    };
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, show, Qt::QueuedConnection);
        return;
    }
    show();
}

// ---- Sources menu
// --------------------------------------------------------------------------------

void MainWindow::RebuildSourcesMenu() {
    QMenu* menu = MenuOf(Menu::kSources);
    menu->clear();
    const auto add = [this](QMenu* into, const std::string& text, uint32_t command, bool checkable,
                            bool checked) {
        QAction* action = into->addAction(QString::fromStdString(text));
        action->setData(command);
        action->setCheckable(checkable);
        action->setChecked(checked);
        connect(action, &QAction::triggered, this, [this, command] { Execute(command); });
    };
    DeviceSettings& devices = app_.Devices();
    devices.BuildDeviceMenu();
    const std::vector<DeviceMenuItem>& items = devices.DeviceMenu();
    for (size_t i = 0; i < items.size(); ++i) {
        add(menu, items[i].text, DeviceCommand(i), true, items[i].checked);
    }
    // The device's own pages, while its graph stands.
    if (!app_.DeviceCtrl().graphBuilt || devices.SourcesMenu().empty()) return;
    menu->addSeparator();
    for (const SourcesMenuItem& item : devices.SourcesMenu()) {
        if (item.slot >= 0) {
            add(menu, item.text, SourcesItemCommand(item.slot), false, false);
            continue;
        }
        QMenu* inputs = menu->addMenu(QString::fromStdString(item.text));
        for (const SourcesMenuItem& input : item.items) {
            add(inputs, input.text, SourcesItemCommand(input.slot), true, input.checked);
        }
    }
}

// ---- Closing
// --------------------------------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    closed_ = true;
    SaveMainPosition({x(), y()});
    if (dialogs_ != nullptr) dialogs_->Save();
    if (windows_ != nullptr) windows_->SaveAndClose();
    hide();
    // No frame may reach a window that is going; the graphs are torn down with the core.
    app_.FileCtrl().Stop();
    app_.DeviceCtrl().Stop();
    KeepVideoInput();
    SaveCrossbarSettings(savedInput_);
    // The chosen device, then the preferred capture format.
    app_.SaveDeviceSettings();
    event->accept();
    emit Closed();
}

}  // namespace kelpa
