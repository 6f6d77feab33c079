// The settings table machinery over a table of every kind: what a stored or typed text becomes
// (what --set refuses in the program's own tables is the settings tables' test), the texts
// values are written as, and saving a table whose values cannot all be written.
#include "common/settings_table.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "support/test_support.h"

namespace kelpa {
namespace {

struct Sample {
    int32_t level = 0;
    uint32_t delayMs = 0;
    bool on = false;
    uint32_t tag = 0;
    float ratio = 0.0f;
    float factor = 0.0f;
    int32_t mode = 0;
    std::string name;
};

constexpr std::array kSample = {
    SignedSetting("Level", 10, -5, 100, OutOfRange::kClamp, SettingField<&Sample::level>()),
    UnsignedSetting("DelayMs", 0, 0, 6000, OutOfRange::kClamp, SettingField<&Sample::delayMs>()),
    FlagSetting("On", false, SettingField<&Sample::on>()),
    TagSetting("Tag", "Grey", SettingField<&Sample::tag>()),
    FloatSetting("Ratio", 0.5f, 0.0f, 1.0f, SettingField<&Sample::ratio>()),
    CentiFloatSetting("Factor", 2.0f, -2.0f, 8.0f, OutOfRange::kClamp,
                      SettingField<&Sample::factor>()),
    SignedSetting("Mode", 1, -2, 3, OutOfRange::kReplace, SettingField<&Sample::mode>(), 0),
    TextSetting("Name", "#cap%n#", 8, SettingField<&Sample::name>()),
};
static_assert(AllFieldsOf<Sample>(kSample));
constexpr std::array kSampleOrder =
    WriteOrderOf(kSample, std::array<const char*, 3>{"Name", "Level", "Ratio"});
constexpr SettingsTableOf<Sample> kSampleTable{{"sample", "kelpa", kSample, kSampleOrder}};

const SettingDecl& Decl(std::string_view key) {
    for (const SettingDecl& decl : kSample) {
        if (key == decl.key) return decl;
    }
    throw std::logic_error("no such key");
}

TEST(SettingsTableTest, TextsBecomeValuesHeldToTheirLimits) {
    const struct {
        const char* key;
        const char* text;
        std::optional<double> expected;  // none: refused
    } cases[] = {
        {"Level", " +7\t", 7.0},
        {"Level", "-6", -5.0},                        // clamped
        {"Level", "99999999999999999999999", 100.0},  // beyond 64 bits: still held
        {"Level", "12abc", std::nullopt},
        {"Level", "", std::nullopt},
        {"DelayMs", "7000", 6000.0},
        {"On", "-3", 1.0},
        {"Tag", "-1", 4294967295.0},  // a word written with "%d"
        {"Tag", "4294967296", std::nullopt},
        // Floats are stored as their bit pattern: corrupt patterns and values outside the
        // limits give the default, -0.0 reads as 0.
        {"Ratio", "0.25", 0.25},
        {"Ratio", "1069547520", 0.5},  // 1.5
        {"Ratio", "2147483648", 0.0},
        {"Ratio", "2139095040", std::nullopt},  // infinity
        {"Ratio", "-1", std::nullopt},          // NaN
        {"Ratio", "1", std::nullopt},           // denormal
        {"Factor", "3.5", std::nullopt},        // stored as 350
        {"Mode", "9", 0.0},                     // replaced
        {"Mode", "-2", -2.0},
        {"Name", "123456789", std::nullopt},  // longer than 8
    };
    for (const auto& c : cases) {
        const SettingParse parsed = ParseSetting(Decl(c.key), c.text);
        EXPECT_EQ(parsed.ok() ? std::optional(parsed.value.number) : std::nullopt, c.expected)
            << c.key << "=" << c.text << ": " << parsed.error;
    }
}

TEST(SettingsTableTest, ValuesAreWrittenInTheirStoredForm) {
    const std::tuple<const char*, double, const char*> cases[] = {
        {"Level", -12.0, "-12"},
        {"Tag", 1835230017.0, "1835230017"},
        {"Ratio", -2.0, "3221225472"}};
    for (const auto& [key, value, text] : cases) {
        EXPECT_EQ(SettingText(Decl(key), SettingValue{value, {}}), text) << key;
    }
    // Every banding factor the settings panel can set survives the integer-times-100 storage
    // (a write that truncates would turn -1.18 into -117, and 35 others like it).
    const SettingDecl& factor = Decl("Factor");
    for (int32_t stored = -200; stored <= 800; ++stored) {
        const SettingParse parsed = ParseSetting(factor, std::to_string(stored));
        ASSERT_EQ(parsed.value.number, double(static_cast<float>(stored) / 100.0f));
        ASSERT_EQ(SettingText(factor, parsed.value), std::to_string(stored));
    }
}

// A missing key or a text that is no value gives the default; saving follows the write order
// and skips a value that cannot be written while still writing the others.
TEST(SettingsTableTest, TableLoadsAndSavesThroughTheProfile) {
    test::MemoryProfile profile;
    profile.Set("Level", "abc");
    profile.Set("DelayMs", "250");
    profile.Set("Name", "");
    profile.Set("Factor", "");
    Sample loaded = LoadSettings(kSampleTable);
    // An empty text is a text; an empty number is no number.
    EXPECT_EQ(std::tie(loaded.level, loaded.delayMs, loaded.tag, loaded.factor, loaded.name),
              std::tuple(10, 250u, TagWord("Grey"), 2.0f, ""));
    EXPECT_EQ(DefaultSettings(kSampleTable).name, "#cap%n#");
    profile.Set("Name", "#n");

    loaded.level = 55;
    loaded.ratio = 0.25f;
    loaded.name = "far too long";
    EXPECT_EQ(SaveSettings(kSampleTable, loaded), 2);
    EXPECT_EQ(profile.WriteOrder(), (std::vector<std::string>{"Level", "Ratio"}));
    EXPECT_EQ(profile.Get("Name"), "#n");
    EXPECT_EQ(profile.Get("Ratio"), "1048576000");
}

}  // namespace
}  // namespace kelpa
