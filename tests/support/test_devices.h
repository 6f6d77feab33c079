// A device provider for tests: capture devices that a test plugs in and pulls out while a
// device monitor runs. Each opens the simulated camera, so graphs can be built on them.
#pragma once

#include <string>

#include "media/gst_ptr.h"

namespace kelpa::test {

// One device of the provider's kind with these caps, outside any provider: it opens the
// simulated camera.
GstDevicePtr MakeTestDevice(const std::string& name, const std::string& identity, const char* caps);

// Registers the provider once, ranked above every real one so its devices come first.
void RegisterTestDeviceProvider();

// How many devices ("Test Camera 1" ..., identities "test:1" ...) the provider lists when a
// monitor starts it.
void SetInitialTestDevices(int count);

// Adds or removes a device of the started provider; false when it is not started (or, for
// unplugging, the device is not there).
bool PlugTestDevice(const std::string& name, const std::string& identity);
bool UnplugTestDevice(const std::string& identity);

}  // namespace kelpa::test
