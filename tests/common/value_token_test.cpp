// The value-list reader: item kinds, where the next item starts, the failures, and the
// multi-item variants that clear everything when a later item fails.
#include "common/value_token.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelpa {
namespace {

// Every read of a text as "result:item", with "-" where the read stored nothing.
std::vector<std::string> ReadAll(const char* text) {
    std::vector<std::string> reads;
    for (const char* cursor = text; cursor && reads.size() < 16;) {
        std::string item = "\x01";  // a marker that a read storing nothing leaves in place
        const int32_t result = ReadValueToken(cursor, &item);
        reads.push_back(std::to_string(result) + ":" + (item == "\x01" ? "-" : item));
        if (result <= 0) break;
    }
    return reads;
}

TEST(ReadValueTokenTest, SplitsTheValueText) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"\"Open a file\", 'it''s'", {"1:Open a file", "1:it"}},
        {"\"a\" junk , b", {"1:a", "1:b"}},
        {"\"open", {"-2:-"}},
        {"abc ,\tdef,ghi", {"1:abc", "1:def", "1:ghi"}},
        {"12, word", {"1:-", "1:word"}},
        {"one two three", {"1:one two"}},  // the last blank ends the word
        {"a,   ", {"1:a"}},
        {"", {"1:"}}};
    for (const auto& [text, reads] : cases) EXPECT_EQ(ReadAll(text), reads) << text;
}

TEST(ReadValueTokenTest, ReportsWhereTheItemLiesAndCopiesAtMostTheLimit) {
    const char* text = "  12";
    const char* cursor = text + 2;
    const char* start = nullptr;
    size_t length = 99;
    EXPECT_EQ(ReadValueToken(cursor, nullptr, &start, &length), 1);
    EXPECT_EQ(start, text + 2);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(ReadValueToken(cursor, nullptr, &start, &length), 0);

    const std::string quoted = "\"" + std::string(kMaxValueItem + 10, 'q') + "\"";
    cursor = quoted.c_str();
    std::string item;
    EXPECT_EQ(ReadValueToken(cursor, &item, nullptr, &length), 1);
    EXPECT_EQ(item.size(), kMaxValueItem);
    EXPECT_EQ(length, kMaxValueItem + 10);
}

TEST(ReadValueTokensTest, ReadsSeveralItemsAndClearsThemAllWhenOneFails) {
    const char* cursor = "\"File\", 'Open', Save, 7, rest";
    std::string a, b, c, d;
    EXPECT_EQ(ReadValueTokens(cursor, a, b, c, d), 1);
    EXPECT_EQ(a + "|" + b + "|" + c + "|" + d, "File|Open|Save|");
    ASSERT_NE(cursor, nullptr);
    EXPECT_STREQ(cursor, "rest");

    cursor = "\"x\", \"y";
    EXPECT_EQ(ReadValueTokens(cursor, a, b), -2);
    EXPECT_EQ(a + b, "");
    a = b = c = "old";
    cursor = "\"x\", y";
    EXPECT_EQ(ReadValueTokens(cursor, a, b, c), 0);  // the items ran out
    EXPECT_EQ(a + b + c, "");
}

}  // namespace
}  // namespace kelpa
