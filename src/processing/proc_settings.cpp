// The processing settings table, and the engine's side of loading and saving: it is handed a
// ProcSettings when it is built and hands its current values back for saving.
#include "processing/proc_settings.h"

#include <mutex>

#include "common/profile.h"
#include "processing/proc_engine.h"

namespace kelpa {
namespace {

constexpr OutOfRange kClamp = OutOfRange::kClamp;
constexpr OutOfRange kFallBack = OutOfRange::kDefault;

// Limits. Where a key has no stated range, its limits are the range that the program's own
// controls can set (settings panel, toolbar delay box, automatic control), so every value the
// program writes reads back unchanged, and a value it never writes cannot reach the frame path.
//
// - The delay box, the panel and Auto Delay set at most 6000 ms. A stored -1 (4294967295 read
//   as unsigned) would otherwise hold the chain for 49 days; it is clamped to 0, and larger
//   delays to 6000 as the delay box does with typed ones.
// - Amplification: the panel and Auto Amplification keep 1 ... 256; far larger gains would
//   overflow the 32-bit level arithmetic of the stages.
// - Black level: the panel's -765 ... 765 (three times a full byte; beyond it every level clips).
// - Accumulation count: at least 1; at most what the 32-bit accumulator of a grey pixel holds.
// - Banding thresholds: the panel's factors -2.00 ... 8.00.
// - Automatic controls: only bits 0-2 exist; a word with other bits was not written by us and
//   gives the default.
// - Banding and flip flags, the guide flags and the outside flag are on when not 0.
// - Processor and variant tags are kept as stored; processor selection replaces unknown ones.
constexpr std::array kSettings = {
    FloatSetting("StatFonThresh1", 4.0f, -20.0f, 20.0f,
                 SettingField<&ProcSettings::starThresholdFactor, 0>()),
    FloatSetting("StatFonThresh2", 0.0f, -20.0f, 20.0f,
                 SettingField<&ProcSettings::starThresholdFactor, 1>()),
    FloatSetting("StatFonThresh3", -2.0f, -20.0f, 0.0f,
                 SettingField<&ProcSettings::starThresholdFactor, 2>()),
    SignedSetting("ProcStatCrdThresh", 2, 0, 2, kClamp,
                  SettingField<&ProcSettings::starThresholdMethod>()),
    FlagSetting("ProcGuideEnable", false, SettingField<&ProcSettings::guideEnable>()),
    FlagSetting("ProcGuideAutoMove", false, SettingField<&ProcSettings::guideAutoMoveSetting>()),
    FloatSetting("ProcAreaX", 0.5f, -1.0f, 2.0f, SettingField<&ProcSettings::areaX>()),
    FloatSetting("ProcAreaY", 0.5f, -1.0f, 2.0f, SettingField<&ProcSettings::areaY>()),
    FloatSetting("ProcAreaW", 0.5f, 0.0f, 1.0f, SettingField<&ProcSettings::areaW>()),
    FloatSetting("ProcAreaH", 0.5f, 0.0f, 1.0f, SettingField<&ProcSettings::areaH>()),
    UnsignedSetting("ProcAuto", kAutoAll, 0, kAutoAll, kFallBack,
                    SettingField<&ProcSettings::autoFlags>()),
    FlagSetting("ProcNRH", false, SettingField<&ProcSettings::nrH>()),
    FlagSetting("ProcNRV", false, SettingField<&ProcSettings::nrV>()),
    CentiFloatSetting("ProcRMSH", 2.0f, -2.0f, 8.0f, kClamp, SettingField<&ProcSettings::rmsH>()),
    CentiFloatSetting("ProcRMSV", 2.0f, -2.0f, 8.0f, kClamp, SettingField<&ProcSettings::rmsV>()),
    UnsignedSetting("ProcTimeDelay", 0, 0, 6000, kClamp, SettingField<&ProcSettings::delayMs>()),
    SignedSetting("ProcCountAccum", 1, 1, ProcEngine::kMaxCountAccum, kClamp,
                  SettingField<&ProcSettings::countAccum>()),
    SignedSetting("ProcAmp", 128, 1, 256, kClamp, SettingField<&ProcSettings::amp>()),
    SignedSetting("ProcBlackLevel", 0, -765, 765, kClamp,
                  SettingField<&ProcSettings::blackLevel>()),
    SignedSetting("ProcGamma", 128, 1, 256, kClamp, SettingField<&ProcSettings::gamma>()),
    FlagSetting("ProcFlipH", false, SettingField<&ProcSettings::flipH>()),
    FlagSetting("ProcFlipV", false, SettingField<&ProcSettings::flipV>()),
    SignedSetting("ProcChannels", -2, -2, 3, OutOfRange::kReplace,
                  SettingField<&ProcSettings::channels>(), -2),
    TagSetting("ProcChannelsID", "Grey", SettingField<&ProcSettings::channelsId>()),
    TagSetting("ProcVarID", "Accm", SettingField<&ProcSettings::variantId>()),
    FlagSetting("ProcChanOutside", false, SettingField<&ProcSettings::outsideAsIs>(),
                WriteFormat::kUnsigned),
    // Last in both orders: a profile written before it existed reads and writes as before.
    FlagSetting("ProcGuideRefine", false, SettingField<&ProcSettings::guideRefine>()),
};
static_assert(AllFieldsOf<ProcSettings>(kSettings));

constexpr std::array kWriteOrder = WriteOrderOf(
    kSettings, std::array<const char*, 27>{
                   "ProcAreaX",       "ProcAreaY",         "ProcAreaW",      "ProcAreaH",
                   "StatFonThresh1",  "StatFonThresh2",    "StatFonThresh3", "ProcStatCrdThresh",
                   "ProcTimeDelay",   "ProcCountAccum",    "ProcNRH",        "ProcNRV",
                   "ProcAuto",        "ProcAmp",           "ProcBlackLevel", "ProcGamma",
                   "ProcFlipH",       "ProcFlipV",         "ProcRMSH",       "ProcRMSV",
                   "ProcChannels",    "ProcChannelsID",    "ProcVarID",      "ProcChanOutside",
                   "ProcGuideEnable", "ProcGuideAutoMove", "ProcGuideRefine"});
static_assert(kWriteOrder.size() == kSettings.size(), "every key is written back");

constexpr SettingsTableOf<ProcSettings> kTable{
    {"processing", kProfileSection, kSettings, kWriteOrder}};

}  // namespace

const SettingsTableOf<ProcSettings>& ProcSettingsTable() {
    return kTable;
}

ProcSettings DefaultProcSettings() {
    return DefaultSettings(kTable);
}

ProcSettings LoadProcSettings() {
    return LoadSettings(kTable);
}

void SaveProcSettings(const ProcSettings& settings) {
    SaveSettings(kTable, settings);
}

// ---- The engine's side
// ---------------------------------------------------------------------------

void ProcEngine::UseSettings(const ProcSettings& s) {
    std::lock_guard lock(chainLock);
    params.areaX = s.areaX;
    params.areaY = s.areaY;
    params.areaW = s.areaW;
    params.areaH = s.areaH;
    params.autoFlags.store(s.autoFlags);
    params.nrH.store(s.nrH ? 1 : 0);
    params.nrV.store(s.nrV ? 1 : 0);
    params.rmsH.store(s.rmsH);
    params.rmsV.store(s.rmsV);
    params.delayMs.store(s.delayMs);
    params.countAccum.store(s.countAccum);
    params.amp.store(s.amp);
    params.blackLevel.store(s.blackLevel);
    params.gamma.store(s.gamma);
    params.flipH.store(s.flipH ? 1 : 0);
    params.flipV.store(s.flipV ? 1 : 0);
    params.channels = s.channels;
    params.channelsId = s.channelsId;
    params.variantId = s.variantId;
    params.outsideAsIs.store(s.outsideAsIs ? 1 : 0);
    params.starThresholdMethod.store(s.starThresholdMethod);
    for (int i = 0; i < 3; ++i) params.starThresholdFactor[i].store(s.starThresholdFactor[i]);
    params.guideEnable.store(s.guideEnable ? 1 : 0);
    params.guideAutoMoveSetting.store(s.guideAutoMoveSetting ? 1 : 0);
    params.guideRefine.store(s.guideRefine ? 1 : 0);

    // A new choice, as at construction: an unknown variant gives the first one.
    variant = nullptr;
    processor = nullptr;
    SelectProcessor();
    guideAutoMove.store(s.guideAutoMoveSetting ? 1 : 0);
    RecomputeRates();
}

void ProcEngine::ApplySettings(const ProcSettings& settings) {
    UseSettings(settings);
    {
        std::lock_guard lock(chainLock);
        if (frameWidth > 0) {
            ApplyArea();
            accCount.store(0);
            refresh.store(1);
        }
    }
    SetGamma(settings.gamma);
    delayCountdown.store(delayFrames.load());
    if (owner) owner->ProcRateChanged();
}

ProcSettings ProcEngine::Settings() const {
    std::lock_guard lock(chainLock);
    ProcSettings s;
    s.areaX = params.areaX;
    s.areaY = params.areaY;
    s.areaW = params.areaW;
    s.areaH = params.areaH;
    s.autoFlags = params.autoFlags.load();
    s.nrH = params.nrH.load() != 0;
    s.nrV = params.nrV.load() != 0;
    s.rmsH = params.rmsH.load();
    s.rmsV = params.rmsV.load();
    s.delayMs = params.delayMs.load();
    s.countAccum = params.countAccum.load();
    s.amp = params.amp.load();
    s.blackLevel = params.blackLevel.load();
    s.gamma = params.gamma.load();
    s.flipH = params.flipH.load() != 0;
    s.flipV = params.flipV.load() != 0;
    s.channels = params.channels;
    s.channelsId = params.channelsId;
    s.variantId = params.variantId;
    s.outsideAsIs = params.outsideAsIs.load() != 0;
    s.starThresholdMethod = params.starThresholdMethod.load();
    for (int i = 0; i < 3; ++i) s.starThresholdFactor[i] = params.starThresholdFactor[i].load();
    s.guideEnable = params.guideEnable.load() != 0;
    s.guideAutoMoveSetting = params.guideAutoMoveSetting.load() != 0;
    s.guideRefine = params.guideRefine.load() != 0;
    return s;
}

}  // namespace kelpa
