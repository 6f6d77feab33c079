#include "gui/test_script.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <mutex>

#include "gui/main_window.h"
#include "gui/status_bar.h"

namespace kelpa {
namespace {

constexpr int kPollMs = 50;

// A menu or item text as the user reads it: without the access marks and the shortcut.
QString PlainText(QString text) {
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    if (tab >= 0) text.truncate(tab);
    return text.remove(QLatin1Char('&')).trimmed();
}

QWidget* FindWindow(const QString& title) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == title) return widget;
    }
    return nullptr;
}

// Enough pixels brighter than the night sky: a picture, not a black window.
bool ShowsPicture(QWidget* window) {
    const QImage image = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int bright = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (std::max({qRed(row[x]), qGreen(row[x]), qBlue(row[x])}) > 48) ++bright;
        }
    }
    return bright >= 16;
}

QAction* FindMenuAction(QMenuBar* bar, const QStringList& path) {
    QList<QAction*> actions = bar->actions();
    QAction* found = nullptr;
    for (const QString& part : path) {
        found = nullptr;
        for (QAction* action : actions) {
            if (!action->isSeparator() && PlainText(action->text()) == part) found = action;
        }
        if (found == nullptr) return nullptr;
        if (found->menu() != nullptr) actions = found->menu()->actions();
    }
    return found;
}

// User and system time of this process so far, in seconds.
double ProcessorSeconds() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return 0.0;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    constexpr int kUserTime = 11;  // utime is field 14, the 12th after the name
    if (fields.size() <= kUserTime + 1) return 0.0;
    const double ticks = fields[kUserTime].toDouble() + fields[kUserTime + 1].toDouble();
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int CountBitmaps(const QString& directory) {
    return static_cast<int>(
        QDir(directory).entryList({QStringLiteral("*.bmp")}, QDir::Files).size());
}

}  // namespace

std::unique_ptr<TestScript> TestScript::FromEnvironment(MainWindow& window) {
    const QString path = qEnvironmentVariable("KELPA_TEST_SCRIPT");
    if (path.isEmpty()) return nullptr;
    QString reportPath = qEnvironmentVariable("KELPA_TEST_REPORT");
    if (reportPath.isEmpty()) reportPath = path + QStringLiteral(".report");
    QFile file(path);
    QStringList lines;
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    } else {
        lines = {QStringLiteral("unreadable %1").arg(path)};
    }
    return std::make_unique<TestScript>(window, lines, reportPath);
}

TestScript::TestScript(MainWindow& window, QStringList lines, const QString& reportPath)
    : window_(window),
      lines_(std::move(lines)),
      report_(std::make_unique<QFile>(reportPath)),
      timer_(new QTimer(this)) {
    report_->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &TestScript::Step);
    timer_->start(0);
}

TestScript::~TestScript() {
    // The program ended under the script (its last line chose Exit): that line was run.
    if (finished_) return;
    qsizetype left = next_;
    while (left < lines_.size() && (lines_[left].trimmed().isEmpty() ||
                                    lines_[left].trimmed().startsWith(QLatin1Char('#')))) {
        ++left;
    }
    Report(left >= lines_.size() ? QStringLiteral("done")
                                 : QStringLiteral("ended at: %1").arg(lines_[left]));
}

void TestScript::Report(const QString& text) {
    report_->write(text.toUtf8() + '\n');
    report_->flush();
}

void TestScript::Finish(const QString& last) {
    finished_ = true;
    Report(last);
    report_->close();
    window_.close();
}

void TestScript::Step() {
    if (finished_) return;
    while (next_ < lines_.size()) {
        const QString line = lines_[next_].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            ++next_;
            continue;
        }
        const Outcome outcome = Run(line);
        if (!outcome.failure.isEmpty()) {
            Finish(QStringLiteral("fail: %1: %2").arg(line, outcome.failure));
            return;
        }
        if (!outcome.done) {
            timer_->start(kPollMs);
            return;
        }
        waitStartMs_ = -1;
        ++next_;
        // Let the program take the events the line caused before the next one.
        timer_->start(0);
        return;
    }
    Finish(QStringLiteral("done"));
}

TestScript::Outcome TestScript::Wait(const std::function<bool()>& condition, const QString& what) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (waitStartMs_ < 0) waitStartMs_ = now;
    if (condition()) return {};
    if (now - waitStartMs_ > timeoutMs_) return {true, QStringLiteral("no %1").arg(what)};
    return {false, {}};
}

