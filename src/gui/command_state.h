// The check and enable rules of the commands: from what the current video controller, its
// engine and the windows are doing, whether each command's menu item is checked and enabled.
// A menu item and its toolbar button are one action, so the button always follows the item.
#pragma once

#include <cstdint>
#include <optional>

#include "image/bitmap_header.h"

namespace kelpa {

class Application;

// Everything the rules look at, read once per refresh.
struct CommandInputs {
    bool open = false;  // a current video controller with a built graph
    int32_t playState = 0;
    bool capturing = false;
    // Processing settings of the current controller.
    int32_t channel = 0;
    bool outsideAsIs = false;
    uint32_t variantId = 0;
    uint32_t autoFlags = 0;
    bool nrH = false;
    bool nrV = false;
    bool flip = false;
    bool guide = false;
    bool autoMove = false;
    bool inputSize = false;
    // Settings of both controllers, with or without a video.
    bool darkUse = false;
    bool guideLog = false;
    // The windows.
    bool virtualGuide = false;
    bool viewArea = false;
    bool viewGrid = false;
    uint32_t areaMode = 0;  // the Area command whose editing mode is on (0: none)
    bool liveVisible = false;
    bool procVisible = false;
    bool statisticVisible = false;
    bool panelVisible = false;
};

struct CommandState {
    bool enabled = true;
    bool checked = false;
    friend bool operator==(const CommandState&, const CommandState&) = default;
};

// The accumulation methods of Processing -> Accumulate.
inline constexpr uint32_t kVariantAverage = FourCC("Accm");
inline constexpr uint32_t kVariantSubtracterAdder = FourCC("AcRB");

// The channel mode a Processing -> Channels item selects (As Is 0, Grey -2, Intensity - Sum -1,
// Red 3, Green 2, Blue 1); nullopt for other commands.
std::optional<int32_t> ChannelOf(uint32_t command);

// Whether the command's item shows a check mark (its toolbar button stays down).
bool IsCheckable(uint32_t command);

CommandState StateOf(uint32_t command, const CommandInputs& in);

// The inputs the application core gives; the window flags are left for the caller.
CommandInputs ReadCommandInputs(Application& app);

}  // namespace kelpa
