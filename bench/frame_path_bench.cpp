// Speed of one whole FrameSink::SampleCB per iteration with the default settings (a fresh
// profile): conversion of the raw frame, the delay gate, the chain on the default area, the
// window messages. Items are pixels. With the defaults the automatic control is on, so after
// the first frames the delay gate lets only some frames into the chain, as it does at the
// telescope. "/Guide" turns the guide on (the frames are noise: its star metrics measure
// whatever noise the threshold finds), "/GuideRefine" also the refined centre. "/dark"
// subtracts a master dark of the stream from every frame.
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

enum class Guide { kOff, kOn, kRefined };

// A dark as a sensor gives it: a few levels everywhere and one hot pixel in 997.
MasterDark TypicalDark(const DarkIdentity& identity) {
    MasterDark dark;
    dark.Allocate(identity);
    dark.frames = 32;
    std::mt19937 rng(3);
    for (int32_t y = 0; y < identity.height; ++y) {
        uint8_t* row = dark.pixels.data() + size_t{dark.stride} * y;
        for (int32_t x = 0; x < 3 * identity.width; ++x) {
            row[x] = static_cast<uint8_t>(rng() % 997 == 0 ? 180 : 2 + rng() % 5);
        }
    }
    return dark;
}

void BM_FramePath(benchmark::State& state, PathFormat format, int32_t width, int32_t height,
                  Guide guide, bool useDark) {
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
    sink.engine.SetGuideEnable(guide != Guide::kOff);
    sink.engine.SetGuideRefine(guide == Guide::kRefined);
    if (useDark) {
        sink.dark.SetDevice("Bench camera");
        if (!sink.dark.Install(TypicalDark(sink.dark.Identity())).ok ||
            !sink.dark.SetUse(true).ok) {
            state.SkipWithError("the dark was not taken");
            return;
        }
    }

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
            for (const bool dark : {false, true}) {
                benchmark::RegisterBenchmark((name + (dark ? "/dark" : "")).c_str(), BM_FramePath,
                                             f, size.first, size.second, Guide::kOff, dark)
                    ->Unit(benchmark::kMillisecond);
            }
            if (f.compression != kFormatYuy2 && f.bits != 24) continue;
            for (const auto& [suffix, guide] :
                 {std::pair{"/Guide", Guide::kOn}, std::pair{"/GuideRefine", Guide::kRefined}}) {
                benchmark::RegisterBenchmark((name + suffix).c_str(), BM_FramePath, f, size.first,
                                             size.second, guide, false)
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    return true;
}();

}  // namespace
}  // namespace kelpa
