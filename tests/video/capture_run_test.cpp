// Capture runs into a real directory: the files are decoded by a reader of the test's own and
// compared with the picture; messages, skipped frames, a disk that fills up, a directory that
// takes no files, the streaming thread's allocations and settings changed mid-run are checked.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/recording_receiver.h"
#include "support/temp_files.h"
#include "support/test_support.h"
#include "video/capture_writer.h"
#include "video/new_counter.h"

namespace kelpa {
namespace {

using testing::TempDir;
using Names = std::vector<std::string>;

constexpr StreamEvent P = StreamEvent::kCaptureProgress;
constexpr StreamEvent D = StreamEvent::kCaptureDone;

// A picture with known pixels, laid into a padded buffer bottom row first or top row first.
struct Picture {
    Picture(int32_t w, int32_t h, bool topDown) : image(static_cast<size_t>(w) * h * 3) {
        for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 37 + 11);
        fb = {nullptr,    static_cast<int32_t>(Stride24(w)) - 3 * w, Stride24(w) * h, w, h,
              Stride24(w)};
        buffer.assign(fb.imageSize, 0xEE);  // row padding stays 0xEE
        for (int32_t y = 0; y < h; ++y) {
            std::copy_n(&image[y * w * 3], w * 3, &buffer[(topDown ? y : h - 1 - y) * fb.stride]);
        }
        fb.data = buffer.data();
        header.width = w;
        header.height = topDown ? -h : h;
    }
    std::vector<uint8_t> image;  // top row first, no padding
    std::vector<uint8_t> buffer;
    FrameBuffer fb;
    BitmapInfoHeader header;
};

uint32_t LE(const std::string& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + i]);
    return v;
}

// An independent BMP reader: checks the headers and gives the pixels top row first.
::testing::AssertionResult DecodeBmp(const std::string& b, std::vector<uint8_t>& image,
                                     int32_t& height) {
    if (b.size() < 54 || b.compare(0, 2, "BM") != 0 || LE(b, 2, 4) != b.size() ||
        LE(b, 6, 4) != 0 || LE(b, 10, 4) != 54 || LE(b, 14, 4) != 40 || LE(b, 26, 2) != 1 ||
        LE(b, 28, 2) != 24 || LE(b, 30, 4) != 0) {
        return ::testing::AssertionFailure() << "bad headers";
    }
    const size_t width = LE(b, 18, 4);
    height = static_cast<int32_t>(LE(b, 22, 4));
    const size_t rows = static_cast<size_t>(std::abs(height));
    const size_t stride = (width * 3 + 3) / 4 * 4;
    if (b.size() != 54 + stride * rows) return ::testing::AssertionFailure() << "pixel bytes";
    image.clear();
    for (size_t y = 0; y < rows; ++y) {
        const char* row = b.data() + 54 + (height > 0 ? rows - 1 - y : y) * stride;
        image.insert(image.end(), row, row + width * 3);
    }
    return ::testing::AssertionSuccess();
}

Names FilesIn(const std::string& dir) {
    Names names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class CaptureRunTest : public ::testing::Test {
  protected:
    CaptureRunTest() {
        profile_.Set("CapWorkDir", dir_.Path());
        events_.SetReceiver(&target_);
    }
    // Frame i of a 25 frames-per-second stream.
    static int Frame(CaptureWriter& w, const Picture& p, int i) {
        return w.CaptureFrame(i / 25.0, 25.0, p.fb, p.header);
    }
    TempDir dir_;
    TempDir home_;
    testing::ScopedEnv homeEnv_{"HOME", home_.Path()};
    test::MemoryProfile profile_;
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
        CaptureWriter writer(&events_);
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
        CaptureWriter writer(&events_);
        ASSERT_TRUE(writer.SetCaptureDirectory(dir.Path().c_str()));
        writer.captureCount.store(c.count);
        writer.ToggleCapture(nullptr);
        for (int i = 0; i < c.frames; ++i) Frame(writer, pic, i);
        EXPECT_EQ(FilesIn(dir.Path()).size(), c.files);
        EXPECT_EQ(target_.Events(), c.posts);
        EXPECT_FALSE(writer.capturing.load());
        // The run's end carries its count, and it did not fail.
        CaptureReport report;
        ASSERT_TRUE(events_.TakeCaptureDone(&report));
        EXPECT_EQ(report.capturedCount, c.files);
        EXPECT_EQ(events_.CapturedCount(), c.files);
        EXPECT_FALSE(report.failed);
        EXPECT_STREQ(report.failure, "");
    }
}

