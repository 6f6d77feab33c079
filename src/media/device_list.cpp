// Capture devices through a GstDeviceMonitor, their identities, and change notices.
#include "media/device_list.h"

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "common/log.h"
#include "media/media_init.h"
#include "sim/sim_device_provider.h"

namespace kelpa {
namespace {

namespace fs = std::filesystem;

// Property keys that name a device's V4L2 node (GStreamer's own provider, then PipeWire's).
constexpr const char* kNodeKeys[] = {"device.path", "api.v4l2.path"};

std::string StringProperty(const GstStructure* properties, const char* key) {
    const char* value = properties != nullptr ? gst_structure_get_string(properties, key) : nullptr;
    return value != nullptr ? value : "";
}

// The first link in `directory` that leads to `target`, by name order so the choice does not
// depend on the order the directory lists them in.
std::string LinkTo(const fs::path& target, const fs::path& directory) {
    std::error_code error;
    std::vector<std::string> links;
    for (fs::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        if (fs::canonical(it->path(), ignored) == target && !ignored) {
            links.push_back(it->path().string());
        }
    }
    if (links.empty()) return "";
    return *std::min_element(links.begin(), links.end());
}

struct ChangeState {
    std::atomic<StreamEvents*> target{nullptr};
    std::atomic<bool> pending{false};
};

// Runs on whichever thread the provider posts from (its udev thread, for V4L2).
GstBusSyncReply OnMonitorMessage(GstBus*, GstMessage* message, gpointer data) {
    ChangeState& state = **static_cast<std::shared_ptr<ChangeState>*>(data);
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    if (type == GST_MESSAGE_DEVICE_ADDED || type == GST_MESSAGE_DEVICE_REMOVED) {
        StreamEvents* target = state.target.load();
        if (target != nullptr && !state.pending.exchange(true)) {
            target->Post(StreamEvent::kDevicesChanged);
        }
    }
    // Dropped, so nothing piles up on a bus that nobody pops.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void ReleaseChangeState(gpointer data) {
    std::unique_ptr<std::shared_ptr<ChangeState>> owned(
        static_cast<std::shared_ptr<ChangeState>*>(data));
}

class MonitorDeviceSource final : public DeviceSource {
  public:
    ~MonitorDeviceSource() override {
        state_->target.store(nullptr);
        if (!monitor_) return;
        if (started_) gst_device_monitor_stop(monitor_.get());
        gst_bus_set_sync_handler(bus_.get(), nullptr, nullptr, nullptr);
    }

    bool Open() override {
        if (monitor_) return true;
        std::string error;
        if (!InitMedia(&error)) {
            LogPrintf("%s", error.c_str());
            return false;
        }
        GstDeviceMonitorPtr monitor(gst_device_monitor_new());
        if (!monitor) return false;
        GstCapsPtr caps(gst_caps_from_string("video/x-raw; image/jpeg"));
        gst_device_monitor_add_filter(monitor.get(), "Video/Source", caps.get());
        bus_.reset(gst_device_monitor_get_bus(monitor.get()));
        // The handler's share of the state lives as long as GStreamer keeps the handler,
        // which may be a little longer than this object when a message is in flight.
        auto handlerState = std::make_unique<std::shared_ptr<ChangeState>>(state_);
        gst_bus_set_sync_handler(bus_.get(), OnMonitorMessage, handlerState.release(),
                                 ReleaseChangeState);
        started_ = gst_device_monitor_start(monitor.get());
        if (!started_) LogPrintf("Device monitor not started: plugged cameras go unnoticed");
        monitor_ = std::move(monitor);
        return true;
    }

    std::vector<CaptureDevice> Enumerate() override {
        std::vector<CaptureDevice> devices;
        if (!monitor_) return devices;
        GList* list = gst_device_monitor_get_devices(monitor_.get());
        for (GList* item = list; item != nullptr; item = item->next) {
            devices.push_back(DescribeDevice(GST_DEVICE(item->data)));
        }
        g_list_free_full(list, gst_object_unref);
        return devices;
    }

    void SetChangeTarget(StreamEvents* target) override {
        state_->pending.store(false);
        state_->target.store(target);
    }

    void AcknowledgeChange() override { state_->pending.store(false); }

  private:
    std::shared_ptr<ChangeState> state_ = std::make_shared<ChangeState>();
    GstDeviceMonitorPtr monitor_;
    GstBusPtr bus_;
    bool started_ = false;
};

}  // namespace

CaptureDevice CaptureDevice::Clone() const {
    return {RefObject(device.get()), identity, name, node};
}

std::string NodeIdentity(const std::string& node, const std::string& linkDirectory) {
    std::error_code error;
    const fs::path target = fs::canonical(node, error);
    if (!error) {
        for (const char* kind : {"by-id", "by-path"}) {
            const std::string link = LinkTo(target, fs::path(linkDirectory) / kind);
            if (!link.empty()) return "v4l2:" + link;
        }
    }
    return "v4l2:" + node;
}

CaptureDevice DescribeDevice(GstDevice* device, const std::string& linkDirectory) {
    CaptureDevice described;
    described.device = RefObject(device);
    GstStructurePtr properties(gst_device_get_properties(device));
    described.name = StringProperty(properties.get(), "device.description");
    if (described.name.empty()) {
        GCharPtr displayName(gst_device_get_display_name(device));
        if (displayName) described.name = displayName.get();
    }
    for (const char* key : kNodeKeys) {
        described.node = StringProperty(properties.get(), key);
        if (!described.node.empty()) break;
    }
    described.identity = StringProperty(properties.get(), kDeviceIdProperty);
    if (described.identity.empty() && !described.node.empty()) {
        described.identity = NodeIdentity(described.node, linkDirectory);
    }
    if (described.identity.empty()) described.identity = "name:" + described.name;
    return described;
}

std::unique_ptr<DeviceSource> MakeMonitorDeviceSource() {
    return std::make_unique<MonitorDeviceSource>();
}

}  // namespace kelpa
