// The program's settings tables together: every key's round trip through the profile, a profile
// without the section giving the defaults, each key declared once, and the check behind
// --set Key=Value.
#include "app/settings_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "app/crossbar_routes.h"
#include "app/panel_settings.h"
#include "media/device_keys.h"
#include "processing/proc_settings.h"
#include "support/test_support.h"
#include "video/capture_settings.h"
#include "video/controller_settings.h"
#include "video/dark_settings.h"
#include "video/guide_log.h"
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

// A profile that holds other sections but not the table's gives exactly the defaults. Then each
// key set alone in an owner of the defaults, written with every other key and read back, comes
// back, and no other field of the owner moved (two keys on one field would show).
template <typename Owner>
void CheckOwner(const SettingsTableOf<Owner>& table) {
    SCOPED_TRACE(table.owner);
    {
        test::MemoryProfile profile;
        for (const char* section : {"other", "quill", "kelpa"}) {
            if (std::string(section) != table.section) profile.WriteString(section, "A", "1");
        }
        const Owner loaded = LoadSettings(table);
        for (const SettingDecl& decl : table.settings) {
            EXPECT_EQ(decl.access.get(&loaded), DefaultSettingValue(decl)) << decl.key;
        }
    }
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

template <typename... Owners>
std::set<const SettingsTable*> CheckOwners(const SettingsTableOf<Owners>&... tables) {
    (CheckOwner(tables), ...);
    return {&tables...};
}

// Every key of every table: its default is within its limits, a value other than its default
// is written in its stored form and read back unchanged, and --set takes that form, in the
// table's section. Every table is also checked on its owner's fields.
TEST(SettingsTablesTest, EveryKeyRoundTripsThroughTheProfile) {
    const std::set<const SettingsTable*> owners = CheckOwners(
        ProcSettingsTable(), CaptureRunSettingsTable(), CaptureFileSettingsTable(),
        ControllerFlagsTable(), PreferredFormatSettingsTable(), DeviceChoiceSettingsTable(),
        LiveViewTable(), ProcViewTable(), WindowPlaceTable(ViewWindow::kLive),
        WindowPlaceTable(ViewWindow::kProc), InfoWindowTable(), PanelSettingsTable(),
        CrossbarSettingsTable(), DarkSettingsTable(), GuideLogSettingsTable());
    std::set<std::string> keys;
    for (const SettingsTable* table : ProgramSettingsTables()) {
        SCOPED_TRACE(table->owner);
        EXPECT_TRUE(owners.contains(table));
        for (const SettingDecl& decl : table->settings) {
            SCOPED_TRACE(decl.key);
            std::string lower(decl.key);
            for (char& c : lower) c = static_cast<char>(std::tolower(c));
            EXPECT_TRUE(keys.insert(lower).second);  // declared once, whatever the case
            EXPECT_EQ(FindSetting(ProgramSettingsTables(), decl.key), &decl);
            EXPECT_EQ(HoldToLimits(decl, decl.defaultValue), decl.defaultValue);
            const SettingValue other = OtherValue(decl);
            ASSERT_NE(other, DefaultSettingValue(decl));
            test::MemoryProfile profile;
            ASSERT_TRUE(WriteSetting(decl, table->section, other));
            EXPECT_EQ(ReadSetting(decl, table->section), other);
            EXPECT_EQ(CheckProgramSetting(decl.key, SettingText(decl, other)), "");
            EXPECT_EQ(std::string(ProgramSettingSection(decl.key)), table->section);
        }
    }
    EXPECT_EQ(owners.size(), ProgramSettingsTables().size());
}

// What --set accepts: keys without case, numbers beyond the limits (reading holds them), texts
// as long as the buffer or header field that holds them; what it refuses names the key.
TEST(SettingsTablesTest, OverridesAreCheckedAgainstEveryTable) {
    EXPECT_EQ(CheckProgramSetting("ProcAmpp", "200"), "unknown setting ProcAmpp");
    EXPECT_EQ(CheckProgramSetting("ProcAmp", "abc"),
              "bad value for ProcAmp: \"abc\" is not a whole number");
    EXPECT_EQ(ProgramSettingSection("ProcAmpp"), nullptr);
    EXPECT_STREQ(ProgramSettingSection("videodevice2"), "quill");
    const std::pair<const char*, std::string> usable[] = {
        {"procamp", "1000"},
        {"ProcTimeDelay", "-1"},
        {"ProcAreaX", "0.25"},
        {"CapCount", "4000000000"},
        {"CapObserver", std::string(40, 'o')},
        {"CapWorkDir", std::string(kCapturePathChars, 'd')},
        {"VideoDevice2", std::string(kDeviceNameSize, 'v')}};
    for (const auto& [key, text] : usable) EXPECT_EQ(CheckProgramSetting(key, text), "") << key;
    const std::pair<const char*, std::string> refused[] = {
        {"ProcChannelsID", "Grey"},
        {"ProcAreaX", "inf"},
        {"CapFileType", "SER"},
        {"DarkUse", "yes"},
        {"CapTelescope", std::string(41, 't')},
        {"CapWorkDir", std::string(kCapturePathChars + 1, 'd')},
        {"VideoDevice2", std::string(kDeviceNameSize + 1, 'v')}};
    for (const auto& [key, text] : refused) {
        EXPECT_NE(CheckProgramSetting(key, text).find(key), std::string::npos) << key;
    }
}

}  // namespace
}  // namespace kelpa
