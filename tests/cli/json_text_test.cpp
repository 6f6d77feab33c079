// JSON string texts: escapes, well-formed UTF-8 kept, every malformed byte replaced.
#include "cli/json_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kelpa {
namespace {

TEST(JsonTextTest, EscapesAndValidatesEveryByte) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"m42.avi", "m42.avi"},
        {"say \"hi\"\\now", "say \\\"hi\\\"\\\\now"},
        {"tab\there\n\x7f", "tab\\u0009here\\u000a\\u007f"},
        {"m42 \xc3\xbc"
         "ber \xe2\x82\xac \xf0\x9f\x94\xad",
         "m42 \xc3\xbc"
         "ber \xe2\x82\xac \xf0\x9f\x94\xad"},
        {"latin1 \xfc"
         "ber",
         "latin1 \\ufffdber"},                   // a lone lead byte
        {"cut \xe2\x82", "cut \\ufffd\\ufffd"},  // a sequence cut short
        {"\x80 stray", "\\ufffd stray"},         // a continuation byte alone
        {"overlong \xc0\xaf \xe0\x80\xaf", "overlong \\ufffd\\ufffd \\ufffd\\ufffd\\ufffd"},
        {"surrogate \xed\xa0\x80", "surrogate \\ufffd\\ufffd\\ufffd"},
        {"too high \xf4\x90\x80\x80", "too high \\ufffd\\ufffd\\ufffd\\ufffd"},
        {"\xef\xbf\xbf max \xf4\x8f\xbf\xbf", "\xef\xbf\xbf max \xf4\x8f\xbf\xbf"},
        {std::string("nul\0in", 6), "nul\\u0000in"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JsonText(c.in), c.out) << c.in;
    }
}

}  // namespace
}  // namespace kelpa
