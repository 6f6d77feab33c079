// Rendering speed of the simulated telescope camera: one 1920x1080 frame per iteration, in each
// format the program accepts. Items are pixels.
#include "sim/sim_format.h"
#include "sim/sim_sky.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kelpa {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

void BM_SimRender(benchmark::State& state, SimFormat format) {
    SimSkyParams params;
    params.width = kWidth;
    params.height = kHeight;
    SimSky sky(params);
    const SimLayout layout = DefaultSimLayout(format, kWidth, kHeight);
    std::vector<uint8_t> frame(layout.size);
    uint64_t index = 0;
    for (auto _ : state) {
        if (!sky.Render(index++, layout, frame.data(), frame.size())) {
            state.SkipWithError("render refused the layout");
            break;
        }
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

const bool kRegistered = [] {
    for (SimFormat format : kSimAcceptedFormats) {
        const std::string name = std::string("BM_SimRender/") + SimFormatName(format) + "/" +
                                 std::to_string(kWidth) + "x" + std::to_string(kHeight);
        benchmark::RegisterBenchmark(name.c_str(), BM_SimRender, format)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace
}  // namespace kelpa
