#include "gui/status_bar.h"

#include <QLabel>

namespace kelpa {
namespace {

constexpr int kFirstPartShare = 11;
constexpr int kSecondPartShare = 18 - kFirstPartShare;

QLabel* MakePart(QWidget* parent) {
    auto* label = new QLabel(parent);
    // Long texts are cut at the part's edge instead of widening the fixed-size window.
    label->setMinimumWidth(1);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

}  // namespace

KelpaStatusBar::KelpaStatusBar(QWidget* parent)
    : QStatusBar(parent), source_(MakePart(this)), message_(MakePart(this)) {
    setSizeGripEnabled(false);
    addWidget(source_, kFirstPartShare);
    addWidget(message_, kSecondPartShare);
}

void KelpaStatusBar::ShowMessage(const QString& text) {
    // Line ends of multi-line warnings would not show in one line.
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    message_->setText(line);
    message_->setToolTip(line);
}

void KelpaStatusBar::ShowSource(const QString& text) {
    source_->setText(text);
    source_->setToolTip(text);
}

QString KelpaStatusBar::Message() const {
    return message_->text();
}

QString KelpaStatusBar::Source() const {
    return source_->text();
}

}  // namespace kelpa
