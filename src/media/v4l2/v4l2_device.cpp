// V4L2 ioctls for the device pages: controls, video inputs, tuner.
#include "media/v4l2/v4l2_device.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "platform/unique_fd.h"

namespace kelpa {
namespace {

// Bounds on what a misbehaving driver can make us loop over.
constexpr int kMaxControls = 1024;
constexpr int64_t kMaxMenuItems = 256;
constexpr uint32_t kMaxInputs = 64;
constexpr uint32_t kMaxPrivateControls = 256;

class FdIo final : public V4l2Io {
  public:
    explicit FdIo(UniqueFd fd) : fd_(std::move(fd)) {}
    int Ioctl(unsigned long request, void* arg) override {
        int result;
        do {
            result = ::ioctl(fd_.get(), request, arg);
        } while (result < 0 && errno == EINTR);
        return result;
    }

  private:
    UniqueFd fd_;
};

// Driver texts are fixed-size arrays that need not end in a zero.
template <size_t N>
std::string Text(const uint8_t (&chars)[N]) {
    return std::string(reinterpret_cast<const char*>(chars),
                       strnlen(reinterpret_cast<const char*>(chars), N));
}

// The types G_CTRL and S_CTRL handle.
bool IsPlainType(uint32_t type) {
    switch (type) {
        case V4L2_CTRL_TYPE_INTEGER:
        case V4L2_CTRL_TYPE_BOOLEAN:
        case V4L2_CTRL_TYPE_MENU:
        case V4L2_CTRL_TYPE_BUTTON:
        case V4L2_CTRL_TYPE_BITMASK:
        case V4L2_CTRL_TYPE_INTEGER_MENU:
            return true;
        default:
            return false;
    }
}

bool IsMenuType(uint32_t type) {
    return type == V4L2_CTRL_TYPE_MENU || type == V4L2_CTRL_TYPE_INTEGER_MENU;
}

}  // namespace

double V4l2Tuner::UnitHz() const {
    if (capability & V4L2_TUNER_CAP_1HZ) return 1.0;
    return (capability & V4L2_TUNER_CAP_LOW) ? 62.5 : 62500.0;
}

V4l2Device::V4l2Device(std::unique_ptr<V4l2Io> io) : io_(std::move(io)) {}

std::unique_ptr<V4l2Device> V4l2Device::Open(const std::string& node, std::string* error) {
    // Settings need no exclusive access: the capture element keeps its own descriptor.
    UniqueFd fd(::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid() && errno == EACCES)
        fd.Reset(::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        if (error != nullptr) *error = node + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<V4l2Device>(std::make_unique<FdIo>(std::move(fd)));
}

bool V4l2Device::QueryCap(std::string* card, std::string* busInfo) {
    v4l2_capability cap{};
    if (io_->Ioctl(VIDIOC_QUERYCAP, &cap) != 0) return false;
    *card = Text(cap.card);
    *busInfo = Text(cap.bus_info);
    return true;
}

std::string V4l2Device::Card() {
    std::string card, bus;
    return QueryCap(&card, &bus) ? card : std::string();
}

bool V4l2Device::IsUsb() {
    std::string card, bus;
    return QueryCap(&card, &bus) && bus.rfind("usb-", 0) == 0;
}

bool V4l2Device::QueryControl(uint32_t id, bool next, V4l2Control* control, uint32_t* foundId) {
    v4l2_queryctrl query{};
    query.id = next ? (id | V4L2_CTRL_FLAG_NEXT_CTRL) : id;
    if (io_->Ioctl(VIDIOC_QUERYCTRL, &query) != 0) return false;
    *foundId = query.id;
    control->id = query.id;
    control->type = query.type;
    control->name = Text(query.name);
    control->minimum = query.minimum;
    control->maximum = query.maximum;
    control->step = query.step;
    control->defaultValue = query.default_value;
    control->flags = query.flags;
    control->value = query.default_value;
    return true;
}

void V4l2Device::ReadMenu(V4l2Control* control) {
    const int64_t count = int64_t{control->maximum} - control->minimum + 1;
    if (count <= 0 || count > kMaxMenuItems) return;
    for (int32_t i = control->minimum;; ++i) {
        v4l2_querymenu item{};
        item.id = control->id;
        item.index = static_cast<uint32_t>(i);
        // Drivers may leave gaps in a menu: those indices fail and are not offered.
        if (io_->Ioctl(VIDIOC_QUERYMENU, &item) == 0) {
            control->menu.emplace_back(i, control->type == V4L2_CTRL_TYPE_MENU
                                              ? Text(item.name)
                                              : std::to_string(item.value));
        }
        if (i == control->maximum) break;
    }
}

std::vector<V4l2Control> V4l2Device::QueryControls() {
    std::vector<V4l2Control> found;
    uint32_t id = 0;
    bool enumerates = false;
    for (int n = 0; n < kMaxControls; ++n) {
        V4l2Control control;
        uint32_t next = 0;
        if (!QueryControl(id, true, &control, &next)) break;
        // A driver that does not move on would keep us here for ever.
        if (enumerates && next <= id) break;
        enumerates = true;
        id = next;
        found.push_back(control);
    }
    if (!enumerates) {
        // Old drivers without V4L2_CTRL_FLAG_NEXT_CTRL: the user range, then the private one.
        V4l2Control control;
        uint32_t ignored = 0;
        for (uint32_t cid = V4L2_CID_BASE; cid < V4L2_CID_LASTP1; ++cid) {
            if (QueryControl(cid, false, &control, &ignored)) found.push_back(control);
        }
        for (uint32_t cid = V4L2_CID_PRIVATE_BASE;
             cid < V4L2_CID_PRIVATE_BASE + kMaxPrivateControls; ++cid) {
            if (!QueryControl(cid, false, &control, &ignored)) break;
            found.push_back(control);
        }
    }
    std::vector<V4l2Control> usable;
    for (V4l2Control& c : found) {
        if ((c.flags & V4L2_CTRL_FLAG_DISABLED) || !IsPlainType(c.type)) continue;
        const bool readable =
            c.type != V4L2_CTRL_TYPE_BUTTON && !(c.flags & V4L2_CTRL_FLAG_WRITE_ONLY);
        if (readable) GetControl(c.id, &c.value);
        if (IsMenuType(c.type)) ReadMenu(&c);
        usable.push_back(std::move(c));
    }
    return usable;
}

bool V4l2Device::GetControl(uint32_t id, int32_t* value) {
    v4l2_control control{};
    control.id = id;
    if (io_->Ioctl(VIDIOC_G_CTRL, &control) != 0) return false;
    *value = control.value;
    return true;
}

bool V4l2Device::SetControl(uint32_t id, int32_t value) {
    v4l2_control control{};
    control.id = id;
    control.value = value;
    return io_->Ioctl(VIDIOC_S_CTRL, &control) == 0;
}

std::vector<V4l2Input> V4l2Device::EnumInputs() {
    std::vector<V4l2Input> inputs;
    for (uint32_t index = 0; index < kMaxInputs; ++index) {
        v4l2_input input{};
        input.index = index;
        if (io_->Ioctl(VIDIOC_ENUMINPUT, &input) != 0) break;
        inputs.push_back({input.index, Text(input.name), input.type, input.tuner});
    }
    return inputs;
}

bool V4l2Device::CurrentInput(uint32_t* index) {
    int current = 0;
    if (io_->Ioctl(VIDIOC_G_INPUT, &current) != 0 || current < 0) return false;
    *index = static_cast<uint32_t>(current);
    return true;
}

bool V4l2Device::SelectInput(uint32_t index) {
    int wanted = static_cast<int>(index);
    return io_->Ioctl(VIDIOC_S_INPUT, &wanted) == 0;
}

bool V4l2Device::Tuner(uint32_t index, V4l2Tuner* tuner) {
    v4l2_tuner query{};
    query.index = index;
    if (io_->Ioctl(VIDIOC_G_TUNER, &query) != 0) return false;
    *tuner = {};
    tuner->index = query.index;
    tuner->name = Text(query.name);
    tuner->type = query.type;
    tuner->capability = query.capability;
    tuner->rangeLow = query.rangelow;
    tuner->rangeHigh = query.rangehigh;
    v4l2_frequency frequency{};
    frequency.tuner = index;
    frequency.type = query.type;
    if (io_->Ioctl(VIDIOC_G_FREQUENCY, &frequency) == 0) {
        tuner->frequency = frequency.frequency;
        tuner->hasFrequency = true;
    }
    return true;
}

bool V4l2Device::SetFrequency(const V4l2Tuner& tuner, uint32_t frequency) {
    v4l2_frequency request{};
    request.tuner = tuner.index;
    request.type = tuner.type;
    request.frequency = frequency;
    return io_->Ioctl(VIDIOC_S_FREQUENCY, &request) == 0;
}

}  // namespace kelpa
