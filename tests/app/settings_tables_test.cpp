// The program's settings tables together: every key's round trip through the profile, each key
// declared once, and the check behind --set Key=Value.
#include "app/settings_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "app/crossbar_routes.h"
#include "app/panel_settings.h"
#include "media/capture_graph.h"
#include "media/device_keys.h"
#include "processing/proc_settings.h"
#include "support/test_support.h"
#include "video/capture_settings.h"
#include "video/controller_settings.h"
#include "view/view_settings.h"

namespace kelpa {
namespace {

// A value of the key other than its default that the key holds: a limit, another word, a text
// as long as the key takes.
SettingValue OtherValue(const SettingDecl& decl) {
    switch (decl.kind) {
        case SettingKind::kText:
            return {0.0, std::string(std::max<uint32_t>(decl.maxTextChars, 1), 'k')};
        case SettingKind::kTag:
            return {double(TagWord("Test")), {}};
        default:
            return {decl.maximum != decl.defaultValue ? decl.maximum : decl.minimum, {}};
    }
}

// Each key set alone in an owner of the defaults, written with every other key and read back:
// it comes back, and no other field of the owner moved (two keys on one field would show).
template <typename Owner>
void EachKeyAloneInItsOwner(const SettingsTableOf<Owner>& table) {
    for (const SettingDecl& changed : table.settings) {
        SCOPED_TRACE(changed.key);
        test::MemoryProfile profile;
        Owner owner = DefaultSettings(table);
        changed.access.set(&owner, OtherValue(changed));
        for (const SettingDecl& decl : table.settings) {
            ASSERT_TRUE(WriteSetting(decl, table.section, decl.access.get(&owner))) << decl.key;
        }
        const Owner loaded = LoadSettings(table);
        for (const SettingDecl& decl : table.settings) {
            EXPECT_EQ(decl.access.get(&loaded),
                      &decl == &changed ? OtherValue(decl) : DefaultSettingValue(decl))
                << decl.key;
        }
    }
}

// Every key of every table: a value other than its default is written in its stored form and
// read back unchanged. For the owners known here, the keys are also checked on their fields.
TEST(SettingsTablesTest, EveryKeyRoundTripsThroughTheProfile) {
    const std::map<const SettingsTable*, void (*)()> owners = {
        {&ProcSettingsTable(), [] { EachKeyAloneInItsOwner(ProcSettingsTable()); }},
        {&CaptureRunSettingsTable(), [] { EachKeyAloneInItsOwner(CaptureRunSettingsTable()); }},
        {&CaptureFileSettingsTable(), [] { EachKeyAloneInItsOwner(CaptureFileSettingsTable()); }},
        {&ControllerFlagsTable(), [] { EachKeyAloneInItsOwner(ControllerFlagsTable()); }},
        {&PreferredFormatSettingsTable(),
         [] { EachKeyAloneInItsOwner(PreferredFormatSettingsTable()); }},
        {&DeviceChoiceSettingsTable(), [] { EachKeyAloneInItsOwner(DeviceChoiceSettingsTable()); }},
        {&LiveViewTable(), [] { EachKeyAloneInItsOwner(LiveViewTable()); }},
        {&ProcViewTable(), [] { EachKeyAloneInItsOwner(ProcViewTable()); }},
        {&WindowPlaceTable(ViewWindow::kLive),
         [] { EachKeyAloneInItsOwner(WindowPlaceTable(ViewWindow::kLive)); }},
        {&WindowPlaceTable(ViewWindow::kProc),
         [] { EachKeyAloneInItsOwner(WindowPlaceTable(ViewWindow::kProc)); }},
        {&InfoWindowTable(), [] { EachKeyAloneInItsOwner(InfoWindowTable()); }},
        {&PanelSettingsTable(), [] { EachKeyAloneInItsOwner(PanelSettingsTable()); }},
        {&CrossbarSettingsTable(), [] { EachKeyAloneInItsOwner(CrossbarSettingsTable()); }},
    };
    size_t checkedOwners = 0;
    for (const SettingsTable* table : ProgramSettingsTables()) {
        SCOPED_TRACE(table->owner);
        for (const SettingDecl& decl : table->settings) {
            SCOPED_TRACE(decl.key);
            EXPECT_EQ(HoldToLimits(decl, decl.defaultValue), decl.defaultValue);
            const SettingValue other = OtherValue(decl);
            ASSERT_NE(other, DefaultSettingValue(decl));
            test::MemoryProfile profile;
            ASSERT_TRUE(WriteSetting(decl, table->section, other));
            EXPECT_EQ(ReadSetting(decl, table->section), other);
            EXPECT_EQ(CheckProgramSetting(decl.key, SettingText(decl, other)), "");
            EXPECT_EQ(std::string(ProgramSettingSection(decl.key)), table->section);
        }
        if (const auto it = owners.find(table); it != owners.end()) {
            it->second();
            ++checkedOwners;
        }
    }
    EXPECT_EQ(checkedOwners, owners.size());
}

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
    // An override goes to the section of the key's table.
    EXPECT_EQ(ProgramSettingSection("ProcAmpp"), nullptr);
    EXPECT_STREQ(ProgramSettingSection("videodevice2"), "quill");
    EXPECT_STREQ(ProgramSettingSection("VidCapWidth"), "kelpa");
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
    EXPECT_GE(count, 48u);
}

// Capture and device keys a user types: choices are numbers, so a word is refused at once; a
// number that names no choice reads as the default; texts are as long as the buffer or header
// field that holds them; counts take the whole unsigned range.
TEST(SettingsTablesTest, CaptureAndDeviceKeys) {
    const std::pair<const char*, std::string> usable[] = {
        {"capcontent", "1"},
        {"CapObserver", std::string(40, 'o')},
        {"CapWorkDir", std::string(kCapturePathChars, 'd')},
        {"CapCount", "4000000000"},
        {"VideoDevice2", std::string(kDeviceNameSize, 'v')}};
    for (const auto& [key, text] : usable) EXPECT_EQ(CheckProgramSetting(key, text), "") << key;
    const std::pair<const char*, std::string> refused[] = {
        {"CapFileType", "SER"},
        {"CapTelescope", std::string(41, 't')},
        {"CapWorkDir", std::string(kCapturePathChars + 1, 'd')},
        {"ViewFrameSize", "yes"},
        {"VideoDevice2", std::string(kDeviceNameSize + 1, 'v')}};
    for (const auto& [key, text] : refused) EXPECT_NE(CheckProgramSetting(key, text), "") << key;
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
