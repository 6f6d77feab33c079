// Capture runs that write SER and FITS files, read back by the tests' own SER reader and by
// cfitsio: one upright SER file per run with the device, texts, start time and frame times;
// a new file when the picture changes size; no file replaced; failures with the folder and the
// reason; a full disk that leaves the file unfinished under ".part"; one FITS file per frame
// with its time and exposure.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <tuple>
#include <vector>

#include "support/temp_files.h"
#include "support/test_support.h"
#include "video/capture_test_support.h"
#include "video/capture_writer.h"
#include "video/fits_reader.h"
#include "video/ser_reader.h"

namespace kelpa {
namespace {

using testing::FilesIn;
using testing::Names;
using testing::Picture;
using testing::ReadFile;
using testing::ReadSer;
using testing::SerContent;
using testing::TempDir;

constexpr StreamEvent P = StreamEvent::kCaptureProgress;
constexpr StreamEvent D = StreamEvent::kCaptureDone;

// 2023-11-14 22:13:20 UTC: the clock of every run here.
constexpr UnixTimeNs kStartNs = 1700000000LL * 1000000000;
constexpr int64_t kStartTicks = 638355968000000000;
constexpr int64_t kTicksPerFrame = 400000;  // 40 ms at 25 frames per second

UnixTimeNs StartClock() {
    return kStartNs;
}

// A time zone for the life of the object.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        old_.empty() ? unsetenv("TZ") : setenv("TZ", old_.c_str(), 1);
        tzset();
    }

  private:
    std::string old_;
};

class CaptureFormatRunTest : public ::testing::Test {
  protected:
    CaptureFormatRunTest() { events_.SetReceiver(&target_); }

    // A writer for `type` runs of `count` frames, named after a camera.
    void Start(CaptureWriter& writer, CaptureFileType type, uint32_t count) {
        CaptureFileSettings settings;
        settings.fileType = static_cast<uint32_t>(type);
        settings.observer = "A. Observer";
        settings.telescope = "C8";
        writer.SetFileSettings(settings);
        writer.SetCaptureName("  ZWO ASI120MM Mini ", false);
        writer.SetUtcClock(&StartClock);
        writer.captureCount.store(count);
        ASSERT_TRUE(writer.ToggleCapture(nullptr));
    }
    // Frame i of a 25 frames-per-second stream.
    static int Frame(CaptureWriter& w, const Picture& p, int i, bool colour = true) {
        return w.CaptureFrame(i / 25.0, 25.0, p.fb, p.header, colour);
    }

    TempDir dir_;
    const CaptureRunSettings inDir_{dir_.Path()};
    TempDir home_;
    testing::ScopedEnv homeEnv_{"HOME", home_.Path()};
    ScopedTimeZone zone_{"UTC-3"};  // three hours east of Greenwich
    test::RecordingReceiver target_;
    StreamEvents events_;
};

class SerRunTest : public CaptureFormatRunTest,
                   public ::testing::WithParamInterface<std::tuple<bool, bool>> {};

TEST_P(SerRunTest, OneUprightFileWithDeviceTextsAndTimes) {
    const auto [topDown, colour] = GetParam();
    std::vector<Picture> pictures;
    for (uint8_t seed = 0; seed < 5; ++seed) {
        pictures.emplace_back(7, 3, topDown, seed);
        if (!colour) testing::MakeGrey(pictures.back());
    }
    CaptureWriter writer(&events_, inDir_);
    Start(writer, CaptureFileType::kSer, 5);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(Frame(writer, pictures[i], i, colour), 1);
    EXPECT_FALSE(writer.capturing.load());
    EXPECT_EQ(target_.Events(), (std::vector{P, D}));
    // The name comes from the first frame; nothing unfinished stays.
    ASSERT_EQ(FilesIn(dir_.Path()), Names{"capZWO_00001.ser"});

    SerContent ser;
    ASSERT_TRUE(ReadSer(ReadFile(dir_.File("capZWO_00001.ser")), ser));
    EXPECT_EQ(ser.colorId, colour ? 101 : 0);
    EXPECT_EQ(ser.width, 7);
    EXPECT_EQ(ser.height, 3);
    EXPECT_EQ(ser.frameCount, 5);
    EXPECT_EQ(ser.observer, "A. Observer");
    EXPECT_EQ(ser.instrument, "ZWO ASI120MM Mini");
    EXPECT_EQ(ser.telescope, "C8");
    EXPECT_EQ(ser.dateTimeUtc, kStartTicks);
    EXPECT_EQ(ser.dateTime, kStartTicks + 3 * 3600 * 10000000LL);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ser.frames[i], testing::SerFrame(pictures[i], colour)) << i;
        EXPECT_EQ(ser.times[i], kStartTicks + i * kTicksPerFrame) << i;
    }
    char path[512];
    writer.LastCapturePath(path, sizeof path);
    EXPECT_EQ(path, dir_.File("capZWO_00001.ser"));
}

