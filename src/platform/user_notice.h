// What the video and capture code tells the user: a text in the main window's status line or a
// warning box. The main window implements it; the headless run prints warnings; tests record.
#pragma once

#include <cstdint>

namespace kelpa {

class UserNotice {
  public:
    virtual ~UserNotice() = default;
    virtual void ShowStatus(const char* text) = 0;
    // A message box with the caption "Warning..." and the exclamation icon.
    virtual void Warn(const char* text) = 0;
};

}  // namespace kelpa
