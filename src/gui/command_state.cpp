#include "gui/command_state.h"

#include <mutex>

#include "app/application.h"
#include "app/commands.h"

namespace kelpa {
namespace {

// The channel mode each Channels item selects.
struct ChannelItem {
    uint32_t command;
    int32_t channel;
};
constexpr ChannelItem kChannelItems[] = {
    {kCmdAsIs, 0}, {kCmdGrey, -2}, {kCmdSum, -1}, {kCmdRed, 3}, {kCmdGreen, 2}, {kCmdBlue, 1},
};

bool IsChannelItem(uint32_t command) {
    return ChannelOf(command).has_value();
}

bool IsAreaItem(uint32_t command) {
    return command >= kCmdAreaSetup && command <= kCmdAreaExitChange;
}

// Items that act on the picture: greyed without an open video.
bool NeedsVideo(uint32_t command) {
    switch (command) {
        case kCmdStart:
        case kCmdPause:
        case kCmdStop:
        case kCmdCapture:
        case kCmdBlackAndWhite:
        case kCmdOutsideAsIs:
        case kCmdAverage:
        case kCmdSubtracterAdder:
        case kCmdAutoAmplification:
        case kCmdAutoAccumulate:
        case kCmdAutoDelay:
        case kCmdNrHorizontal:
        case kCmdNrVertical:
        case kCmdFlipVertical:
        case kCmdGuideStart:
        case kCmdVirtualGuide:
        case kCmdAutoMove:
        case kCmdViewGrid:
        case kCmdViewArea:
        case kCmdHalfSize:
        case kCmdDefaultSize:
        case kCmdInputSize:
        case kCmdTakeDark:
            return true;
        default:
            return IsChannelItem(command) || IsAreaItem(command);
    }
}

bool Checked(uint32_t command, const CommandInputs& in) {
    if (const std::optional<int32_t> channel = ChannelOf(command)) return in.channel == *channel;
    switch (command) {
        case kCmdStart:
            return in.playState == 2;
        case kCmdPause:
            return in.playState == 1;
        case kCmdCapture:
            return in.capturing;
        case kCmdOutsideAsIs:
            return in.outsideAsIs;
        case kCmdAverage:
            return in.variantId == kVariantAverage;
        case kCmdSubtracterAdder:
            return in.variantId == kVariantSubtracterAdder;
        case kCmdAutoAmplification:
            return (in.autoFlags & kAutoAmplification) != 0;
        case kCmdAutoAccumulate:
            return (in.autoFlags & kAutoAccumulate) != 0;
        case kCmdAutoDelay:
            return (in.autoFlags & kAutoDelay) != 0;
        case kCmdNrHorizontal:
            return in.nrH;
        case kCmdNrVertical:
            return in.nrV;
        case kCmdFlipVertical:
            return in.flip;
        case kCmdGuideStart:
            return in.guide;
        case kCmdVirtualGuide:
            return in.virtualGuide;
        case kCmdAutoMove:
            return in.autoMove;
        case kCmdViewArea:
            return in.viewArea;
        case kCmdViewGrid:
            return in.viewGrid;
        case kCmdInputSize:
            return in.inputSize;
        case kCmdUseDark:
            return in.darkUse;
        case kCmdGuideLog:
            return in.guideLog;
        case kCmdAreaMove:
        case kCmdAreaResize:
        case kCmdAreaDraw:
            return in.areaMode == command;
        default:
            return false;
    }
}

}  // namespace

std::optional<int32_t> ChannelOf(uint32_t command) {
    for (const ChannelItem& item : kChannelItems) {
        if (item.command == command) return item.channel;
    }
    return std::nullopt;
}

bool IsCheckable(uint32_t command) {
    switch (command) {
        case kCmdStart:
        case kCmdPause:
        case kCmdCapture:
        case kCmdLivePreview:
        case kCmdProcPreview:
        case kCmdInfoStatistic:
        case kCmdSettings:
        case kCmdOutsideAsIs:
        case kCmdAverage:
        case kCmdSubtracterAdder:
        case kCmdAutoAmplification:
        case kCmdAutoAccumulate:
        case kCmdAutoDelay:
        case kCmdNrHorizontal:
        case kCmdNrVertical:
        case kCmdFlipVertical:
        case kCmdGuideStart:
        case kCmdVirtualGuide:
        case kCmdAutoMove:
        case kCmdViewArea:
        case kCmdViewGrid:
        case kCmdInputSize:
        case kCmdAreaMove:
        case kCmdAreaResize:
        case kCmdAreaDraw:
        case kCmdUseDark:
        case kCmdGuideLog:
            return true;
        default:
            return IsChannelItem(command);
    }
}

CommandState StateOf(uint32_t command, const CommandInputs& in) {
    // The windows' own items work with or without a video.
    switch (command) {
        case kCmdLivePreview:
            return {true, in.liveVisible};
        case kCmdProcPreview:
            return {true, in.procVisible};
        case kCmdInfoStatistic:
            return {true, in.statisticVisible};
        case kCmdSettings:
            return {true, in.panelVisible};
        default:
            break;
    }
    if (NeedsVideo(command) && !in.open) return {false, false};
    // Exit Change ends an editing mode: there is nothing to end without one.
    if (command == kCmdAreaExitChange) return {in.areaMode != 0, false};
    return {true, IsCheckable(command) && Checked(command, in)};
}

CommandInputs ReadCommandInputs(Application& app) {
    CommandInputs in;
    in.darkUse = app.DarkUse();
    in.guideLog = app.GuideLog();
    VideoCtrl* ctrl = app.Current();
    if (ctrl == nullptr) return in;
    in.open = ctrl->graphBuilt;
    in.playState = ctrl->PlayState();
    in.capturing = ctrl->sink.capture.capturing.load();
    in.inputSize = ctrl->sink.fitWindowsToFrame;
    ProcEngine& engine = ctrl->sink.engine;
    const ProcParams& p = engine.params;
    {
        std::lock_guard lock(engine.chainLock);
        in.channel = p.channels;
        in.variantId = p.variantId;
    }
    in.outsideAsIs = p.outsideAsIs.load() != 0;
    in.autoFlags = p.autoFlags.load();
    in.nrH = p.nrH.load() != 0;
    in.nrV = p.nrV.load() != 0;
    in.flip = p.flipV.load() != 0;
    in.guide = p.guideEnable.load() != 0;
    in.autoMove = p.guideAutoMoveSetting.load() != 0;
    return in;
}

}  // namespace kelpa
