// Lists the simulated telescope camera as a device, "Telescope Simulator" of class
// "Video/Source", so that a GstDeviceMonitor shows it next to the real cameras and the program
// opens it through the same code path.
#pragma once

#include <gst/gst.h>

namespace kelpa {

inline constexpr char kSimDeviceProviderName[] = "kelpasimdeviceprovider";
inline constexpr char kSimDeviceDisplayName[] = "Telescope Simulator";
// The device's identity in its properties structure: stable across runs and machines, so it
// can be saved in the profile and matched when the device list is built again.
inline constexpr char kDeviceIdProperty[] = "kelpa.device.id";
inline constexpr char kSimDeviceId[] = "sim:telescope";

// Registers the provider with the plugin being initialised. It ranks below the system's camera
// providers, so real cameras come first in a device list.
bool RegisterSimDeviceProvider(GstPlugin* plugin);

}  // namespace kelpa
