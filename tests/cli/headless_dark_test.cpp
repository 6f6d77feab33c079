// Dark frames and the guide log in the headless run: --take-dark stores a master dark that
// --set DarkUse=1 subtracts in later runs; a missing dark or a take cut short is reported;
// --set GuideLog=1 with the guide on writes the CSV log into the data folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/kelpa_runner.h"

namespace kelpa::test {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> FilesIn(const std::string& directory, const std::string& extension) {
    std::vector<fs::path> files;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(directory, ignored)) {
        if (entry.path().extension() == extension) files.push_back(entry.path());
    }
    return files;
}

double MeanOfFrames(const RunResult& r) {
    double sum = 0;
    int frames = 0;
    for (const std::string& line : r.lines) {
        if (IsSummary(line)) continue;
        sum += Field(line, "mean");
        ++frames;
    }
    return frames ? sum / frames : -1;
}

// The simulated camera's own sky, taken as the "dark", is what a later run subtracts: its
// frames come out much darker than without the dark.
TEST_F(HeadlessTest, TakenDarkIsUsedByLaterRuns) {
    const RunResult take = Run(Args({"--source", "sim", "--take-dark", "6"}));
    ASSERT_EQ(take.exitCode, 0) << take.errors;
    EXPECT_NE(take.errors.find("Dark frame of 6 frames taken for 640x480"), std::string::npos)
        << take.errors;
    const std::vector<fs::path> darks = FilesIn(data + "/kelpa/darks", ".kdark");
    ASSERT_EQ(darks.size(), 1u);
    EXPECT_NE(take.errors.find(darks[0].string()), std::string::npos) << take.errors;

    const std::vector<std::string> settings = {"--set", "ProcCountAccum=1", "--set",
                                               "ProcTimeDelay=0"};
    std::vector<std::string> plain = {"--source", "sim", "--frames", "5"};
    plain.insert(plain.end(), settings.begin(), settings.end());
    std::vector<std::string> withDark = plain;
    withDark.insert(withDark.end(), {"--set", "DarkUse=1"});
    const RunResult without = Run(Args(plain));
    const RunResult with = Run(Args(withDark));
    ASSERT_EQ(without.exitCode, 0) << without.errors;
    ASSERT_EQ(with.exitCode, 0) << with.errors;
    EXPECT_EQ(with.errors.find("Dark frame"), std::string::npos) << with.errors;
    EXPECT_LT(MeanOfFrames(with), MeanOfFrames(without) * 0.5);
}

TEST_F(HeadlessTest, DarkProblemsAreReported) {
    const RunResult none = Run(Args({"--source", "sim", "--frames", "2", "--set", "DarkUse=1"}));
    EXPECT_EQ(none.exitCode, 0) << none.errors;
    EXPECT_NE(none.errors.find("No dark frame stored for 640x480"), std::string::npos)
        << none.errors;

    const RunResult cut = Run(Args({"--source", "sim", "--frames", "2", "--take-dark", "200"}));
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_NE(cut.errors.find("of 200 dark frames; nothing stored"), std::string::npos)
        << cut.errors;
    EXPECT_TRUE(FilesIn(data + "/kelpa/darks", ".kdark").empty());

    for (const char* bad : {"0", "1025", "many"}) {
        EXPECT_EQ(Run(Args({"--source", "sim", "--take-dark", bad})).exitCode, 2) << bad;
    }
    EXPECT_EQ(Run({"--take-dark", "4"}).exitCode, 2);  // needs --headless
}

TEST_F(HeadlessTest, GuideLogIsWrittenIntoTheDataFolder) {
    const RunResult r =
        Run(Args({"--source", "sim", "--frames", "6", "--set", "ProcCountAccum=1", "--set",
                  "ProcTimeDelay=0", "--set", "ProcGuideEnable=1", "--set", "GuideLog=1"}));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    const std::vector<fs::path> logs = FilesIn(data + "/kelpa", ".csv");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].filename().string().rfind("guide-", 0), 0u);
    const std::string text = kelpa::testing::ReadText(logs[0].string());
    EXPECT_EQ(text.rfind("time_utc,star_x,star_y,dx,dy,hfd,snr\n", 0), 0u) << text;
    EXPECT_GE(std::count(text.begin(), text.end(), '\n'), 2) << text;
}

}  // namespace
}  // namespace kelpa::test
