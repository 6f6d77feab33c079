#include "app/commands.h"

#include <algorithm>

namespace kelpa {
namespace {

constexpr MenuItem kMenuItems[] = {
    {kCmdCaptureSetup, Menu::kControl, "Capture &frame(s)...", "CapFrameSetup"},
    {kCmdStart, Menu::kControl, "&Start\tSpace", "Start"},
    {kCmdPause, Menu::kControl, "Pa&use\tCtrl+U", "Pause"},
    {kCmdStop, Menu::kControl, "Sto&p\tCtrl+S", "Stop"},
    {kCmdExit, Menu::kControl, "E&xit\tCtrl+X", "Exit"},

    {kCmdBlackAndWhite, Menu::kChannels, "Black-and-white", "BlackAndWhite"},
    {kCmdOutsideAsIs, Menu::kChannels, "Outside zone - As Is", "OutsideZone"},
    {kCmdAsIs, Menu::kChannels, "As Is", "AsIs"},
    {kCmdGrey, Menu::kChannels, "Grey", "Grey"},
    {kCmdSum, Menu::kChannels, "Intensity - Sum", "Sum"},
    {kCmdRed, Menu::kChannels, "Red", "Red"},
    {kCmdGreen, Menu::kChannels, "Green", "Green"},
    {kCmdBlue, Menu::kChannels, "Blue", "Blue"},
    {kCmdAverage, Menu::kAccumulate, "Average", "Accum"},
    {kCmdSubtracterAdder, Menu::kAccumulate, "Subtracter-Adder", "Accum2"},
    {kCmdAreaSetup, Menu::kArea, "Setup...", "Setup"},
    {kCmdAreaMove, Menu::kArea, "Move", "Move"},
    {kCmdAreaResize, Menu::kArea, "Resize", "Resize"},
    {kCmdAreaDraw, Menu::kArea, "Draw", "Draw"},
    {kCmdAreaExitChange, Menu::kArea, "Exit Chanage", "ExitChange"},
    {kCmdAutoAmplification, Menu::kProcessing, "Auto &Amplification", "AutoAmplification"},
    {kCmdAutoAccumulate, Menu::kProcessing, "Auto A&ccumulate", "AutoAccumulator"},
    {kCmdAutoDelay, Menu::kProcessing, "Auto &Delay", "AutoDelay"},
    {kCmdNrHorizontal, Menu::kProcessing, "NR Horizontal", "NRH"},
    {kCmdNrVertical, Menu::kProcessing, "NR Vertical", "NRV"},
    {kCmdFlipVertical, Menu::kProcessing, "Flip Vertical", "FlipVertical"},
    {kCmdSettings, Menu::kProcessing, "&Settings", "Settings"},
    {kCmdDefault, Menu::kProcessing, "Default", "Default"},
    {kCmdTakeDark, Menu::kProcessing, "Take dark", "TakeDark"},
    {kCmdUseDark, Menu::kProcessing, "Use dark", "UseDark"},

    {kCmdGuideStart, Menu::kGuide, "Start", "Preview"},
    {kCmdVirtualGuide, Menu::kGuide, "Virtual Guide", "VirtualGuide"},
    {kCmdAutoMove, Menu::kGuide, "Auto move", "AutoMove"},
    {kCmdGuideLog, Menu::kGuide, "Guide log", "GuideLog"},
    {kCmdGuideSetup, Menu::kGuide, "&Setup...", "SetupGuide"},

    {kCmdLivePreview, Menu::kView, "Live &Preview\tF4", "LivePreview"},
    {kCmdProcPreview, Menu::kView, "Preview\tF5", "ProcPreview"},
    {kCmdInfoStatistic, Menu::kView, "Info: Statistic\tF6", "ProcInfo"},
    {kCmdViewGrid, Menu::kView, "View Grid", "ViewGrid"},
    {kCmdViewArea, Menu::kView, "View Processing Area", "ViewArea"},
    {kCmdHalfSize, Menu::kView, "Half size", "SetHalfSize"},
    {kCmdDefaultSize, Menu::kView, "Default size", "SetInputSize"},
    {kCmdInputSize, Menu::kView, "Always input size", "InputSize"},

    {kCmdContents, Menu::kHelp, "Contents", "Contents"},
    {kCmdIfSlow, Menu::kHelp, "If Slow?", "IsSlow"},
    {kCmdAbout, Menu::kHelp, "About", "About"},
    {kCmdSendMail, Menu::kWeb, "Send Mail", "SendMail"},
    {kCmdWebSite, Menu::kWeb, "Kelpa Tools", "WebSite"},
    {kCmdWebOrb, Menu::kWeb, "ORB", "WebORB"},
};

constexpr Accelerator kAccelerators[] = {
    {kCmdStart, "Space", KeyModifier::kNone},      {kCmdPause, "U", KeyModifier::kControl},
    {kCmdStop, "S", KeyModifier::kControl},        {kCmdExit, "X", KeyModifier::kControl},
    {kCmdLivePreview, "F4", KeyModifier::kNone},   {kCmdProcPreview, "F5", KeyModifier::kNone},
    {kCmdInfoStatistic, "F6", KeyModifier::kNone}, {kCmdCapture, "F10", KeyModifier::kNone},
};

constexpr ToolbarButton kSeparator{-1, 0, false, nullptr, nullptr};

constexpr ToolbarButton kToolbar[] = {
    kSeparator,
    {0, kCmdStart, true, "Play [Space]", "Start"},
    {1, kCmdPause, true, "Pause [Ctrl+U]", "Pause"},
    {2, kCmdStop, false, "Stop [Ctrl+S]", "Stop"},
    kSeparator,
    {3, kCmdCapture, true, "Capture [F10]", "CaptureFrame"},
    kSeparator,
    {4, kCmdLivePreview, true, "Live Preview", "LivePreview"},
    {5, kCmdProcPreview, true, "Preview", "ProcPreview"},
    kSeparator,
    {7, kCmdSettings, true, "Filters Setting", "Settings"},
    {8, kCmdDefault, false, "Default", "Default"},
    kSeparator,
    {9, kCmdAutoAmplification, true, "Auto Amplification", "AutoAmplification"},
    {10, kCmdAutoAccumulate, true, "Auto Accumulator", "AutoAccumulator"},
    {11, kCmdAutoDelay, true, "Auto Delay", "AutoDelay"},
    kSeparator,
    {12, kCmdNrHorizontal, true, "NR Horizontal banding. \n [dynamic antijamming]", "NRH"},
    {13, kCmdNrVertical, true, "NR Vertical banding. \n[dynamic antijamming]", "NRV"},
    kSeparator,
};

}  // namespace

std::optional<size_t> DeviceIndexOf(uint32_t command) {
    if (command < kCmdFirstDevice || command > kCmdLastDevice) return std::nullopt;
    return command - kCmdFirstDevice;
}

std::optional<int32_t> SourcesSlotOf(uint32_t command) {
    if (command < kCmdFirstSourcesItem || command > kCmdLastSourcesItem) return std::nullopt;
    return static_cast<int32_t>(command - kCmdFirstSourcesItem);
}

std::span<const MenuItem> MenuItems() {
    return kMenuItems;
}

const MenuItem* FindMenuItem(uint32_t command) {
    const auto found = std::find_if(std::begin(kMenuItems), std::end(kMenuItems),
                                    [command](const MenuItem& m) { return m.command == command; });
    return found == std::end(kMenuItems) ? nullptr : &*found;
}

std::span<const Accelerator> Accelerators() {
    return kAccelerators;
}

std::span<const ToolbarButton> ToolbarButtons() {
    return kToolbar;
}

}  // namespace kelpa
