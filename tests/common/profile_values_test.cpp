// Float profile values: the stored bit-pattern texts, the rejection of corrupt patterns and
// the range rules, over an in-memory profile store.
#include "common/clib/profile_values.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "common/clib/profile.h"

namespace kelpa {
namespace {

class MemoryProfile final : public ProfileStore {
  public:
    int32_t GetInt(const char*, const char* key, int32_t def) override {
        auto it = values.find(key);
        if (it == values.end()) return def;
        return static_cast<int32_t>(
            static_cast<uint32_t>(std::strtoll(it->second.c_str(), nullptr, 10)));
    }
    uint32_t GetString(const char*, const char*, const char*, char*, uint32_t) override {
        return 0;
    }
    bool WriteString(const char*, const char* key, const char* value) override {
        if (refuseWrites) return false;
        values[key] = value;
        return true;
    }
    std::map<std::string, std::string> values;
    bool refuseWrites = false;
};

class ProfileValuesTest : public ::testing::Test {
  protected:
    void SetUp() override { SetProfileStore(&profile_); }
    void TearDown() override { SetProfileStore(nullptr); }
    void Store(const char* text) { profile_.values["K"] = text; }
    float Read(float def) { return GetProfileFloat(kProfileSection, "K", def); }
    float ReadInRange(float def, bool fallBack) {
        return GetProfileFloatInRange(kProfileSection, "K", def, -1.0f, 2.0f, fallBack);
    }
    MemoryProfile profile_;
};

TEST_F(ProfileValuesTest, WritesTheUnsignedBitPattern) {
    ASSERT_TRUE(WriteProfileFloat(kProfileSection, "K", 1.0f));
    EXPECT_EQ(profile_.values["K"], "1065353216");
    ASSERT_TRUE(WriteProfileFloat(kProfileSection, "K", 0.5f));
    EXPECT_EQ(profile_.values["K"], "1056964608");
    ASSERT_TRUE(WriteProfileFloat(kProfileSection, "K", -2.0f));
    EXPECT_EQ(profile_.values["K"], "3221225472");  // above 2^31: written unsigned
}

TEST_F(ProfileValuesTest, ReadsBackWhatWasWritten) {
    for (float v : {1.0f, 0.5f, -2.0f, 1e-30f, -3.4e38f, 1.17549435e-38f, 4.0f, -20.0f}) {
        ASSERT_TRUE(WriteProfileFloat(kProfileSection, "K", v));
        EXPECT_EQ(Read(99.0f), v);
    }
}

TEST_F(ProfileValuesTest, CorruptPatternsGiveTheDefault) {
    EXPECT_EQ(Read(7.0f), 7.0f);  // missing
    for (const char* text :
         {"2139095040", "4286578688", "2143289344", "4294967295", "-1", "1", "2155872255"}) {
        Store(text);  // +inf, -inf, NaN, -1 (NaN), denormals
        EXPECT_EQ(Read(7.0f), 7.0f) << text;
    }
}

TEST_F(ProfileValuesTest, ZerosReadAsPositiveZero) {
    for (const char* text : {"0", "2147483648"}) {
        Store(text);
        const float v = Read(7.0f);
        EXPECT_EQ(v, 0.0f) << text;
        EXPECT_FALSE(std::signbit(v)) << text;
    }
}

TEST_F(ProfileValuesTest, RangeWithFallBackGivesTheDefault) {
    Store("1077936128");  // 3.0
    EXPECT_EQ(ReadInRange(0.5f, true), 0.5f);
    EXPECT_EQ(ReadInRange(5.0f, true), 2.0f);  // the default itself held to the range
    EXPECT_EQ(ReadInRange(-5.0f, true), -1.0f);
    Store("1069547520");  // 1.5: in range
    EXPECT_EQ(ReadInRange(0.5f, true), 1.5f);
}

TEST_F(ProfileValuesTest, RangeWithoutFallBackClamps) {
    Store("1077936128");  // 3.0
    EXPECT_EQ(ReadInRange(0.5f, false), 2.0f);
    Store("3225419776");  // -3.0
    EXPECT_EQ(ReadInRange(0.5f, false), -1.0f);
    profile_.values.clear();
    EXPECT_EQ(ReadInRange(5.0f, false), 2.0f);
}

TEST_F(ProfileValuesTest, AFailedWriteIsReported) {
    profile_.refuseWrites = true;
    EXPECT_FALSE(WriteProfileFloat(kProfileSection, "K", 1.0f));
    SetProfileStore(nullptr);
    EXPECT_FALSE(WriteProfileFloat(kProfileSection, "K", 1.0f));
}

}  // namespace
}  // namespace kelpa
