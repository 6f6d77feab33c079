// The main window on Qt's offscreen platform over a real application core, with the simulated
// telescope camera as its source, and recording stand-ins for the windows, the panel and
// dialogs, and the desktop (message boxes, opened addresses).
#pragma once

#include <QAction>
#include <QApplication>
#include <QToolButton>
#include <map>
#include <string>
#include <vector>

#include "gui/config_texts.h"
#include "gui/desktop_services.h"
#include "gui/dialog_host.h"
#include "gui/gui_test_support.h"
#include "gui/main_window.h"
#include "gui/status_bar.h"
#include "gui/tool_bar.h"
#include "gui/window_set.h"
#include "support/temp_files.h"

namespace kelpa::test {

class RecordingWindows final : public WindowSet {
  public:
    bool Visible(ShownWindow window) const override { return visible.at(window); }
    void SetVisible(ShownWindow window, bool shown) override { visible[window] = shown; }
    void ShowController(VideoCtrl* ctrl) override { shownCtrl = ctrl; }
    void Resize(SizeCommand command, int32_t) override { resizes.push_back(command); }
    void Repaint() override { ++repaints; }
    bool Flag(ViewFlag flag) const override { return flags.at(flag); }
    void SetFlag(ViewFlag flag, bool on) override { flags[flag] = on; }
    void AreaCommand(uint32_t command) override { areaCommands.push_back(command); }
    uint32_t AreaMode() const override { return areaMode; }
    void SaveAndClose() override { ++closes; }

    std::map<ShownWindow, bool> visible = {{ShownWindow::kLive, false},
                                           {ShownWindow::kProcessing, true},
                                           {ShownWindow::kStatistic, false}};
    std::map<ViewFlag, bool> flags = {
        {ViewFlag::kGrid, false}, {ViewFlag::kArea, false}, {ViewFlag::kVirtualGuide, false}};
    VideoCtrl* shownCtrl = nullptr;
    std::vector<SizeCommand> resizes;
    std::vector<uint32_t> areaCommands;
    uint32_t areaMode = 0;
    int repaints = 0;
    int closes = 0;
};

class RecordingDialogs final : public DialogHost {
  public:
    bool PanelVisible() const override { return panelVisible; }
    void SetPanelVisible(bool visible) override { panelVisible = visible; }
    void RefreshPanel() override { ++refreshes; }
    void RefreshPanelRow(StreamEvent kind) override { rows.push_back(kind); }
    void ShowCaptureSetup() override { ++captureSetups; }
    void ShowGuideSetup() override { ++guideSetups; }
    void ShowIfSlow() override { ++ifSlows; }
    void Save() override { ++saves; }

    bool panelVisible = false;
    std::vector<StreamEvent> rows;
    int refreshes = 0, captureSetups = 0, guideSetups = 0, ifSlows = 0, saves = 0;
};

class RecordingDesktop final : public DesktopServices {
  public:
    void Warning(QWidget*, const QString& text) override { warnings << text; }
    void Error(QWidget*, const QString& caption, const QString& text) override {
        errors << caption + QLatin1Char('|') + text;
    }
    void About(QWidget*) override { ++abouts; }
    bool Open(const QUrl& url) override {
        opened << url;
        return true;
    }

    QStringList warnings;
    QStringList errors;
    int abouts = 0;
    QList<QUrl> opened;
};

class MainWindowTest : public CoreTest {
  public:
    MainWindowTest() {
        profile.Set("CapWorkDir", captures.Path());
        NewApp();
    }
    ~MainWindowTest() override {
        CloseWindow();
        app.reset();
    }

    // A new core; darks and guide logs go to the test's folder, never to the user's.
    void NewApp() {
        app = std::make_unique<Application>();
        app->SetNotice(&notice);
        for (VideoCtrl* ctrl : {&app->FileCtrl(), &app->DeviceCtrl()}) {
            ctrl->sink.dark.SetDirectory(captures / "darks");
            ctrl->sink.guideLog.SetDirectory(captures / "logs");
        }
    }
    void CloseWindow() {
        if (window) window->close();
        app->SetNotice(&notice);
        window.reset();
    }
    // The main window with the stand-ins, showing `texts`.
    void MakeWindow() {
        window = std::make_unique<MainWindow>(*app, texts, desktop);
        window->SetWindowSet(&windows);
        window->SetDialogHost(&dialogs);
        app->SetNotice(window.get());
    }
    // The window over the simulated camera, its graph built and stopped.
    void OpenSimulator() {
        if (!window) MakeWindow();
        const CommandResult opened = app->OpenDevice("sim");
        ASSERT_TRUE(opened.ok) << opened.message;
        window->SourceChanged();
    }
    // Everything as a test finds it: a new core, window and stand-ins.
    void Restart() {
        CloseWindow();
        app.reset();
        windows = {};
        dialogs = {};
        desktop = {};
        NewApp();
    }

    QAction* Action(uint32_t command) const { return window->ActionOf(command); }
    // The toolbar button of a command (nullptr when it has none).
    QToolButton* Button(uint32_t command) const {
        return qobject_cast<QToolButton*>(window->Tools()->widgetForAction(Action(command)));
    }
    QString Message() const { return window->Status()->Message(); }
    VideoCtrl& Ctrl() const { return *app->Current(); }
    ProcEngine& Engine() const { return app->Current()->sink.engine; }

    // A null notice until the window takes over: the core's texts go nowhere.
    class SilentNotice final : public UserNotice {
        void ShowStatus(const char*) override {}
        void Warn(const char*) override {}
    } notice;
    kelpa::testing::TempDir captures;
    ConfigTexts texts;
    RecordingWindows windows;
    RecordingDialogs dialogs;
    RecordingDesktop desktop;
    std::unique_ptr<MainWindow> window;
};

}  // namespace kelpa::test
