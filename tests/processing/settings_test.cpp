// The processing settings in the profile: the read rules that repair stored values, the round
// trip through a save and reload, and saving only when asked.
#include <gtest/gtest.h>

#include <map>

#include "processing/proc_engine.h"
#include "support/test_support.h"

namespace kelpa::test {
namespace {

TEST(SettingsTest, ReadRulesRepairStoredValues) {
    MemoryProfile profile;
    profile.Set("ProcGamma", "0");
    profile.Set("ProcChannels", "9");
    profile.Set("ProcAreaW", "1069547520");  // 1.5: outside 0 ... 1
    profile.Set("ProcAreaX", "2139095040");  // infinity
    profile.Set("ProcRMSH", "350");
    profile.Set("ProcVarID", "1234");
    profile.Set("ProcStatCrdThresh", "5");
    profile.Set("StatFonThresh3", "1084227584");  // 5.0: outside -20 ... 0
    ProcEngine e;
    EXPECT_EQ(e.params.gamma.load(), 1);
    EXPECT_EQ(e.params.channels, -2);
    EXPECT_EQ(e.params.areaW, 0.5f);
    EXPECT_EQ(e.params.areaX, 0.5f);
    EXPECT_EQ(e.params.rmsH.load(), 3.5f);
    EXPECT_EQ(e.params.variantId, FourCC("Accm"));  // unknown variant replaced by the first
    EXPECT_EQ(e.params.statCrdThresh.load(), 2);
    EXPECT_EQ(e.params.statFonThresh[2].load(), -2.0f);
}

// Every setting changed away from its default is saved, read back by the next engine (which
// saves exactly the same values again) and put to work.
TEST(SettingsTest, SettingsSurviveASaveAndReload) {
    MemoryProfile profile;
    { ProcEngine untouched; }
    EXPECT_TRUE(profile.WriteOrder().empty());  // nothing is written unless asked
    {
        ProcEngine e;
        e.saveOnExit = true;
        e.params.areaX = 0.25f;
        e.params.areaY = 0.4f;
        e.params.areaW = 0.3f;
        e.params.areaH = 0.75f;
        e.SetChannel(3);
        e.SetVariant(FourCC("AcRB"));
        e.SetOutsideAsIs(true);
        e.SetAmp(200);
        e.SetBlackLevel(-12);
        e.SetGamma(90);
        e.SetCountAccum(16);
        e.SetTimeDelay(250);
        e.SetNR(true, false);
        e.params.rmsH.store(-1.18f);
        e.params.rmsV.store(1.15f);
        e.params.autoFlags.store(5);
        e.params.flipH.store(1);
        e.params.flipV.store(1);
        e.SetGuideEnable(true);
        e.SetGuideAutoMoveSetting(true);
        const float k[3] = {3.5f, -1.0f, -4.0f};
        e.SetStatThresholds(1, k);
    }
    EXPECT_EQ(profile.Get("ProcChannelsID"), "828663122");  // "Red1"
    EXPECT_EQ(profile.Get("ProcVarID"), "1112695617");      // "AcRB"
    EXPECT_EQ(profile.Get("ProcAreaX"), "1048576000");      // 0.25f
    EXPECT_EQ(profile.Get("ProcRMSV"), "115");
    EXPECT_EQ(profile.Get("ProcBlackLevel"), "-12");
    std::map<std::string, std::string> saved;
    for (const std::string& key : profile.WriteOrder()) saved[key] = profile.Get(key);

    ProcEngine e;
    e.SaveSettings();
    for (const auto& [key, value] : saved) EXPECT_EQ(profile.Get(key), value) << key;
    EXPECT_EQ(e.processor->tag, FourCC("Red1"));
    EXPECT_EQ(e.variant->tag, FourCC("AcRB"));
    EXPECT_EQ(e.guideAutoMove.load(), 1);
    EXPECT_NE(e.bandingStageH, nullptr);
    EXPECT_EQ(e.bandingStageV, nullptr);
}

// Every threshold the settings panel can set survives the integer-times-100 storage, save
// after save.
TEST(SettingsTest, BandingFactorsRoundTripThroughTheProfile) {
    MemoryProfile profile;
    for (int32_t stored = -200; stored <= 800; ++stored) {
        profile.Set("ProcRMSH", std::to_string(stored));
        ProcEngine e;
        e.saveOnExit = true;
        ASSERT_EQ(e.params.rmsH.load(), static_cast<float>(stored) / 100.0f);
        e.SaveSettings();
        ASSERT_EQ(profile.Get("ProcRMSH"), std::to_string(stored));
    }
}

}  // namespace
}  // namespace kelpa::test
