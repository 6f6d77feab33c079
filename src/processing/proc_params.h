// The processing settings as values (`ProcSettings`), the engine's working copy of them
// (`ProcParams`) and the processing area in pixels (`ProcArea`). In the working copy, settings
// that the GUI thread changes while the streaming thread reads them are atomics; the area
// fractions and the processor choice change only under the engine's chainLock.
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

// The processing settings as plain values: what an engine is built from and what it hands back
// for saving. Defaults and limits are declared once, in the processing settings table
// (proc_settings.h: DefaultProcSettings()); a value-initialised ProcSettings is all zeros.
struct ProcSettings {
    // Area: centre and size as fractions of the frame as shown.
    float areaX = 0.0f;
    float areaY = 0.0f;
    float areaW = 0.0f;
    float areaH = 0.0f;

    uint32_t autoFlags = 0;
    bool nrH = false;
    bool nrV = false;
    float rmsH = 0.0f;
    float rmsV = 0.0f;
    uint32_t delayMs = 0;
    int32_t countAccum = 0;
    int32_t amp = 0;
    int32_t blackLevel = 0;
    int32_t gamma = 0;
    bool flipH = false;
    bool flipV = false;

    int32_t channels = 0;
    uint32_t channelsId = 0;
    uint32_t variantId = 0;
    bool outsideAsIs = false;

    int32_t starThresholdMethod = 0;
    float starThresholdFactor[3] = {};
    bool guideEnable = false;
    bool guideAutoMoveSetting = false;
    // The guide centre is refined around the star (GUIDE Setup).
    bool guideRefine = false;

    friend bool operator==(const ProcSettings&, const ProcSettings&) = default;
};

// The engine's working copy of its settings. The engine fills it from a ProcSettings when it is
// built (ProcEngine::ApplySettings); the values below only hold until then.
struct ProcParams {
    // Area: centre and size as fractions of the frame as shown (under chainLock).
    float areaX = 0.0f;
    float areaY = 0.0f;
    float areaW = 0.0f;
    float areaH = 0.0f;

    std::atomic<uint32_t> autoFlags{0};
    std::atomic<int32_t> nrH{0};
    std::atomic<int32_t> nrV{0};
    std::atomic<float> rmsH{0.0f};
    std::atomic<float> rmsV{0.0f};
    std::atomic<uint32_t> delayMs{0};
    std::atomic<int32_t> countAccum{0};
    std::atomic<int32_t> amp{0};
    std::atomic<int32_t> blackLevel{0};
    std::atomic<int32_t> gamma{0};
    std::atomic<int32_t> flipH{0};
    std::atomic<int32_t> flipV{0};

    // Processor choice (under chainLock).
    int32_t channels = 0;
    uint32_t channelsId = 0;
    uint32_t variantId = 0;
    std::atomic<int32_t> outsideAsIs{0};

    std::atomic<int32_t> starThresholdMethod{0};
    std::atomic<float> starThresholdFactor[3] = {0.0f, 0.0f, 0.0f};
    std::atomic<int32_t> guideEnable{0};
    std::atomic<int32_t> guideAutoMoveSetting{0};
    std::atomic<int32_t> guideRefine{0};
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
