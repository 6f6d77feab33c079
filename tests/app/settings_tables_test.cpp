// The check behind --set Key=Value over the program's settings tables.
#include "app/settings_tables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kelpa {
namespace {

TEST(SettingsTablesTest, OverridesAreCheckedAgainstEveryTable) {
    EXPECT_EQ(CheckProgramSetting("ProcAmpp", "200"), "unknown setting ProcAmpp");
    EXPECT_EQ(CheckProgramSetting("ProcAmp", "abc"),
              "bad value for ProcAmp: \"abc\" is not a whole number");
    EXPECT_NE(CheckProgramSetting("ProcChannelsID", "Grey").find("ProcChannelsID"),
              std::string::npos);
    EXPECT_NE(CheckProgramSetting("ProcAreaX", "inf"), "");
    // Numbers beyond the limits are usable: reading holds them.
    EXPECT_EQ(CheckProgramSetting("ProcTimeDelay", "-1"), "");
    EXPECT_EQ(CheckProgramSetting("procamp", "1000"), "");  // keys compare without case
    EXPECT_EQ(CheckProgramSetting("ProcAreaX", "0.25"), "");
}

// No key is declared twice, whichever tables join the list.
TEST(SettingsTablesTest, EveryKeyIsDeclaredOnce) {
    std::set<std::string> seen;
    size_t count = 0;
    for (const SettingsTable* table : ProgramSettingsTables()) {
        for (const SettingDecl& decl : table->settings) {
            std::string lower(decl.key);
            for (char& c : lower) c = static_cast<char>(std::tolower(c));
            EXPECT_TRUE(seen.insert(lower).second) << decl.key;
            EXPECT_EQ(FindSetting(ProgramSettingsTables(), decl.key), &decl);
            ++count;
        }
    }
    EXPECT_GE(count, 30u);
}

// The capture file choices: numbers, so a word is refused at once; a number that names no
// choice is usable and reads as the default; texts as long as a SER header field.
TEST(SettingsTablesTest, CaptureFileKeys) {
    EXPECT_EQ(CheckProgramSetting("CapFileType", "1"), "");
    EXPECT_EQ(CheckProgramSetting("capcontent", "1"), "");
    EXPECT_NE(CheckProgramSetting("CapFileType", "SER"), "");
    EXPECT_EQ(CheckProgramSetting("CapObserver", std::string(40, 'o')), "");
    EXPECT_NE(CheckProgramSetting("CapTelescope", std::string(41, 't')), "");
    const SettingDecl* type = FindSetting(ProgramSettingsTables(), "CapFileType");
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(ParseSetting(*type, "7").value.number, 0.0);
    EXPECT_EQ(ParseSetting(*type, "2").value.number, 2.0);
}

// Dark frames and the guide log: flags and a frame count held to 1 ... 1024.
TEST(SettingsTablesTest, DarkAndGuideLogKeys) {
    for (const char* key : {"DarkUse", "GuideLog"}) {
        EXPECT_EQ(CheckProgramSetting(key, "1"), "") << key;
        EXPECT_NE(CheckProgramSetting(key, "yes"), "") << key;
        const SettingDecl* decl = FindSetting(ProgramSettingsTables(), key);
        ASSERT_NE(decl, nullptr) << key;
        EXPECT_EQ(DefaultSettingValue(*decl).number, 0.0) << key;  // off unless asked for
    }
    const SettingDecl* frames = FindSetting(ProgramSettingsTables(), "DarkFrames");
    ASSERT_NE(frames, nullptr);
    EXPECT_EQ(DefaultSettingValue(*frames).number, 32.0);
    const struct {
        const char* text;
        double held;
    } kCounts[] = {{"0", 1.0}, {"64", 64.0}, {"5000", 1024.0}, {"-3", 1.0}};
    for (const auto& c : kCounts) EXPECT_EQ(ParseSetting(*frames, c.text).value.number, c.held);
    EXPECT_NE(CheckProgramSetting("DarkFrames", "many"), "");
}

}  // namespace
}  // namespace kelpa
