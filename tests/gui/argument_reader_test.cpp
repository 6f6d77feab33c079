// The start-up's argument reader on command-line texts, and the windowed program's arguments
// as main hands them to it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/argument_reader.h"
#include "support/captured_log.h"

namespace kelpa {
namespace {

// The items read from `text`, as "result option|value" ("-" for none).
std::vector<std::string> ReadAll(std::string_view text) {
    std::vector<std::string> items;
    ArgumentItem item;
    for (int result = ReadArgument(text, &item); result != 0 && items.size() < 10;
         result = ReadArgument(text, &item)) {
        items.push_back(std::to_string(result) + " " +
                        (item.hasOption ? std::string(item.option) : "-") + "|" +
                        (item.hasValue ? std::string(item.value) : "-"));
        if (result < 0) break;
    }
    return items;
}

TEST(ArgumentReader, ReadsItemsAsTheStartUpExpects) {
    using Items = std::vector<std::string>;
    const std::pair<const char*, Items> cases[] = {
        {"\"C:\\My Videos\\m42.avi\"", {"1 -|C:\\My Videos\\m42.avi"}},
        {"C:\\My Videos\\m42.avi", {"1 -|C:\\My Videos\\m42.avi"}},
        {"'/home/sky/m 42.avi'", {"1 -|/home/sky/m 42.avi"}},
        {"/i /x", {"1 i|", "1 x|-"}},
        {"/d value two /e", {"1 d|value two ", "1 e|-"}},
        {"file.avi /i", {"1 -|file.avi", "1 i|-"}},
        {"junk/i", {"1 i|-"}},
        {"/ i", {"-1 -|-"}},
        {"/", {"-1 -|-"}},
        {"", {}},
    };
    for (const auto& [text, items] : cases) EXPECT_EQ(ReadAll(text), items) << '[' << text << ']';
}

TEST(ArgumentReader, AnUnclosedQuoteIsRefusedAndLogged) {
    kelpa::testing::CapturedLog::Start();
    EXPECT_EQ(ReadAll("\"/data/m42.avi /i"), std::vector<std::string>{"-1 -|-"});
    const std::vector<std::string> lines = kelpa::testing::CapturedLog::Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "$ bad arg: \"/data/m42.avi /i");
}

TEST(WindowedArguments, PlainArgumentsAreFilesAndIAllowsASecondCopy) {
    const struct {
        std::vector<const char*> argv;
        std::string file;
        bool secondCopy;
    } cases[] = {
        {{"kelpa"}, "", false},
        {{"kelpa", "-i"}, "", true},
        {{"kelpa", "/i", "a.avi"}, "a.avi", true},
        {{"kelpa", "a.avi", "say \"hi\" it's.avi"}, "say \"hi\" it's.avi", false},
        {{"kelpa", "/x"}, "/x", false},
    };
    for (const auto& c : cases) {
        const WindowedArguments arguments =
            ReadWindowedArguments(static_cast<int>(c.argv.size()), c.argv.data());
        EXPECT_EQ(arguments.startupFile, c.file) << c.argv.back();
        EXPECT_EQ(arguments.secondCopy, c.secondCopy) << c.argv.back();
    }
}

}  // namespace
}  // namespace kelpa
