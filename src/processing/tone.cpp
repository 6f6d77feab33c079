#include "processing/tone.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <new>

#include "common/log.h"
#include "processing/proc_engine.h"

namespace kelpa {

double GammaFactor(int32_t v) {
    if (v == 128) return 1.0;
    if (v > 128) return (v - 128) * 0.0078125 * 5 + 1;
    return v * 0.0078125;
}

void BuildToneTable(uint32_t* table, double g) {
    if (g == 1.0) {
        for (uint32_t i = 1; i < 255; ++i) table[i] = i;
        return;
    }
    const double e = 1.0 / g;
    for (uint32_t i = 1; i < 255; ++i) {
        const double v = std::pow(i / 255.0, e) * 255.0 + 0.5;
        table[i] = v >= 255.0 ? 255u : static_cast<uint32_t>(v);
    }
}

void ProcEngine::BuildInitialToneTables() {
    toneBlock_.reset(new (std::nothrow) uint32_t[2 * kToneEntries]);
    if (!toneBlock_) {
        LogPrintf("Can`t alloc memory for tabs");
        toneTable.store(nullptr);
        return;
    }
    for (uint32_t* t : {toneBlock_.get(), toneBlock_.get() + kToneEntries}) {
        t[0] = 0;
        t[255] = 0xFFFFFFFFu;
    }
    BuildToneTable(toneBlock_.get(), GammaFactor(params.gamma.load()));
    BuildToneTable(toneBlock_.get() + kToneEntries, 1.0);
    toneTable.store(toneBlock_.get(), std::memory_order_release);
}

// Builds the table that stages are not reading and publishes it with one pointer exchange.
// A call that arrives while another rebuild runs is dropped.
void ProcEngine::SetGamma(int32_t v) {
    v = std::clamp(v, 1, 256);
    int32_t idle = 0;
    if (!toneGuard.compare_exchange_strong(idle, 1)) return;
    if (toneBlock_) {
        // The stages read the table only under chainLock: building under it keeps a chain that
        // still reads the table an earlier call made spare again from seeing it rewritten.
        std::lock_guard lock(chainLock);
        uint32_t* first = toneBlock_.get();
        uint32_t* spare = ToneTable() == first ? first + kToneEntries : first;
        BuildToneTable(spare, GammaFactor(v));
        toneTable.store(spare, std::memory_order_release);
    }
    params.gamma.store(v);
    ampTrend.store(0);
    toneGuard.store(0);
}

void ProcEngine::ResetTone() {
    SetTimeDelay(0);
    SetCountAccum(1);
    params.amp.store(128);
    params.blackLevel.store(0);
    if (params.gamma.load() != 128) SetGamma(128);
}

}  // namespace kelpa
