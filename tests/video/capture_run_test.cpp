// Capture runs into a real directory: the files are decoded by a reader of the test's own and
// compared with the picture; messages, skipped frames, the streaming thread's allocations and
// settings changed mid-run are checked, and every way a run can fail: a directory that cannot
// be created or takes no files, a file size limit, a picture a BMP file cannot hold.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/captured_log.h"
#include "support/temp_files.h"
#include "support/test_support.h"
#include "video/capture_test_support.h"
#include "video/capture_writer.h"
#include "video/new_counter.h"

namespace kelpa {
namespace {

using testing::DecodeBmp;
using testing::FilesIn;
using testing::Names;
using testing::Picture;
using testing::TempDir;

constexpr StreamEvent P = StreamEvent::kCaptureProgress;
constexpr StreamEvent D = StreamEvent::kCaptureDone;

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
    testing::ScopedEnv homeEnv_{"HOME", home_.Path()};
    test::RecordingReceiver target_;
    StreamEvents events_;
};

// Pictures of odd widths and heights, either row order, decode back exactly.
TEST_F(CaptureRunTest, FileDecodesBackToPicture) {
    const std::tuple<int32_t, int32_t, bool> geometries[] = {
        {1, 1, true}, {2, 7, false}, {3, 2, false}, {4, 3, true}, {641, 5, true}};
    for (const auto& [w, h, topDown] : geometries) {
        SCOPED_TRACE(::testing::Message() << w << "x" << h << " top-down " << topDown);
        const Picture pic(w, h, topDown);
        const TempDir dir;
        target_.Clear();
        CaptureWriter writer(&events_, inDir_);
        ASSERT_TRUE(writer.SetCaptureDirectory(dir.Path().c_str()));
        writer.ToggleCapture(nullptr);
        ASSERT_EQ(Frame(writer, pic, 0), 1);
        ASSERT_EQ(FilesIn(dir.Path()), Names{"cap_00001.bmp"});
        std::vector<uint8_t> image;
        int32_t height = 0;
        ASSERT_TRUE(DecodeBmp(testing::ReadFile(dir.File("cap_00001.bmp")), image, height));
        EXPECT_EQ(height, topDown ? -h : h);
        EXPECT_EQ(image, pic.image);
        EXPECT_EQ(target_.Events(), (std::vector{P, D}));
    }
}

// Progress every fourth frame, done at the count (a count of 0 takes one frame).
TEST_F(CaptureRunTest, ProgressEveryFourthFrameAndDoneAtCount) {
    struct Case {
        uint32_t count;
        int frames;
        std::vector<StreamEvent> posts;
        size_t files;
    };
    const Case cases[] = {
        {10, 12, {P, P, D}, 10}, {8, 9, {P, P, D}, 8}, {3, 5, {P, P, P, D}, 3}, {0, 3, {P, D}, 1}};
    const Picture pic(8, 2, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        const TempDir dir;
        target_.Clear();
        CaptureWriter writer(&events_, inDir_);
        ASSERT_TRUE(writer.SetCaptureDirectory(dir.Path().c_str()));
        writer.captureCount.store(c.count);
        writer.ToggleCapture(nullptr);
        for (int i = 0; i < c.frames; ++i) Frame(writer, pic, i);
        EXPECT_EQ(FilesIn(dir.Path()).size(), c.files);
        EXPECT_EQ(target_.Events(), c.posts);
        // The run's end carries its count, and it did not fail.
        CaptureReport report;
        ASSERT_TRUE(events_.TakeCaptureDone(&report));
        EXPECT_EQ(report.capturedCount, c.files);
        EXPECT_EQ(events_.CapturedCount(), c.files);
        EXPECT_FALSE(report.failed);
        EXPECT_STREQ(report.failure, "");
        EXPECT_FALSE(writer.capturing.load());
    }
}

// ---- Failures: the run ends, says why in the log and to the user, and leaves no file ----------

// A frame that cannot be written ends the run with a text naming the directory and the reason;
// the frames before it stay, nothing partial or temporary is left.
TEST_F(CaptureRunTest, FrameThatCannotBeWrittenEndsTheRunAndSaysWhy) {
    const std::string blocker = dir_.File("blocker");
    testing::WriteFile(blocker, "x");
    struct Case {
        const char* name;
        void (*spoil)(Picture&, CaptureWriter&, const std::string& blocker);
        std::string text;  // the failure text behind "Cannot write captured frames into "
    };
    const Case cases[] = {
        // A directory below a regular file takes no files, not even from root.
        {"directory",
         [](Picture&, CaptureWriter& w, const std::string& b) {
             w.SetCaptureDirectory((b + "/sub").c_str());
         },
         blocker + "/sub/: " + std::strerror(ENOTDIR)},
        {"header", [](Picture& p, CaptureWriter&, const std::string&) { p.header.width = 3; },
         dir_.Path() + "/: a picture of 4 x 2 pixels cannot be saved as a BMP file"},
        {"short buffer",
         [](Picture& p, CaptureWriter&, const std::string&) { p.fb.imageSize -= 4; },
         dir_.Path() + "/: a picture of 4 x 2 pixels cannot be saved as a BMP file"},
        {"empty surface", [](Picture& p, CaptureWriter&, const std::string&) { p.fb = {}; },
         dir_.Path() + "/: a picture of 0 x 0 pixels cannot be saved as a BMP file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::CapturedLog::Start();
        std::filesystem::remove(dir_.File("cap_00001.bmp"));
        target_.Clear();
        Picture pic(4, 2, false);
        CaptureWriter writer(&events_, inDir_);
        writer.captureCount.store(5);
        writer.ToggleCapture(nullptr);
        ASSERT_EQ(Frame(writer, pic, 0), 1);
        c.spoil(pic, writer, blocker);
        EXPECT_EQ(Frame(writer, pic, 1), -1);
        EXPECT_FALSE(writer.capturing.load());
        EXPECT_EQ(Frame(writer, pic, 2), 0);  // the run is over
        const std::string text = "Cannot write captured frames into " + c.text;
        EXPECT_TRUE(writer.RunFailed());
        EXPECT_EQ(writer.FailureText(), text);
        EXPECT_EQ(testing::CapturedLog::Lines(), Names{text});
        EXPECT_EQ(target_.Events(), std::vector{D});
        // The end of the run carries the reason to the main window.
        CaptureReport report;
        ASSERT_TRUE(events_.TakeCaptureDone(&report));
        EXPECT_TRUE(report.failed);
        EXPECT_EQ(report.failure, text);
        EXPECT_EQ(report.capturedCount, 1u);
        EXPECT_EQ(FilesIn(dir_.Path()), (Names{"blocker", "cap_00001.bmp"}));
        // The main window's answer to the end message shows the reason.
        test::RecordingNotice notice;
        writer.ReportRunEnd(&notice);
        EXPECT_EQ(notice.status, Names{text});
    }
}

// A directory that cannot be created, or written, stops the run before it starts; a later
// start into a good directory forgets the failure. The directory is created only then.
TEST_F(CaptureRunTest, RunThatCannotStartSaysWhyAndCreatesTheDirectoryOtherwise) {
    testing::CapturedLog::Start();
    const std::string blocker = dir_.File("blocker");
    testing::WriteFile(blocker, "x");
    const std::string locked = dir_.File("locked");
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    struct Case {
        std::string dir;
        std::string text;
    };
    std::vector<Case> cases = {{blocker + "/sub", "Cannot create the capture folder " + blocker +
                                                      "/sub/: " + std::strerror(ENOTDIR)}};
    // Root writes into any directory whatever its mode.
    if (geteuid() != 0) {
        cases.push_back({locked, "Cannot write captured frames into " + locked +
                                     "/: " + std::strerror(EACCES)});
    }
    CaptureWriter writer(&events_, inDir_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dir);
        ASSERT_TRUE(writer.SetCaptureDirectory(c.dir.c_str()));
        test::RecordingNotice notice;
        EXPECT_FALSE(writer.ToggleCapture(&notice));
        EXPECT_FALSE(writer.capturing.load());
        EXPECT_EQ(writer.FailureText(), c.text);
        EXPECT_EQ(notice.status, Names{c.text});
        EXPECT_EQ(testing::CapturedLog::Lines().back(), c.text);
    }
    const std::string fresh = dir_.File("a/b");
    ASSERT_TRUE(writer.SetCaptureDirectory(fresh.c_str()));
    EXPECT_FALSE(std::filesystem::exists(fresh));
    writer.ToggleCapture(nullptr);
    EXPECT_TRUE(writer.capturing.load());
    EXPECT_TRUE(std::filesystem::is_directory(fresh));
    EXPECT_FALSE(writer.RunFailed());
    EXPECT_STREQ(writer.FailureText(), "");
}

// Child process: two good frames, then a file size limit that the third frame runs into.
// Returns a bit for each expectation that failed.
int CaptureIntoFileLimit(const CaptureRunSettings& settings, rlim_t limit) {
    signal(SIGXFSZ, SIG_IGN);
    test::RecordingReceiver target;
    StreamEvents events;
    events.SetReceiver(&target);
    CaptureWriter writer(&events, settings);
    writer.captureCount.store(5);
    writer.ToggleCapture(nullptr);
    const Picture pic(16, 8, false);
    int failed = 0;
    for (int i = 0; i < 2; ++i) failed |= writer.CaptureFrame(i, 25, pic.fb, pic.header) != 1;
    rlimit rl{};
    getrlimit(RLIMIT_FSIZE, &rl);
    rl.rlim_cur = limit;
    if (setrlimit(RLIMIT_FSIZE, &rl) != 0) failed |= 2;
    if (writer.CaptureFrame(2, 25, pic.fb, pic.header) != -1) failed |= 4;
    if (writer.capturing.load() || writer.capturedCount.load() != 2) failed |= 8;
    if (writer.CaptureFrame(3, 25, pic.fb, pic.header) != 0) failed |= 16;
    if (target.Events() != std::vector{D}) failed |= 32;
    const std::string reason = std::string(": ") + std::strerror(EFBIG);
    const std::string text = writer.FailureText();
    if (text.size() < reason.size() ||
        text.compare(text.size() - reason.size(), reason.size(), reason) != 0) {
        failed |= 64;
    }
    return failed;
}

class FileLimitTest : public CaptureRunTest, public ::testing::WithParamInterface<int> {};

TEST_P(FileLimitTest, ShortWriteEndsRunAndLeavesNoPartialFile) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(CaptureIntoFileLimit(inDir_, static_cast<rlim_t>(GetParam())));
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "child killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(FilesIn(dir_.Path()), (Names{"cap_00001.bmp", "cap_00026.bmp"}));
}

