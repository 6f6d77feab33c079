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
    EXPECT_GE(count, 26u);
}

}  // namespace
}  // namespace kelpa