TestScript::Outcome TestScript::Run(const QString& line) {
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    const QString command = blank < 0 ? line : line.left(blank);
    const QString argument = blank < 0 ? QString() : line.mid(blank + 1).trimmed();
    const QStringList words = argument.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    VideoCtrl* ctrl = window_.App().Current();

    if (command == QLatin1String("timeout")) {
        timeoutMs_ = argument.toInt() * 1000;
        return {};
    }
    if (command == QLatin1String("wait-window")) {
        return Wait([&] { return FindWindow(argument) != nullptr; }, QStringLiteral("window"));
    }
    if (command == QLatin1String("wait-picture")) {
        return Wait(
            [&] {
                QWidget* window = FindWindow(argument);
                return window != nullptr && ShowsPicture(window);
            },
            QStringLiteral("picture"));
    }
    if (command == QLatin1String("wait-status")) {
        return Wait([&] { return window_.Status()->Message().contains(argument); },
                    QStringLiteral("such status"));
    }
    if (command == QLatin1String("wait-files") && words.size() == 2) {
        return Wait([&] { return CountBitmaps(words[0]) >= words[1].toInt(); },
                    QStringLiteral("files"));
    }
    if (command == QLatin1String("wait-file")) {
        return Wait([&] { return QFile::exists(argument); }, QStringLiteral("file"));
    }
    if (command == QLatin1String("measure-cpu")) {
        const qint64 ms = argument.toLongLong() * 1000;
        if (waitStartMs_ < 0) cpuStartSeconds_ = ProcessorSeconds();
        const int timeout = timeoutMs_;
        timeoutMs_ = static_cast<int>(ms + 1000);
        const Outcome outcome =
            Wait([&] { return QDateTime::currentMSecsSinceEpoch() - waitStartMs_ >= ms; },
                 QStringLiteral("end of measurement"));
        timeoutMs_ = timeout;
        if (outcome.done && outcome.failure.isEmpty()) {
            const double busy = ProcessorSeconds() - cpuStartSeconds_;
            Report(QStringLiteral("cpu=%1").arg(100.0 * busy / (ms / 1000.0), 0, 'f', 1));
        }
        return outcome;
    }
    if (command == QLatin1String("key")) {
        const QKeySequence keys = QKeySequence::fromString(argument, QKeySequence::PortableText);
        if (keys.isEmpty()) return {true, QStringLiteral("unknown keys")};
        const QKeyCombination combination = keys[0];
        QTest::keyClick(&window_, combination.key(), combination.keyboardModifiers());
        return {};
    }
    if (command == QLatin1String("menu")) {
        QAction* action = FindMenuAction(window_.menuBar(), argument.split(QLatin1Char('/')));
        if (action == nullptr) return {true, QStringLiteral("no such item")};
        if (!action->isEnabled()) return {true, QStringLiteral("the item is greyed")};
        action->trigger();
        return {};
    }
    if (command == QLatin1String("gamma") && words.size() == 1) {
        if (ctrl == nullptr) return {true, QStringLiteral("no source")};
        ctrl->sink.engine.SetGamma(words[0].toInt());
        return {};
    }
    if (command == QLatin1String("area") && words.size() == 4) {
        if (ctrl == nullptr) return {true, QStringLiteral("no source")};
        if (!ctrl->sink.engine.SetAreaRect(words[0].toInt(), words[1].toInt(), words[2].toInt(),
                                           words[3].toInt())) {
            return {true, QStringLiteral("area refused")};
        }
        return {};
    }
    if (command == QLatin1String("print")) return Print(argument);
    if (command == QLatin1String("grab") && words.size() >= 2) {
        QWidget* window = FindWindow(argument.mid(words[0].size()).trimmed());
        if (window == nullptr) return {true, QStringLiteral("no such window")};
        if (!window->grab().save(words[0])) return {true, QStringLiteral("not written")};
        return {};
    }
    if (command == QLatin1String("grab-screen") && words.size() == 1) {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (screen == nullptr || !screen->grabWindow(0).save(words[0])) {
            return {true, QStringLiteral("not written")};
        }
        return {};
    }
    if (command == QLatin1String("sleep")) {
        const int ms = argument.toInt();
        return Wait([&] { return QDateTime::currentMSecsSinceEpoch() - waitStartMs_ >= ms; },
                    QStringLiteral("end of sleep"));
    }
    return {true, QStringLiteral("unknown line")};
}

TestScript::Outcome TestScript::Print(const QString& what) {
    VideoCtrl* ctrl = window_.App().Current();
    QString value;
    if (what == QLatin1String("status")) {
        value = window_.Status()->Message();
    } else if (what == QLatin1String("windows")) {
        QStringList titles;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && !widget->windowTitle().isEmpty()) {
                titles << widget->windowTitle();
            }
        }
        titles.sort();
        value = titles.join(QLatin1Char(','));
    } else if (ctrl == nullptr) {
        value = QStringLiteral("none");
    } else if (what == QLatin1String("gamma")) {
        value = QString::number(ctrl->sink.engine.params.gamma.load());
    } else if (what == QLatin1String("delay")) {
        value = QString::number(ctrl->sink.engine.params.delayMs.load());
    } else if (what == QLatin1String("state")) {
        value = QString::number(ctrl->PlayState());
    } else if (what == QLatin1String("area")) {
        ProcEngine& engine = ctrl->sink.engine;
        std::lock_guard lock(engine.chainLock);
        value = QStringLiteral("%1 %2 %3 %4")
                    .arg(engine.area.x0)
                    .arg(engine.area.y0)
                    .arg(engine.area.x1)
                    .arg(engine.area.y1);
    } else {
        return {true, QStringLiteral("unknown value")};
    }
    Report(QStringLiteral("%1=%2").arg(what, value));
    return {};
}

}  // namespace kelpa
