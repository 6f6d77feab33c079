#include "media/v4l2/v4l2_exposure.h"

#include <linux/videodev2.h>

namespace kelpa {

double FixedExposureSeconds(V4l2Device& device) {
    int32_t mode = V4L2_EXPOSURE_MANUAL;
    if (device.GetControl(V4L2_CID_EXPOSURE_AUTO, &mode) && mode != V4L2_EXPOSURE_MANUAL &&
        mode != V4L2_EXPOSURE_SHUTTER_PRIORITY) {
        return -1.0;
    }
    int32_t units = 0;
    if (!device.GetControl(V4L2_CID_EXPOSURE_ABSOLUTE, &units) || units <= 0) return -1.0;
    return units * 1e-4;
}

}  // namespace kelpa
