#include "app/application.h"

#include <utility>
#include <vector>

#include "media/capture_graph.h"
#include "media/device_keys.h"
#include "media/device_settings.h"
#include "media/file_graph.h"
#include "media/file_seek.h"
#include "media/v4l2/v4l2_exposure.h"
#include "platform/input_node.h"
#include "sim/sim_device_provider.h"

namespace kelpa {

ApplicationOptions::ApplicationOptions() = default;
ApplicationOptions::~ApplicationOptions() = default;
ApplicationOptions::ApplicationOptions(ApplicationOptions&&) noexcept = default;
ApplicationOptions& ApplicationOptions::operator=(ApplicationOptions&&) noexcept = default;

Application::Application(ApplicationOptions options)
    : Application(std::move(options), LoadControllerSettings()) {}

Application::Application(ApplicationOptions options, const ControllerSettings& settings)
    : clock_(options.clock != nullptr ? *options.clock : SystemClock()),
      fileCtrl_(clock_, settings),
      deviceCtrl_(clock_, settings) {
    ThePreferredFormat() = LoadPreferredFormat();
    devices_ =
        std::make_unique<DeviceSettings>(deviceCtrl_, fileCtrl_, std::move(options.deviceSource));
    captureGraph_ = std::make_unique<CaptureGraph>(deviceCtrl_, *devices_);
    fileGraph_ = std::make_unique<FileGraph>(fileCtrl_);
    devices_->SetNotice(&notice_);
    devices_->AttachCaptureGraph(*captureGraph_);
    captureGraph_->SetNotice(&notice_);
    fileGraph_->SetNotice(&notice_);
    fileGraph_->SetShowPausedFrames(options.showPausedFrames);
    // Each graph tells its own controller's events; the receiver learns which from the source.
    devices_->SetEvents(&deviceCtrl_.Events());
    captureGraph_->SetEvents(&deviceCtrl_.Events());
    fileGraph_->SetEvents(&fileCtrl_.Events());
    fileCtrl_.sink.dark.SetDevice(kDarkFileSourceName);
}

Application::~Application() {
    // The graphs go before the controllers they feed, the device list after the capture graph
    // that binds its devices.
    fileGraph_.reset();
    captureGraph_.reset();
    devices_.reset();
    // No frame flows now, so the automatic control no longer changes the engine's settings.
    // Only the current controller's settings are kept; the file controller is asked first, as
    // it is the first one made.
    for (const VideoCtrl* ctrl : {&fileCtrl_, &deviceCtrl_}) {
        if (ctrl->IsCurrent()) SaveControllerSettings(ctrl->Settings());
    }
}

void Application::SetEventReceiver(StreamEventReceiver* receiver) {
    fileCtrl_.Events().SetReceiver(receiver);
    deviceCtrl_.Events().SetReceiver(receiver);
}

void Application::SetFrameObserver(FrameObserver* observer) {
    fileCtrl_.sink.SetObserver(observer);
    deviceCtrl_.sink.SetObserver(observer);
}

void Application::SetStatisticsWanted(bool wanted) {
    fileCtrl_.sink.engine.statisticsWanted.store(wanted);
    deviceCtrl_.sink.engine.statisticsWanted.store(wanted);
}

void Application::SetPacing(bool on) {
    fileCtrl_.sink.SetPacing(on);
    deviceCtrl_.sink.SetPacing(on);
}

// ---- Sources ------------------------------------------------------------------------------------

CommandResult Application::OpenSource(const std::string& source) {
    if (source.empty() || source == "sim") return OpenDevice(source);
    // The node decides, not the name: a file under /dev/shm is a file, and a FIFO is refused
    // before anything could block opening it.
    const InputNode node = ExamineInput(source);
    switch (node.kind) {
        case InputKind::kFile:
            return OpenFile(source);
        case InputKind::kVideoDevice:
            return OpenDevice(source);
        default:
            return {false, "cannot use '" + source + "' as a source: " + node.reason};
    }
}

CommandResult Application::OpenFile(const std::string& path) {
    notice_.Forget();
    if (Failed(fileGraph_->PlayVideoFile(path.c_str()))) {
        std::string message = "Can't render video file " + path;
        if (const std::string why = fileGraph_->FailureReason(); !why.empty()) {
            message += ": " + why;
        }
        return {false, message};
    }
    MakeCurrent(SourceKind::kFile);
    const std::string opened = notice_.Last();
    RefreshDark(fileCtrl_);
    return {true, opened};
}

// "sim": the simulator; a node: the device with that node; nothing: the first real camera,
// else the simulator.
const CaptureDevice* Application::ChooseListed(const std::string& source) const {
    const std::vector<CaptureDevice>& list = devices_->Devices();
    const CaptureDevice* simulator = nullptr;
    const CaptureDevice* camera = nullptr;
    for (const CaptureDevice& d : list) {
        if (d.identity == kSimDeviceId) {
            simulator = simulator != nullptr ? simulator : &d;
        } else if (camera == nullptr) {
            camera = &d;
        }
        if (!source.empty() && source != "sim" &&
            (d.node == source || IsSameNode(d.node, source))) {
            return &d;
        }
    }
    if (source == "sim") return simulator;
    if (source.empty()) return camera != nullptr ? camera : simulator;
    return nullptr;
}

CommandResult Application::OpenDevice(const std::string& source) {
    notice_.Forget();
    devices_->BuildDeviceMenu();
    const CaptureDevice* chosen = ChooseListed(source);
    if (chosen == nullptr) {
        return {false, source.empty() || source == "sim" ? "the simulated camera is not available"
                                                         : "no capture device at " + source};
    }
    if (devices_->SelectDevice(*chosen) != 1 || !deviceCtrl_.graphBuilt) {
        const std::string reason = notice_.Last().empty() ? "unknown reason" : notice_.Last();
        return {false, "the capture device could not be opened: " + reason};
    }
    MakeCurrent(SourceKind::kDevice);
    RefreshDark(deviceCtrl_);
    return {true, devices_->FriendlyName()};
}

CommandResult Application::ChooseDevice(size_t index) {
    notice_.Forget();
    if (devices_->ChooseDevice(index) != 1) {
        return {false, notice_.Last()};
    }
    MakeCurrent(SourceKind::kDevice);
    RefreshDark(deviceCtrl_);
    return {true, StateText()};
}

void Application::LoadDeviceSettings() {
    devices_->LoadDeviceSettings(LoadDeviceChoiceSettings());
}

void Application::SaveDeviceSettings() {
    devices_->StopChangeNotices();
    SaveDeviceChoiceSettings(devices_->Settings());
    SavePreferredFormat(ThePreferredFormat());
}

void Application::DevicesChanged() {
    deviceCtrl_.Events().Acknowledge(StreamEvent::kDevicesChanged);
    devices_->RefreshDevices();
}

// ---- The current controller
// -----------------------------------------------------------------------

VideoCtrl* Application::Current() {
    switch (current_) {
        case SourceKind::kFile:
            return &fileCtrl_;
        case SourceKind::kDevice:
            return &deviceCtrl_;
        default:
            return nullptr;
    }
}

void Application::MakeCurrent(SourceKind kind) {
    current_ = kind;
    // The marks move in this order so that at no moment are both controllers marked.
    if (kind == SourceKind::kDevice) {
        fileCtrl_.SetCurrent(false);
        deviceCtrl_.SetCurrent(true);
    } else {
        deviceCtrl_.SetCurrent(false);
        fileCtrl_.SetCurrent(kind == SourceKind::kFile);
    }
}

VideoCtrl* Application::CtrlOf(const StreamEvents& events) {
    if (&events == &fileCtrl_.Events()) return &fileCtrl_;
    if (&events == &deviceCtrl_.Events()) return &deviceCtrl_;
    return nullptr;
}

uint64_t Application::DroppedFrames() const {
    return captureGraph_->DroppedFrames() + deviceCtrl_.sink.samplesDropped.load() +
           fileCtrl_.sink.samplesDropped.load();
}

int32_t Application::PlayState() const {
    switch (current_) {
        case SourceKind::kFile:
            return fileCtrl_.PlayState();
        case SourceKind::kDevice:
            return deviceCtrl_.PlayState();
        default:
            return kStateStopped;
    }
}

// ---- Commands
// ---------------------------------------------------------------------------------------

namespace {

CommandResult NoSource() {
    return {false, "no video source is open"};
}

// The result of a run-state change: the new state's text, or the failure.
CommandResult RunStateResult(VideoCtrl& ctrl, MediaResult result, const char* failure) {
    if (Failed(result)) return {false, failure};
    return {true, VideoCtrl::StateText(ctrl.PlayState())};
}

}  // namespace

CommandResult Application::StartStop() {
    VideoCtrl* ctrl = Current();
    if (ctrl == nullptr) return NoSource();
    return ctrl->PlayState() == kStateRunning ? Stop() : Run();
}

CommandResult Application::Run() {
    VideoCtrl* ctrl = Current();
    if (ctrl == nullptr) return NoSource();
    return RunStateResult(*ctrl, ctrl->Run(), "the source could not be started");
}

CommandResult Application::Stop() {
    VideoCtrl* ctrl = Current();
    if (ctrl == nullptr) return NoSource();
    return RunStateResult(*ctrl, ctrl->Stop(), "the source could not be stopped");
}

CommandResult Application::PauseToggle() {
    VideoCtrl* ctrl = Current();
    if (ctrl == nullptr) return NoSource();
    return RunStateResult(*ctrl, ctrl->PauseToggle(), "the source could not be paused");
}

CommandResult Application::Step(int64_t frames) {
    if (current_ != SourceKind::kFile) return {false, "only a video file steps by frames"};
    const MediaResult result = fileGraph_->StepFrames(frames, true);
    if (Failed(result)) return {false, "the video file could not be moved"};
    return {true, StateText()};
}

CommandResult Application::ToggleCapture() {
    VideoCtrl* ctrl = Current();
    if (ctrl == nullptr) return NoSource();
    CaptureWriter& capture = ctrl->sink.capture;
    // A run records the exposure the camera holds as it starts (FITS files).
    if (!capture.capturing.load()) capture.SetExposureSeconds(CurrentExposureSeconds());
    if (!capture.ToggleCapture(&notice_) && capture.RunFailed()) {
        return {false, capture.FailureText()};
    }
    return {true, notice_.Last()};
}

double Application::CurrentExposureSeconds() {
    const CaptureDevice* device = devices_->CurrentDevice();
    if (current_ != SourceKind::kDevice || device == nullptr || device->node.empty()) return -1.0;
    const std::unique_ptr<V4l2Device> v4l2 = V4l2Device::Open(device->node);
    return v4l2 ? FixedExposureSeconds(*v4l2) : -1.0;
}

bool Application::Capturing() const {
    switch (current_) {
        case SourceKind::kFile:
            return fileCtrl_.sink.capture.capturing.load();
        case SourceKind::kDevice:
            return deviceCtrl_.sink.capture.capturing.load();
        default:
            return false;
    }
}

// ---- Dark frames and the guide log
// ----------------------------------------------------------------

void Application::RefreshDark(VideoCtrl& ctrl) {
    const DarkResult result = ctrl.sink.dark.Refresh();
    if (result.ok) {
        if (!result.message.empty()) notice_.ShowStatus(result.message.c_str());
    } else if (result.missing) {
        notice_.ShowStatus(result.message.c_str());
    } else {
        notice_.Warn(result.message.c_str());
    }
}

CommandResult Application::TakeDark(int32_t frames) {
    VideoCtrl* ctrl = Current();
    if (ctrl == nullptr) return NoSource();
    const DarkResult result = ctrl->sink.dark.StartTake(frames);
    return {result.ok, result.message};
}

CommandResult Application::FinishDarkTake(StreamEvents& source) {
    source.Acknowledge(StreamEvent::kDarkTake);
    VideoCtrl* ctrl = CtrlOf(source);
    if (ctrl == nullptr) return {false, "no video controller"};
    const DarkResult result = ctrl->sink.dark.FinishTake();
    return {result.ok, result.message};
}

CommandResult Application::SetDarkUse(bool on) {
    const DarkResult device = deviceCtrl_.sink.dark.SetUse(on);
    const DarkResult file = fileCtrl_.sink.dark.SetUse(on);
    const DarkResult& current = current_ == SourceKind::kFile ? file : device;
    return {current.ok, current.message};
}

std::string Application::DarkStatus() {
    VideoCtrl* ctrl = Current();
    return ctrl != nullptr ? ctrl->sink.dark.StatusText() : std::string();
}

void Application::SetGuideLog(bool on) {
    deviceCtrl_.sink.SetGuideLogEnabled(on);
    fileCtrl_.sink.SetGuideLogEnabled(on);
}

Application::GraphOutcome Application::HandleGraphEvents(StreamEvents& source) {
    source.Acknowledge(StreamEvent::kGraphEvent);
    GraphOutcome outcome;
    VideoCtrl* ctrl = CtrlOf(source);
    if (ctrl == nullptr) return outcome;
    notice_.Forget();
    ctrl->DrainGraphEvents(&notice_);
    outcome.stopped = ctrl->PlayState() == kStateStopped;
    if (outcome.stopped && !notice_.Last().empty()) {
        outcome.message = notice_.Last();
        outcome.failed = outcome.message != VideoCtrl::StateText(kStateStopped);
    }
    return outcome;
}

}  // namespace kelpa
