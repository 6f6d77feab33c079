// Capture writer without writing frames: the template language, names and their length budget,
// the source name, the directory and the capture command.
#include "video/capture_writer.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <utility>

#include "support/temp_files.h"
#include "support/test_support.h"

namespace kelpa {
namespace {

// Every test gets a home and a temporary directory of its own: nothing lands in ~/Pictures.
class CaptureWriterTest : public ::testing::Test {
  protected:
    testing::TempDir home_;
    testing::TempDir tmp_;
    testing::ScopedEnv homeEnv_{"HOME", home_.Path()};
    testing::ScopedEnv tmpEnv_{"TMPDIR", tmp_.Path()};
};

TEST_F(CaptureWriterTest, TemplatesBuildNamesAndAreStoredSanitised) {
    // The template, the time, the name behind the directory at 25 frames per second, the
    // template as the parser leaves it.
    // clang-format off
    const std::tuple<const char*, double, const char*, const char*> cases[] = {
        {"#night", 0.0, "night00001.bmp", "#night%f"},
        {"#a/b*c#d%t%f", 0.04, "a_b_c_d000004000002.bmp", "#a_b_c_d%t%f"},
        // Runs separated by bars each give their text once, in order.
        {"#ab|#cd", 0.0, "abcd00001.bmp", "#ab|#cd%f"},
        {"x%", 0.0, "x00001.bmp", "x%%f"},
        // Eight texts fit before the slot kept for the number; the ninth is dropped.
        {"#a|#b|#c|#d|#e|#f|#g|#h|#i", 0.0, "abcdefgh00001.bmp", "#a|#b|#c|#d|#e|#f|#g|#h|#i%f"},
        // Negative or undefined times give time 0 and frame 1.
        {"%t%f", -3.0, "000000000001.bmp", "%t%f"},
        {"%f", std::numeric_limits<double>::quiet_NaN(), "00001.bmp", "%f"}};
    // clang-format on
    CaptureWriter writer;
    ASSERT_TRUE(writer.SetCaptureDirectory("/cap"));
    for (const auto& [tmpl, t, file, stored] : cases) {
        ASSERT_TRUE(writer.SetCaptureTemplate(tmpl));
        EXPECT_EQ(writer.BuildCaptureName(t, 25.0), std::string("/cap/") + file) << tmpl;
        EXPECT_STREQ(writer.CaptureTemplate(), stored) << tmpl;
    }
}

// The name behind the directory keeps room for the number: behind 200 characters (a budget of
// 54 with the '/') the literal is cut; behind 242 (a budget of 12) the time fills the last 7
// exactly, loses its last digit, and ".bmp" is left out; behind 245 (a budget of 9) there is no
// room for the literal. A longer directory is refused.
TEST_F(CaptureWriterTest, NameBudgetKeepsRoomForNumberAndDropsExtension) {
    const std::tuple<size_t, std::string, double, std::string> cases[] = {
        {200, "#" + std::string(60, 'x') + "%f", 0.0, std::string(44, 'x') + "00001.bmp"},
        {242, "%f%t", 1.5, "00039000150"},
        {245, "#abc%f", 0.0, "00001.bmp"}};
    CaptureWriter writer;
    for (const auto& [length, tmpl, t, name] : cases) {
        const std::string dir(length, 'd');
        ASSERT_TRUE(writer.SetCaptureDirectory(dir.c_str()));
        ASSERT_TRUE(writer.SetCaptureTemplate(tmpl.c_str()));
        EXPECT_EQ(writer.BuildCaptureName(t, 25), dir + "/" + name) << length;
    }
    EXPECT_FALSE(writer.SetCaptureDirectory(std::string(246, 'b').c_str()));
    EXPECT_EQ(writer.CaptureDir(), std::string(245, 'd') + "/");
    EXPECT_EQ(writer.CaptureDirLen(), 246u);
}

// Device names give their first word when it is a name, file names their base name; a file name
// is cut to what the directory leaves (245 - 5). (The default
// template with the name part, and a new name taken between runs: the capture run tests.)
TEST_F(CaptureWriterTest, SourceNames) {
    CaptureWriter writer;
    ASSERT_TRUE(writer.SetCaptureDirectory("/cap/"));
    const std::string longFile = "/x/" + std::string(300, 'f') + ".avi";
    const std::tuple<const char*, bool, std::string> cases[] = {
        {" \t USB Video Device", false, "USB"},
        {"(Integrated) Camera", false, ""},
        {"/data/sky/M42.night.avi", true, "M42.night"},
        {longFile.c_str(), true, std::string(240, 'f')}};
    for (const auto& [text, isFile, name] : cases) {
        writer.SetCaptureName(text, isFile);
        EXPECT_EQ(writer.CaptureName(), name) << (text ? text : "(none)");
    }
}

// A name that can never be a directory gives way to the temporary one. (The default folder in "~/":
// the application settings test; a folder made when the capture starts: the headless capture test.)
TEST_F(CaptureWriterTest, DirectoryFallsBackToTemporary) {
    const std::string file = home_.File("plain");
    testing::WriteFile(file, "x");
    const std::pair<std::string, std::string> cases[] = {
        {file, tmp_.Path() + "/"},
        {std::string(250, 'z'), tmp_.Path() + "/"},
        {"", tmp_.Path() + "/"},
    };
    for (const auto& [dir, used] : cases) {
        CaptureRunSettings settings;
        settings.directory = dir;
        CaptureWriter writer(nullptr, settings);
        EXPECT_EQ(writer.CaptureDir(), used) << dir;
    }
}

// The capture command counts runs and tells the user. The interval between captured frames
// follows the frame delay and the processed rate.
TEST_F(CaptureWriterTest, ToggleCaptureCountsRunsAndIntervalFollowsTheRate) {
    CaptureWriter writer;
    test::RecordingNotice notice;
    EXPECT_TRUE(writer.ToggleCapture(&notice));
    writer.capturedCount.store(3);
    writer.captureCountdown.store(5);
    EXPECT_FALSE(writer.ToggleCapture(&notice));  // now stopped
    EXPECT_TRUE(writer.ToggleCapture(&notice));
    EXPECT_EQ(std::tuple(writer.capturedBefore, writer.capturedCount.load(),
                         writer.captureCountdown.load()),
              std::tuple(3u, 0u, 0u));
    EXPECT_EQ(notice.status,
              (std::vector<std::string>{"Capturing in progress +0", "Capturing 3 (+3) frame(s)",
                                        "Capturing in progress +0"}));

    const std::tuple<uint32_t, double, int32_t> cases[] = {
        {2, 25.0, 80}, {2, 0.0, 0}, {0, 25.0, 0}, {4000000000u, 1e-6, INT32_MAX}};
    for (const auto& [delay, rate, ms] : cases) {
        writer.captureFrameDelay.store(delay);
        writer.UpdateCaptureInterval(rate);
        EXPECT_EQ(writer.captureIntervalMs, ms) << delay << " at " << rate;
    }
}

}  // namespace
}  // namespace kelpa
