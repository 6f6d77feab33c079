// Capture runs into a real directory: the files are decoded by readers of the test's own (BMP,
// SER) and cfitsio, and compared with the picture; messages, skipped frames and settings changed
// mid-run are checked, and the ways a run can fail: a directory that takes no files, a file size
// limit, a picture a BMP file cannot hold. Captured files are never
// replaced: frame numbers from container times that were rounded, several writers capturing
// into one directory, file systems with and without a no-replace rename; and the temporaries of
// programs that ended mid-write are cleared when a capture starts. SER runs write a file a kind
// of picture, upright, with the device, texts, start time and frame times; FITS runs a file a
// frame.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <future>
#include <optional>
#include <thread>
#include <tuple>

#include "support/temp_files.h"
#include "support/test_support.h"
#include "video/capture_file.h"
#include "video/capture_test_support.h"
#include "video/capture_writer.h"

namespace kelpa::testing {
namespace {

using Events = std::vector<StreamEvent>;
constexpr StreamEvent P = StreamEvent::kCaptureProgress;
constexpr StreamEvent D = StreamEvent::kCaptureDone;

// Settings of a run into `dir`.
CaptureRunSettings In(const std::string& dir, uint32_t count, uint32_t frameDelay = 0) {
    return {.directory = dir, .frameDelay = frameDelay, .count = count};
}

// The name of a frame under the default template.
std::string CapName(size_t frame, const char* suffix = ".bmp") {
    char name[32];
    std::snprintf(name, sizeof name, "cap_%05zu%s", frame, suffix);
    return name;
}

// A receiver that keeps the streaming thread in its first progress message until `open` is
// set.
struct Gate : StreamEventReceiver {
    void Notify(StreamEvents& source, StreamEvent kind) override {
        source.Acknowledge(kind);
        if (kind != P) return;
        entered.set_value();
        open.wait();
        left = true;
    }
    std::promise<void> entered;
    std::shared_future<void> open;
    std::atomic<bool> left{false};
};

class CaptureRunTest : public ::testing::Test {
  protected:
    CaptureRunTest() { events_.SetReceiver(&target_); }
    // Frame i of a 25 frames-per-second stream.
    static int Frame(CaptureWriter& w, const Picture& p, int i, bool colour = true) {
        return w.CaptureFrame(i / 25.0, 25.0, p.fb, p.header, colour);
    }
    // The run ended with `text` (none: it succeeded) after `captured` frames: in the writer,
    // the log and the run's report.
    void ExpectRunEnd(CaptureWriter& writer, const std::string& text, uint32_t captured) {
        CaptureReport report;
        ASSERT_TRUE(events_.TakeCaptureDone(&report));
        EXPECT_EQ(std::tuple(writer.capturing.load(), std::string(writer.FailureText()),
                             report.failed, report.capturedCount, std::string(report.failure)),
                  std::tuple(false, text, !text.empty(), captured, text));
    }
    TempDir dir_;
    TempDir home_;
    ScopedEnv homeEnv_{"HOME", home_.Path()};
    test::RecordingReceiver target_;
    StreamEvents events_;
};

// Pictures of odd widths and heights, either row order, decode back exactly; progress comes
// every fourth frame and done at the count (a count of 0 takes one frame), with the count; the
// frame delay skips frames between written ones.
TEST_F(CaptureRunTest, FilesDecodeBackAndTheRunEndsAtItsCount) {
    // Width, height, top-down, count, frame delay, frames fed, messages.
    const std::tuple<int32_t, int32_t, bool, uint32_t, uint32_t, int, Events> cases[] = {
        {1, 1, true, 0, 0, 3, {P, D}},
        {2, 7, false, 3, 2, 9, {P, P, P, D}},
        {3, 2, false, 8, 0, 9, {P, P, D}},
        {4, 3, true, 1, 0, 1, {P, D}}};
    for (const auto& [w, h, topDown, count, delay, frames, posts] : cases) {
        SCOPED_TRACE(::testing::Message() << w << "x" << h << " count " << count);
        const Picture pic(w, h, topDown);
        const TempDir dir;
        target_.Clear();
        CaptureWriter writer(&events_, In(dir.Path(), count, delay));
        writer.ToggleCapture(nullptr);
        for (int i = 0; i < frames; ++i) Frame(writer, pic, i);
        EXPECT_EQ(target_.Events(), posts);
        Names names;
        for (uint32_t n = 0; n < std::max(count, 1u); ++n)
            names.push_back(CapName(n * (delay + 1) + 1));
        ASSERT_EQ(FilesIn(dir.Path()), names);
        for (const std::string& name : names) EXPECT_TRUE(BmpHolds(dir / name, pic));
        ExpectRunEnd(writer, "", std::max(count, 1u));
        EXPECT_EQ(events_.CapturedCount(), std::max(count, 1u));
    }
}

// A frame that cannot be written ends the run with a text naming the directory and the reason,
// in the run's report (which the main window shows as a warning); the frames before it
// stay, nothing partial or temporary is left.
TEST_F(CaptureRunTest, FrameThatCannotBeWrittenEndsTheRunAndSaysWhy) {
    const std::string blocker = dir_.File("blocker");
    WriteFile(blocker, "x");
    const std::string notBmp = " pixels cannot be saved as a BMP file";
    const std::pair<std::string, std::string> cases[] = {
        // A directory below a regular file takes no files, not even from root.
        {"directory", blocker + "/sub/: " + std::strerror(ENOTDIR)},
        {"short buffer", dir_.Path() + "/: a picture of 4 x 2" + notBmp},
        {"empty surface", dir_.Path() + "/: a picture of 0 x 0" + notBmp}};
    for (const auto& [how, reason] : cases) {
        SCOPED_TRACE(how);
        std::filesystem::remove(dir_.File("cap_00001.bmp"));
        target_.Clear();
        Picture pic(4, 2, false);
        CaptureWriter writer(&events_, In(dir_.Path(), 5));
        writer.ToggleCapture(nullptr);
        ASSERT_EQ(Frame(writer, pic, 0), 1);
        if (how == "directory") writer.SetCaptureDirectory((blocker + "/sub").c_str());
        if (how == "short buffer") pic.fb.imageSize -= 4;
        if (how == "empty surface") pic.fb = {};
        EXPECT_EQ(Frame(writer, pic, 1), -1);
        EXPECT_EQ(Frame(writer, pic, 2), 0);  // the run is over
        const std::string text = "Cannot write captured frames into " + reason;
        ExpectRunEnd(writer, text, 1);
        EXPECT_EQ(target_.Events(), Events{D});
        EXPECT_EQ(FilesIn(dir_.Path()), (Names{"blocker", "cap_00001.bmp"}));
    }
}

// Two good frames, then a file size limit that the third frame runs into: the run ends with the
// reason and leaves no partial file. Limits: 0, the file header writes nothing; 10, part of it;
// 54, the pixels write nothing; 154, part of them.
TEST_F(CaptureRunTest, ShortWriteEndsRunAndLeavesNoPartialFile) {
    for (const rlim_t limit : {0, 10, 54, 154}) {
        SCOPED_TRACE(limit);
        const TempDir dir;
        EXPECT_EQ(ExitCodeOfChild([&] {
                      CaptureWriter writer(&events_, In(dir.Path(), 5));
                      writer.ToggleCapture(nullptr);
                      const Picture pic(16, 8, false);
                      int failed = (Frame(writer, pic, 0) != 1) | (Frame(writer, pic, 25) != 1);
                      failed |= !LimitProcess(RLIMIT_FSIZE, limit) << 1;
                      failed |= (Frame(writer, pic, 50) != -1) << 2;
                      failed |= (writer.capturing.load() || writer.capturedCount.load() != 2) << 3;
                      failed |= (Frame(writer, pic, 75) != 0 || target_.Events() != Events{D}) << 4;
                      const std::string text = writer.FailureText();
                      const std::string reason = std::string(": ") + std::strerror(EFBIG);
                      return failed | (text.find(reason) != text.size() - reason.size()) << 5;
                  }),
                  0);
        EXPECT_EQ(FilesIn(dir.Path()), (Names{"cap_00001.bmp", "cap_00026.bmp"}));
    }
}

// At the end of a program run (or on a signal) the run is ended while a frame may be in
// flight: FinishCapture returns only once that frame's file is complete and in place.
TEST_F(CaptureRunTest, FinishCaptureWaitsForTheFrameInFlight) {
    Gate gate;
    std::promise<void> opening;
    gate.open = opening.get_future().share();
    const Picture pic(6, 3, false);
    events_.SetReceiver(&gate);
    CaptureWriter writer(&events_, In(dir_.Path(), 2));
    writer.ToggleCapture(nullptr);  // a count below 4: progress after every frame
    std::thread streaming([&] { Frame(writer, pic, 0); });
    gate.entered.get_future().wait();
    std::thread opener([&] {
        while (writer.capturing.load()) std::this_thread::yield();
        opening.set_value();
    });
    writer.FinishCapture();
    EXPECT_TRUE(gate.left.load());
    EXPECT_EQ(FilesIn(dir_.Path()), Names{"cap_00001.bmp"});
    streaming.join();
    opener.join();
    EXPECT_EQ(Frame(writer, pic, 1), 0);
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
            EXPECT_NE(std::string("abc").find(name[0]), std::string::npos) << name;
            EXPECT_TRUE(BmpHolds(d->File(name), pic));
        }
    }
}

