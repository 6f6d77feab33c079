// What the guide step hands to a recorder (the guide log) for every measurement: the star's
// position, its offset from the guide reference, and its size and signal-to-noise ratio.
#pragma once

#include <cstdint>

namespace kelpa {

struct GuideMeasurement {
    bool star = false;  // a star was found: the fields below hold values
    float x = -1.0f;    // picture pixels, pixel centres at integers
    float y = -1.0f;
    float dx = 0.0f;  // x minus the guide reference
    float dy = 0.0f;
    bool metrics = false;  // hfd and snr hold values (the star stands clear of the noise)
    float hfd = 0.0f;      // half-flux diameter, pixels
    float snr = 0.0f;
};

class GuideRecorder {
  public:
    virtual ~GuideRecorder() = default;
    // True while measurements are wanted; the engine measures the star's size only then.
    virtual bool Recording() const = 0;
    // The streaming thread (or the GUI thread when the area moves between frames), under the
    // engine's chainLock: one measurement. Must return at once: it never waits for the disk.
    virtual void GuideMeasured(const GuideMeasurement& measurement) = 0;
    // The GUI thread, under chainLock: the guide was switched on or off.
    virtual void GuideSwitched(bool on) = 0;
};

}  // namespace kelpa
