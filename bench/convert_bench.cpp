// Colour conversion speed per frame: the fast converters (BM_Convert), their scalar references
// (BM_ConvertReference), a plain copy of one 24-bit frame (BM_Memcpy) and, when libyuv is
// present, its nearest conversion into 24-bit blue-green-red (BM_Libyuv). Items are pixels.
// BM_Convert runs each converter as dispatched for this processor and, under names ending in
// the instruction set, restricted to each of AVX2 and the AVX-512 variants that the build
// holds and the processor supports; the label names the instruction set the converter ran on.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "hwy/targets.h"
#include "video/convert.h"
#include "video/convert_reference.h"
#include "video/convert_targets.h"

#ifdef KELPA_HAVE_LIBYUV
#include <libyuv.h>
#endif

namespace kelpa {
namespace {

struct BenchFormat {
    const char* name;
    uint32_t code;
    uint32_t bits;
    Converter fast;
    Converter reference;
};

const BenchFormat kFormats[] = {
    {"YUY2", kFormatYuy2, 16, Yuy2ToRgb24, reference::Yuy2ToRgb24},
    {"UYVY", kFormatUyvy, 16, UyvyToRgb24, reference::UyvyToRgb24},
    {"I420", kFormatI420, 12, I420ToRgb24, reference::I420ToRgb24},
    {"YV12", kFormatYv12, 12, Yv12ToRgb24, reference::Yv12ToRgb24},
    {"RGB24", kFormatRgb, 24, CopyRgb24, reference::CopyRgb24},
    {"RGB32", kFormatRgb, 32, Rgb32ToRgb24, reference::Rgb32ToRgb24},
};

struct FrameSize {
    int32_t w;
    int32_t h;
};
const FrameSize kSizes[] = {{640, 480}, {1920, 1080}};

// A random source frame in the packed layout and its destination picture, made once per
// benchmark outside the timed loop.
struct BenchFrame {
    BenchFrame(const BenchFormat& f, FrameSize size)
        : g(MakeConvGeometry(f.code, f.bits, size.w, size.h)),
          src(g.srcRequiredSize),
          dst(size_t{g.dstStride} * g.height) {
        std::mt19937 rng(42);
        for (uint8_t& b : src) b = static_cast<uint8_t>(rng());
    }
    ConvGeometry g;
    std::vector<uint8_t> src;
    std::vector<uint8_t> dst;
};

void SetPixels(benchmark::State& state, FrameSize size) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * size.w * size.h);
}

// The instruction set the converter runs on now.
std::string TargetLabel(Converter convert) {
    const int64_t target = ConverterTarget(convert);
    return target != 0 ? hwy::TargetName(target) : "scalar";
}

// target: the only instruction set the vector converters may use, or 0 for the normal choice.
void RunConverter(benchmark::State& state, const BenchFormat& f, FrameSize size, Converter convert,
                  int64_t target = 0) {
    InitClipTable();
    BenchFrame frame(f, size);
    hwy::SetSupportedTargetsForTest(target);
    state.SetLabel(TargetLabel(convert));
    for (auto _ : state) {
        convert(frame.dst.data(), frame.src.data(), frame.g);
        benchmark::ClobberMemory();
    }
    hwy::SetSupportedTargetsForTest(0);
    SetPixels(state, size);
}

// The instruction sets worth comparing here: AVX2 and every AVX-512 variant built and supported.
std::vector<int64_t> ComparedTargets() {
    std::vector<int64_t> targets;
    const int64_t wide = HWY_AVX2 | HWY_AVX3 | HWY_AVX3_DL;
    for (int64_t bits = ConverterTargets() & hwy::SupportedTargets() & wide; bits != 0;
         bits &= bits - 1) {
        targets.push_back(bits & -bits);
    }
    return targets;
}

void RunMemcpy(benchmark::State& state, FrameSize size) {
    const size_t bytes = size_t{MakeConvGeometry(kFormatRgb, 24, size.w, size.h).srcImageSize};
    std::vector<uint8_t> from(bytes, 1);
    std::vector<uint8_t> to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    SetPixels(state, size);
}

#ifdef KELPA_HAVE_LIBYUV
// libyuv's nearest equivalent into 24-bit BGR ("RGB24" in its naming); the 4:2:2 formats go
// through a preallocated ARGB picture in two passes, as libyuv has no direct conversion, and
// 24-bit frames are copied as planes of 3 * width bytes.
void RunLibyuv(benchmark::State& state, const BenchFormat& f, FrameSize size) {
    BenchFrame frame(f, size);
    const ConvGeometry& g = frame.g;
    const int w = size.w;
    const int h = size.h;
    std::vector<uint8_t> argb(size_t{4} * w * h);
    const uint8_t* src = frame.src.data();
    uint8_t* dst = frame.dst.data();
    const int dstStride = static_cast<int>(g.dstStride);
    const int srcStride = static_cast<int>(g.planeStride[0]);
    for (auto _ : state) {
        if (f.code == kFormatYuy2) {
            libyuv::YUY2ToARGB(src, srcStride, argb.data(), 4 * w, w, h);
            libyuv::ARGBToRGB24(argb.data(), 4 * w, dst, dstStride, w, h);
        } else if (f.code == kFormatUyvy) {
            libyuv::UYVYToARGB(src, srcStride, argb.data(), 4 * w, w, h);
            libyuv::ARGBToRGB24(argb.data(), 4 * w, dst, dstStride, w, h);
        } else if (f.bits == 24) {
            libyuv::CopyPlane(src, srcStride, dst, dstStride, 3 * w, h);
        } else if (f.bits == 12) {
            // Planes 1 and 2 are U and V by content, so YV12 passes its planes swapped.
            libyuv::I420ToRGB24(src + g.planeOffset[0], srcStride, src + g.planeOffset[1],
                                static_cast<int>(g.planeStride[1]), src + g.planeOffset[2],
                                static_cast<int>(g.planeStride[2]), dst, dstStride, w, h);
        } else {
            libyuv::ARGBToRGB24(src, srcStride, dst, dstStride, w, h);
        }
        benchmark::ClobberMemory();
    }
    SetPixels(state, size);
}
#endif

const bool kRegistered = [] {
    const std::vector<int64_t> targets = ComparedTargets();
    for (const FrameSize size : kSizes) {
        const std::string dims = std::to_string(size.w) + "x" + std::to_string(size.h);
        for (const BenchFormat& f : kFormats) {
            const std::string tail = std::string(f.name) + "/" + dims;
            benchmark::RegisterBenchmark(
                ("BM_Convert/" + tail).c_str(),
                [&f, size](benchmark::State& state) { RunConverter(state, f, size, f.fast); });
            for (const int64_t target : targets) {
                benchmark::RegisterBenchmark(
                    ("BM_Convert/" + tail + "/" + hwy::TargetName(target)).c_str(),
                    [&f, size, target](benchmark::State& state) {
                        RunConverter(state, f, size, f.fast, target);
                    });
            }
            benchmark::RegisterBenchmark(
                ("BM_ConvertReference/" + tail).c_str(),
                [&f, size](benchmark::State& state) { RunConverter(state, f, size, f.reference); });
#ifdef KELPA_HAVE_LIBYUV
            benchmark::RegisterBenchmark(
                ("BM_Libyuv/" + tail).c_str(),
                [&f, size](benchmark::State& state) { RunLibyuv(state, f, size); });
#endif
        }
        benchmark::RegisterBenchmark(("BM_Memcpy/" + dims).c_str(),
                                     [size](benchmark::State& state) { RunMemcpy(state, size); });
    }
    return true;
}();

}  // namespace
}  // namespace kelpa