// Sample times as containers store them (rounded to the millisecond, as Matroska does) give
// each frame its own number at the common frame rates; the time field is the nearest
// millisecond as well.
TEST_F(CaptureRunTest, RoundedContainerTimesGiveEveryFrameItsOwnNumber) {
    CaptureWriter writer(nullptr, In(dir_.Path(), 1));
    ASSERT_TRUE(writer.SetCaptureTemplate("%f"));
    for (const double fps : {23.976, 24.0, 25.0, 29.97, 30.0, 50.0, 59.94, 60.0}) {
        for (int i = 0; i < 600; ++i) {
            const std::string name =
                writer.BuildCaptureName(std::round(i * 1000.0 / fps) / 1000.0, fps);
            ASSERT_EQ(std::stoi(name.substr(name.size() - 9)), i + 1) << fps << " frame " << i;
        }
    }
    ASSERT_TRUE(writer.SetCaptureTemplate("%t"));
    EXPECT_EQ(writer.BuildCaptureName(1.001, 30), dir_.File("0001001.bmp"));
}

// Three writers (as three runs or three programs would) capture the same frame numbers into one
// directory at the same time: every frame of every writer is kept, complete, under the next
// free suffix of its name.
TEST_F(CaptureRunTest, WritersSharingADirectoryKeepEveryFrame) {
    constexpr int kFrames = 30;
    std::vector<Picture> pictures;
    std::vector<std::thread> threads;
    for (int w = 0; w < 3; ++w) pictures.emplace_back(7, 4, true, static_cast<uint8_t>(w));
    for (int w = 0; w < 3; ++w) {
        threads.emplace_back([&, w] {
            CaptureWriter writer(nullptr, In(dir_.Path(), kFrames));
            writer.ToggleCapture(nullptr);
            for (int i = 0; i < kFrames; ++i) Frame(writer, pictures[w], i);
        });
    }
    for (std::thread& t : threads) t.join();
    // Each frame number under three names: cap_00001.bmp, cap_00001_1.bmp, cap_00001_2.bmp.
    const Names files = FilesIn(dir_.Path());
    std::vector<int> perWriter(3);
    for (size_t i = 0; i < files.size(); ++i) {
        const char* suffixes[] = {".bmp", "_1.bmp", "_2.bmp"};
        const std::string name = CapName(i / 3 + 1, suffixes[i % 3]);
        ASSERT_EQ(files[i], name);
        for (int w = 0; w < 3; ++w) perWriter[w] += bool(BmpHolds(dir_ / name, pictures[w]));
    }
    EXPECT_EQ(perWriter, std::vector<int>(3, kFrames));
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
        EXPECT_EQ(MoveWithoutReplacing(from.c_str(), dir.File("free.bmp").c_str(), method), 0);
        EXPECT_EQ(FilesIn(dir.Path()), (Names{"free.bmp", "taken.bmp"}));
        EXPECT_EQ(ReadFile(dir.File("taken.bmp")) + ReadFile(dir.File("free.bmp")), "oldnew");
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
    CaptureWriter writer(nullptr, In(dir_.Path(), 1));
    writer.ToggleCapture(nullptr);
    close(writing);
    Names expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesIn(dir_.Path()), expected);
}

