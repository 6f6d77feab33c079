// Captured files are never replaced: frame numbers from container times that were rounded,
// a second run into the same directory, several programs capturing into one directory, file
// systems with and without a no-replace rename; and the temporaries of programs that ended
// mid-write are cleared when a capture starts.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_files.h"
#include "video/capture_file.h"
#include "video/capture_test_support.h"
#include "video/capture_writer.h"

namespace kelpa {
namespace {

using testing::DecodeBmp;
using testing::FilesIn;
using testing::Names;
using testing::Picture;
using testing::TempDir;

class CaptureCollisionTest : public ::testing::Test {
  protected:
    TempDir dir_;
    const CaptureRunSettings inDir_{dir_.Path()};
    TempDir home_;
    testing::ScopedEnv homeEnv_{"HOME", home_.Path()};
};

// Sample times as containers store them (rounded to the millisecond, as Matroska does) give
// each frame its own number at the common frame rates.
TEST_F(CaptureCollisionTest, RoundedContainerTimesGiveEveryFrameItsOwnNumber) {
    CaptureWriter writer(nullptr, inDir_);
    ASSERT_TRUE(writer.SetCaptureTemplate("%f"));
    for (const double fps : {23.976, 24.0, 25.0, 29.97, 30.0, 50.0, 59.94, 60.0}) {
        SCOPED_TRACE(fps);
        for (int i = 0; i < 600; ++i) {
            const double ms = std::round(i * 1000.0 / fps);
            char expected[16];
            std::snprintf(expected, sizeof expected, "%05d.bmp", i + 1);
            const std::string name = writer.BuildCaptureName(ms / 1000.0, fps);
            ASSERT_EQ(name.substr(name.size() - 9), expected) << "frame " << i;
        }
    }
    // The time field is the nearest millisecond as well.
    ASSERT_TRUE(writer.SetCaptureTemplate("%t"));
    EXPECT_EQ(std::string(writer.BuildCaptureName(1.001, 30)).substr(dir_.Path().size() + 1),
              "0001001.bmp");
}

// A second run over the same frames adds files with suffixes and leaves every file of the
// first run as it was.
TEST_F(CaptureCollisionTest, SecondRunAddsFilesWithoutChangingOne) {
    const Picture first(5, 3, false, 1);
    const Picture second(5, 3, false, 2);
    for (const Picture* pic : {&first, &second, &second}) {
        CaptureWriter writer(nullptr, inDir_);
        writer.captureCount.store(3);
        writer.ToggleCapture(nullptr);
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(writer.CaptureFrame(i / 30.0, 30, pic->fb, pic->header), 1);
    }
    EXPECT_EQ(FilesIn(dir_.Path()), (Names{"cap_00001.bmp", "cap_00001_1.bmp", "cap_00001_2.bmp",
                                           "cap_00002.bmp", "cap_00002_1.bmp", "cap_00002_2.bmp",
                                           "cap_00003.bmp", "cap_00003_1.bmp", "cap_00003_2.bmp"}));
    for (const std::string& name : FilesIn(dir_.Path())) {
        std::vector<uint8_t> image;
        int32_t height = 0;
        ASSERT_TRUE(DecodeBmp(testing::ReadFile(dir_.File(name)), image, height)) << name;
        EXPECT_EQ(image, (name.find('_', 4) == std::string::npos ? first : second).image) << name;
    }
}

// Three writers (as three programs would) capture the same frame numbers into one directory
// at the same time: every frame of every writer is kept, complete.
TEST_F(CaptureCollisionTest, WritersSharingADirectoryKeepEveryFrame) {
    constexpr int kWriters = 3;
    constexpr int kFrames = 30;
    std::vector<Picture> pictures;
    for (int w = 0; w < kWriters; ++w) pictures.emplace_back(7, 4, true, static_cast<uint8_t>(w));
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] {
            CaptureWriter writer(nullptr, inDir_);
            writer.captureCount.store(kFrames);
            writer.ToggleCapture(nullptr);
            for (int i = 0; i < kFrames; ++i) {
                writer.CaptureFrame(i / 30.0, 30, pictures[w].fb, pictures[w].header);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    const Names names = FilesIn(dir_.Path());
    ASSERT_EQ(names.size(), size_t{kWriters * kFrames});
    std::vector<int> perWriter(kWriters);
    for (const std::string& name : names) {
        std::vector<uint8_t> image;
        int32_t height = 0;
        ASSERT_TRUE(DecodeBmp(testing::ReadFile(dir_.File(name)), image, height)) << name;
        for (int w = 0; w < kWriters; ++w) perWriter[w] += image == pictures[w].image;
    }
    EXPECT_EQ(perWriter, std::vector<int>(kWriters, kFrames));
}

// Both ways of taking a name refuse one that exists and leave the file to move in place.
class MoveMethodTest : public ::testing::TestWithParam<MoveMethod> {};

TEST_P(MoveMethodTest, NameThatExistsIsNeverReplaced) {
    const TempDir dir;
    testing::WriteFile(dir.File("taken.bmp"), "old");
    testing::WriteFile(dir.File("new.tmp"), "new");
    EXPECT_EQ(MoveWithoutReplacing(dir.File("new.tmp").c_str(), dir.File("taken.bmp").c_str(),
                                   GetParam()),
              EEXIST);
    EXPECT_EQ(testing::ReadFile(dir.File("taken.bmp")), "old");
    EXPECT_EQ(
        MoveWithoutReplacing(dir.File("new.tmp").c_str(), dir.File("free.bmp").c_str(), GetParam()),
        0);
    EXPECT_EQ(FilesIn(dir.Path()), (Names{"free.bmp", "taken.bmp"}));
    EXPECT_EQ(testing::ReadFile(dir.File("free.bmp")), "new");
}

INSTANTIATE_TEST_SUITE_P(Methods, MoveMethodTest,
                         ::testing::Values(MoveMethod::kRenameNoReplace, MoveMethod::kReserveName));

// A pid that no process has any more: a child that has been reaped.
pid_t EndedPid() {
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

// Starting a capture removes the temporaries of ended programs and nothing else: not those of
// running programs, not one that a program is writing (its process is out of sight, in another
// namespace, but it holds the lock), not files that only look alike.
TEST_F(CaptureCollisionTest, StartRemovesTemporariesOfEndedPrograms) {
    char name[64];
    const auto temp = [&](pid_t pid, uint32_t writer) {
        FormatCaptureTempName(name, sizeof name, pid, writer);
        return std::string(name);
    };
    const pid_t ended = EndedPid();
    const std::string stale = temp(ended, 0);
    const Names kept = {temp(ended, 1),      // being written
                        temp(getppid(), 0),  // the parent runs
                        stale + "x", ".kelpa-capture-x-0.tmp", "cap_00001.bmp"};
    testing::WriteFile(dir_.File(stale), "partial");
    for (size_t i = 1; i < kept.size(); ++i) testing::WriteFile(dir_.File(kept[i]), "partial");
    const int writing = CreateCaptureTemp(dir_.File(kept[0]).c_str());
    ASSERT_GE(writing, 0);
    CaptureWriter writer(nullptr, inDir_);
    writer.ToggleCapture(nullptr);
    close(writing);
    Names expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesIn(dir_.Path()), expected);
}

}  // namespace
}  // namespace kelpa
