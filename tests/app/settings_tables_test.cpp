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

// A profile without the table's keys gives exactly the defaults. Then each
// key set alone in an owner of the defaults, written with every other key and read back, comes
// back, and no other field of the owner moved (two keys on one field would show).
template <typename Owner>
void CheckOwner(const SettingsTableOf<Owner>& table) {
    SCOPED_TRACE(table.owner);
    {
        test::MemoryProfile empty;
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

// Every key of every table: declared once, its default within its limits, and --set takes a
// value other than the default in its stored form, in the table's section. Every table is
// checked on its owner's fields too.
TEST(SettingsTablesTest, EveryKeyRoundTripsThroughTheProfile) {
    const std::set<const SettingsTable*> owners =
        CheckOwners(ProcSettingsTable(), CaptureRunSettingsTable(), CaptureFileSettingsTable(),
                    ControllerFlagsTable(), PreferredFormatSettingsTable(),
                    DeviceChoiceSettingsTable(), LiveViewTable(), ProcViewTable(),
                    WindowPlaceTable(ViewWindow::kLive), WindowPlaceTable(ViewWindow::kProc),
                    InfoWindowTable(), MainWindowPlaceTable(), PanelSettingsTable(),
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
            const SettingValue other = OtherValue(decl);  // read back by CheckOwner
            ASSERT_NE(other, DefaultSettingValue(decl));
            EXPECT_EQ(CheckProgramSetting(decl.key, SettingText(decl, other)), "");
            EXPECT_EQ(std::string(ProgramSettingSection(decl.key)), table->section);
        }
    }
    EXPECT_EQ(owners.size(), ProgramSettingsTables().size());
}

// What --set accepts: texts as long as the buffer or header field that holds them; what it
// refuses names the key. (Keys without case and decimal numbers are the headless runs';
// numbers beyond the limits, which reading holds, the settings table's.)
TEST(SettingsTablesTest, OverridesAreCheckedAgainstEveryTable) {
    EXPECT_STREQ(ProgramSettingSection("videodevice2"), "quill");
    const struct {
        const char* key;
        std::string text;
        bool usable;
    } cases[] = {{"CapWorkDir", std::string(kCapturePathChars, 'd'), true},
                 {"VideoDevice2", std::string(kDeviceNameSize, 'v'), true},
                 {"ProcAreaX", "inf", false},
                 {"CapFileType", "SER", false},
                 {"CapWorkDir", std::string(kCapturePathChars + 1, 'd'), false},
                 {"VideoDevice2", std::string(kDeviceNameSize + 1, 'v'), false}};
    for (const auto& c : cases) {
        const std::string error = CheckProgramSetting(c.key, c.text);
        EXPECT_EQ(error.empty(), c.usable) << c.key << ": " << error;
        EXPECT_EQ(error.find(c.key) != std::string::npos, !c.usable) << c.key;
    }
}

}  // namespace
}  // namespace kelpa
