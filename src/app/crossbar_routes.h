// The video input routes of the capture device ("RoutingList"): every video input that can reach
// the device's capture output, with its connector type, and the input type in use kept in the
// profile (CrosInPhysicalType) so that the next run routes the same kind of input again.
//
// A V4L2 device switches its inputs in one place, so every route is one level deep (depth 0)
// and has no related audio pin.
//
// GUI thread only.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/settings_table.h"
#include "media/device_pages.h"

namespace kelpa {

struct CrossbarRoute {
    int32_t input = 0;       // index into DevicePages::Inputs()
    uint32_t v4l2Index = 0;  // the V4L2 input number
    int32_t output = 0;      // the device's one video output
    int32_t related = -1;    // related pin: none on V4L2
    int32_t outputType = 0;  // connector type of the output (a video decoder)
    int32_t inputType = 0;   // connector type of the input
    int32_t depth = 0;       // crossbars between this one and the capture filter
    friend bool operator==(const CrossbarRoute&, const CrossbarRoute&) = default;
};

struct CrossbarSettings {
    int32_t inPhysicalType = 0;  // 0: nothing saved
    friend bool operator==(const CrossbarSettings&, const CrossbarSettings&) = default;
};

const SettingsTableOf<CrossbarSettings>& CrossbarSettingsTable();
CrossbarSettings LoadCrossbarSettings();
// Writes CrosInPhysicalType when it is greater than 0.
bool SaveCrossbarSettings(const CrossbarSettings& settings);

class CrossbarRoutes {
  public:
    // The routes of the inputs the device pages read; audio inputs (connector types 4096 and
    // above) are left out.
    static CrossbarRoutes Collect(std::span<const VideoInputInfo> inputs);

    const std::vector<CrossbarRoute>& Routes() const { return routes_; }
    // Connector type of the route of input `input` (DevicePages::CheckedInputIndex()); 0 when
    // no route has it.
    int32_t PhysicalTypeInUse(int input) const;
    // Routes the device to the first input of the saved connector type; false when no route
    // has that type or the device refuses.
    bool Restore(DevicePages& pages, const CrossbarSettings& saved) const;
    // What the profile keeps at the end: the type in use when there is a route and its type is
    // greater than 0, else what was saved before.
    CrossbarSettings ToSave(int input, const CrossbarSettings& saved) const;

  private:
    std::vector<CrossbarRoute> routes_;
};

}  // namespace kelpa
