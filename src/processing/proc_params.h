// The processing settings (`ProcParams`) and the processing area in pixels (`ProcArea`).
// Settings that the GUI thread changes while the streaming thread reads them are atomics; the
// area fractions and the processor choice change only under the engine's chainLock.
#pragma once

#include <atomic>
#include <cstdint>

#include "image/bitmap_header.h"

namespace kelpa {

// Bits of `autoFlags`.
inline constexpr uint32_t kAutoAmplification = 1u << 0;
inline constexpr uint32_t kAutoAccumulate = 1u << 1;
inline constexpr uint32_t kAutoDelay = 1u << 2;
inline constexpr uint32_t kAutoAll = kAutoAmplification | kAutoAccumulate | kAutoDelay;

struct ProcParams {
    // Area: centre and size as fractions of the frame as shown (under chainLock).
    float areaX = 0.5f;
    float areaY = 0.5f;
    float areaW = 0.5f;
    float areaH = 0.5f;

    std::atomic<uint32_t> autoFlags{kAutoAll};
    std::atomic<int32_t> nrH{0};
    std::atomic<int32_t> nrV{0};
    std::atomic<float> rmsH{2.0f};
    std::atomic<float> rmsV{2.0f};
    std::atomic<uint32_t> delayMs{0};
    std::atomic<int32_t> countAccum{1};
    std::atomic<int32_t> amp{128};
    std::atomic<int32_t> blackLevel{0};
    std::atomic<int32_t> gamma{128};
    std::atomic<int32_t> flipH{0};
    std::atomic<int32_t> flipV{0};

    // Processor choice (under chainLock).
    int32_t channels = -2;
    uint32_t channelsId = FourCC("Grey");
    uint32_t variantId = FourCC("Accm");
    std::atomic<int32_t> outsideAsIs{0};

    std::atomic<int32_t> statCrdThresh{2};
    std::atomic<float> statFonThresh[3] = {4.0f, 0.0f, -2.0f};
    std::atomic<int32_t> guideEnable{0};
    std::atomic<int32_t> guideAutoMoveSetting{0};
};

// The processing area in pixels of the current frame: [x0, x1) x [y0, y1), rows as stored.
struct ProcArea {
    int32_t x0 = 0;
    int32_t y0 = 0;
    int32_t x1 = 0;
    int32_t y1 = 0;
    int32_t w = 0;
    int32_t h = 0;

    friend bool operator==(const ProcArea&, const ProcArea&) = default;
};

}  // namespace kelpa
