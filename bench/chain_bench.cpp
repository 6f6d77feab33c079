// Speed of the whole frame path: one FrameSink::SampleCB of an RGB24 sky frame per iteration,
// with the processing area the whole frame, statistics on (an info window that ignores its
// messages), the guide on (its star metrics included; "/Refine": with the refined centre), both
// banding filters on and the automatic control on. Items are
// pixels. The automatic control would raise the accumulation count and the delay after the
// first frame; both are put back to 1 and 0 before every frame, so that every frame renders.
// (BM_Memcpy, a plain copy of one such frame, is registered with the converter benchmarks.)
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "video/frame_sink.h"

namespace kelpa {
namespace {

// A statistics window that takes every notification at once.
class IgnoringReceiver final : public StreamEventReceiver {
  public:
    void Notify(StreamEvents& source, StreamEvent kind) override { source.Acknowledge(kind); }
};

// A sky of level 20 with noise of RMS 3 and a field of stars, the brightest at level 252 (an
// unsaturated peak, so the automatic amplification stays where it is).
std::vector<uint8_t> SkyFrame(int32_t width, int32_t height, uint32_t stride) {
    std::vector<uint8_t> frame(size_t{stride} * height);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(20.0, 3.0);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t v = static_cast<uint8_t>(std::clamp(std::lround(noise(rng)), 0L, 255L));
            uint8_t* p = frame.data() + size_t{stride} * y + 3 * size_t(x);
            p[0] = p[1] = p[2] = v;
        }
    }
    std::uniform_int_distribution<int32_t> px(4, width - 5);
    std::uniform_int_distribution<int32_t> py(4, height - 5);
    for (int i = 0; i < 40; ++i) {
        const int32_t cx = px(rng);
        const int32_t cy = py(rng);
        const double peak = i == 0 ? 232.0 : 30.0 + (rng() % 150);
        for (int32_t dy = -3; dy <= 3; ++dy) {
            for (int32_t dx = -3; dx <= 3; ++dx) {
                const double v = 20.0 + peak * std::exp(-(dx * dx + dy * dy) / 2.0);
                uint8_t* p = frame.data() + size_t{stride} * (cy + dy) + 3 * size_t(cx + dx);
                const uint8_t level = static_cast<uint8_t>(std::min(252.0, std::round(v)));
                p[0] = p[1] = p[2] = std::max(p[0], level);
            }
        }
    }
    return frame;
}

void BM_Chain(benchmark::State& state, int32_t channel, uint32_t variant, int32_t width,
              int32_t height, bool refine) {
    IgnoringReceiver info;
    FrameSink sink(nullptr, SystemClock());
    sink.isLive = true;
    sink.events.SetReceiver(&info);
    BitmapInfoHeader header;
    header.width = width;
    header.height = -height;
    header.bitCount = 24;
    sink.SetSourceHeader(header);
    sink.ApplyFrameRate(30.0);
    ProcEngine& engine = sink.engine;
    engine.SetChannel(channel);
    engine.SetVariant(variant);
    engine.SetAreaFractions(0.5f, 0.5f, 1.0f, 1.0f);
    engine.SetNR(true, true);
    engine.SetGuideEnable(true);
    engine.SetGuideRefine(refine);
    engine.params.autoFlags.store(kAutoAll);
    engine.statisticsWanted.store(true);

    const uint32_t stride = Stride24(width);
    const std::vector<uint8_t> frame = SkyFrame(width, height, stride);
    double time = 0.0;
    for (auto _ : state) {
        engine.SetTimeDelay(0);
        engine.SetCountAccum(1);
        sink.SampleCB(time, frame.data(), frame.size());
        time += 1.0 / 30.0;
    }
    state.SetItemsProcessed(state.iterations() * int64_t{width} * height);
}

const bool kRegistered = [] {
    struct Processor {
        const char* name;
        int32_t channel;
    };
    const Processor processors[] = {{"Grey", -2}, {"Summ", -1}, {"Red1", 3}, {"AsIs", 0}};
    struct Variant {
        const char* name;
        uint32_t tag;
    };
    const Variant variants[] = {{"Accm", FourCC("Accm")}, {"AcRB", FourCC("AcRB")}};
    const int32_t sizes[][2] = {{640, 480}, {1920, 1080}};
    for (const auto& size : sizes) {
        const std::string dims = std::to_string(size[0]) + "x" + std::to_string(size[1]);
        for (const Processor& p : processors) {
            for (const Variant& v : variants) {
                const std::string name =
                    std::string("BM_Chain/") + p.name + "/" + v.name + "/" + dims;
                benchmark::RegisterBenchmark(name.c_str(), BM_Chain, p.channel, v.tag, size[0],
                                             size[1], false)
                    ->Unit(benchmark::kMillisecond);
            }
            // The refined guide centre costs the same whatever the variant.
            benchmark::RegisterBenchmark(
                (std::string("BM_Chain/") + p.name + "/Accm/" + dims + "/Refine").c_str(), BM_Chain,
                p.channel, FourCC("Accm"), size[0], size[1], true)
                ->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

}  // namespace
}  // namespace kelpa
