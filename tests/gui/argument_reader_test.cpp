// The start-up's argument reader on command-line texts, and the windowed program's arguments
// as main hands them to it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/argument_reader.h"
#include "support/captured_log.h"

namespace kelpa {
namespace {

struct Item {
    int result;
    std::string option;  // "-" for none
    std::string value;   // "-" for none
};

std::vector<Item> ReadAll(std::string_view text) {
    std::vector<Item> items;
    ArgumentItem item;
    for (int i = 0; i < 10; ++i) {
        const int result = ReadArgument(text, &item);
        if (result == 0) break;
        items.push_back({result, item.hasOption ? std::string(item.option) : "-",
                         item.hasValue ? std::string(item.value) : "-"});
        if (result < 0) break;
    }
    return items;
}

struct ReaderCase {
    const char* text;
    std::vector<Item> items;
};

void PrintTo(const ReaderCase& c, std::ostream* os) {
    *os << '[' << c.text << ']';
}

class ArgumentReaderTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ArgumentReaderTest, ReadsItemsAsTheStartUpExpects) {
    const std::vector<Item> items = ReadAll(GetParam().text);
    ASSERT_EQ(items.size(), GetParam().items.size()) << GetParam().text;
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].result, GetParam().items[i].result) << GetParam().text << " " << i;
        EXPECT_EQ(items[i].option, GetParam().items[i].option) << GetParam().text << " " << i;
        EXPECT_EQ(items[i].value, GetParam().items[i].value) << GetParam().text << " " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ArgumentReaderTest,
    ::testing::Values(ReaderCase{"\"C:\\My Videos\\m42.avi\"",
                                 {{1, "-", "C:\\My Videos\\m42.avi"}}},
                      ReaderCase{"C:\\My Videos\\m42.avi", {{1, "-", "C:\\My Videos\\m42.avi"}}},
                      ReaderCase{"'/home/sky/m 42.avi'", {{1, "-", "/home/sky/m 42.avi"}}},
                      ReaderCase{"/i /x", {{1, "i", ""}, {1, "x", "-"}}},
                      ReaderCase{"/i", {{1, "i", "-"}}}, ReaderCase{"/i   ", {{1, "i", "-"}}},
                      ReaderCase{"/d value two /e", {{1, "d", "value two "}, {1, "e", "-"}}},
                      ReaderCase{"file.avi /i", {{1, "-", "file.avi"}, {1, "i", "-"}}},
                      ReaderCase{"junk/i", {{1, "i", "-"}}},
                      ReaderCase{"\"a.avi\" b.avi /i", {{1, "-", "a.avi"}, {1, "i", "-"}}},
                      ReaderCase{"/ i", {{-1, "-", "-"}}}, ReaderCase{"/", {{-1, "-", "-"}}},
                      ReaderCase{"\"unclosed /i", {{-1, "-", "-"}}}, ReaderCase{"", {}}));

TEST(ArgumentReader, AnUnclosedQuoteIsLogged) {
    kelpa::testing::CapturedLog::Start();
    std::string_view text = "\"/data/m42.avi";
    ArgumentItem item;
    EXPECT_EQ(ReadArgument(text, &item), -1);
    const std::vector<std::string> lines = kelpa::testing::CapturedLog::Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "$ bad arg: \"/data/m42.avi");
}

struct WindowedCase {
    std::vector<const char*> argv;
    std::string file;
    bool secondCopy;
};

TEST(WindowedArguments, PlainArgumentsAreFilesAndIAllowsASecondCopy) {
    const WindowedCase cases[] = {
        {{"kelpa"}, "", false},
        {{"kelpa", "/data/sky/m 42.avi"}, "/data/sky/m 42.avi", false},
        {{"kelpa", "-i"}, "", true},
        {{"kelpa", "/i", "a.avi"}, "a.avi", true},
        {{"kelpa", "a.avi", "b.avi"}, "b.avi", false},
        {{"kelpa", "it's \"here\".avi"}, "it's \"here\".avi", false},
        {{"kelpa", "say \"hi\".avi"}, "say \"hi\".avi", false},
        {{"kelpa", "/x"}, "/x", false},
    };
    for (const WindowedCase& c : cases) {
        const WindowedArguments arguments =
            ReadWindowedArguments(static_cast<int>(c.argv.size()), c.argv.data());
        EXPECT_EQ(arguments.startupFile, c.file) << c.argv.back();
        EXPECT_EQ(arguments.secondCopy, c.secondCopy) << c.argv.back();
    }
}

}  // namespace
}  // namespace kelpa