// ---- SER and FITS runs ------------------------------------------------------------------------

// A nanosecond short of a millisecond after the start of a leap day, 2024-02-29 UTC: the clock
// of every run here. SER ticks of 100 ns and FITS dates in milliseconds are rounded down.
constexpr int64_t kStartTicks = 638447616000009999;
constexpr int64_t kTicksPerFrame = 400000;  // 40 ms at 25 frames per second

UnixTimeNs StartClock() {
    return 1709164800LL * 1000000000 + 999999;
}

// Texts that overrun the SER header's 40-byte fields: the observer (longer than FITS's 68
// characters too), the telescope by the second byte of an "é".
const std::string kObserver(70, 'x');
const std::string kTelescope = std::string(39, 'a') + "\xC3\xA9";

// Runs named after a camera, three hours east of Greenwich.
class CaptureFormatRunTest : public CaptureRunTest {
  protected:
    CaptureFormatRunTest() { tzset(); }
    ~CaptureFormatRunTest() override {
        zone_.reset();
        tzset();
    }
    // Starts a `type` run of `count` frames into the test's folder.
    void Start(CaptureFileType type, uint32_t count) {
        CaptureFileSettings settings;
        settings.fileType = static_cast<uint32_t>(type);
        settings.observer = kObserver;
        settings.telescope = kTelescope;
        writer_.SetFileSettings(settings);
        writer_.SetCaptureName("  ZWO ASI120MM Mini ", false);
        writer_.SetUtcClock(&StartClock);
        writer_.captureCount.store(count);
        ASSERT_TRUE(writer_.ToggleCapture(nullptr));
    }
    int Frame(const Picture& p, int i, bool colour = true) {
        return CaptureRunTest::Frame(writer_, p, i, colour);
    }
    SerContent Ser(const std::string& name) {
        SerContent ser;
        EXPECT_TRUE(ReadSer(dir_.File(name), ser)) << name;
        return ser;
    }
    std::optional<ScopedEnv> zone_{std::in_place, "TZ", "UTC-3"};
    CaptureWriter writer_{&events_, CaptureRunSettings{dir_.Path()}};
};

