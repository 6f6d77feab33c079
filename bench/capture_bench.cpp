// Speed of the capture files per frame at 1920x1080: appending a frame to a SER file and a
// frame of a SER capture run through the whole writer (into the temporary directory, $TMPDIR or
// /tmp; the file is started again every 64 frames so the disk does not fill, outside the
// timing), and building a FITS picture in memory. Bytes are the picture bytes stored.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "video/capture_writer.h"
#include "video/fits_file.h"
#include "video/ser_file.h"

namespace kelpa {
namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr uint32_t kFramesPerFile = 64;

struct BenchPicture {
    BenchPicture() : pixels(Stride24(kWidth) * kHeight) {
        std::mt19937 rng(5);
        for (auto& b : pixels) b = static_cast<uint8_t>(rng());
        fb.data = pixels.data();
        fb.width = kWidth;
        fb.height = kHeight;
        fb.stride = Stride24(kWidth);
        fb.imageSize = fb.stride * kHeight;
    }
    std::vector<uint8_t> pixels;
    FrameBuffer fb;
};

std::string BenchPath(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/" + name + std::to_string(::getpid());
}

void BM_SerAppend(benchmark::State& state, bool colour) {
    const BenchPicture picture;
    const CapturePicture view{&picture.fb, false, colour};
    const std::string path = BenchPath("kelpa-bench-ser-");
    SerRunInfo info;
    info.width = kWidth;
    info.height = kHeight;
    info.colour = colour ? SerColour::kBgr : SerColour::kMono;
    SerFile file;
    int64_t ticks = 0;
    for (auto _ : state) {
        if (!file.IsOpen() || file.FrameCount() == kFramesPerFile) {
            state.PauseTiming();
            if (file.IsOpen()) file.Finish();
            ::unlink(path.c_str());
            if (file.Create(path.c_str(), info, kFramesPerFile) != 0) {
                state.SkipWithError("cannot create the SER file");
                break;
            }
            state.ResumeTiming();
        }
        if (file.Append(view, ++ticks) != 0) {
            state.SkipWithError("cannot append to the SER file");
            break;
        }
    }
    if (file.IsOpen()) file.Finish();
    ::unlink(path.c_str());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.FrameBytes()));
}
BENCHMARK_CAPTURE(BM_SerAppend, Colour1080p, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SerAppend, Grey1080p, false)->Unit(benchmark::kMillisecond);

// The whole capture writer in a SER run: one CaptureFrame per iteration; a run of 64 frames is
// ended (trailer, rename) and its file removed outside the timing.
void BM_CaptureRunSer(benchmark::State& state, bool colour) {
    const BenchPicture picture;
    BitmapInfoHeader header;
    header.width = kWidth;
    header.height = kHeight;
    const std::string dir = BenchPath("kelpa-bench-run-");
    std::filesystem::create_directory(dir);
    CaptureWriter writer;
    writer.SetCaptureDirectory(dir.c_str());
    CaptureFileSettings settings;
    settings.fileType = static_cast<uint32_t>(CaptureFileType::kSer);
    writer.SetFileSettings(settings);
    writer.captureCount.store(kFramesPerFile);
    int frame = 0;
    for (auto _ : state) {
        if (!writer.capturing.load()) {
            state.PauseTiming();
            std::filesystem::remove_all(dir);
            std::filesystem::create_directory(dir);
            writer.ToggleCapture(nullptr);
            state.ResumeTiming();
        }
        if (writer.CaptureFrame(frame / 25.0, 25.0, picture.fb, header, colour) != 1) {
            state.SkipWithError(writer.FailureText());
            break;
        }
        ++frame;
    }
    writer.FinishCapture();
    std::filesystem::remove_all(dir);
    state.SetBytesProcessed(state.iterations() * int64_t{kWidth} * kHeight * (colour ? 3 : 1));
}
BENCHMARK_CAPTURE(BM_CaptureRunSer, Colour1080p, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CaptureRunSer, Grey1080p, false)->Unit(benchmark::kMillisecond);

void BM_FitsEncode(benchmark::State& state, bool colour) {
    const BenchPicture picture;
    FitsEncoder encoder;
    FitsFrameInfo info;
    info.instrument = "Bench Camera";
    for (auto _ : state) {
        info.utcNs += 40000000;
        if (!encoder.Encode({&picture.fb, false, colour}, info)) {
            state.SkipWithError(encoder.ErrorText());
            break;
        }
        benchmark::DoNotOptimize(encoder.Bytes().data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kWidth} * kHeight * (colour ? 3 : 1));
}
BENCHMARK_CAPTURE(BM_FitsEncode, Colour1080p, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FitsEncode, Grey1080p, false)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelpa
