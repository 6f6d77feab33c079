// What the video and capture code tells the user: a text in the main window's status line, a
// warning box, the check mark of a menu item. The main window implements it; tests record it.
#pragma once

#include <cstdint>

namespace kelpa {

class UserNotice {
  public:
    virtual ~UserNotice() = default;
    virtual void ShowStatus(const char* text) = 0;
    // A message box with the caption "Warning..." and the exclamation icon.
    virtual void Warn(const char* text) = 0;
    virtual void CheckMenuItem(uint32_t commandId, bool checked) = 0;
};

// Menu command identifiers that code below the shell refers to.
inline constexpr uint32_t kCmdCapture = 40072;

}  // namespace kelpa
