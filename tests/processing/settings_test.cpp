// The processing settings table through the profile: the defaults of an empty profile, values
// held to their limits, the write order, and the engine taking its settings as a value and
// handing them back. (Every key's round trip is checked with all tables in tests/app.)
#include "processing/proc_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "processing/proc_engine.h"
#include "support/test_support.h"

namespace kelpa::test {
namespace {

const SettingDecl& Decl(std::string_view key) {
    for (const SettingDecl& decl : ProcSettingsTable().settings) {
        if (key == decl.key) return decl;
    }
    throw std::logic_error("no such key");
}

double Field(const ProcSettings& s, std::string_view key) {
    return Decl(key).access.get(&s).number;
}

TEST(ProcSettingsTest, ProfileWithoutTheSectionGivesTheDefaults) {
    MemoryProfile profile;
    profile.WriteString("quill", "ProcAmp", "5");  // another section's key is not ours
    ProcSettings expected;
    expected.areaX = expected.areaY = expected.areaW = expected.areaH = 0.5f;
    expected.autoFlags = 7;
    expected.rmsH = expected.rmsV = 2.0f;
    expected.countAccum = 1;
    expected.amp = 128;
    expected.gamma = 128;
    expected.channels = -2;
    expected.channelsId = FourCC("Grey");
    expected.variantId = FourCC("Accm");
    expected.starThresholdMethod = 2;
    expected.starThresholdFactor[0] = 4.0f;
    expected.starThresholdFactor[2] = -2.0f;
    EXPECT_EQ(LoadProcSettings(), expected);
    EXPECT_EQ(DefaultProcSettings(), expected);
    EXPECT_EQ(ProcEngine().Settings(), expected);
}

// What each stored text reads as, and is written back as.
TEST(ProcSettingsTest, StoredValuesAreHeldToTheirLimits) {
    struct Case {
        const char* key;
        const char* stored;
        double value;
        const char* written;
    };
    const Case cases[] = {
        {"ProcGamma", "0", 1.0, "1"},
        {"ProcChannels", "9", -2.0, "-2"},
        {"ProcAreaW", "1069547520", 0.5, "1056964608"},  // 1.5 gives the default
        {"ProcAreaX", "2139095040", 0.5, "1056964608"},  // infinity
        {"ProcAreaX", "0.25", 0.25, "1048576000"},
        {"ProcRMSH", "350", 3.5, "350"},
        {"ProcRMSV", "-5000", -2.0, "-200"},
        {"ProcTimeDelay", "-1", 0.0, "0"},
        {"ProcTimeDelay", "4294967295", 6000.0, "6000"},
        {"ProcAmp", "abc", 128.0, "128"},
        {"ProcAmp", " 200 ", 200.0, "200"},
        {"ProcAmp", "0", 1.0, "1"},
        {"ProcBlackLevel", "-1000", -765.0, "-765"},
        {"ProcCountAccum", "0", 1.0, "1"},
        {"ProcAuto", "8", 7.0, "7"},
        {"ProcStatCrdThresh", "5", 2.0, "2"},
        {"StatFonThresh3", "1084227584", -2.0, "3221225472"},  // 5.0: outside -20 ... 0
        {"ProcChannelsID", "Grey", double(FourCC("Grey")), "2036691527"},
        {"ProcGuideEnable", "7", 1.0, "1"},
        {"ProcGuideRefine", "-3", 1.0, "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.stored);
        MemoryProfile profile;
        profile.Set(c.key, c.stored);
        const ProcSettings loaded = LoadProcSettings();
        EXPECT_EQ(Field(loaded, c.key), c.value);
        SaveProcSettings(loaded);
        EXPECT_EQ(profile.Get(c.key), c.written);
    }
}

// The engine writes nothing itself (its owner saves what Settings() hands back); saving follows
// the write order.
TEST(ProcSettingsTest, EngineWritesNothingAndSavingFollowsTheWriteOrder) {
    MemoryProfile profile;
    { ProcEngine engine; }
    EXPECT_TRUE(profile.WriteOrder().empty());
    SaveProcSettings(DefaultProcSettings());
    const std::vector<std::string> order = {
        "ProcAreaX",       "ProcAreaY",         "ProcAreaW",      "ProcAreaH",
        "StatFonThresh1",  "StatFonThresh2",    "StatFonThresh3", "ProcStatCrdThresh",
        "ProcTimeDelay",   "ProcCountAccum",    "ProcNRH",        "ProcNRV",
        "ProcAuto",        "ProcAmp",           "ProcBlackLevel", "ProcGamma",
        "ProcFlipH",       "ProcFlipV",         "ProcRMSH",       "ProcRMSV",
        "ProcChannels",    "ProcChannelsID",    "ProcVarID",      "ProcChanOutside",
        "ProcGuideEnable", "ProcGuideAutoMove", "ProcGuideRefine"};
    EXPECT_EQ(profile.WriteOrder(), order);
    EXPECT_EQ(profile.Get("ProcChannelsID"), "2036691527");
    EXPECT_EQ(profile.Get("ProcVarID"), "1835230017");
    EXPECT_EQ(profile.Get("ProcAreaX"), "1056964608");
}

// The engine puts the settings it is given to work and hands back exactly those values; applied
// later they replace the chain's choice as a new engine would make it.
TEST(ProcSettingsTest, EngineTakesItsSettingsAndHandsThemBack) {
    ProcSettings s = DefaultProcSettings();
    s.areaX = 0.25f;
    s.areaW = 0.3f;
    s.channels = 3;
    s.channelsId = FourCC("Red1");
    s.variantId = FourCC("AcRB");
    s.outsideAsIs = true;
    s.amp = 200;
    s.blackLevel = -12;
    s.gamma = 90;
    s.countAccum = 16;
    s.delayMs = 250;
    s.nrH = true;
    s.rmsH = -1.18f;
    s.autoFlags = 5;
    s.flipH = s.flipV = true;
    s.guideEnable = s.guideAutoMoveSetting = s.guideRefine = true;
    s.starThresholdMethod = 1;
    s.starThresholdFactor[1] = -1.0f;

    ProcEngine e(nullptr, s);
    EXPECT_EQ(e.Settings(), s);
    EXPECT_EQ(e.processor->tag, FourCC("Red1"));
    EXPECT_EQ(e.variant->tag, FourCC("AcRB"));
    EXPECT_EQ(e.outsideStage, e.variant->outsideAsIsOutside);
    EXPECT_NE(e.bandingStageH, nullptr);
    EXPECT_EQ(e.bandingStageV, nullptr);
    EXPECT_EQ(e.guideAutoMove.load(), 1);
    EXPECT_EQ(e.delayFrames.load(), 8);      // ceil(29.97 x 0.25)
    EXPECT_EQ(e.ToneTable()[1] & 0xFF, 0u);  // gamma 90 darkens level 1

    ProcSettings unknownVariant = DefaultProcSettings();
    unknownVariant.variantId = 1234;
    e.ApplySettings(unknownVariant);
    unknownVariant.variantId = FourCC("Accm");  // replaced by the first variant
    EXPECT_EQ(e.Settings(), unknownVariant);
    EXPECT_EQ(e.processor->tag, FourCC("Grey"));
    EXPECT_EQ(e.bandingStageH, nullptr);
    EXPECT_EQ(e.delayFrames.load(), 0);
    EXPECT_EQ(e.ToneTable()[1] & 0xFF, 1u);
}

}  // namespace
}  // namespace kelpa::test
