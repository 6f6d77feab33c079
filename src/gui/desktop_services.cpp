#include "gui/desktop_services.h"

#include <QDesktopServices>
#include <QIcon>
#include <QMessageBox>
#include <QUrlQuery>

namespace kelpa {
namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    // A warning stays above every window of the program until it is read.
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.raise();
    box.activateWindow();
    box.exec();
}

}  // namespace

void QtDesktopServices::Warning(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::Warning, QStringLiteral("Warning..."), text);
}

void QtDesktopServices::Error(QWidget* parent, const QString& caption, const QString& text) {
    ShowBox(parent, QMessageBox::Critical, caption, text);
}

void QtDesktopServices::About(QWidget* parent) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("About"),
                    QStringLiteral("%1\n\nLive video processing for a camera on a telescope.")
                        .arg(QString::fromLatin1(kProgramTitle)),
                    QMessageBox::Ok, parent);
    box.setIconPixmap(QIcon(QStringLiteral(":/icons/kelpa.svg")).pixmap(64, 64));
    box.exec();
}

bool QtDesktopServices::Open(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

QUrl MailUrl() {
    QUrl url(QStringLiteral("mailto:%1").arg(QString::fromLatin1(kMailAddress)));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), QString::fromLatin1(kMailSubject));
    url.setQuery(query);
    return url;
}

}  // namespace kelpa
