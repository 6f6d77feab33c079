// The settings of a V4L2 device node behind the Sources menu's pages: its controls (exposure,
// gain, brightness, ...), its video inputs and its tuner. Plain ioctls on a file descriptor of
// our own, beside the one the capture element holds; the system call goes through V4l2Io so
// tests can stand in a scripted driver.
//
// GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kelpa {

// The one system call the device makes: 0 on success, -1 with errno set, as ioctl(2).
class V4l2Io {
  public:
    virtual ~V4l2Io() = default;
    virtual int Ioctl(unsigned long request, void* arg) = 0;
};

// One control a page can show and set.
struct V4l2Control {
    uint32_t id = 0;
    uint32_t type = 0;  // V4L2_CTRL_TYPE_...
    std::string name;
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t step = 0;
    int32_t defaultValue = 0;
    uint32_t flags = 0;  // V4L2_CTRL_FLAG_...
    int32_t value = 0;   // current value; stays the default when it cannot be read
    // Menu controls: the value of each item and its name.
    std::vector<std::pair<int32_t, std::string>> menu;
};

struct V4l2Input {
    uint32_t index = 0;
    std::string name;
    uint32_t type = 0;   // V4L2_INPUT_TYPE_TUNER or _CAMERA
    uint32_t tuner = 0;  // tuner index of a tuner input
};

struct V4l2Tuner {
    uint32_t index = 0;
    std::string name;
    uint32_t type = 0;        // V4L2_TUNER_ANALOG_TV, _RADIO, ...
    uint32_t capability = 0;  // V4L2_TUNER_CAP_...
    uint32_t rangeLow = 0;    // in frequency units
    uint32_t rangeHigh = 0;
    uint32_t frequency = 0;  // current frequency in frequency units
    bool hasFrequency = false;
    // One frequency unit in hertz: 62.5 kHz, or 62.5 Hz for low-band tuners, or 1 Hz.
    double UnitHz() const;
};

class V4l2Device {
  public:
    explicit V4l2Device(std::unique_ptr<V4l2Io> io);

    // Opens a node for reading settings; nullptr with the reason in `error` when it cannot.
    static std::unique_ptr<V4l2Device> Open(const std::string& node, std::string* error = nullptr);

    // From VIDIOC_QUERYCAP: the driver's card name, and whether it sits on USB.
    std::string Card();
    bool IsUsb();

    // The controls a page can set with G_CTRL/S_CTRL: disabled ones, class headings and
    // 64-bit or compound controls are left out.
    std::vector<V4l2Control> QueryControls();
    bool GetControl(uint32_t id, int32_t* value);
    bool SetControl(uint32_t id, int32_t value);

    std::vector<V4l2Input> EnumInputs();
    bool CurrentInput(uint32_t* index);
    bool SelectInput(uint32_t index);

    // The tuner of that index with its current frequency; false when there is none.
    bool Tuner(uint32_t index, V4l2Tuner* tuner);
    bool SetFrequency(const V4l2Tuner& tuner, uint32_t frequency);

  private:
    bool QueryControl(uint32_t id, bool next, V4l2Control* control, uint32_t* foundId);
    void ReadMenu(V4l2Control* control);
    bool QueryCap(std::string* card, std::string* busInfo);

    std::unique_ptr<V4l2Io> io_;
};

}  // namespace kelpa
