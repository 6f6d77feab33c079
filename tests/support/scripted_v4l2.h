// A scripted V4L2 driver for tests: a capture card with controls (some a page cannot or must
// not show), a tuner input, S-Video and composite, which tests change into a webcam or any
// other device they need. It keeps the values and inputs set on it, as a driver does.
#pragma once

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "media/v4l2/v4l2_device.h"

namespace kelpa::test {

struct ScriptedV4l2 {
    std::map<uint32_t, v4l2_queryctrl> controls;
    std::map<uint32_t, int32_t> values;
    std::vector<std::pair<std::string, uint32_t>> inputs = {{"Television", V4L2_INPUT_TYPE_TUNER},
                                                            {"S-Video", V4L2_INPUT_TYPE_CAMERA},
                                                            {"Composite1", V4L2_INPUT_TYPE_CAMERA}};
    int currentInput = -1;  // -1: G_INPUT fails
    std::vector<int> selectedInputs;
    bool hasTuner = true;
    uint32_t frequency = 100 * 16;
    bool nextCtrl = true;  // supports V4L2_CTRL_FLAG_NEXT_CTRL

    ScriptedV4l2() {
        Add(V4L2_CID_USER_CLASS, V4L2_CTRL_TYPE_CTRL_CLASS, "User Controls", 0, 0, 0);
        Add(V4L2_CID_BRIGHTNESS, V4L2_CTRL_TYPE_INTEGER, "Brightness", 0, 255, 128);
        Add(V4L2_CID_CONTRAST, V4L2_CTRL_TYPE_INTEGER, "Contrast", 0, 127, 64,
            V4L2_CTRL_FLAG_DISABLED);
        Add(V4L2_CID_POWER_LINE_FREQUENCY, V4L2_CTRL_TYPE_MENU, "Power Line", 0, 2, 1);
        Add(V4L2_CID_PIXEL_RATE, V4L2_CTRL_TYPE_INTEGER64, "Pixel Rate", 0, 0, 0);
    }
    void Add(uint32_t id, uint32_t type, const char* name, int32_t min, int32_t max, int32_t def,
             uint32_t flags = 0) {
        v4l2_queryctrl q{id, type, {}, min, max, 1, def, flags, {}};
        Copy(q.name, name);
        controls[id] = q;
        values[id] = def;
    }
    int QueryControl(v4l2_queryctrl* q) {
        const bool next = q->id & V4L2_CTRL_FLAG_NEXT_CTRL;
        if (next && !nextCtrl) return Fail(EINVAL);
        auto it =
            next ? controls.upper_bound(q->id & ~V4L2_CTRL_FLAG_NEXT_CTRL) : controls.find(q->id);
        if (it == controls.end()) return Fail(EINVAL);
        *q = it->second;
        return 0;
    }
    int Ioctl(unsigned long request, void* arg) {
        switch (request) {
            case VIDIOC_QUERYCAP:
                Copy(static_cast<v4l2_capability*>(arg)->bus_info, "usb-1");
                return 0;
            case VIDIOC_QUERYCTRL:
                return QueryControl(static_cast<v4l2_queryctrl*>(arg));
            case VIDIOC_QUERYMENU: {
                auto* m = static_cast<v4l2_querymenu*>(arg);
                if (m->index == 1) return Fail(EINVAL);  // a gap in the menu
                std::snprintf(reinterpret_cast<char*>(m->name), sizeof m->name, "Mode %u",
                              m->index);
                return 0;
            }
            case VIDIOC_G_CTRL: {
                auto* c = static_cast<v4l2_control*>(arg);
                if (!values.count(c->id)) return Fail(EINVAL);
                c->value = values[c->id];
                return 0;
            }
            case VIDIOC_S_CTRL: {  // the driver keeps values within their range
                auto* c = static_cast<v4l2_control*>(arg);
                values[c->id] =
                    std::clamp(c->value, controls[c->id].minimum, controls[c->id].maximum);
                return 0;
            }
            case VIDIOC_ENUMINPUT: {
                auto* in = static_cast<v4l2_input*>(arg);
                if (in->index >= inputs.size()) return Fail(EINVAL);
                Copy(in->name, inputs[in->index].first);
                in->type = inputs[in->index].second;
                return 0;
            }
            case VIDIOC_G_INPUT:
                *static_cast<int*>(arg) = currentInput;
                return currentInput < 0 ? Fail(EINVAL) : 0;
            case VIDIOC_S_INPUT:
                selectedInputs.push_back(currentInput = *static_cast<int*>(arg));
                return 0;
            case VIDIOC_G_TUNER: {
                auto* t = static_cast<v4l2_tuner*>(arg);
                if (!hasTuner || t->index != 0) return Fail(EINVAL);
                t->type = V4L2_TUNER_ANALOG_TV;
                return 0;
            }
            case VIDIOC_G_FREQUENCY:
                static_cast<v4l2_frequency*>(arg)->frequency = frequency;
                return 0;
            case VIDIOC_S_FREQUENCY:
                frequency = static_cast<v4l2_frequency*>(arg)->frequency;
                return 0;
            default:
                return Fail(ENOTTY);
        }
    }

    template <size_t N>
    static void Copy(uint8_t (&out)[N], const std::string& text) {
        std::snprintf(reinterpret_cast<char*>(out), N, "%s", text.c_str());
    }
    static int Fail(int error) {
        errno = error;
        return -1;
    }
};

// Hands a device's system calls to the driver.
class ScriptedV4l2Io final : public V4l2Io {
  public:
    explicit ScriptedV4l2Io(ScriptedV4l2& driver) : driver_(driver) {}
    int Ioctl(unsigned long request, void* arg) override { return driver_.Ioctl(request, arg); }

  private:
    ScriptedV4l2& driver_;
};

}  // namespace kelpa::test
