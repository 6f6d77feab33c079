// Test helper: a controller whose intake a test drives as the streaming thread would, without a
// graph: the profile in memory (automatic control off, as it would change counts and delays), a
// clock the test moves, a receiver that records every event, and samples of the connected format.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "support/test_support.h"
#include "video/video_ctrl.h"

namespace kelpa::test {

using Bytes = std::vector<uint8_t>;

class IntakeHarness {
  public:
    IntakeHarness() {
        InitClipTable();
        profile.Set("ProcAuto", "0");
        Restart();
    }
    // A new controller with the profile's settings, as at program start.
    void Restart() {
        ctrl = std::make_unique<VideoCtrl>(clock, LoadControllerSettings());
        ctrl->Events().SetReceiver(&events);
    }
    FrameSink& Sink() { return ctrl->sink; }
    bool Connect(uint32_t code, uint32_t bits, int32_t w, int32_t h) {
        return ctrl->sink.SetSourceHeader(BitmapInfoHeader{
            .width = w, .height = h, .bitCount = static_cast<uint16_t>(bits), .compression = code});
    }
    // `size` bytes drawn from low ... high with a seed.
    static Bytes Random(size_t size, uint32_t seed, int low = 0, int high = 255) {
        Bytes out(size);
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> level(low, high);
        for (auto& b : out) b = static_cast<uint8_t>(level(rng));
        return out;
    }
    // A sample of the connected format's size.
    Bytes Sample(uint32_t seed, int low = 0, int high = 255) const {
        return Random(ctrl->sink.geometry.srcRequiredSize, seed, low, high);
    }
    int32_t Feed(const Bytes& sample, double t = 0.0) {
        return ctrl->sink.SampleCB(t, sample.data(), sample.size());
    }
    // A picture's pixels, padding left out.
    static Bytes Pixels(const FrameBuffer& p) {
        Bytes out;
        for (int32_t y = 0; y < p.height; ++y) {
            const uint8_t* row = p.data + size_t{p.stride} * y;
            out.insert(out.end(), row, row + 3 * size_t(p.width));
        }
        return out;
    }
    Bytes Live() const { return Pixels(ctrl->sink.live.Picture()); }
    Bytes Processed() const { return Pixels(ctrl->sink.engine.surf.Picture()); }

    MemoryProfile profile;
    FakeClock clock;
    RecordingReceiver events;
    std::unique_ptr<VideoCtrl> ctrl;
};

}  // namespace kelpa::test