// Bottom-up colour pictures, then single top-down pixels in colour and grey: a file a kind of
// picture, named after its first frame, upright, with the device, texts (cut to their fields
// whole), start time and frame times (a time met again is made to increase); the last ends with
// the run. A finished file and an unfinished one of earlier runs under the first name stay as
// they are; nothing unfinished stays.
TEST_F(CaptureFormatRunTest, SerFilesHoldTheirFramesWithDeviceTextsAndTimesAndReplaceNothing) {
    WriteFile(dir_ / "capZWO_00001.ser", "finished");
    WriteFile(dir_ / "capZWO_00001.ser.part", "unfinished");
    std::vector<Picture> pictures;
    for (uint8_t i = 0; i < 7; ++i)
        pictures.emplace_back(i < 2 ? 7 : 1, i < 2 ? 3 : 1, i > 1, i, i > 4);
    Start(CaptureFileType::kSer, 100);
    for (int i = 0; i < 7; ++i) ASSERT_EQ(Frame(pictures[i], i == 3 ? 2 : i, i < 5), 1) << i;
    EXPECT_FALSE(writer_.ToggleCapture(nullptr));
    ASSERT_EQ(FilesIn(dir_.Path()),
              (Names{"capZWO_00001.ser", "capZWO_00001.ser.part", "capZWO_00001_1.ser",
                     "capZWO_00003.ser", "capZWO_00006.ser"}));
    EXPECT_EQ(ReadFile(dir_ / "capZWO_00001.ser") + ReadFile(dir_ / "capZWO_00001.ser.part"),
              "finishedunfinished");
    char path[512];
    writer_.LastCapturePath(path, sizeof path);
    EXPECT_EQ(path, dir_ / "capZWO_00006.ser");
    // Name, first frame, frames, width, colour id.
    const std::tuple<const char*, int, int, int, int> files[] = {
        {"capZWO_00001_1.ser", 0, 2, 7, 101},
        {"capZWO_00003.ser", 2, 3, 1, 101},
        {"capZWO_00006.ser", 5, 2, 1, 0}};
    for (const auto& [name, first, count, width, colorId] : files) {
        SCOPED_TRACE(name);
        const SerContent ser = Ser(name);
        ASSERT_EQ(std::tie(ser.width, ser.colorId, ser.frameCount, ser.luId, ser.littleEndian),
                  std::tuple(width, colorId, count, 0, 1));
        EXPECT_EQ(std::tie(ser.observer, ser.instrument, ser.telescope),
                  std::tuple(std::string(40, 'x'), "ZWO ASI120MM Mini", std::string(39, 'a')));
        for (int i = 0; i < count; ++i) {
            const int frame = first + i;  // frame 3 came at the time of frame 2
            EXPECT_EQ(ser.frames[i], SerFrame(pictures[frame], colorId != 0)) << i;
            EXPECT_EQ(ser.times[i],
                      kStartTicks + (frame == 3 ? 2 * kTicksPerFrame + 1 : frame * kTicksPerFrame))
                << i;
        }
    }
    const SerContent first = Ser("capZWO_00001_1.ser");
    EXPECT_EQ(std::tie(first.dateTimeUtc, first.dateTime),
              std::tuple(kStartTicks, kStartTicks + 3 * 3600 * 10000000LL));
}

