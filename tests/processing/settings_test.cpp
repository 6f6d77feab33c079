// The processing settings table through the profile: the defaults of an empty profile, values
// held to their limits, and the engine taking its settings as a value and handing them back.
// (Every key's round trip is checked with all tables in tests/app.)
#include "processing/proc_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "common/settings_registry.h"
#include "processing/proc_engine.h"
#include "support/test_support.h"

namespace kelpa::test {
namespace {

TEST(ProcSettingsTest, ProfileWithoutTheSectionGivesTheDefaults) {
    MemoryProfile profile;
    profile.WriteString("quill", "ProcAmp", "5");  // another section's key is not ours
    ProcSettings expected;
    expected.areaX = expected.areaY = expected.areaW = expected.areaH = 0.5f;
    expected.rmsH = expected.rmsV = 2.0f;
    std::tie(expected.autoFlags, expected.countAccum, expected.amp, expected.gamma,
             expected.channels, expected.channelsId, expected.variantId,
             expected.starThresholdMethod, expected.starThresholdFactor[0],
             expected.starThresholdFactor[2]) =
        std::tuple(7u, 1, 128, 128, -2, FourCC("Grey"), FourCC("Accm"), 2, 4.0f, -2.0f);
    EXPECT_EQ(LoadProcSettings(), expected);
    EXPECT_EQ(DefaultProcSettings(), expected);
    EXPECT_EQ(ProcEngine().Settings(), expected);
    // The engine writes nothing itself (its owner saves what Settings() hands back): the one
    // write is the test's own.
    EXPECT_EQ(profile.WriteOrder().size(), 1u);
}

// What each stored text reads as, and is written back as.
TEST(ProcSettingsTest, StoredValuesAreHeldToTheirLimits) {
    using Case = std::tuple<const char*, const char*, double, const char*>;
    // Areas and star thresholds are stored as the bits of a float: 1.5 and infinity give the
    // default, 0.25 is read as a number; 5.0 lies outside -20 ... 0.
    const Case cases[] = {{"ProcGamma", "0", 1.0, "1"},
                          {"ProcChannels", "9", -2.0, "-2"},
                          {"ProcAreaW", "1069547520", 0.5, "1056964608"},
                          {"ProcAreaX", "2139095040", 0.5, "1056964608"},
                          {"ProcAreaX", "0.25", 0.25, "1048576000"},
                          {"ProcRMSV", "-5000", -2.0, "-200"},
                          {"ProcTimeDelay", "4294967295", 6000.0, "6000"},
                          {"ProcAmp", "abc", 128.0, "128"},
                          {"StatFonThresh3", "1084227584", -2.0, "3221225472"}};
    const SettingsTable* const tables[] = {&ProcSettingsTable()};
    for (const auto& [key, stored, value, written] : cases) {
        SCOPED_TRACE(std::string(key) + "=" + stored);
        MemoryProfile profile;
        profile.Set(key, stored);
        const ProcSettings loaded = LoadProcSettings();
        EXPECT_EQ(FindSetting(tables, key)->access.get(&loaded).number, value);
        SaveProcSettings(loaded);
        EXPECT_EQ(profile.Get(key), written);
    }
}

// The engine puts the settings it is given to work and hands back exactly those values; applied
// later they replace the chain's choice as a new engine would make it.
TEST(ProcSettingsTest, EngineTakesItsSettingsAndHandsThemBack) {
    ProcSettings s = DefaultProcSettings();
    std::tie(s.areaX, s.areaW, s.channels, s.channelsId, s.variantId, s.outsideAsIs) =
        std::tuple(0.25f, 0.3f, 3, FourCC("Red1"), FourCC("AcRB"), true);
    std::tie(s.amp, s.blackLevel, s.gamma, s.countAccum, s.delayMs, s.nrH, s.rmsH, s.autoFlags) =
        std::tuple(200, -12, 90, 16, 250u, true, -1.18f, 5u);
    s.flipH = s.flipV = s.guideEnable = s.guideAutoMoveSetting = s.guideRefine = true;
    s.starThresholdMethod = 1;
    s.starThresholdFactor[1] = -1.0f;
    ProcEngine e(nullptr, s);
    EXPECT_EQ(e.Settings(), s);
    EXPECT_EQ(
        std::tuple(e.processor->tag, e.variant->tag, e.outsideStage, !e.bandingStageH,
                   !e.bandingStageV, e.guideAutoMove.load()),
        std::tuple(FourCC("Red1"), FourCC("AcRB"), e.variant->outsideAsIsOutside, false, true, 1));
    // ceil(29.97 x 0.25) frames; gamma 90 darkens level 1.
    EXPECT_EQ(std::pair(e.delayFrames.load(), e.ToneTable()[1] & 0xFF), std::pair(8, 0u));

    ProcSettings unknownVariant = DefaultProcSettings();
    unknownVariant.variantId = 1234;
    e.ApplySettings(unknownVariant);
    unknownVariant.variantId = FourCC("Accm");  // replaced by the first variant
    EXPECT_EQ(e.Settings(), unknownVariant);
    EXPECT_EQ(std::tuple(e.processor->tag, !e.bandingStageH, e.delayFrames.load(),
                         e.ToneTable()[1] & 0xFF),
              std::tuple(FourCC("Grey"), true, 0, 1u));
}

}  // namespace
}  // namespace kelpa::test
