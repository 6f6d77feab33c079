// The guide star's metrics in the headless JSON lines: numbers with the guide on a star, null
// when the guide's centre lies on no star, left out with the guide off; the fields before them
// keep their names and formats.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cli/kelpa_runner.h"
#include "sim/sim_sky.h"

namespace kelpa::test {
namespace {

constexpr const char* kMetrics[] = {"hfd", "fwhm", "peak", "snr"};
constexpr double kFwhmPerSigma = 2.3548200450309493;

bool HasKey(const std::string& line, const std::string& name) {
    return line.find("\"" + name + "\": ") != std::string::npos;
}
bool IsNull(const std::string& line, const std::string& name) {
    return line.find("\"" + name + "\": null") != std::string::npos;
}

// The --set options of a processing area that holds the simulator's guide star and nothing
// else: the region its track keeps free of field stars and hot pixels.
std::vector<std::string> GuideStarArea() {
    const SimSkyParams sky;  // what the simulated camera renders at 640 x 480
    const SimRect zone = SimGuideTrack(sky).Zone();
    const auto set = [](const char* key, double value) {
        return std::vector<std::string>{"--set", std::string(key) + "=" + std::to_string(value)};
    };
    std::vector<std::string> args;
    for (const auto& pair : {set("ProcAreaX", 0.5 * (zone.left + zone.right) / sky.width),
                             set("ProcAreaY", 0.5 * (zone.top + zone.bottom) / sky.height),
                             set("ProcAreaW", 0.9 * (zone.right - zone.left) / sky.width),
                             set("ProcAreaH", 0.9 * (zone.bottom - zone.top) / sky.height)}) {
        args.insert(args.end(), pair.begin(), pair.end());
    }
    return args;
}

// With the guide and its refinement on an area around the guide star, every line carries the
// star's metrics as numbers, after the fields that were there before; the FWHM is the
// simulator's (its shot noise moves each frame's by a few per cent).
TEST_F(HeadlessTest, GuideOnAStarPrintsItsMetrics) {
    std::vector<std::string> args = {"--source",          "sim",   "--frames",         "8", "--set",
                                     "ProcGuideEnable=1", "--set", "ProcGuideRefine=1"};
    const std::vector<std::string> area = GuideStarArea();
    args.insert(args.end(), area.begin(), area.end());
    const RunResult r = Run(Args(args));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    ASSERT_EQ(r.lines.size(), 9u);
    double fwhmSum = 0;
    for (size_t i = 0; i < 8; ++i) {
        const std::string& line = r.lines[i];
        SCOPED_TRACE(line);
        EXPECT_LT(line.find("\"delayMs\": "), line.find("\"hfd\": "));
        for (const char* name : {"frame", "time", "histMin", "histMax", "mean", "rms", "bkgr",
                                 "bkgrRms", "starX", "starY", "amp", "countAccum", "delayMs"}) {
            EXPECT_GT(Field(line, name), -1e300) << name;
        }
        for (const char* name : kMetrics) ASSERT_FALSE(IsNull(line, name)) << name;
        EXPECT_GT(Field(line, "hfd"), 0.0);
        EXPECT_GT(Field(line, "peak"), Field(line, "bkgr") + 50);
        EXPECT_GT(Field(line, "snr"), 10.0);
        fwhmSum += Field(line, "fwhm");
    }
    EXPECT_NEAR(fwhmSum / 8 / (kFwhmPerSigma * SimSkyParams{}.psfSigma), 1.0, 0.1);
}

// Over the default area the simulator's brightest field stars pull the guide's centre onto empty
// sky between them: the fields are there, null. With the guide off they are left out.
TEST_F(HeadlessTest, MetricsAreNullWithoutAStarAndAbsentWithTheGuideOff) {
    const RunResult on =
        Run(Args({"--source", "sim", "--frames", "3", "--set", "ProcGuideEnable=1"}));
    ASSERT_EQ(on.exitCode, 0) << on.errors;
    ASSERT_EQ(on.lines.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        for (const char* name : kMetrics) EXPECT_TRUE(IsNull(on.lines[i], name)) << on.lines[i];
    }
    const RunResult off = Run(Args({"--source", "sim", "--frames", "3", "--set",
                                    "ProcGuideEnable=0", "--set", "ProcGuideRefine=1"}));
    ASSERT_EQ(off.exitCode, 0) << off.errors;
    ASSERT_EQ(off.lines.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        for (const char* name : kMetrics) EXPECT_FALSE(HasKey(off.lines[i], name)) << off.lines[i];
        EXPECT_TRUE(off.lines[i].ends_with("\"delayMs\": 0}")) << off.lines[i];
    }
}

}  // namespace
}  // namespace kelpa::test