// A file size limit that the third frame passes and the trailer too: the run ends, the file
// keeps its two frames counted and stays under ".part", as it has no frame times. A new file
// that cannot be made ends the run with the folder and the reason.
TEST_F(CaptureFormatRunTest, SerFailuresEndTheRunAndLeaveWholeFrames) {
    const Picture pic(16, 8, true);
    Start(CaptureFileType::kSer, 10);
    EXPECT_EQ(ExitCodeOfChild([&] {
                  int failed = (Frame(pic, 0) != 1) | (Frame(pic, 1) != 1);
                  failed |= !LimitProcess(RLIMIT_FSIZE, 178 + 2 * 16 * 8 * 3 + 8) << 1;
                  failed |= (Frame(pic, 2) != -1) << 2;
                  return failed | !std::strstr(writer_.FailureText(), std::strerror(EFBIG)) << 3;
              }),
              0);
    ASSERT_EQ(FilesIn(dir_.Path()), Names{"capZWO_00001.ser.part"});
    const SerContent part = Ser("capZWO_00001.ser.part");
    EXPECT_EQ(std::tie(part.frameCount, part.frames[1], part.times),
              std::tuple(2, pic.image, std::vector<int64_t>{}));

    std::filesystem::remove(dir_.File("capZWO_00001.ser.part"));
    ASSERT_EQ(Frame(pic, 0), 1);
    ASSERT_TRUE(writer_.SetCaptureDirectory(dir_.File("gone").c_str()));  // for the next file
    EXPECT_EQ(Frame(Picture(8, 8, true), 1), -1);  // a new size: the next file cannot be made
    ExpectRunEnd(
        writer_,
        "Cannot write captured frames into " + dir_.File("gone") + "/: " + std::strerror(ENOENT),
        1);
    EXPECT_EQ(FilesIn(dir_.Path()), Names{"capZWO_00001.ser"});
}

// A FITS file a frame, upright in FITS order whatever the picture (colour or grey, either row
// order, a pixel or a wide row), with its time, instrument and exposure, the texts made ASCII and
// cut to 68 characters, accepted by fitsverify; a file source names no instrument. An empty
// picture ends the run with a reason.
TEST_F(CaptureFormatRunTest, FitsRunsWriteAFilePerFrame) {
    const Picture pictures[] = {{5, 3, true, 1}, {1, 1, false, 2, true}, {641, 3, false, 3}};
    writer_.SetExposureSeconds(0.02);
    Start(CaptureFileType::kFits, 2);
    ASSERT_EQ(Frame(pictures[0], 0), 1);
    ASSERT_EQ(Frame(pictures[1], 1, false), 1);
    writer_.SetCaptureName("/videos/jupiter.avi", true);
    writer_.SetExposureSeconds(-1.0);
    ASSERT_TRUE(writer_.ToggleCapture(nullptr));
    ASSERT_EQ(Frame(pictures[2], 2), 1);
    EXPECT_EQ(FilesIn(dir_.Path()),
              (Names{"capZWO_00001.fits", "capZWO_00002.fits", "capjupiter_00003.fits"}));
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"capZWO_00001.fits", "2024-02-29T00:00:00.000", "ZWO ASI120MM Mini", "0.02"},
        {"capZWO_00002.fits", "2024-02-29T00:00:00.040", "ZWO ASI120MM Mini", "0.02"},
        {"capjupiter_00003.fits", "2024-02-29T00:00:00.000", "(none)", "(none)"}};
    for (size_t i = 0; i < 3; ++i) {
        const auto& [name, date, instrument, exposure] = cases[i];
        SCOPED_TRACE(name);
        const bool colour = i != 1;
        const FrameBuffer& fb = pictures[i].fb;
        FitsContent fits;
        ASSERT_TRUE(
            ReadFits(dir_.File(name), fits,
                     {"DATE-OBS", "INSTRUME", "EXPTIME", "OBSERVER", "TELESCOP", "SWCREATE"}));
        EXPECT_EQ(std::tie(fits.bitpix, fits.naxis, fits.axes[0], fits.axes[1], fits.axes[2]),
                  std::tuple(8, colour ? 3 : 2, long{fb.width}, long{fb.height}, colour ? 3L : 0L));
        EXPECT_EQ(fits.data, FitsData(pictures[i], colour));
        EXPECT_EQ(fits.keys, (Names{date, instrument, exposure, std::string(68, 'x'),
                                    std::string(39, 'a') + "__", "Kelpa " KELPA_VERSION_TEXT}));
        EXPECT_TRUE(Verified(dir_.File(name)));
    }
    Picture empty(1, 1, false);
    empty.fb = {};
    EXPECT_EQ(Frame(empty, 3), -1);
    EXPECT_STRNE(writer_.FailureText(), "");
}

}  // namespace
}  // namespace kelpa::testing