INSTANTIATE_TEST_SUITE_P(RowOrderAndColour, SerRunTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()));

// Ended by the user, or by the picture changing size or kind: each file holds what it took.
TEST_F(CaptureFormatRunTest, SerFilesEndWithTheRunAndWithEachNewPicture) {
    const Picture large(8, 4, false);
    const Picture small(6, 2, true);
    CaptureWriter writer(&events_, inDir_);
    Start(writer, CaptureFileType::kSer, 100);
    const std::tuple<const Picture*, bool> frames[] = {
        {&large, true}, {&large, true},  {&small, true}, {&small, true},
        {&small, true}, {&small, false}, {&small, false}};
    for (int i = 0; i < 7; ++i) {
        const auto [picture, colour] = frames[i];
        ASSERT_EQ(Frame(writer, *picture, i, colour), 1) << i;
    }
    test::RecordingNotice notice;
    EXPECT_FALSE(writer.ToggleCapture(&notice));
    EXPECT_EQ(notice.status.back(), "Capturing 7 (+7) frame(s)");
    ASSERT_EQ(FilesIn(dir_.Path()),
              (Names{"capZWO_00001.ser", "capZWO_00003.ser", "capZWO_00006.ser"}));
    const std::tuple<const char*, int, int, int> expected[] = {{"capZWO_00001.ser", 8, 101, 2},
                                                               {"capZWO_00003.ser", 6, 101, 3},
                                                               {"capZWO_00006.ser", 6, 0, 2}};
    for (const auto& [name, width, colorId, count] : expected) {
        SerContent ser;
        ASSERT_TRUE(ReadSer(ReadFile(dir_.File(name)), ser)) << name;
        EXPECT_EQ(ser.width, width) << name;
        EXPECT_EQ(ser.colorId, colorId) << name;
        EXPECT_EQ(ser.frameCount, count) << name;
        EXPECT_EQ(ser.times.size(), static_cast<size_t>(count)) << name;
    }
}

// A finished file and an unfinished one of earlier runs under the name stay as they are.
TEST_F(CaptureFormatRunTest, SerRunReplacesNothing) {
    testing::WriteFile(dir_.File("capZWO_00001.ser"), "finished");
    testing::WriteFile(dir_.File("capZWO_00001.ser.part"), "unfinished");
    const Picture pic(4, 2, false);
    CaptureWriter writer(&events_, inDir_);
    Start(writer, CaptureFileType::kSer, 2);
    ASSERT_EQ(Frame(writer, pic, 0), 1);
    ASSERT_EQ(Frame(writer, pic, 1), 1);
    EXPECT_EQ(FilesIn(dir_.Path()),
              (Names{"capZWO_00001.ser", "capZWO_00001.ser.part", "capZWO_00001_1.ser"}));
    EXPECT_EQ(ReadFile(dir_.File("capZWO_00001.ser")), "finished");
    EXPECT_EQ(ReadFile(dir_.File("capZWO_00001.ser.part")), "unfinished");
    SerContent ser;
    ASSERT_TRUE(ReadSer(ReadFile(dir_.File("capZWO_00001_1.ser")), ser));
    EXPECT_EQ(ser.frameCount, 2);
}

// A file size limit that the third frame passes and the trailer too: the run ends, the file
// keeps its two frames counted and stays under ".part", as it has no frame times.
TEST_F(CaptureFormatRunTest, FullDiskLeavesAnUnfinishedFileUnderPart) {
    const Picture pic(16, 8, true);
    CaptureWriter writer(&events_, inDir_);
    Start(writer, CaptureFileType::kSer, 10);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        int failed = (Frame(writer, pic, 0) != 1) | (Frame(writer, pic, 1) != 1);
        const rlimit limit{178 + 2 * 16 * 8 * 3 + 8, RLIM_INFINITY};
        failed |= setrlimit(RLIMIT_FSIZE, &limit) != 0;
        failed |= (Frame(writer, pic, 2) != -1) << 1;
        failed |= (std::strstr(writer.FailureText(), std::strerror(EFBIG)) == nullptr) << 2;
        _exit(failed);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "child killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(FilesIn(dir_.Path()), Names{"capZWO_00001.ser.part"});
    SerContent ser;
    ASSERT_TRUE(ReadSer(ReadFile(dir_.File("capZWO_00001.ser.part")), ser));
    EXPECT_EQ(ser.frameCount, 2);
    EXPECT_EQ(ser.frames[1], pic.image);
    EXPECT_TRUE(ser.times.empty());
}

