// The main window's two-part status bar: the first part (11/18 of the width) names the source
// in use, the second shows the program's messages (play state, capture counts, warnings).
#pragma once

#include <QStatusBar>

class QLabel;

namespace kelpa {

class KelpaStatusBar final : public QStatusBar {
    Q_OBJECT

  public:
    explicit KelpaStatusBar(QWidget* parent = nullptr);

    void ShowMessage(const QString& text);
    void ShowSource(const QString& text);
    QString Message() const;
    QString Source() const;

  private:
    QLabel* source_;
    QLabel* message_;
};

}  // namespace kelpa
