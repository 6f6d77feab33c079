// The message boxes and the desktop's "open" of the main window, behind one interface so that
// tests can record them instead of blocking on a modal box. The mail and web addresses of the
// Help menu are kept here.
//
// GUI thread only.
#pragma once

#include <QString>
#include <QUrl>

class QWidget;

namespace kelpa {

inline constexpr const char* kProgramTitle = "KELPA v. 2.2";
inline constexpr const char* kMailAddress = "maintainers@users.noreply.c-seed-81bd44b5.example";
inline constexpr const char* kMailSubject = "kelpa";
inline constexpr const char* kWebSiteUrl = "https://c-seed-81bd44b5.example/kelpa/";
inline constexpr const char* kWebOrbUrl = "https://c-seed-81bd44b5.example/orb/";

class DesktopServices {
  public:
    virtual ~DesktopServices() = default;
    // Exclamation icon, caption "Warning...", on top of every window.
    virtual void Warning(QWidget* parent, const QString& text) = 0;
    // Error icon with a caption of its own.
    virtual void Error(QWidget* parent, const QString& caption, const QString& text) = 0;
    // The About box: product name and version, closed with OK.
    virtual void About(QWidget* parent) = 0;
    // Opens a file, a web page or a new mail in the desktop's program for it.
    virtual bool Open(const QUrl& url) = 0;
};

// Message boxes and QDesktopServices.
class QtDesktopServices final : public DesktopServices {
  public:
    void Warning(QWidget* parent, const QString& text) override;
    void Error(QWidget* parent, const QString& caption, const QString& text) override;
    void About(QWidget* parent) override;
    bool Open(const QUrl& url) override;
};

// The mail the Send Mail item opens: to the maker, subject "kelpa".
QUrl MailUrl();

}  // namespace kelpa