// 0: the file header writes nothing; 10: part of it; 54: the pixels write nothing; 154: part.
INSTANTIATE_TEST_SUITE_P(Limits, FileLimitTest, ::testing::Values(0, 10, 54, 154));

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
    CaptureWriter writer(&events, inDir_);
    writer.captureCount.store(2);  // below 4: progress after every frame
    writer.ToggleCapture(nullptr);
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
    struct : StreamEventReceiver {
        void Notify(StreamEvents& source, StreamEvent kind) override { source.Acknowledge(kind); }
    } quiet;  // a recorder would allocate
    StreamEvents events;
    events.SetReceiver(&quiet);
    CaptureWriter writer(&events, inDir_);
    writer.SetCaptureName("Some Camera", false);
    writer.captureFrameDelay.store(2);
    writer.captureCount.store(3);
    writer.ToggleCapture(nullptr);
    testing::StartCountingNew();
    for (int i = 0; i < 9; ++i) Frame(writer, pic, i);
    EXPECT_EQ(testing::StopCountingNew(), 0);
    EXPECT_EQ(FilesIn(dir_.Path()),
              (Names{"capSome_00001.bmp", "capSome_00004.bmp", "capSome_00007.bmp"}));
    EXPECT_FALSE(writer.capturing.load());
}

// The GUI thread changes directory, template and name while frames are written: every file
// is complete and named by one of the settings.
TEST_F(CaptureRunTest, SettingsChangeWhileStreaming) {
    const Picture pic(10, 4, false);
    TempDir other;
    CaptureWriter writer(&events_, inDir_);
    writer.captureCount.store(200);
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
            std::vector<uint8_t> image;
            int32_t height = 0;
            EXPECT_NE(std::string("abc").find(name[0]), std::string::npos) << name;
            EXPECT_TRUE(DecodeBmp(testing::ReadFile(d->File(name)), image, height)) << name;
            EXPECT_EQ(image, pic.image);
        }
    }
}

}  // namespace
}  // namespace kelpa
