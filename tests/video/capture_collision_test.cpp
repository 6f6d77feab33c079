// Captured files are never replaced: frame numbers from container times that were rounded,
// several runs and programs capturing into one directory, file systems with and without a
// no-replace rename; and the temporaries of programs that ended mid-write are cleared when a
// capture starts.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_files.h"
#include "video/capture_file.h"
#include "video/capture_test_support.h"
#include "video/capture_writer.h"

namespace kelpa {
namespace {

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
            char expected[16];
            std::snprintf(expected, sizeof expected, "%05d.bmp", i + 1);
            const std::string name =
                writer.BuildCaptureName(std::round(i * 1000.0 / fps) / 1000.0, fps);
            ASSERT_EQ(name.substr(name.size() - 9), expected) << "frame " << i;
        }
    }
    // The time field is the nearest millisecond as well.
    ASSERT_TRUE(writer.SetCaptureTemplate("%t"));
    EXPECT_EQ(std::string(writer.BuildCaptureName(1.001, 30)).substr(dir_.Path().size() + 1),
              "0001001.bmp");
}

// Three writers (as three runs or three programs would) capture the same frame numbers into one
// directory at the same time: every frame of every writer is kept, complete, under the next
// free suffix of its name.
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
    Names expected;
    for (int i = 1; i <= kFrames; ++i) {
        const std::string number = std::string(4 - (i >= 10), '0') + std::to_string(i);
        for (const char* suffix : {"", "_1", "_2"}) {
            expected.push_back("cap_" + number + suffix + ".bmp");
        }
    }
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(FilesIn(dir_.Path()), expected);
    std::vector<int> perWriter(kWriters);
    for (const std::string& name : expected) {
        testing::BmpContent bmp;
        ASSERT_TRUE(ReadBmp(dir_.File(name), bmp)) << name;
        for (int w = 0; w < kWriters; ++w) perWriter[w] += bmp.image == pictures[w].image;
    }
    EXPECT_EQ(perWriter, std::vector<int>(kWriters, kFrames));
}

// Both ways of taking a name refuse one that exists and leave the file to move in place.
TEST(MoveMethodTest, NameThatExistsIsNeverReplaced) {
    for (const MoveMethod method : {MoveMethod::kRenameNoReplace, MoveMethod::kReserveName}) {
        const TempDir dir;
        testing::WriteFile(dir.File("taken.bmp"), "old");
        testing::WriteFile(dir.File("new.tmp"), "new");
        const std::string from = dir.File("new.tmp");
        EXPECT_EQ(MoveWithoutReplacing(from.c_str(), dir.File("taken.bmp").c_str(), method),
                  EEXIST);
        EXPECT_EQ(testing::ReadFile(dir.File("taken.bmp")), "old");
        EXPECT_EQ(MoveWithoutReplacing(from.c_str(), dir.File("free.bmp").c_str(), method), 0);
        EXPECT_EQ(FilesIn(dir.Path()), (Names{"free.bmp", "taken.bmp"}));
        EXPECT_EQ(testing::ReadFile(dir.File("free.bmp")), "new");
    }
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
    const pid_t ended = fork();  // a pid that no process has any more: a reaped child
    if (ended == 0) _exit(0);
    waitpid(ended, nullptr, 0);
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
