#include "gui/windowed_run.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "app/application.h"
#include "cli/argument_reader.h"
#include "cli/startup.h"
#include "common/log.h"
#include "gui/config_texts.h"
#include "gui/desktop_services.h"
#include "gui/display_windows.h"
#include "gui/event_bridge.h"
#include "gui/live_window.h"
#include "gui/main_window.h"
#include "gui/panel_host.h"
#include "gui/processing_window.h"
#include "gui/statistic_window.h"
#include "gui/test_script.h"
#include "gui/video_windows.h"
#include "media/device_settings.h"
#include "platform/program_paths.h"
#include "platform/single_instance.h"

namespace kelpa {
namespace {

// A box without owner; made before the main window exists, so a QApplication may be needed.
void StartupBox(int argc, char** argv, const char* caption, const char* text) {
    std::unique_ptr<QApplication> own;
    if (QCoreApplication::instance() == nullptr) own = std::make_unique<QApplication>(argc, argv);
    QtDesktopServices().Error(nullptr, QString::fromLatin1(caption), QString::fromLatin1(text));
}

struct WorkArea {
    WindowPoint origin;
    ScreenSize size;
};

WorkArea GetWorkArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return {{0, 0}, WorkAreaFrom({}, {})};
    const QRect available = screen->availableGeometry();
    const QRect whole = screen->geometry();
    const ScreenSize work =
        WorkAreaFrom({available.width(), available.height()}, {whole.width(), whole.height()});
    const QRect origin = available.isValid() ? available : whole;
    return {{origin.x(), origin.y()}, work};
}

}  // namespace

int RunWindowed(const CommandLine& options, int argc, char** argv) {
    (void)options;
    Startup startup;
    std::string error;
    if (startup.OpenLog(&error) != 0) {
        StartupBox(argc, argv, "Error", "Can`t init common lib...");
        return 1;
    }
    const WindowedArguments arguments = ReadWindowedArguments(argc, argv);
    if (!arguments.secondCopy && !CheckSingleInstance()) return 0;

    const int code = startup.Run({}, &error);
    if (code == -1) return -1;
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelpa"));
    QApplication::setApplicationVersion(QStringLiteral(KELPA_VERSION_TEXT));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/kelpa.svg")));
    QApplication::setQuitOnLastWindowClosed(false);
    if (code != 0) {
        LogPrintf("%s", error.c_str());
        QtDesktopServices().Error(nullptr, QString::fromLatin1(kProgramTitle),
                                  QStringLiteral("Could not initialize GStreamer library."));
        ReleaseSingleInstance();
        return 1;
    }
    for (const std::string& warning : startup.Warnings()) {
        std::fprintf(stderr, "kelpa: %s\n", warning.c_str());
    }

    // The core loads the controllers' settings and the preferred capture format.
    std::optional<Application> app;
    try {
        app.emplace();
    } catch (const std::bad_alloc&) {
        QtDesktopServices().Error(nullptr, QStringLiteral("Error"),
                                  QStringLiteral("Can`t alloc memory..."));
        ReleaseSingleInstance();
        return 0;
    }

    const WorkArea work = GetWorkArea();
    const WindowPoint position = RememberedMainPosition(work.size);
    ConfigTexts texts;
    const std::string configDirectory = FindConfigFile(kWindowConfigName, ConfigFileDirectories());
    if (!configDirectory.empty()) texts.Load(configDirectory);
    QtDesktopServices desktop;
    int exitCode = 0;
    {
        MainWindow window(*app, texts, desktop);
        app->SetNotice(&window);
        EventBridge bridge;
        bridge.Watch(*app);
        ConnectMainWindow(bridge, window);
        window.Place(position, work.origin, work.size);
        VideoWindows videoWindows(bridge, &window, window.frameGeometry());
        DisplayWindowSet windowSet(videoWindows, window);
        window.SetWindowSet(&windowSet);
        PanelHost panel(*app, texts, window, &windowSet);
        window.SetDialogHost(&panel);
        // The saved device, its graph built; it becomes the source unless a file is named.
        app->LoadDeviceSettings();

        window.show();
        videoWindows.ShowIfWanted();
        panel.Restore(window.frameGeometry());
        window.Start(arguments.startupFile);
        window.raise();
        window.activateWindow();
        window.setFocus();
        QObject::connect(&window, &MainWindow::Closed, &qtApp, [] { QCoreApplication::exit(0); });

        std::unique_ptr<TestScript> script = TestScript::FromEnvironment(window);
        exitCode = QApplication::exec();
        script.reset();
        // No event may reach a window that is going.
        app->FileCtrl().Stop();
        app->DeviceCtrl().Stop();
        videoWindows.SetController(nullptr);
        window.SetWindowSet(nullptr);
        window.SetDialogHost(nullptr);
        app->SetEventReceiver(nullptr);
        app->SetNotice(nullptr);
    }
    // The controllers write their settings as they go.
    app.reset();
    ReleaseSingleInstance();
    return exitCode;
}

}  // namespace kelpa
