// The static registries of the processing chain: descriptors holding stage functions, looked
// up when a setting changes and never per pixel.
#pragma once

#include <cstdint>
#include <span>

#include "image/frame_buffer.h"

namespace kelpa {

class ProcEngine;

using FrameStage = void (*)(ProcEngine& engine, const FrameBuffer& input);
using AccumulateStage = bool (*)(ProcEngine& engine, const FrameBuffer& input);
using EngineStage = void (*)(ProcEngine& engine);
using AutoStageFn = bool (*)(ProcEngine& engine);

struct ChannelProcessor {
    int32_t index;   // -2 Grey, -1 Summary, 1 Blue, 2 Green, 3 Red, 0 As Is
    int32_t colour;  // 1: three independent colour channels; 0: one grey level
    uint32_t tag;
    const char* name;
    FrameStage outside;          // slot 0: the whole-frame-first renderer
    FrameStage fullFrame;        // slot 1
    AccumulateStage accumulate;  // slot 2
    EngineStage output;          // slot 3
    EngineStage refresh;         // slot 4
};

struct AccumulationVariant {
    uint32_t tag;
    const char* name;
    std::span<const ChannelProcessor> processors;
    FrameStage outsideAsIsOutside;  // used when "Outside zone - As Is" is on
    FrameStage outsideAsIsFull;
};

struct ProcessorFamily {
    int32_t channelCount;
    int32_t bitsPerChannel;
    std::span<const AccumulationVariant> variants;
};

struct BandingFilter {
    uint32_t direction;  // "RmrH" or "RmrV"
    uint32_t method;     // "RmrD"
    const char* name;
    EngineStage stage;
};

struct BandingFamily {
    int32_t channelCount;
    int32_t colour;
    std::span<const BandingFilter> filters;
};

struct AutoEntry {
    uint32_t tag;
    const char* name;
    AutoStageFn stage;
};

const ProcessorFamily* FindProcessorFamily(int32_t channelCount, int32_t bitsPerChannel);
const BandingFamily* FindBandingFamily(int32_t channelCount, int32_t colour);
const AutoEntry& DefaultAutoEntry();

}  // namespace kelpa