// The failure names the folder and the reason, in the run's report too.
TEST_F(CaptureFormatRunTest, SerFailureIsReportedWithFolderAndReason) {
    const Picture pic(16, 8, true);
    CaptureWriter writer(&events_, inDir_);
    Start(writer, CaptureFileType::kSer, 10);
    ASSERT_EQ(Frame(writer, pic, 0), 1);
    ASSERT_TRUE(writer.SetCaptureDirectory(dir_.File("gone").c_str()));  // for the next file
    const Picture other(8, 8, true);  // a new size: the file ends, the next cannot be made
    EXPECT_EQ(Frame(writer, other, 1), -1);
    const std::string expected =
        "Cannot write captured frames into " + dir_.File("gone") + "/: " + std::strerror(ENOENT);
    EXPECT_EQ(writer.FailureText(), expected);
    CaptureReport report;
    ASSERT_TRUE(events_.TakeCaptureDone(&report));
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(report.capturedCount, 1u);
    EXPECT_EQ(report.failure, expected);
    EXPECT_EQ(FilesIn(dir_.Path()), Names{"capZWO_00001.ser"});
}

// ---- FITS ---------------------------------------------------------------------------------

TEST_F(CaptureFormatRunTest, FitsRunWritesAFilePerFrameWithItsTime) {
    for (const bool colour : {true, false}) {
        SCOPED_TRACE(colour);
        const TempDir dir;
        Picture pic(5, 3, colour);
        if (!colour) testing::MakeGrey(pic);
        CaptureWriter writer(&events_, inDir_);
        ASSERT_TRUE(writer.SetCaptureDirectory(dir.Path().c_str()));
        writer.SetExposureSeconds(colour ? 0.02 : -1.0);
        Start(writer, CaptureFileType::kFits, 3);
        for (int i = 0; i < 3; ++i) ASSERT_EQ(Frame(writer, pic, i, colour), 1);
        ASSERT_EQ(FilesIn(dir.Path()),
                  (Names{"capZWO_00001.fits", "capZWO_00002.fits", "capZWO_00003.fits"}));
        const char* dates[] = {"2023-11-14T22:13:20.000", "2023-11-14T22:13:20.040",
                               "2023-11-14T22:13:20.080"};
        for (int i = 0; i < 3; ++i) {
            const std::string path = dir.File("capZWO_0000" + std::to_string(i + 1) + ".fits");
            testing::FitsContent fits;
            std::vector<std::string> keys;
            ASSERT_TRUE(testing::ReadFits(
                path, fits, &keys, {"DATE-OBS", "INSTRUME", "EXPTIME", "OBSERVER", "TELESCOP"}));
            EXPECT_EQ(fits.naxis, colour ? 3 : 2);
            EXPECT_EQ(fits.data, testing::FitsData(pic, colour));
            EXPECT_EQ(keys,
                      (std::vector<std::string>{dates[i], "ZWO ASI120MM Mini",
                                                colour ? "0.02" : "(none)", "A. Observer", "C8"}));
        }
        std::string report;
        EXPECT_TRUE(testing::Verified(dir.File("capZWO_00001.fits"), &report)) << report;
    }
}

// A run keeps the type and instrument it started with; the next run takes the new ones. A
// file source names no instrument.
TEST_F(CaptureFormatRunTest, RunKeepsItsTypeAndInstrument) {
    const Picture pic(4, 2, false);
    CaptureWriter writer(&events_, inDir_);
    Start(writer, CaptureFileType::kFits, 2);
    writer.SetCaptureName("/videos/jupiter.avi", true);
    CaptureFileSettings settings;  // BMP
    writer.SetFileSettings(settings);
    // The name shown for the next file follows the run while it is on, then the settings.
    const auto preview = [&writer] {
        char name[kCapturePathSize + kNameSuffixRoom];
        const size_t n = writer.PreviewCaptureName(0.0, 25.0, name, sizeof name);
        const std::string text(name, n);
        return text.substr(text.rfind('.'));
    };
    EXPECT_EQ(preview(), ".fits");
    ASSERT_EQ(Frame(writer, pic, 0), 1);
    ASSERT_EQ(Frame(writer, pic, 1), 1);
    EXPECT_FALSE(writer.capturing.load());
    EXPECT_EQ(preview(), ".bmp");
    ASSERT_TRUE(writer.ToggleCapture(nullptr));
    ASSERT_EQ(Frame(writer, pic, 2), 1);
    writer.FinishCapture();
    settings.fileType = static_cast<uint32_t>(CaptureFileType::kFits);
    writer.SetFileSettings(settings);
    ASSERT_TRUE(writer.ToggleCapture(nullptr));
    ASSERT_EQ(Frame(writer, pic, 3), 1);
    EXPECT_EQ(FilesIn(dir_.Path()), (Names{"capjupiter_00001.fits", "capjupiter_00002.fits",
                                           "capjupiter_00003.bmp", "capjupiter_00004.fits"}));
    const std::pair<const char*, const char*> instruments[] = {
        {"capjupiter_00002.fits", "ZWO ASI120MM Mini"}, {"capjupiter_00004.fits", "(none)"}};
    for (const auto& [name, instrument] : instruments) {
        testing::FitsContent fits;
        std::vector<std::string> keys;
        ASSERT_TRUE(testing::ReadFits(dir_.File(name), fits, &keys, {"INSTRUME"}));
        EXPECT_EQ(keys[0], instrument) << name;
    }
}

}  // namespace
}  // namespace kelpa
