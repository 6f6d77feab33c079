// Capture runs into a real directory: the files are decoded by a reader of the test's own and
// compared with the picture; messages, skipped frames, the streaming thread's allocations and
// settings changed mid-run are checked, and every way a run can fail: a directory that cannot
// be created or takes no files, a file size limit, a picture a BMP file cannot hold. Captured
// files are never replaced: frame numbers from container times that were rounded, several
// writers capturing into one directory, file systems with and without a no-replace rename; and
// the temporaries of programs that ended mid-write are cleared when a capture starts.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/captured_log.h"
#include "support/child_process.h"
#include "support/temp_files.h"
#include "support/test_support.h"
#include "video/capture_file.h"
#include "video/capture_test_support.h"
#include "video/capture_writer.h"
#include "video/new_counter.h"

namespace kelpa::testing {
namespace {

using Events = std::vector<StreamEvent>;

constexpr StreamEvent P = StreamEvent::kCaptureProgress;
constexpr StreamEvent D = StreamEvent::kCaptureDone;

// Settings of a run into `dir`.
CaptureRunSettings In(const std::string& dir, uint32_t count, uint32_t frameDelay = 0) {
    return {.directory = dir, .frameDelay = frameDelay, .count = count};
}

// A quiet receiver: acknowledges and records nothing (a recorder would allocate).
struct Quiet : StreamEventReceiver {
    void Notify(StreamEvents& source, StreamEvent kind) override { source.Acknowledge(kind); }
};

class CaptureRunTest : public ::testing::Test {
  protected:
    CaptureRunTest() { events_.SetReceiver(&target_); }
    // Frame i of a 25 frames-per-second stream.
    static int Frame(CaptureWriter& w, const Picture& p, int i) {
        return w.CaptureFrame(i / 25.0, 25.0, p.fb, p.header);
    }
    TempDir dir_;
    const CaptureRunSettings inDir_{dir_.Path()};
    TempDir home_;
    ScopedEnv homeEnv_{"HOME", home_.Path()};
    test::RecordingReceiver target_;
    StreamEvents events_;
};

// Pictures of odd widths and heights, either row order, decode back exactly; progress comes
// every fourth frame and done at the count (a count of 0 takes one frame), with the count.
TEST_F(CaptureRunTest, FilesDecodeBackAndTheRunEndsAtItsCount) {
    struct Case {
        int32_t w, h;
        bool topDown;
        uint32_t count;
        int frames;
        Events posts;
    };
    const Case cases[] = {{1, 1, true, 0, 3, {P, D}},
                          {2, 7, false, 3, 5, {P, P, P, D}},
                          {3, 2, false, 8, 9, {P, P, D}},
                          {4, 3, true, 1, 1, {P, D}},
                          {641, 5, true, 10, 12, {P, P, D}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " count " << c.count);
        const Picture pic(c.w, c.h, c.topDown);
        const TempDir dir;
        target_.Clear();
        CaptureWriter writer(&events_, In(dir.Path(), c.count));
        writer.ToggleCapture(nullptr);
        for (int i = 0; i < c.frames; ++i) Frame(writer, pic, i);
        EXPECT_FALSE(writer.capturing.load());
        EXPECT_EQ(target_.Events(), c.posts);
        const size_t files = std::max(c.count, 1u);
        ASSERT_EQ(FilesIn(dir.Path()).size(), files);
        for (const std::string& name : FilesIn(dir.Path())) {
            BmpContent bmp;
            ASSERT_TRUE(ReadBmp(dir.File(name), bmp)) << name;
            EXPECT_EQ(bmp.height, c.topDown ? -c.h : c.h);
            EXPECT_EQ(bmp.image, pic.image);
        }
        CaptureReport report;
        ASSERT_TRUE(events_.TakeCaptureDone(&report));
        EXPECT_EQ(report.capturedCount, files);
        EXPECT_EQ(events_.CapturedCount(), files);
        EXPECT_FALSE(report.failed);
        EXPECT_STREQ(report.failure, "");
    }
}

// A frame that cannot be written ends the run with a text naming the directory and the reason,
// in the log, the run's report and the main window's answer to it; the frames before it stay,
// nothing partial or temporary is left.
TEST_F(CaptureRunTest, FrameThatCannotBeWrittenEndsTheRunAndSaysWhy) {
    const std::string blocker = dir_.File("blocker");
    WriteFile(blocker, "x");
    const std::string notBmp =
        dir_.Path() + "/: a picture of 4 x 2 pixels cannot be saved as a BMP file";
    const std::pair<const char*, std::string> cases[] = {
        // A directory below a regular file takes no files, not even from root.
        {"directory", blocker + "/sub/: " + std::strerror(ENOTDIR)},
        {"header", notBmp},
        {"short buffer", notBmp},
        {"empty surface",
         dir_.Path() + "/: a picture of 0 x 0 pixels cannot be saved as a BMP file"},
    };
    for (const auto& [spoil, reason] : cases) {
        SCOPED_TRACE(spoil);
        CapturedLog::Start();
        std::filesystem::remove(dir_.File("cap_00001.bmp"));
        target_.Clear();
        Picture pic(4, 2, false);
        CaptureWriter writer(&events_, inDir_);
        writer.captureCount.store(5);
        writer.ToggleCapture(nullptr);
        ASSERT_EQ(Frame(writer, pic, 0), 1);
        const std::string how = spoil;
        if (how == "directory") writer.SetCaptureDirectory((blocker + "/sub").c_str());
        if (how == "header") pic.header.width = 3;
        if (how == "short buffer") pic.fb.imageSize -= 4;
        if (how == "empty surface") pic.fb = {};
        EXPECT_EQ(Frame(writer, pic, 1), -1);
        EXPECT_FALSE(writer.capturing.load());
        EXPECT_EQ(Frame(writer, pic, 2), 0);  // the run is over
        const std::string text = "Cannot write captured frames into " + reason;
        EXPECT_EQ(writer.FailureText(), text);
        EXPECT_EQ(CapturedLog::Lines(), Names{text});
        EXPECT_EQ(target_.Events(), Events{D});
        CaptureReport report;
        ASSERT_TRUE(events_.TakeCaptureDone(&report));
        EXPECT_TRUE(report.failed);
        EXPECT_EQ(report.failure, text);
        EXPECT_EQ(report.capturedCount, 1u);
        EXPECT_EQ(FilesIn(dir_.Path()), (Names{"blocker", "cap_00001.bmp"}));
        test::RecordingNotice notice;
        writer.ReportRunEnd(&notice);
        EXPECT_EQ(notice.status, Names{text});
    }
}

// A directory that cannot be created, or written, stops the run before it starts; a later
// start into a good directory forgets the failure. The directory is created only then.
TEST_F(CaptureRunTest, RunThatCannotStartSaysWhyAndCreatesTheDirectoryOtherwise) {
    CapturedLog::Start();
    const std::string blocker = dir_.File("blocker");
    WriteFile(blocker, "x");
    const std::string locked = dir_.File("locked");
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::vector<std::pair<std::string, std::string>> cases = {
        {blocker + "/sub",
         "Cannot create the capture folder " + blocker + "/sub/: " + std::strerror(ENOTDIR)}};
    // Root writes into any directory whatever its mode.
    if (geteuid() != 0) {
        cases.emplace_back(
            locked, "Cannot write captured frames into " + locked + "/: " + std::strerror(EACCES));
    }
    CaptureWriter writer(&events_, inDir_);
    for (const auto& [dir, text] : cases) {
        SCOPED_TRACE(dir);
        ASSERT_TRUE(writer.SetCaptureDirectory(dir.c_str()));
        test::RecordingNotice notice;
        EXPECT_FALSE(writer.ToggleCapture(&notice));
        EXPECT_FALSE(writer.capturing.load());
        EXPECT_EQ(writer.FailureText(), text);
        EXPECT_EQ(notice.status, Names{text});
        EXPECT_EQ(CapturedLog::Lines().back(), text);
    }
    const std::string fresh = dir_.File("a/b");
    ASSERT_TRUE(writer.SetCaptureDirectory(fresh.c_str()));
    EXPECT_FALSE(std::filesystem::exists(fresh));
    writer.ToggleCapture(nullptr);
    EXPECT_TRUE(writer.capturing.load());
    EXPECT_TRUE(std::filesystem::is_directory(fresh));
    EXPECT_STREQ(writer.FailureText(), "");
}

// Two good frames, then a file size limit that the third frame runs into: the run ends with the
// reason and leaves no partial file. Limits: 0, the file header writes nothing; 10, part of it;
// 54, the pixels write nothing; 154, part of them.
TEST_F(CaptureRunTest, ShortWriteEndsRunAndLeavesNoPartialFile) {
    for (const rlim_t limit : {0, 10, 54, 154}) {
        SCOPED_TRACE(limit);
        const TempDir dir;
        EXPECT_EQ(ExitCodeOfChild([&] {
                      test::RecordingReceiver target;
                      StreamEvents events;
                      events.SetReceiver(&target);
                      CaptureWriter writer(&events, In(dir.Path(), 5));
                      writer.ToggleCapture(nullptr);
                      const Picture pic(16, 8, false);
                      int failed = (Frame(writer, pic, 0) != 1) | (Frame(writer, pic, 25) != 1);
                      failed |= !LimitProcess(RLIMIT_FSIZE, limit) << 1;
                      failed |= (Frame(writer, pic, 50) != -1) << 2;
                      failed |= (writer.capturing.load() || writer.capturedCount.load() != 2) << 3;
                      failed |= (Frame(writer, pic, 75) != 0) << 4;
                      failed |= (target.Events() != Events{D}) << 5;
                      const std::string text = writer.FailureText();
                      const std::string reason = std::string(": ") + std::strerror(EFBIG);
                      return failed | (text.find(reason) != text.size() - reason.size()) << 6;
                  }),
                  0);
        EXPECT_EQ(FilesIn(dir.Path()), (Names{"cap_00001.bmp", "cap_00026.bmp"}));
    }
}

// At the end of a program run (or on a signal) the run is ended while a frame may be in
// flight: FinishCapture returns only once that frame's file is complete and in place.
TEST_F(CaptureRunTest, FinishCaptureWaitsForTheFrameInFlight) {
    // Holds the streaming thread inside CaptureFrame (in its progress message) until the test
    // has seen FinishCapture end the run.
    struct Gate : StreamEventReceiver {
        void Notify(StreamEvents& source, StreamEvent kind) override {
            source.Acknowledge(kind);
            if (kind != P) return;
            std::unique_lock lock(mutex);
            entered = true;
            changed.notify_all();
            changed.wait(lock, [this] { return open; });
            left = true;
        }
        std::mutex mutex;
        std::condition_variable changed;
        bool entered = false;
        bool open = false;
        std::atomic<bool> left{false};
    } gate;
    const Picture pic(6, 3, false);
    StreamEvents events;
    events.SetReceiver(&gate);
    CaptureWriter writer(&events, In(dir_.Path(), 2));
    writer.ToggleCapture(nullptr);  // a count below 4: progress after every frame
    std::thread streaming([&] { Frame(writer, pic, 0); });
    {
        std::unique_lock lock(gate.mutex);
        gate.changed.wait(lock, [&] { return gate.entered; });
    }
    std::thread opener([&] {
        while (writer.capturing.load()) std::this_thread::yield();
        std::lock_guard lock(gate.mutex);
        gate.open = true;
        gate.changed.notify_all();
    });
    writer.FinishCapture();
    EXPECT_TRUE(gate.left.load());
    EXPECT_FALSE(writer.capturing.load());
    EXPECT_EQ(FilesIn(dir_.Path()), Names{"cap_00001.bmp"});
    streaming.join();
    opener.join();
    EXPECT_EQ(Frame(writer, pic, 1), 0);
}

// The frame delay skips frames between written ones; nothing is allocated on the way.
TEST_F(CaptureRunTest, FrameDelaySkipsFramesAndCaptureFrameAllocatesNothing) {
    const Picture pic(33, 9, true);
    Quiet quiet;
    StreamEvents events;
    events.SetReceiver(&quiet);
    CaptureWriter writer(&events, In(dir_.Path(), 3, 2));
    writer.SetCaptureName("Some Camera", false);
    writer.ToggleCapture(nullptr);
    StartCountingNew();
    for (int i = 0; i < 9; ++i) Frame(writer, pic, i);
    EXPECT_EQ(StopCountingNew(), 0);
    EXPECT_EQ(FilesIn(dir_.Path()),
              (Names{"capSome_00001.bmp", "capSome_00004.bmp", "capSome_00007.bmp"}));
    EXPECT_FALSE(writer.capturing.load());
}

// The GUI thread changes directory, template and name while frames are written: every file
// is complete and named by one of the settings.
TEST_F(CaptureRunTest, SettingsChangeWhileStreaming) {
    const Picture pic(10, 4, false);
    TempDir other;
    CaptureWriter writer(&events_, In(dir_.Path(), 200));
    writer.ToggleCapture(nullptr);
    std::thread streaming([&] {
        for (int i = 0; i < 200; ++i) Frame(writer, pic, i);
    });
    for (int i = 0; i < 50; ++i) {
        writer.SetCaptureDirectory((i % 2 ? other : dir_).Path().c_str());
        writer.SetCaptureTemplate(i % 3 ? "#a%f" : "#b%n%f");
        writer.SetCaptureName(i % 2 ? "X" : "Y", false);
    }
    streaming.join();
    for (const TempDir* d : {&dir_, &other}) {
        for (const std::string& name : FilesIn(d->Path())) {
            BmpContent bmp;
            EXPECT_NE(std::string("abc").find(name[0]), std::string::npos) << name;
            EXPECT_TRUE(ReadBmp(d->File(name), bmp)) << name;
            EXPECT_EQ(bmp.image, pic.image);
        }
    }
}

// Sample times as containers store them (rounded to the millisecond, as Matroska does) give
// each frame its own number at the common frame rates.
TEST_F(CaptureRunTest, RoundedContainerTimesGiveEveryFrameItsOwnNumber) {
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
TEST_F(CaptureRunTest, WritersSharingADirectoryKeepEveryFrame) {
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
        BmpContent bmp;
        ASSERT_TRUE(ReadBmp(dir_.File(name), bmp)) << name;
        for (int w = 0; w < kWriters; ++w) perWriter[w] += bmp.image == pictures[w].image;
    }
    EXPECT_EQ(perWriter, std::vector<int>(kWriters, kFrames));
}

// Both ways of taking a name refuse one that exists and leave the file to move in place.
TEST(MoveMethodTest, NameThatExistsIsNeverReplaced) {
    for (const MoveMethod method : {MoveMethod::kRenameNoReplace, MoveMethod::kReserveName}) {
        const TempDir dir;
        WriteFile(dir.File("taken.bmp"), "old");
        WriteFile(dir.File("new.tmp"), "new");
        const std::string from = dir.File("new.tmp");
        EXPECT_EQ(MoveWithoutReplacing(from.c_str(), dir.File("taken.bmp").c_str(), method),
                  EEXIST);
        EXPECT_EQ(ReadFile(dir.File("taken.bmp")), "old");
        EXPECT_EQ(MoveWithoutReplacing(from.c_str(), dir.File("free.bmp").c_str(), method), 0);
        EXPECT_EQ(FilesIn(dir.Path()), (Names{"free.bmp", "taken.bmp"}));
        EXPECT_EQ(ReadFile(dir.File("free.bmp")), "new");
    }
}

// Starting a capture removes the temporaries of ended programs and nothing else: not those of
// running programs, not one that a program is writing (its process is out of sight, in another
// namespace, but it holds the lock), not files that only look alike.
TEST_F(CaptureRunTest, StartRemovesTemporariesOfEndedPrograms) {
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
    WriteFile(dir_.File(stale), "partial");
    for (size_t i = 1; i < kept.size(); ++i) WriteFile(dir_.File(kept[i]), "partial");
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
}  // namespace kelpa::testing
