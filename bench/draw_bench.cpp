// Drawing one frame of the video windows as they do it on every new picture: the picture copied
// from its surface, turned into display rows, laid out and painted with the overlay into an
// image of the window's size (what the offscreen platform's window buffer is). Items are window
// pixels painted.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <random>
#include <vector>

#include "gui/frame_render.h"
#include "processing/proc_engine.h"

namespace kelpa {
namespace {

void FillNoise(VideoSurf& surface) {
    std::mt19937 rng(5);
    std::lock_guard lock(surface.PictureLock());
    FrameBuffer& p = surface.Picture();
    for (uint32_t i = 0; i < p.imageSize; ++i) p.data[i] = static_cast<uint8_t>(20 + rng() % 40);
}

// A processed picture with the area, the grid and the guide mark, into a window of half its
// size (or the given size).
void BM_DrawProcessed(benchmark::State& state, int32_t width, int32_t height, int32_t mode) {
    std::vector<uint8_t> input(size_t{Stride24(width)} * height);
    FrameBuffer frame{input.data(),
                      int32_t(Stride24(width) - 3 * width),
                      uint32_t(input.size()),
                      width,
                      height,
                      Stride24(width),
                      3};
    ProcEngine engine;
    engine.SetFormat(frame, true, false);
    FillNoise(engine.surf);
    engine.SetAreaFractions(0.4f, 0.45f, 0.3f, 0.25f);
    engine.surf.SetGuidePosition(width * 0.41f, height * 0.52f);
    ProcViewFlags flags;
    flags.guideArea = true;
    flags.guideGrid = true;
    flags.stretchMode = mode;
    const QSize window(width / 2, height / 2);
    QImage target(window, QImage::Format_RGB32);
    QPainter painter(&target);
    ProcFrame draw;
    for (auto _ : state) {
        draw.Take(&engine);
        draw.Paint(painter, window, flags);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetItemsProcessed(state.iterations() * int64_t{window.width()} * window.height());
}

// The live picture at 1:1.
void BM_DrawLive(benchmark::State& state, int32_t width, int32_t height) {
    LiveSurf live;
    live.Allocate(width, -height);
    FillNoise(live);
    const QSize window(width, height);
    QImage target(window, QImage::Format_RGB32);
    QPainter painter(&target);
    LiveFrame draw;
    for (auto _ : state) {
        draw.Take(&live);
        draw.Paint(painter, window);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetItemsProcessed(state.iterations() * int64_t{width} * height);
}

BENCHMARK_CAPTURE(BM_DrawProcessed, 1920x1080, 1920, 1080, 3)->Unit(benchmark::kMillisecond);
// The same with the smoothing stretch mode.
BENCHMARK_CAPTURE(BM_DrawProcessed, 1920x1080_smooth, 1920, 1080, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DrawLive, 1920x1080, 1920, 1080)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelpa
