// The capture devices of the Sources menu: listing, choosing, binding, plug and unplug.
#include "media/device_settings.h"

#include <algorithm>

#include "common/log.h"

namespace kelpa {

DeviceSettings::DeviceSettings(VideoCtrl& deviceCtrl, VideoCtrl& fileCtrl,
                               std::unique_ptr<DeviceSource> source)
    : deviceCtrl_(deviceCtrl),
      fileCtrl_(fileCtrl),
      source_(source ? std::move(source) : MakeMonitorDeviceSource()),
      pages_(deviceCtrl) {}

DeviceSettings::~DeviceSettings() {
    source_->SetChangeTarget(nullptr);
}

void DeviceSettings::AttachCaptureGraph(CaptureGraph& graph) {
    ownedGraph_ = std::make_unique<CaptureGraphAdapter>(graph);
    SetGraph(ownedGraph_.get());
}

void DeviceSettings::SetGraph(DeviceGraph* graph) {
    graph_ = graph;
    pages_.SetGraph(graph);
}

void DeviceSettings::SetNotice(UserNotice* notice) {
    notice_ = notice;
}

void DeviceSettings::LoadDeviceSettings(const DeviceChoiceSettings& saved) {
    chosen_ = saved.identity;
    BuildDeviceMenu();
    masterStream_ = saved.masterStream;
    useTimeLimit_ = saved.useTimeLimit;
    timeLimit_ = saved.timeLimit;
    if (!chosen_.empty()) SelectDeviceByName(chosen_);
    source_->SetChangeTarget(events_);
}

void DeviceSettings::StopChangeNotices() {
    source_->SetChangeTarget(nullptr);
}

DeviceChoiceSettings DeviceSettings::Settings() const {
    DeviceChoiceSettings settings;
    settings.identity = chosen_;
    if (settings.identity.empty() && current_) settings.identity = current_->identity;
    settings.masterStream = masterStream_;
    settings.useTimeLimit = useTimeLimit_;
    settings.timeLimit = timeLimit_;
    return settings;
}

void DeviceSettings::ForgetList() {
    devices_.clear();
    menu_.clear();
}

void DeviceSettings::BuildDeviceMenu() {
    if (menuBuilt_) return;
    ForgetList();
    if (!source_->Open()) {
        LogPrintf("%s", kErrorNoEnumerator);
        if (notice_ != nullptr) notice_->Warn(kErrorNoEnumerator);
        return;
    }
    std::vector<CaptureDevice> found = source_->Enumerate();
    menuBuilt_ = true;
    if (found.empty()) {
        LogPrintf("%s", kErrorNoHardware);
        if (notice_ != nullptr) notice_->Warn(kErrorNoHardware);
        return;
    }
    for (size_t i = 0; i < found.size() && i < kMaxListedDevices; ++i) {
        const bool checked = current_ && found[i].identity == current_->identity;
        menu_.push_back({found[i].name, checked});
        devices_.push_back(std::move(found[i]));
    }
}

bool DeviceSettings::BindCaptureDevice(BoundDevice* out) {
    friendlyName_.clear();
    if (!current_) {
        std::vector<CaptureDevice> found;
        if (source_->Open()) found = source_->Enumerate();
        if (found.empty()) return false;
        current_ = std::move(found.front());
        UpdateChecks();
    }
    friendlyName_ = current_->name;
    if (notice_ != nullptr) notice_->ShowStatus(friendlyName_.c_str());
    deviceCtrl_.sink.capture.SetCaptureName(friendlyName_.c_str(), false);
    deviceCtrl_.sink.dark.SetDevice(friendlyName_);
    out->device = RefObject(current_->device.get());
    out->friendlyName = friendlyName_;
    return out->device != nullptr;
}

int32_t DeviceSettings::SelectDevice(const CaptureDevice& device) {
    if (current_ && current_->identity == device.identity) {
        // The same camera, perhaps as a new object after the list was built again.
        current_->device = RefObject(device.device.get());
        chosen_ = current_->identity;
    } else {
        current_ = device.Clone();
        const MediaResult result =
            graph_ != nullptr ? graph_->ActivateCaptureGraph() : MediaResult::kNoGraph;
        if (Failed(result)) {
            current_.reset();
        } else {
            chosen_ = current_->identity;
            if (deviceCtrl_.IsCurrent() && graph_ != nullptr) graph_->SetEvents(events_);
            BuildSourcesMenu();
        }
    }
    UpdateChecks();
    return current_ ? 1 : -1;
}

int32_t DeviceSettings::SelectDeviceByName(const std::string& identity) {
    for (const CaptureDevice& device : devices_) {
        if (device.identity == identity) return SelectDevice(device.Clone());
    }
    return 0;
}

int32_t DeviceSettings::ChooseDevice(size_t slot) {
    if (slot >= devices_.size()) return 0;
    int32_t before = kStateStopped;
    if (CurrentCtrl() == &deviceCtrl_) before = StopForChange(deviceCtrl_);
    const int32_t result = SelectDevice(devices_[slot].Clone());
    if (current_) RestoreRunState(deviceCtrl_, before, deviceCtrl_.activateGraph);
    return result;
}

void DeviceSettings::RefreshDevices() {
    source_->AcknowledgeChange();
    const int32_t before = StopForChange(deviceCtrl_);
    ForgetList();
    menuBuilt_ = false;
    MakeDeviceCurrent();
    BuildDeviceMenu();
    if (current_ && !IsListed(current_->identity)) {
        // The camera in use was pulled out. Its graph cannot run again; forgetting it lets the
        // same camera be selected (and built anew) when it comes back.
        LogPrintf("Capture device removed: %s", current_->name.c_str());
        if (graph_ != nullptr) graph_->Teardown();
        current_.reset();
        pages_.Clear();
        UpdateChecks();
    }
    if (!chosen_.empty()) SelectDeviceByName(chosen_);
    RestoreRunState(deviceCtrl_, before, deviceCtrl_.activateGraph);
    ShowRunState();
}

void DeviceSettings::MakeDeviceCurrent() {
    if (deviceCtrl_.IsCurrent() || fileCtrl_.IsCurrent()) return;
    fileCtrl_.SetCurrent(false);
    deviceCtrl_.SetCurrent(true);
    if (deviceCtrl_.graphBuilt && graph_ != nullptr) graph_->SetEvents(events_);
}

void DeviceSettings::BuildSourcesMenu() {
    pages_.Build(current_ && deviceCtrl_.graphBuilt ? &*current_ : nullptr);
}

void DeviceSettings::UpdateChecks() {
    for (size_t i = 0; i < menu_.size(); ++i) {
        menu_[i].checked = current_ && devices_[i].identity == current_->identity;
    }
}

bool DeviceSettings::IsListed(const std::string& identity) const {
    return std::any_of(devices_.begin(), devices_.end(),
                       [&](const CaptureDevice& d) { return d.identity == identity; });
}

VideoCtrl* DeviceSettings::CurrentCtrl() const {
    if (deviceCtrl_.IsCurrent()) return &deviceCtrl_;
    if (fileCtrl_.IsCurrent()) return &fileCtrl_;
    return nullptr;
}

void DeviceSettings::ShowRunState() {
    VideoCtrl* ctrl = CurrentCtrl();
    if (ctrl != nullptr && notice_ != nullptr) {
        notice_->ShowStatus(VideoCtrl::StateText(ctrl->PlayState()));
    }
}

}  // namespace kelpa
