// Speed of one whole FrameSink::SampleCB per iteration with the default settings (a fresh
// profile): conversion of the raw frame, the delay gate, the chain on the default area, the
// window messages. Items are pixels. With the defaults the automatic control is on, so after
// the first frames the delay gate lets only some frames into the chain, as it does at the
// telescope.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "video/frame_sink.h"

namespace kelpa {
namespace {

// A window that takes every notification at once, as a display keeping up would.
class IgnoringReceiver final : public StreamEventReceiver {
  public:
    void Notify(StreamEvents& source, StreamEvent kind) override { source.Acknowledge(kind); }
};

struct PathFormat {
    const char* name;
    uint32_t compression;
    uint16_t bits;
};

constexpr PathFormat kFormats[] = {
    {"YUY2", kFormatYuy2, 16}, {"UYVY", kFormatUyvy, 16}, {"I420", kFormatI420, 12},
    {"YV12", kFormatYv12, 12}, {"RGB24", kFormatRgb, 24}, {"RGB32", kFormatRgb, 32},
};

void BM_FramePath(benchmark::State& state, PathFormat format, int32_t width, int32_t height) {
    InitClipTable();
    IgnoringReceiver window;
    FrameSink sink(nullptr, SystemClock());
    sink.isLive = true;  // a camera: no pacing sleep
    sink.events.SetReceiver(&window);
    sink.live.SetVisible(true);
    sink.engine.surf.SetVisible(true);
    BitmapInfoHeader header;
    header.width = width;
    header.height = format.compression == kFormatRgb ? -height : height;
    header.bitCount = format.bits;
    header.compression = format.compression;
    sink.SetSourceHeader(header);
    sink.ApplyFrameRate(30.0);

    std::vector<uint8_t> sample(sink.geometry.srcRequiredSize);
    std::mt19937 rng(11);
    for (auto& b : sample) b = static_cast<uint8_t>(20 + rng() % 16);
    double t = 0;
    for (auto _ : state) {
        sink.SampleCB(t, sample.data(), sample.size());
        t += 1.0 / 30;
    }
    state.SetItemsProcessed(state.iterations() * int64_t{width} * height);
}

const bool kRegistered = [] {
    for (const PathFormat& f : kFormats) {
        for (const auto& size : {std::pair{640, 480}, std::pair{1920, 1080}}) {
            const std::string name = std::string("BM_FramePath/") + f.name + "/" +
                                     std::to_string(size.first) + "x" + std::to_string(size.second);
            benchmark::RegisterBenchmark(name.c_str(), BM_FramePath, f, size.first, size.second)
                ->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

}  // namespace
}  // namespace kelpa
