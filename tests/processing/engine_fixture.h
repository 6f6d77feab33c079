// An engine over a test picture, with the profile's defaults.
#pragma once

#include <memory>

#include "processing/proc_engine.h"
#include "support/test_support.h"

namespace kelpa::test {

struct EngineFixture {
    explicit EngineFixture(int32_t width = 64, int32_t height = 48, bool topDown = true)
        : input(width, height) {
        engine = std::make_unique<ProcEngine>();
        engine->SetFormat(input.Buffer(), true, topDown);
    }
    const FrameBuffer& Output() const { return engine->surf.Picture(); }
    const uint8_t* Out(int32_t x, int32_t y) const {
        const FrameBuffer& o = Output();
        return o.data + size_t{o.stride} * y + 3 * size_t(x);
    }
    bool Process() { return engine->ProcessFrame(input.Buffer()); }
    // Renders the whole frame with the given processor, variant and count, the automatic
    // control off.
    ProcEngine& Whole(int32_t channel = -2, uint32_t variant = FourCC("Accm"), int32_t count = 1) {
        engine->params.autoFlags.store(0);
        engine->SetChannel(channel);
        engine->SetVariant(variant);
        engine->SetAreaFractions(0.5f, 0.5f, 1.0f, 1.0f);
        engine->SetCountAccum(count);
        return *engine;
    }

    MemoryProfile profile;
    TestPicture input;
    std::unique_ptr<ProcEngine> engine;
};

}  // namespace kelpa::test