TEST_F(CaptureRunTest, FrameThatCannotBeWrittenIsLostAndRunGoesOn) {
    Picture pic(4, 2, false);
    CaptureWriter writer(&events_);
    writer.captureCount.store(2);
    writer.ToggleCapture(nullptr);
    // A directory below a regular file takes no files, not even from root.
    const std::string blocker = dir_.File("blocker");
    testing::WriteFile(blocker, "x");
    ASSERT_TRUE(writer.SetCaptureDirectory((blocker + "/sub").c_str()));
    EXPECT_EQ(Frame(writer, pic, 0), 0);
    ASSERT_TRUE(writer.SetCaptureDirectory(dir_.Path().c_str()));
    // A picture its header does not describe is not written either.
    pic.header.width = 3;
    EXPECT_EQ(Frame(writer, pic, 1), 0);
    pic.header.width = 4;
    pic.fb.imageSize -= 4;
    EXPECT_EQ(Frame(writer, pic, 2), 0);
    pic.fb.imageSize += 4;
    EXPECT_TRUE(writer.capturing.load());
    EXPECT_TRUE(target_.Events().empty());
    EXPECT_EQ(Frame(writer, pic, 3), 1);
    EXPECT_EQ(FilesIn(dir_.Path()), (Names{"blocker", "cap_00004.bmp"}));
}

// Child process: two good frames, then a file size limit that the third frame runs into.
// Returns a bit for each expectation that failed.
int CaptureIntoFileLimit(rlim_t limit) {
    signal(SIGXFSZ, SIG_IGN);
    test::RecordingReceiver target;
    StreamEvents events;
    events.SetReceiver(&target);
    CaptureWriter writer(&events);
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
    // The end of the run says that it failed, where and why.
    CaptureReport report;
    if (!events.TakeCaptureDone(&report) || !report.failed || report.capturedCount != 2 ||
        std::string(report.failure).find("_00051.bmp could not be written (") ==
            std::string::npos) {
        failed |= 64;
    }
    return failed;
}

class FileLimitTest : public CaptureRunTest, public ::testing::WithParamInterface<int> {};

TEST_P(FileLimitTest, ShortWriteEndsRunAndLeavesNoPartialFile) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(CaptureIntoFileLimit(static_cast<rlim_t>(GetParam())));
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "child killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(FilesIn(dir_.Path()), (Names{"cap_00001.bmp", "cap_00026.bmp"}));
}

// 0: the file header writes nothing; 10: part of it; 54: the pixels write nothing; 154: part.
INSTANTIATE_TEST_SUITE_P(Limits, FileLimitTest, ::testing::Values(0, 10, 54, 154));

// The frame delay skips frames between written ones; nothing is allocated on the way.
TEST_F(CaptureRunTest, FrameDelaySkipsFramesAndCaptureFrameAllocatesNothing) {
    const Picture pic(33, 9, true);
    struct : StreamEventReceiver {
        void Notify(StreamEvents& source, StreamEvent kind) override { source.Acknowledge(kind); }
    } quiet;  // a recorder would allocate
    StreamEvents events;
    events.SetReceiver(&quiet);
    CaptureWriter writer(&events);
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
    CaptureWriter writer(&events_);
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
