// The capture devices in the Sources menu: at most nine listed, the chosen one remembered by a
// stable identity (handed in and back as DeviceChoiceSettings, saved as VideoDevice2) and bound
// for the capture graph, plugging and unplugging noticed, and the device's page items built
// after its graph.
//
// One object for the process, owned by the application core. GUI thread only, except that
// change notices are posted to the main window from a GStreamer thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/capture_graph.h"
#include "media/device_graph.h"
#include "media/device_keys.h"
#include "media/device_list.h"
#include "media/device_pages.h"
#include "platform/user_notice.h"
#include "video/video_ctrl.h"

namespace kelpa {

inline constexpr size_t kMaxListedDevices = 9;

inline constexpr char kErrorNoEnumerator[] = "Error Creating Device Enumerator";
inline constexpr char kErrorNoHardware[] =
    "Sorry, you have no video capture hardware.\r\n\r\nVideo capture will not function "
    "properly.";

// A device of the Sources menu; its index in DeviceMenu() is the one ChooseDevice takes.
struct DeviceMenuItem {
    std::string text;
    bool checked = false;
};

class DeviceSettings final : public CaptureDeviceBinder {
  public:
    // `deviceCtrl` is the capture-device controller, `fileCtrl` the video-file one. Without a
    // source the devices come from a GstDeviceMonitor.
    DeviceSettings(VideoCtrl& deviceCtrl, VideoCtrl& fileCtrl,
                   std::unique_ptr<DeviceSource> source = nullptr);
    ~DeviceSettings() override;
    DeviceSettings(const DeviceSettings&) = delete;
    DeviceSettings& operator=(const DeviceSettings&) = delete;

    // The capture graph built for the chosen device (it binds the device through this object).
    void AttachCaptureGraph(CaptureGraph& graph);
    void SetGraph(DeviceGraph* graph);
    void SetNotice(UserNotice* notice);
    // Receives kDevicesChanged (from LoadDeviceSettings on, so set it first), and the graph's
    // events once the device controller is current: the device controller's events.
    void SetEvents(StreamEvents* events) { events_ = events; }

    // Start-up: the saved settings kept, the list built, the saved device selected, change
    // notices on.
    void LoadDeviceSettings(const DeviceChoiceSettings& saved);
    // Exit: change notices off.
    void StopChangeNotices();
    // What the profile keeps: the device the user chose (also while it is unplugged), else the
    // device bound because nothing was chosen; the other keys as they were read.
    DeviceChoiceSettings Settings() const;

    // The device items (once; RefreshDevices builds them again).
    void BuildDeviceMenu();
    const std::vector<DeviceMenuItem>& DeviceMenu() const { return menu_; }
    const std::vector<CaptureDevice>& Devices() const { return devices_; }

    // The current device, or the first one, which becomes current; sets the friendly name,
    // shows it and names the captures after it.
    bool BindCaptureDevice(BoundDevice* out) override;
    // 1 with a current device afterwards, -1 without.
    int32_t SelectDevice(const CaptureDevice& device);
    // Selects the listed device of that identity; 0 when none is listed.
    int32_t SelectDeviceByName(const std::string& identity);
    // The device item at `index` was chosen; 0 for an empty slot.
    int32_t ChooseDevice(size_t index);
    // On kDevicesChanged.
    void RefreshDevices();
    void MakeDeviceCurrent();
    MediaResult SetCaptureFormat(uint32_t subtype, int64_t timePerFrame, int32_t width,
                                 int32_t height) {
        return pages_.SetCaptureFormat(subtype, timePerFrame, width, height);
    }

    // The Sources menu's page items for the current device, and their pages.
    void BuildSourcesMenu();
    const std::vector<SourcesMenuItem>& SourcesMenu() const { return pages_.Items(); }
    DevicePages& Pages() { return pages_; }

    const CaptureDevice* CurrentDevice() const { return current_ ? &*current_ : nullptr; }
    const std::string& FriendlyName() const { return friendlyName_; }
    // The identity VideoDevice2 will keep.
    const std::string& ChosenIdentity() const { return chosen_; }
    int32_t MasterStream() const { return masterStream_; }
    bool UseTimeLimit() const { return useTimeLimit_; }
    int32_t TimeLimit() const { return timeLimit_; }

  private:
    void ForgetList();
    void UpdateChecks();
    bool IsListed(const std::string& identity) const;
    VideoCtrl* CurrentCtrl() const;
    void ShowRunState();

    VideoCtrl& deviceCtrl_;
    VideoCtrl& fileCtrl_;
    std::unique_ptr<DeviceSource> source_;
    std::unique_ptr<DeviceGraph> ownedGraph_;
    DeviceGraph* graph_ = nullptr;
    UserNotice* notice_ = nullptr;
    StreamEvents* events_ = nullptr;
    DevicePages pages_;

    std::vector<CaptureDevice> devices_;
    std::vector<DeviceMenuItem> menu_;
    bool menuBuilt_ = false;
    std::optional<CaptureDevice> current_;
    std::string chosen_;
    std::string friendlyName_;
    int32_t masterStream_ = 1;
    bool useTimeLimit_ = false;
    int32_t timeLimit_ = 0;
};

}  // namespace kelpa
