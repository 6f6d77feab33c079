// The exposure of a V4L2 camera as captured files record it: only a fixed one, in seconds.
#include "media/v4l2/v4l2_exposure.h"

#include <linux/videodev2.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <memory>

namespace kelpa {
namespace {

// A driver that answers VIDIOC_G_CTRL for the controls it has.
class ControlsIo final : public V4l2Io {
  public:
    explicit ControlsIo(std::map<uint32_t, int32_t> values) : values_(std::move(values)) {}
    int Ioctl(unsigned long request, void* arg) override {
        auto* control = static_cast<v4l2_control*>(arg);
        const auto found = values_.find(control->id);
        if (request != VIDIOC_G_CTRL || found == values_.end()) {
            errno = EINVAL;
            return -1;
        }
        control->value = found->second;
        return 0;
    }

  private:
    std::map<uint32_t, int32_t> values_;
};

TEST(V4l2ExposureTest, OnlyAFixedExposureIsReported) {
    struct Case {
        std::map<uint32_t, int32_t> controls;
        double seconds;
    };
    const Case cases[] = {
        {{{V4L2_CID_EXPOSURE_ABSOLUTE, 250}}, 0.025},  // no automatic to ask
        {{{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL}, {V4L2_CID_EXPOSURE_ABSOLUTE, 1}}, 1e-4},
        {{{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_SHUTTER_PRIORITY},
          {V4L2_CID_EXPOSURE_ABSOLUTE, 10000}},
         1.0},
        {{{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_AUTO}, {V4L2_CID_EXPOSURE_ABSOLUTE, 250}}, -1},
        {{{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL}}, -1},  // no absolute exposure
        {{}, -1},
    };
    for (const Case& c : cases) {
        V4l2Device device(std::make_unique<ControlsIo>(c.controls));
        const double seconds = FixedExposureSeconds(device);
        if (c.seconds < 0) {
            EXPECT_LT(seconds, 0.0);
        } else {
            EXPECT_DOUBLE_EQ(seconds, c.seconds);
        }
    }
}

}  // namespace
}  // namespace kelpa
