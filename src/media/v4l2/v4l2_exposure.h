// The exposure time a V4L2 camera holds, for the headers of captured files.
#pragma once

#include "media/v4l2/v4l2_device.h"

namespace kelpa {

// The exposure time in seconds that the device keeps fixed (manual exposure, or shutter
// priority), from its absolute exposure control (units of 100 microseconds). Negative when it
// does not tell: no absolute exposure control, or the exposure left to the camera's automatic,
// whose absolute value many drivers do not keep up to date. GUI thread.
double FixedExposureSeconds(V4l2Device& device);

}  // namespace kelpa
