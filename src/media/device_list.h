// The capture devices of the machine as the Sources menu lists them: found by a
// GstDeviceMonitor filtered on "Video/Source" (raw video and JPEG), each with a stable
// identity that the profile keeps, so the same camera is found again after a reboot or on
// another USB port; plugging and unplugging are noticed on the monitor's bus.
#pragma once

#include <gst/gst.h>

#include <memory>
#include <string>
#include <vector>

#include "media/gst_ptr.h"
#include "processing/stream_events.h"

namespace kelpa {

// Where udev keeps the stable names of V4L2 nodes ("by-id", "by-path").
inline constexpr char kV4l2LinkDirectory[] = "/dev/v4l";

struct CaptureDevice {
    GstDevicePtr device;
    std::string identity;  // saved as VideoDevice2
    std::string name;      // shown in the menu and the status line
    std::string node;      // the V4L2 device node; "" when the device has none
    CaptureDevice Clone() const;
};

// A device as listed: its name (its "device.description", else its display name), its V4L2
// node and its identity: the program's own id property when it has one ("sim:telescope"),
// else NodeIdentity of its node, else "name:" and its name.
CaptureDevice DescribeDevice(GstDevice* device,
                             const std::string& linkDirectory = kV4l2LinkDirectory);

// "v4l2:" and the node's by-id link (the same camera on any port), else its by-path link (the
// same port), else the node itself.
std::string NodeIdentity(const std::string& node, const std::string& linkDirectory);

// Lists capture devices and reports changes of the list.
class DeviceSource {
  public:
    virtual ~DeviceSource() = default;
    // Creates the enumerator (once); false when there is none.
    virtual bool Open() = 0;
    // The devices present, in enumeration order.
    virtual std::vector<CaptureDevice> Enumerate() = 0;
    // kDevicesChanged goes to `target` (nullptr: nowhere) from whichever thread noticed the
    // change; the receiver answers with DeviceSettings::RefreshDevices on its own thread. One
    // notice stands for any number of changes until AcknowledgeChange.
    virtual void SetChangeTarget(StreamEvents* target) = 0;
    virtual void AcknowledgeChange() = 0;
};

// The source over a GstDeviceMonitor.
std::unique_ptr<DeviceSource> MakeMonitorDeviceSource();

}  // namespace kelpa
