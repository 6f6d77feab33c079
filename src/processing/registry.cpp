// The static tables of processors, accumulation variants, banding filters and the automatic
// control entry.
#include "processing/registry.h"

#include "image/bitmap_header.h"
#include "processing/accumulate.h"
#include "processing/auto_control.h"
#include "processing/banding.h"
#include "processing/channels.h"

namespace kelpa {
namespace {

enum class Variant { kAverage, kSubtracterAdder };

template <class P, Variant V>
constexpr ChannelProcessor MakeProcessor(uint32_t tag, const char* name) {
    constexpr bool kAverage = V == Variant::kAverage;
    return ChannelProcessor{P::kIndex,
                            P::kColour ? 1 : 0,
                            tag,
                            name,
                            &OutsideWholeFirst<P>,
                            &FullFrame<P>,
                            &Accumulate<P>,
                            kAverage ? &OutputAverage<P> : &OutputSubtracterAdder<P>,
                            kAverage ? &RefreshAverage<P> : &RefreshSubtracterAdder<P>};
}

template <Variant V>
constexpr ChannelProcessor kProcessors[] = {
    MakeProcessor<GreyChannel, V>(FourCC("Grey"), "Grey"),
    MakeProcessor<SummaryChannel, V>(FourCC("Summ"), "Summary"),
    MakeProcessor<BlueChannel, V>(FourCC("Blue"), "Blue"),
    MakeProcessor<GreenChannel, V>(FourCC("Gren"), "Green"),
    MakeProcessor<RedChannel, V>(FourCC("Red1"), "Red"),
    MakeProcessor<AsIsChannel, V>(FourCC("AsIs"), "Conv: 3 To 3"),
};

constexpr AccumulationVariant kVariants[] = {
    {FourCC("Accm"), "Average", kProcessors<Variant::kAverage>, &OutsideWholeFirst<AsIsChannel>,
     &FullFrame<AsIsChannel>},
    {FourCC("AcRB"), "Subtracter-Adder", kProcessors<Variant::kSubtracterAdder>,
     &OutsideWholeFirst<AsIsChannel>, &FullFrame<AsIsChannel>},
};

constexpr ProcessorFamily kFamilies[] = {{3, 8, kVariants}};

constexpr BandingFilter kGreyBanding[] = {
    {FourCC("RmrH"), FourCC("RmrD"), "Remove Ridge H", &BandingGreyH},
    {FourCC("RmrV"), FourCC("RmrD"), "Remove Ridge V", &BandingGreyV},
};
constexpr BandingFilter kColourBanding[] = {
    {FourCC("RmrH"), FourCC("RmrD"), "Remove Ridge H", &BandingColourH},
    {FourCC("RmrV"), FourCC("RmrD"), "Remove Ridge V", &BandingColourV},
};
constexpr BandingFamily kBandingFamilies[] = {{3, 0, kGreyBanding}, {3, 1, kColourBanding}};

constexpr AutoEntry kAutoEntry{FourCC("Au1o"), "Auto [old camera]", &AutoStage};

}  // namespace

const ProcessorFamily* FindProcessorFamily(int32_t channelCount, int32_t bitsPerChannel) {
    for (const ProcessorFamily& f : kFamilies) {
        if (f.channelCount == channelCount && f.bitsPerChannel == bitsPerChannel) return &f;
    }
    return nullptr;
}

const BandingFamily* FindBandingFamily(int32_t channelCount, int32_t colour) {
    for (const BandingFamily& f : kBandingFamilies) {
        if (f.channelCount == channelCount && f.colour == colour) return &f;
    }
    return nullptr;
}

const AutoEntry& DefaultAutoEntry() {
    return kAutoEntry;
}

}  // namespace kelpa
