// The value-list reader: item kinds, where the next item starts, the failures, and the
// multi-item variants that clear everything when a later item fails.
#include "common/clib/value_token.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kelpa {
namespace {

// One read: its result and the stored item (none when nothing was stored).
struct Read {
    int32_t result;
    std::optional<std::string> item;
    bool operator==(const Read&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Read& read) {
    return out << read.result << ":" << (read.item ? "'" + *read.item + "'" : "none");
}

std::vector<Read> ReadAll(const char* text) {
    std::vector<Read> reads;
    const char* cursor = text;
    while (cursor && reads.size() < 16) {
        std::string item = "\x01";  // a marker that a read storing nothing leaves in place
        const int32_t result = ReadValueToken(cursor, &item);
        reads.push_back({result, item == "\x01" ? std::nullopt : std::optional(item)});
        if (result <= 0) break;
    }
    return reads;
}

struct TokenCase {
    const char* name;
    const char* text;
    std::vector<Read> reads;
};

void PrintTo(const TokenCase& param, std::ostream* out) {
    *out << param.text;
}

class ReadValueTokenTest : public ::testing::TestWithParam<TokenCase> {};

TEST_P(ReadValueTokenTest, SplitsTheValueText) {
    EXPECT_EQ(ReadAll(GetParam().text), GetParam().reads);
}

INSTANTIATE_TEST_SUITE_P(
    Items, ReadValueTokenTest,
    ::testing::Values(
        TokenCase{"Quoted", "\"Open a file\", 'it''s'", {{1, "Open a file"}, {1, "it"}}},
        TokenCase{"QuoteThenJunk", "\"a\" junk , b", {{1, "a"}, {1, "b"}}},
        TokenCase{"MissingQuote", "\"open", {{-2, std::nullopt}}},
        TokenCase{"CommaList", "abc ,\tdef,ghi", {{1, "abc"}, {1, "def"}, {1, "ghi"}}},
        TokenCase{"Number", "12, word", {{1, std::nullopt}, {1, "word"}}},
        TokenCase{"LeadingComma", ",x", {{1, std::nullopt}, {1, "x"}}},
        TokenCase{"LastBlankEndsWord", "one two three", {{1, "one two"}}},
        TokenCase{"SingleWord", "single", {{1, "single"}}},
        TokenCase{"NothingAfterComma", "a,   ", {{1, "a"}}}, TokenCase{"Empty", "", {{1, ""}}}),
    [](const ::testing::TestParamInfo<TokenCase>& testInfo) { return testInfo.param.name; });

TEST(ReadValueTokenTest, ReportsWhereTheItemLies) {
    const char* text = "  12";
    const char* cursor = text + 2;
    const char* start = nullptr;
    size_t length = 99;
    EXPECT_EQ(ReadValueToken(cursor, nullptr, &start, &length), 1);
    EXPECT_EQ(start, text + 2);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(ReadValueToken(cursor, nullptr, &start, &length), 0);
}

TEST(ReadValueTokenTest, CopiesAtMostTheItemLimit) {
    const std::string text = "\"" + std::string(kMaxValueItem + 10, 'q') + "\"";
    const char* cursor = text.c_str();
    std::string item;
    size_t length = 0;
    EXPECT_EQ(ReadValueToken(cursor, &item, nullptr, &length), 1);
    EXPECT_EQ(item.size(), kMaxValueItem);
    EXPECT_EQ(length, kMaxValueItem + 10);
}

TEST(ReadValueTokensTest, ReadsSeveralItemsInARow) {
    const char* cursor = "\"File\", 'Open', Save, 7, rest";
    std::string a, b, c, d;
    EXPECT_EQ(ReadValueTokens(cursor, a, b, c, d), 1);
    EXPECT_EQ(a, "File");
    EXPECT_EQ(b, "Open");
    EXPECT_EQ(c, "Save");
    EXPECT_EQ(d, "");
    ASSERT_NE(cursor, nullptr);
    EXPECT_STREQ(cursor, "rest");
}

TEST(ReadValueTokensTest, ClearsEveryItemWhenALaterOneFails) {
    std::string a = "old", b = "old", c = "old";
    const char* cursor = "\"x\", \"y";
    EXPECT_EQ(ReadValueTokens(cursor, a, b), -2);
    EXPECT_EQ(a, "");
    EXPECT_EQ(b, "");

    cursor = "\"x\", y";
    EXPECT_EQ(ReadValueTokens(cursor, a, b, c), 0);  // the items ran out
    EXPECT_EQ(a, "");
    EXPECT_EQ(b, "");
    EXPECT_EQ(c, "");

    cursor = "only";
    EXPECT_EQ(ReadValueTokens(cursor, a), 1);
    EXPECT_EQ(a, "only");
}

}  // namespace
}  // namespace kelpa
