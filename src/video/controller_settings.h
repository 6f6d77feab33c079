// Everything a video controller is handed when it is made and hands back to be saved: the
// processing settings, the capture writer's run and file settings, and the controller's own two
// keys (ActivateGraph: a device graph rebuilt after a device change starts running; ViewFrameSize:
// the video windows follow the frame size). The application core loads them once for both
// controllers and saves those of the current one at exit.
#pragma once

#include "common/settings_table.h"
#include "processing/proc_settings.h"
#include "video/capture_settings.h"
#include "video/dark_settings.h"
#include "video/guide_log.h"

namespace kelpa {

struct ControllerFlags {
    bool activateGraph = false;
    bool fitWindowsToFrame = false;

    friend bool operator==(const ControllerFlags&, const ControllerFlags&) = default;
};

const SettingsTableOf<ControllerFlags>& ControllerFlagsTable();

struct ControllerSettings {
    ProcSettings processing;
    CaptureRunSettings captureRun;
    CaptureFileSettings captureFiles;
    ControllerFlags flags;
    DarkSettings dark;
    GuideLogSettings guideLog;

    friend bool operator==(const ControllerSettings&, const ControllerSettings&) = default;
};

// The declared defaults of all six tables.
ControllerSettings DefaultControllerSettings();
ControllerSettings LoadControllerSettings();
// In this order: ActivateGraph; CapWorkDir and CapFormat (when not empty), CapFramesDelay,
// CapCount; the capture file keys; the dark frame keys; GuideLog; ViewFrameSize; the processing
// keys in their write order.
// A key that cannot be written is skipped and the others are still written.
void SaveControllerSettings(const ControllerSettings& settings);

}  // namespace kelpa
