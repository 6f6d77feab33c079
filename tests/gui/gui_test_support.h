// What the Qt tests share: grabbing a widget's picture, reading fields, and the
// application core over an in-memory profile, made once GStreamer is up.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QImage>
#include <QLineEdit>
#include <QWidget>
#include <memory>
#include <string>

#include "app/application.h"
#include "media/media_init.h"
#include "support/test_support.h"
#include "video/convert.h"

namespace kelpa::test {

// The widget's client area as the screen has it, one pixel per device pixel.
inline QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline std::string Text(const QLineEdit* edit) {
    return edit->text().toStdString();
}

// Takes the keyboard focus away from a field, as leaving it with Tab does.
inline void Leave(QWidget* field) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(field, &out);
}

class CoreTest : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(InitMedia(&error)) << error;
        ASSERT_TRUE(InitClipTable());
    }

    // Made when first asked for, after the test has put its keys into the profile.
    Application& App() {
        if (!app) app = std::make_unique<Application>();
        return *app;
    }

    // The file controller made current without a file: the dialogs and the panel act on it.
    VideoCtrl& CurrentCtrl() {
        App().MakeCurrent(SourceKind::kFile);
        return *App().Current();
    }
    ProcEngine& CurrentEngine() { return CurrentCtrl().sink.engine; }

    MemoryProfile profile;
    std::unique_ptr<Application> app;
};

}  // namespace kelpa::test
