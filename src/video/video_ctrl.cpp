#include "video/video_ctrl.h"

#include <string>

namespace kelpa {
namespace {

// How long Run waits, per poll, for a paused graph to finish stopping.
constexpr uint32_t kStopPollMs = 1000;
constexpr int kStopPolls = 3;

}  // namespace

VideoCtrl::VideoCtrl(Clock& clock, const ControllerSettings& settings) : sink(this, clock) {
    // The capture delay first: the engine's new rate recomputes the capture interval from it.
    sink.capture.ApplySettings(settings.captureRun);
    sink.capture.SetFileSettings(settings.captureFiles);
    sink.fitWindowsToFrame = settings.flags.fitWindowsToFrame;
    activateGraph = settings.flags.activateGraph;
    sink.engine.ApplySettings(settings.processing);
    sink.dark.ApplySettings(settings.dark);
    sink.SetGuideLogEnabled(settings.guideLog.log);
}

VideoCtrl::~VideoCtrl() = default;

ControllerSettings VideoCtrl::Settings() const {
    return ControllerSettings{
        sink.engine.Settings(),      sink.capture.Settings(),
        sink.capture.FileSettings(), ControllerFlags{activateGraph, sink.fitWindowsToFrame},
        sink.dark.Settings(),        GuideLogSettings{sink.guideLog.Enabled()}};
}

void VideoCtrl::AttachGraph(MediaControl* control, MediaSeeking* seeking,
                            GraphEventSource* events) {
    control_ = control;
    seeking_ = seeking;
    events_ = events;
}

void VideoCtrl::DetachGraph() {
    control_ = nullptr;
    seeking_ = nullptr;
    events_ = nullptr;
    graphBuilt = false;
    sink.playState.store(kStateStopped);
}

const char* VideoCtrl::StateText(int32_t state) {
    switch (state) {
        case kStateRunning:
            return "Playing...";
        case kStatePaused:
            return "Paused...";
        default:
            return "Stopped...";
    }
}

MediaResult VideoCtrl::Run() {
    if (!control_) return MediaResult::kNoGraph;
    const int32_t state = sink.playState.load();
    if (state == kStateRunning) return MediaResult::kUnchanged;
    if (state == kStatePaused) {
        if (Failed(control_->StopWhenReady())) {
            control_->Stop();
        } else {
            for (int i = 0; i < kStopPolls; ++i) {
                int32_t graphState = kStatePaused;
                if (Failed(control_->GetState(kStopPollMs, &graphState)) ||
                    graphState != kStatePaused) {
                    break;
                }
            }
        }
    }
    sink.playState.store(kStateRunning);
    sink.engine.AutoReset();
    sink.RestartPacing();
    const MediaResult result = control_->Run();
    if (Failed(result)) sink.playState.store(kStateStopped);
    return result;
}

MediaResult VideoCtrl::Stop() {
    if (!control_) return MediaResult::kNoGraph;
    if (sink.playState.load() == kStateStopped) return MediaResult::kUnchanged;
    const MediaResult result = control_->StopWhenReady();
    if (Failed(result)) return result;
    sink.playState.store(kStateStopped);
    if (seeking_) seeking_->SetPositionAbsolute(0);
    return result;
}

MediaResult VideoCtrl::PauseToggle() {
    if (!control_) return MediaResult::kNoGraph;
    const int32_t state = sink.playState.load();
    if (state == kStateStopped) return MediaResult::kUnchanged;
    if (state == kStateRunning) {
        sink.playState.store(kStatePaused);
        return control_->Pause();
    }
    // Frames shown while paused (steps) left the old timeline: the run starts a new one.
    sink.RestartPacing();
    sink.playState.store(kStateRunning);
    return control_->Run();
}

void VideoCtrl::DrainGraphEvents(UserNotice* notice) {
    if (!events_) return;
    int32_t code = 0;
    while (events_->NextEvent(&code)) {
        if (code == kEventComplete || code == kEventUserAbort) {
            Stop();
            // A failure (a camera pulled out, a broken file) is what the user needs to read.
            const std::string error = code == kEventUserAbort ? events_->LastError() : "";
            if (notice) {
                notice->ShowStatus(error.empty() ? StateText(sink.playState.load())
                                                 : error.c_str());
            }
            break;
        }
    }
}

void VideoCtrl::SetCurrent(bool current) {
    saveOnExit = current;
    sink.live.SetActive(current);
    sink.engine.surf.SetActive(current);
}

}  // namespace kelpa
