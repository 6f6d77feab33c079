// The command line: what the accepted options give the run, and the options refused with their
// reason (the program then exits with code 2).
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kelpa {
namespace {

bool Parse(std::vector<const char*> args, CommandLine* out, std::string* error) {
    args.insert(args.begin(), "kelpa");
    return ParseCommandLine(static_cast<int>(args.size()), args.data(), out, error);
}

TEST(CommandLineTest, AcceptedOptionsReachTheRun) {
    CommandLine o;
    std::string error;
    ASSERT_TRUE(Parse(
        {"--headless", "m42.avi", "--frames", "4294967295", "--set", "procamp=300", "--capture-dir",
         "caps", "--capture-count", "2", "--take-dark", "1024", "--no-pacing", "-i"},
        &o, &error))
        << error;
    EXPECT_EQ(o.frames, 4294967295u);
    EXPECT_EQ(o.takeDarkFrames, 1024u);
    EXPECT_TRUE(o.secondCopy);

    ASSERT_TRUE(Parse({"m42.avi", "/i"}, &o, &error)) << error;  // the windowed program's file
    EXPECT_EQ(o.videoFile, "m42.avi");
    EXPECT_EQ(o.source, "");
    EXPECT_TRUE(o.secondCopy);
    EXPECT_TRUE(Parse({"--frames", "5", "--help"}, &o, &error)) << error;
}

TEST(CommandLineTest, BadArgumentsAreRefusedWithTheirReason) {
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{"--frames", "5"}, "the headless options need --headless"},
        {{"--headless", "--frames", "many"}, "--frames needs a positive number, not 'many'"},
        {{"--headless", "--frames", "4294967296"}, "not '4294967296'"},
        {{"--headless", "--capture-dir", "d", "--capture-count", "0"}, "not '0'"},
        {{"--headless", "--capture-count", "3"}, "--capture-count needs --capture-dir"},
        {{"--headless", "--take-dark", "0"}, "from 1 to 1024, not '0'"},
        {{"--headless", "--take-dark", "1025"}, "from 1 to 1024, not '1025'"},
        {{"--headless", "--bogus"}, "unknown option '--bogus'"},
        {{"--headless", "--set", "=1"}, "--set needs KEY=VALUE, not '=1'"},
        {{"--headless", "m42.avi", "--source", "sim"},
         "--source and the video file 'm42.avi' name two sources"},
    };
    for (const auto& [args, why] : cases) {
        CommandLine options;
        std::string error;
        EXPECT_FALSE(Parse(args, &options, &error)) << why;
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace kelpa
