// What the panel and dialog tests share: the application core with an in-memory profile, made
// once GStreamer is up, and pictures of widgets for a person to look at.
#pragma once

#include <gtest/gtest.h>

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/application.h"
#include "media/media_init.h"
#include "support/test_support.h"
#include "video/convert.h"

namespace kelpa::test {

class CoreTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(InitMedia(&error)) << error;
        ASSERT_TRUE(InitClipTable());
    }

    // The core is made after the test has put its keys into the profile.
    Application& App() {
        if (!app_) app_ = std::make_unique<Application>();
        return *app_;
    }

    MemoryProfile profile;

  private:
    std::unique_ptr<Application> app_;
};

// With KELPA_SCREENSHOT_DIR set, saves a picture of the widget there as NAME.png.
inline void SaveScreenshot(QWidget& widget, const char* name) {
    const char* dir = std::getenv("KELPA_SCREENSHOT_DIR");
    if (dir == nullptr || *dir == '\0') return;
    widget.adjustSize();
    const QString path = QString("%1/%2.png").arg(dir, name);
    EXPECT_TRUE(widget.grab().save(path)) << path.toStdString();
}

}  // namespace kelpa::test
