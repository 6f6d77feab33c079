// Float profile values: the stored bit-pattern texts, the rejection of corrupt patterns and
// the range rules, over an in-memory profile store.
#include "common/profile_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "common/profile.h"
#include "support/test_support.h"

namespace kelpa {
namespace {

class ProfileValuesTest : public ::testing::Test {
  protected:
    float Read(float def) { return GetProfileFloat(kProfileSection, "K", def); }
    float ReadInRange(float def, bool fallBack) {
        return GetProfileFloatInRange(kProfileSection, "K", def, -1.0f, 2.0f, fallBack);
    }
    test::MemoryProfile profile_;
};

TEST_F(ProfileValuesTest, WritesTheUnsignedBitPatternAndReadsItBack) {
    const std::pair<float, const char*> patterns[] = {
        {1.0f, "1065353216"}, {0.5f, "1056964608"}, {-2.0f, "3221225472"}};  // above 2^31
    for (const auto& [v, text] : patterns) {
        ASSERT_TRUE(WriteProfileFloat(kProfileSection, "K", v));
        EXPECT_EQ(profile_.Get("K"), text);
    }
    for (float v : {1e-30f, -3.4e38f, 1.17549435e-38f, -20.0f}) {
        ASSERT_TRUE(WriteProfileFloat(kProfileSection, "K", v));
        EXPECT_EQ(Read(99.0f), v);
    }
}

TEST_F(ProfileValuesTest, CorruptPatternsGiveTheDefaultAndZerosArePositive) {
    EXPECT_EQ(Read(7.0f), 7.0f);  // missing
    // +inf, -inf, NaN, -1 (NaN), a denormal
    for (const char* text : {"2139095040", "4286578688", "2143289344", "-1", "1"}) {
        profile_.Set("K", text);
        EXPECT_EQ(Read(7.0f), 7.0f) << text;
    }
    for (const char* text : {"0", "2147483648"}) {
        profile_.Set("K", text);
        const float v = Read(7.0f);
        EXPECT_EQ(v, 0.0f) << text;
        EXPECT_FALSE(std::signbit(v)) << text;
    }
}

TEST_F(ProfileValuesTest, RangeFallsBackToTheDefaultOrClamps) {
    profile_.Set("K", "1077936128");  // 3.0
    EXPECT_EQ(ReadInRange(0.5f, true), 0.5f);
    EXPECT_EQ(ReadInRange(-5.0f, true), -1.0f);  // the default itself held to the range
    EXPECT_EQ(ReadInRange(0.5f, false), 2.0f);
    profile_.Set("K", "3225419776");  // -3.0
    EXPECT_EQ(ReadInRange(0.5f, false), -1.0f);
    profile_.Set("K", "1069547520");  // 1.5: in range
    EXPECT_EQ(ReadInRange(0.5f, true), 1.5f);
}

TEST(ProfileValuesFailureTest, AFailedWriteIsReported) {
    struct RefusingProfile final : ProfileStore {
        int32_t GetInt(const char*, const char*, int32_t def) override { return def; }
        uint32_t GetString(const char*, const char*, const char*, char*, uint32_t) override {
            return 0;
        }
        bool WriteString(const char*, const char*, const char*) override { return false; }
    } refusing;
    SetProfileStore(&refusing);
    EXPECT_FALSE(WriteProfileFloat(kProfileSection, "K", 1.0f));
    SetProfileStore(nullptr);
    EXPECT_FALSE(WriteProfileFloat(kProfileSection, "K", 1.0f));
}

}  // namespace
}  // namespace kelpa
