// A test hook: when $KELPA_TEST_SCRIPT names a file, the running program works through its lines
// one by one on the GUI thread, as a user at the keyboard would, and writes what it found to
// $KELPA_TEST_REPORT (default: the script's name with ".report"). The end-to-end tests and
// tools/screenshot drive the whole program this way, without depending on a window manager or
// on where the windows land on the screen.
//
// Lines ('#' starts a comment):
//   wait-window TITLE             a shown top-level window of that title appears
//   wait-picture TITLE            that window shows a picture that is not black
//   wait-status TEXT              the status bar's message contains TEXT
//   wait-files DIR COUNT          DIR holds at least COUNT ".bmp" files
//   wait-file PATH                PATH exists (another process says go on)
//   key KEYS                      a key press to the main window ("F10", "Ctrl+U")
//   menu MENU/ITEM[/ITEM]         chooses a menu item by its texts (without '&' and shortcut)
//   gamma N                       the gamma slider's value, as the settings panel sets it
//   area X0 Y0 X1 Y1              the processing area in pixels, as the area dialog sets it
//   print WHAT                    writes "WHAT=value": gamma, area, delay, state, status, windows
//   grab FILE TITLE               saves the window's picture as PNG
//   grab-screen FILE              saves the whole screen as PNG
//   sleep MS
//   measure-cpu SECONDS           writes "cpu=P": the program's processor time over that many
//                                 seconds in percent of one core (from /proc/self/stat)
// Each wait gives up after 10 s ("timeout SECONDS" changes that). A line that fails ends the
// script with "fail: LINE: reason" and closes the program; "done" ends a script that ran
// through (also when its last line ended the program); "ended at: LINE" means the program
// ended before that line.
//
// GUI thread only.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QFile;
class QTimer;

namespace kelpa {

class MainWindow;

class TestScript final : public QObject {
    Q_OBJECT

  public:
    // nullptr when $KELPA_TEST_SCRIPT is not set; a script that cannot be read is reported as
    // failed and closes the program.
    static std::unique_ptr<TestScript> FromEnvironment(MainWindow& window);

    TestScript(MainWindow& window, QStringList lines, const QString& reportPath);
    ~TestScript() override;

  private:
    // What a line does: true when done, false to be asked again (a wait), or a failure text.
    struct Outcome {
        bool done = true;
        QString failure;
    };

    void Step();
    Outcome Run(const QString& line);
    Outcome Wait(const std::function<bool()>& condition, const QString& what);
    Outcome Print(const QString& what);
    void Report(const QString& text);
    void Finish(const QString& last);

    MainWindow& window_;
    QStringList lines_;
    int next_ = 0;
    qint64 waitStartMs_ = -1;
    double cpuStartSeconds_ = 0.0;
    int timeoutMs_ = 10000;
    std::unique_ptr<QFile> report_;
    QTimer* timer_;
    bool finished_ = false;
};

}  // namespace kelpa
