// Reading the processing settings from the profile when an engine is built, and writing them
// back when the engine of the source in use is torn down.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/profile.h"
#include "common/profile_values.h"
#include "processing/proc_engine.h"

namespace kelpa {
namespace {

int32_t ReadInt(const char* key, int32_t def) {
    return GetProfileIntA(kProfileSection, key, def);
}

float ReadFloat(const char* key, float def, float lo, float hi) {
    return GetProfileFloatInRange(kProfileSection, key, def, lo, hi, true);
}

// Integers are written as decimal text; a text that does not fit 11 characters is skipped.
void WriteInt(const char* key, int32_t value) {
    char text[12];
    const int n = std::snprintf(text, sizeof text, "%d", value);
    if (n >= 1 && n <= 11) WriteProfileStringA(kProfileSection, key, text);
}

void WriteUnsigned(const char* key, uint32_t value) {
    char text[12];
    const int n = std::snprintf(text, sizeof text, "%u", value);
    if (n >= 1 && n <= 11) WriteProfileStringA(kProfileSection, key, text);
}

constexpr float kThresholdLow[3] = {-20.0f, -20.0f, -20.0f};
constexpr float kThresholdHigh[3] = {20.0f, 20.0f, 0.0f};
constexpr float kThresholdDefault[3] = {4.0f, 0.0f, -2.0f};

// "StatFonThresh1" ... "StatFonThresh3".
void ThresholdKey(char (&key)[25], int i) {
    std::snprintf(key, sizeof key, "%s%d", "StatFonThresh", i + 1);
}

}  // namespace

void ProcEngine::LoadSettings() {
    ProcParams& p = params;
    for (int i = 0; i < 3; ++i) {
        char key[25];
        ThresholdKey(key, i);
        p.statFonThresh[i].store(
            ReadFloat(key, kThresholdDefault[i], kThresholdLow[i], kThresholdHigh[i]));
    }
    p.statCrdThresh.store(std::clamp(ReadInt("ProcStatCrdThresh", 2), 0, 2));
    p.guideEnable.store(ReadInt("ProcGuideEnable", 0) != 0 ? 1 : 0);
    p.guideAutoMoveSetting.store(ReadInt("ProcGuideAutoMove", 0) != 0 ? 1 : 0);
    p.areaX = ReadFloat("ProcAreaX", 0.5f, -1.0f, 2.0f);
    p.areaY = ReadFloat("ProcAreaY", 0.5f, -1.0f, 2.0f);
    p.areaW = ReadFloat("ProcAreaW", 0.5f, 0.0f, 1.0f);
    p.areaH = ReadFloat("ProcAreaH", 0.5f, 0.0f, 1.0f);
    p.autoFlags.store(static_cast<uint32_t>(ReadInt("ProcAuto", 7)));
    p.nrH.store(ReadInt("ProcNRH", 0));
    p.nrV.store(ReadInt("ProcNRV", 0));
    p.rmsH.store(static_cast<float>(ReadInt("ProcRMSH", 200)) / 100.0f);
    p.rmsV.store(static_cast<float>(ReadInt("ProcRMSV", 200)) / 100.0f);
    p.delayMs.store(static_cast<uint32_t>(ReadInt("ProcTimeDelay", 0)));
    p.countAccum.store(std::clamp(ReadInt("ProcCountAccum", 1), 1, kMaxCountAccum));
    p.amp.store(ReadInt("ProcAmp", 128));
    p.blackLevel.store(ReadInt("ProcBlackLevel", 0));
    p.gamma.store(std::clamp(ReadInt("ProcGamma", 128), 1, 256));
    p.flipH.store(ReadInt("ProcFlipH", 0) != 0 ? 1 : 0);
    p.flipV.store(ReadInt("ProcFlipV", 0) != 0 ? 1 : 0);
    const int32_t channels = ReadInt("ProcChannels", -2);
    p.channels = channels < -2 || channels > 3 ? -2 : channels;
    p.channelsId = static_cast<uint32_t>(ReadInt("ProcChannelsID", int32_t(FourCC("Grey"))));
    p.variantId = static_cast<uint32_t>(ReadInt("ProcVarID", int32_t(FourCC("Accm"))));
    p.outsideAsIs.store(ReadInt("ProcChanOutside", 0) != 0 ? 1 : 0);
}

void ProcEngine::SaveSettings() const {
    const ProcParams& p = params;
    WriteProfileFloat(kProfileSection, "ProcAreaX", p.areaX);
    WriteProfileFloat(kProfileSection, "ProcAreaY", p.areaY);
    WriteProfileFloat(kProfileSection, "ProcAreaW", p.areaW);
    WriteProfileFloat(kProfileSection, "ProcAreaH", p.areaH);
    for (int i = 0; i < 3; ++i) {
        char key[25];
        ThresholdKey(key, i);
        WriteProfileFloat(kProfileSection, key, p.statFonThresh[i].load());
    }
    WriteInt("ProcStatCrdThresh", p.statCrdThresh.load());
    WriteUnsigned("ProcTimeDelay", p.delayMs.load());
    WriteInt("ProcCountAccum", p.countAccum.load());
    WriteInt("ProcNRH", p.nrH.load());
    WriteInt("ProcNRV", p.nrV.load());
    WriteUnsigned("ProcAuto", p.autoFlags.load());
    WriteInt("ProcAmp", p.amp.load());
    WriteInt("ProcBlackLevel", p.blackLevel.load());
    WriteInt("ProcGamma", p.gamma.load());
    WriteInt("ProcFlipH", p.flipH.load());
    WriteInt("ProcFlipV", p.flipV.load());
    // Rounded, not truncated: a stored -118 reads as -1.18f, whose product with 100 lies just
    // above -118, and truncation would lower the setting by one at every save.
    WriteInt("ProcRMSH", static_cast<int32_t>(std::lround(double{p.rmsH.load()} * 100.0)));
    WriteInt("ProcRMSV", static_cast<int32_t>(std::lround(double{p.rmsV.load()} * 100.0)));
    WriteInt("ProcChannels", p.channels);
    WriteUnsigned("ProcChannelsID", p.channelsId);
    WriteUnsigned("ProcVarID", p.variantId);
    WriteUnsigned("ProcChanOutside", static_cast<uint32_t>(p.outsideAsIs.load()));
    WriteInt("ProcGuideEnable", p.guideEnable.load());
    WriteInt("ProcGuideAutoMove", p.guideAutoMoveSetting.load());
}

}  // namespace kelpa
