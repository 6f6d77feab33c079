// SER files read back by the tests' own reader: header fields, frames upright, trailer times,
// and files cut short by a crash or a full disk that still count exactly the frames they hold.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include "support/temp_files.h"
#include "video/capture_test_support.h"
#include "video/ser_file.h"
#include "video/ser_reader.h"

namespace kelpa {
namespace {

using testing::Picture;
using testing::ReadFile;
using testing::ReadSer;
using testing::SerContent;
using testing::TempDir;

CapturePicture View(const Picture& p, bool colour) {
    return {&p.fb, p.header.height < 0, colour};
}

SerRunInfo Info(int32_t w, int32_t h, bool colour) {
    return {.width = w,
            .height = h,
            .colour = colour ? SerColour::kBgr : SerColour::kMono,
            .observer = "A. Observer",
            .instrument = "USB Camera",
            .telescope = "Newton 200/1000",
            .startLocalTicks = 638000000000000000,
            .startUtcTicks = 637999964000000000};
}

TEST(SerTicks, CountHundredNanosecondsFromYearOne) {
    const std::tuple<int64_t, int64_t> cases[] = {
        {0, 621355968000000000},                         // 1970-01-01
        {946684800LL * 1000000000, 630822816000000000},  // 2000-01-01
        {99, 621355968000000000},
        {100, 621355968000000001},
        {-1, 621355967999999999},
        {-100, 621355967999999999},
    };
    for (const auto& [ns, ticks] : cases) EXPECT_EQ(SerTicksFromUnixNs(ns), ticks) << ns;
}

class SerFramesTest
    : public ::testing::TestWithParam<std::tuple<int32_t, int32_t, bool /*topDown*/, bool>> {};

TEST_P(SerFramesTest, ReadBackUprightWithHeaderAndTimes) {
    const auto [w, h, topDown, colour] = GetParam();
    TempDir dir;
    const std::string path = dir / "run.ser";
    std::vector<Picture> pictures;
    for (uint8_t seed : {1, 2, 3}) {
        pictures.emplace_back(w, h, topDown, seed);
        if (!colour) testing::MakeGrey(pictures.back());
    }
    SerFile file;
    ASSERT_EQ(file.Create(path.c_str(), Info(w, h, colour), 3), 0);
    for (size_t i = 0; i < pictures.size(); ++i) {
        ASSERT_EQ(file.Append(View(pictures[i], colour), 1000 * static_cast<int64_t>(i + 1)), 0);
    }
    ASSERT_EQ(file.Finish(), 0);

    SerContent ser;
    ASSERT_TRUE(ReadSer(ReadFile(path), ser));
    EXPECT_EQ(ser.luId, 0);
    EXPECT_EQ(ser.colorId, colour ? 101 : 0);
    EXPECT_EQ(ser.littleEndian, 1);
    EXPECT_EQ(ser.width, w);
    EXPECT_EQ(ser.height, h);
    EXPECT_EQ(ser.frameCount, 3);
    EXPECT_EQ(ser.observer, "A. Observer");
    EXPECT_EQ(ser.instrument, "USB Camera");
    EXPECT_EQ(ser.telescope, "Newton 200/1000");
    EXPECT_EQ(ser.dateTime, 638000000000000000);
    EXPECT_EQ(ser.dateTimeUtc, 637999964000000000);
    ASSERT_EQ(ser.frames.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(ser.frames[i], testing::SerFrame(pictures[i], colour)) << i;
    EXPECT_EQ(ser.times, (std::vector<int64_t>{1000, 2000, 3000}));
}

INSTANTIATE_TEST_SUITE_P(Geometries, SerFramesTest,
                         ::testing::Combine(::testing::Values(1, 3, 641),
                                            ::testing::Values(1, 2, 5), ::testing::Bool(),
                                            ::testing::Bool()));

TEST(SerFile, TimesBecomeStrictlyIncreasing) {
    TempDir dir;
    const std::string path = dir / "t.ser";
    const Picture pic(4, 2, true);
    SerFile file;
    ASSERT_EQ(file.Create(path.c_str(), Info(4, 2, true), 1), 0);  // grows past the room taken
    for (int64_t t : {500, 500, 400, 900, 901}) ASSERT_EQ(file.Append(View(pic, true), t), 0);
    ASSERT_EQ(file.Finish(), 0);
    SerContent ser;
    ASSERT_TRUE(ReadSer(ReadFile(path), ser));
    EXPECT_EQ(ser.times, (std::vector<int64_t>{500, 501, 502, 900, 901}));
}

TEST(SerFile, TextsAreCutToTheirFieldsWhole) {
    TempDir dir;
    const std::string path = dir / "t.ser";
    const std::string longName(45, 'x');
    const std::string accented = std::string(39, 'a') + "\xC3\xA9";  // "é" does not fit whole
    SerRunInfo info = Info(2, 2, false);
    info.observer = longName;
    info.instrument = accented;
    info.telescope = "";
    SerFile file;
    ASSERT_EQ(file.Create(path.c_str(), info, 0), 0);
    ASSERT_EQ(file.Finish(), 0);
    SerContent ser;
    ASSERT_TRUE(ReadSer(ReadFile(path), ser));
    EXPECT_EQ(ser.frameCount, 0);
    EXPECT_EQ(ser.observer, std::string(40, 'x'));
    EXPECT_EQ(ser.instrument, std::string(39, 'a'));
    EXPECT_EQ(ser.telescope, "");
}

TEST(SerFile, NeverReplacesAFileAndRefusesOtherPictures) {
    TempDir dir;
    const std::string path = dir / "taken.ser";
    testing::WriteFile(path, "mine");
    SerFile file;
    EXPECT_EQ(file.Create(path.c_str(), Info(4, 2, true), 1), EEXIST);
    EXPECT_EQ(ReadFile(path), "mine");

    const std::string other = dir / "other.ser";
    ASSERT_EQ(file.Create(other.c_str(), Info(4, 2, true), 1), 0);
    const Picture right(4, 2, false);
    const Picture wider(5, 2, false);
    EXPECT_EQ(file.Append(View(wider, true), 1), EINVAL);
    EXPECT_EQ(file.Append(View(right, false), 1), EINVAL);  // grey into a colour file
    EXPECT_EQ(file.Append(View(right, true), 1), 0);
    EXPECT_EQ(file.FrameCount(), 1u);
    ASSERT_EQ(file.Finish(), 0);
    SerContent ser;
    ASSERT_TRUE(ReadSer(ReadFile(other), ser));
    EXPECT_EQ(ser.frameCount, 1);
}

// A program that ends without finishing (a crash) leaves every whole frame counted.
TEST(SerFile, CrashLeavesAFileCountingItsFrames) {
    TempDir dir;
    const std::string path = dir / "crash.ser";
    const Picture pic(16, 8, false);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        SerFile file;
        int failed = file.Create(path.c_str(), Info(16, 8, true), 10) != 0;
        for (int i = 0; i < 3; ++i) failed |= file.Append(View(pic, true), i + 1) != 0;
        _exit(failed);  // no Finish, no destructor
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    SerContent ser;
    ASSERT_TRUE(ReadSer(ReadFile(path), ser));
    EXPECT_EQ(ser.frameCount, 3);
    EXPECT_TRUE(ser.times.empty());
    EXPECT_EQ(ser.frames.back(), pic.image);
}

// A full disk, as a file size limit: the frame that does not fit is cut off and the count stays
// at the frames before it; the trailer is written when it still fits, else left out.
class SerFullDiskTest : public ::testing::TestWithParam<std::tuple<size_t, bool>> {};

int AppendIntoLimit(const std::string& path, const Picture& pic, rlim_t limit, bool trailerFits) {
    signal(SIGXFSZ, SIG_IGN);
    SerFile file;
    int failed = file.Create(path.c_str(), Info(16, 8, true), 10) != 0;
    for (int i = 0; i < 2; ++i) failed |= file.Append(View(pic, true), i + 1) != 0;
    rlimit rl{};
    getrlimit(RLIMIT_FSIZE, &rl);
    rl.rlim_cur = limit;
    if (setrlimit(RLIMIT_FSIZE, &rl) != 0) failed |= 2;
    if (file.Append(View(pic, true), 3) != EFBIG) failed |= 4;
    if (file.FrameCount() != 2) failed |= 8;
    if (file.Finish() != (trailerFits ? 0 : EFBIG)) failed |= 16;
    return failed;
}

TEST_P(SerFullDiskTest, KeepsTheWholeFramesCounted) {
    const auto [slack, trailerFits] = GetParam();
    TempDir dir;
    const std::string path = dir / "full.ser";
    const Picture pic(16, 8, true);
    const size_t frameBytes = 16 * 8 * 3;
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(AppendIntoLimit(path, pic, 178 + 2 * frameBytes + slack, trailerFits));
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "child killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    SerContent ser;
    ASSERT_TRUE(ReadSer(ReadFile(path), ser));
    EXPECT_EQ(ser.frameCount, 2);
    EXPECT_EQ(ser.frames.back(), pic.image);
    EXPECT_EQ(ser.times, (trailerFits ? std::vector<int64_t>{1, 2} : std::vector<int64_t>{}));
}

// 0: not a byte of the third frame fits; 8: part of it, not the trailer; 100: the trailer fits.
INSTANTIATE_TEST_SUITE_P(Limits, SerFullDiskTest,
                         ::testing::Values(std::tuple{size_t{0}, false},
                                           std::tuple{size_t{8}, false},
                                           std::tuple{size_t{100}, true}));

}  // namespace
}  // namespace kelpa
