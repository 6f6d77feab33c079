// Puts the plain reference stages into an engine's slots (before every frame: settings changes
// refill the slots from the registry), so that one engine runs the formulas pixel by pixel
// while another runs the vector stages.
#pragma once

#include "processing/accumulate.h"
#include "processing/banding.h"
#include "processing/proc_engine.h"

namespace kelpa::test {

template <class P>
void InstallScalar(ProcEngine& e) {
    const bool average = e.variant && e.variant->tag == FourCC("Accm");
    if (e.accumulateStage) e.accumulateStage = &scalar::Accumulate<P>;
    e.outputStage = average ? &scalar::OutputAverage<P> : &scalar::OutputSubtracterAdder<P>;
    e.refreshStage = average ? &scalar::RefreshAverage<P> : &scalar::RefreshSubtracterAdder<P>;
    const bool colour = P::kColour;
    if (e.bandingStageH) e.bandingStageH = colour ? &scalar::BandingColourH : &scalar::BandingGreyH;
    if (e.bandingStageV) e.bandingStageV = colour ? &scalar::BandingColourV : &scalar::BandingGreyV;
}

inline void InstallScalarStages(ProcEngine& e) {
    using Install = void (*)(ProcEngine&);
    // By processor index, -2 ... 3 (0 is As Is).
    constexpr Install kByIndex[] = {&InstallScalar<GreyChannel>,  &InstallScalar<SummaryChannel>,
                                    &InstallScalar<AsIsChannel>,  &InstallScalar<BlueChannel>,
                                    &InstallScalar<GreenChannel>, &InstallScalar<RedChannel>};
    if (e.processor) kByIndex[e.processor->index + 2](e);
}

}  // namespace kelpa::test
