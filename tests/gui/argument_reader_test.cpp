// The windowed program's arguments as main hands them over: each is read as one quoted item, so a
// plain argument is a file whatever it holds, and /i (or -i) allows a second copy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/argument_reader.h"

namespace kelpa {
namespace {

TEST(WindowedArguments, PlainArgumentsAreFilesAndIAllowsASecondCopy) {
    const struct {
        std::vector<const char*> argv;
        std::string file;
        bool secondCopy;
    } cases[] = {
        {{"kelpa"}, "", false},
        {{"kelpa", "-i"}, "", true},
        {{"kelpa", "/i", "C:\\My Videos\\m42.avi"}, "C:\\My Videos\\m42.avi", true},
        {{"kelpa", "a.avi", "/d value two /e"}, "/d value two /e", false},
        {{"kelpa", "it's.avi"}, "it's.avi", false},
        {{"kelpa", "say \"hi\".avi"}, "say \"hi\".avi", false},
        {{"kelpa", "say \"hi\" it's.avi"}, "say \"hi\" it's.avi", false},
        {{"kelpa", "/x"}, "/x", false},
        {{"kelpa", "--", "junk/i"}, "junk/i", false},
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
