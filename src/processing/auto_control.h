// Automatic control: amplification, accumulation count and frame delay follow the brightness of
// the processed area, and every change is announced to the notify window.
#pragma once

#include <cstdint>

namespace kelpa {

class ProcEngine;

// Runs after each completed output; true when it changed the amplification.
bool AutoStage(ProcEngine& e);
// The delay the automatic control chooses for a peak level.
uint32_t AutoDelayForLevel(int32_t maxLevel);

}  // namespace kelpa
