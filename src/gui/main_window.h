// The main window "KELPA v. 2.2": menu bar, toolbar with the delay box and the two-part status
// bar. It owns every command: menu items, accelerators and toolbar buttons reach Execute by the
// command's number, which acts on the current video controller, shows or hides the other
// windows through the WindowSet and the panel and dialogs through the DialogHost, and keeps
// check marks, buttons and the status text in step. Closing it saves the window places and
// ends the program.
//
// GUI thread only, except ShowStatus and Warn, which may come from any thread.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <string>

#include "app/application.h"
#include "app/crossbar_routes.h"
#include "gui/menu_builder.h"
#include "gui/startup_place.h"
#include "platform/user_notice.h"

class QMenu;
class QTimer;

namespace kelpa {

class ConfigTexts;
class DesktopServices;
class DialogHost;
class KelpaStatusBar;
class KelpaToolBar;
class WindowSet;
struct CommandInputs;

class MainWindow final : public QMainWindow, public UserNotice {
    Q_OBJECT

  public:
    MainWindow(Application& app, const ConfigTexts& texts, DesktopServices& desktop,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // The other windows (not owned; nullptr: none).
    void SetWindowSet(WindowSet* windows) { windows_ = windows; }
    void SetDialogHost(DialogHost* dialogs) { dialogs_ = dialogs; }

    // Start-up: the window's top-left corner at `topLeft`, moved so that the whole window lies
    // in the work area.
    void Place(WindowPoint topLeft, WindowPoint workOrigin, ScreenSize work);
    // Start-up, after the saved device was restored: opens `startupFile` when one was named,
    // else the saved device, the first camera or the simulated camera, starts it, and shows
    // everything as it is.
    void Start(const std::string& startupFile);

    // Every command of the table; nothing that needs a video happens without one.
    void Execute(uint32_t command);
    // Check marks, enabled items, toolbar buttons and the delay box from the current state.
    void RefreshState();
    // The play state's text in the status bar ("Playing...", ...).
    void ShowPlayState();
    // After the source changed: the windows and the panel follow the current controller.
    void SourceChanged();
    // The delay box shows `ms` (the panel's delay slider moved).
    void ShowDelay(uint32_t ms);

    // The stream events of either controller, on the GUI thread.
    void OnGraphEvent(VideoCtrl* ctrl);
    void OnAutoChange(VideoCtrl* ctrl, StreamEvent kind, int32_t value);
    void OnCaptureProgress(VideoCtrl* ctrl, uint32_t capturedCount);
    void OnCaptureDone(VideoCtrl* ctrl, const CaptureReport& report);
    void OnDevicesChanged();
    // A dark frame take ended: the master dark is stored and the result shown (a failure is
    // a warning).
    void OnDarkTakeEnded(VideoCtrl* ctrl);
    // The guide log stopped on a write failure: it is switched off and the reason shown.
    void OnGuideLogStopped(VideoCtrl* ctrl);
    // While a take runs: "Taking dark frame: 12 of 32" in the status bar (a timer calls it).
    void ShowDarkTakeProgress();

    // UserNotice: the status bar's second part; Warn also shows the warning box and logs.
    void ShowStatus(const char* text) override;
    void Warn(const char* text) override;

    // The parts, for the panel, the dialogs and tests.
    Application& App() { return app_; }
    QAction* ActionOf(uint32_t command) const { return menus_.Action(command); }
    QMenu* MenuOf(Menu menu) const { return menus_.MenuOf(menu); }
    KelpaToolBar* Tools() const { return toolBar_; }
    KelpaStatusBar* Status() const { return statusBar_; }
    // Fills the Sources menu from the device list (done whenever it opens).
    void RebuildSourcesMenu();

  signals:
    // The window was closed and everything saved: the program ends.
    void Closed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildShortcuts();
    void Step(int64_t frames);
    CommandInputs Inputs();
    void ApplyResult(const CommandResult& result);
    bool OpenFirstNightSource();
    // The command groups of Execute (main_commands.cpp).
    bool ExecuteControl(uint32_t command);
    bool ExecuteProcessing(uint32_t command, VideoCtrl& ctrl);
    bool ExecuteGuideAndView(uint32_t command, VideoCtrl* ctrl);
    bool ExecuteHelp(uint32_t command);
    bool ExecuteDarkAndLog(uint32_t command);
    void ExecuteSourcesItem(uint32_t command);
    void ToggleWindow(uint32_t command);
    void ToggleFlip(VideoCtrl& ctrl);
    void ToggleVirtualGuide(VideoCtrl& ctrl);
    void OpenManual();
    // The video input of a capture card: routed at start as it was saved, kept while chosen.
    void RestoreVideoInput();
    void KeepVideoInput();

    Application& app_;
    const ConfigTexts& texts_;
    DesktopServices& desktop_;
    WindowSet* windows_ = nullptr;
    DialogHost* dialogs_ = nullptr;
    CommandMenus menus_;
    KelpaToolBar* toolBar_ = nullptr;
    KelpaStatusBar* statusBar_ = nullptr;
    // Shows the take's progress while frames are summed.
    QTimer* darkTakeTimer_ = nullptr;
    // The connector type of the video input in use (CrosInPhysicalType), kept between runs.
    CrossbarSettings savedInput_;
    bool closed_ = false;
};

}  // namespace kelpa
