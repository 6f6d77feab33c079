// Capture runs that write SER and FITS files, read back by the tests' own SER reader and by
// cfitsio: one upright SER file per run with the device, texts, start time and frame times;
// a new file when the picture changes size or kind; no file replaced; failures with the folder
// and the reason; a full disk that leaves the file unfinished under ".part"; one FITS file per
// frame with its time and exposure.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <optional>
#include <tuple>

#include "support/child_process.h"
#include "support/temp_files.h"
#include "support/test_support.h"
#include "video/capture_test_support.h"
#include "video/capture_writer.h"
#include "video/fits_reader.h"

namespace kelpa::testing {
namespace {

// 2023-11-14 22:13:20 UTC: the clock of every run here.
constexpr int64_t kStartTicks = 638355968000000000;
constexpr int64_t kTicksPerFrame = 400000;  // 40 ms at 25 frames per second

UnixTimeNs StartClock() {
    return 1700000000LL * 1000000000;
}

// A time zone for the life of the object.
struct ScopedTimeZone {
    explicit ScopedTimeZone(const char* zone) : zone_(std::in_place, "TZ", zone) { tzset(); }
    ~ScopedTimeZone() {
        zone_.reset();
        tzset();
    }
    std::optional<ScopedEnv> zone_;
};

class CaptureFormatRunTest : public ::testing::Test {
  protected:
    CaptureFormatRunTest() { events_.SetReceiver(&target_); }

    // Starts a `type` run of `count` frames into the test's folder, named after a camera.
    void Start(CaptureFileType type, uint32_t count) {
        CaptureFileSettings settings;
        settings.fileType = static_cast<uint32_t>(type);
        settings.observer = "A. Observer";
        settings.telescope = "C8";
        writer_.SetFileSettings(settings);
        writer_.SetCaptureName("  ZWO ASI120MM Mini ", false);
        writer_.SetUtcClock(&StartClock);
        writer_.captureCount.store(count);
        ASSERT_TRUE(writer_.ToggleCapture(nullptr));
    }
    // Frame i of a 25 frames-per-second stream.
    int Frame(const Picture& p, int i, bool colour = true) {
        return writer_.CaptureFrame(i / 25.0, 25.0, p.fb, p.header, colour);
    }
    SerContent Ser(const std::string& name) {
        SerContent ser;
        EXPECT_TRUE(ReadSer(dir_.File(name), ser)) << name;
        return ser;
    }

    TempDir dir_;
    TempDir home_;
    ScopedEnv homeEnv_{"HOME", home_.Path()};
    ScopedTimeZone zone_{"UTC-3"};  // three hours east of Greenwich
    test::RecordingReceiver target_;
    StreamEvents events_;
    CaptureWriter writer_{&events_, CaptureRunSettings{dir_.Path()}};
};

// Bottom-up colour pictures: the name comes from the first frame; nothing unfinished stays.
TEST_F(CaptureFormatRunTest, SerRunWritesOneUprightFileWithDeviceTextsAndTimes) {
    std::vector<Picture> pictures;
    for (uint8_t seed = 0; seed < 5; ++seed) pictures.emplace_back(7, 3, false, seed);
    Start(CaptureFileType::kSer, 5);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(Frame(pictures[i], i), 1);
    EXPECT_FALSE(writer_.capturing.load());
    EXPECT_EQ(target_.Events(),
              (std::vector{StreamEvent::kCaptureProgress, StreamEvent::kCaptureDone}));
    ASSERT_EQ(FilesIn(dir_.Path()), Names{"capZWO_00001.ser"});
    const SerContent ser = Ser("capZWO_00001.ser");
    EXPECT_EQ(std::tie(ser.colorId, ser.width, ser.height, ser.frameCount),
              std::tuple(101, 7, 3, 5));
    EXPECT_EQ(std::tie(ser.observer, ser.instrument, ser.telescope),
              std::tuple("A. Observer", "ZWO ASI120MM Mini", "C8"));
    EXPECT_EQ(ser.dateTimeUtc, kStartTicks);
    EXPECT_EQ(ser.dateTime, kStartTicks + 3 * 3600 * 10000000LL);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ser.frames[i], pictures[i].image) << i;
        EXPECT_EQ(ser.times[i], kStartTicks + i * kTicksPerFrame) << i;
    }
    char path[512];
    writer_.LastCapturePath(path, sizeof path);
    EXPECT_EQ(path, dir_.File("capZWO_00001.ser"));
}

// Ended by the user, or by the picture changing size or kind: each file holds what it took. A
// finished file and an unfinished one of earlier runs under the first name stay as they are.
TEST_F(CaptureFormatRunTest, SerFilesEndWithTheRunAndWithEachNewPictureAndReplaceNothing) {
    WriteFile(dir_.File("capZWO_00001.ser"), "finished");
    WriteFile(dir_.File("capZWO_00001.ser.part"), "unfinished");
    const Picture large(8, 4, false);
    const Picture small(6, 2, true);
    Start(CaptureFileType::kSer, 100);
    for (int i = 0; i < 7; ++i) ASSERT_EQ(Frame(i < 2 ? large : small, i, i < 5), 1) << i;
    test::RecordingNotice notice;
    EXPECT_FALSE(writer_.ToggleCapture(&notice));
    EXPECT_EQ(notice.status.back(), "Capturing 7 (+7) frame(s)");
    ASSERT_EQ(FilesIn(dir_.Path()),
              (Names{"capZWO_00001.ser", "capZWO_00001.ser.part", "capZWO_00001_1.ser",
                     "capZWO_00003.ser", "capZWO_00006.ser"}));
    EXPECT_EQ(ReadFile(dir_.File("capZWO_00001.ser")), "finished");
    EXPECT_EQ(ReadFile(dir_.File("capZWO_00001.ser.part")), "unfinished");
    const std::tuple<const char*, int, int, int> expected[] = {{"capZWO_00001_1.ser", 8, 101, 2},
                                                               {"capZWO_00003.ser", 6, 101, 3},
                                                               {"capZWO_00006.ser", 6, 0, 2}};
    for (const auto& [name, width, colorId, count] : expected) {
        const SerContent ser = Ser(name);
        EXPECT_EQ(std::tie(ser.width, ser.colorId, ser.frameCount), std::tie(width, colorId, count))
            << name;
        EXPECT_EQ(ser.times.size(), static_cast<size_t>(count)) << name;
    }
}

// A file size limit that the third frame passes and the trailer too: the run ends, the file
// keeps its two frames counted and stays under ".part", as it has no frame times.
TEST_F(CaptureFormatRunTest, FullDiskLeavesAnUnfinishedFileUnderPart) {
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
    const SerContent ser = Ser("capZWO_00001.ser.part");
    EXPECT_EQ(ser.frameCount, 2);
    EXPECT_EQ(ser.frames[1], pic.image);
    EXPECT_TRUE(ser.times.empty());
}

// The failure names the folder and the reason, in the run's report too.
TEST_F(CaptureFormatRunTest, SerFailureIsReportedWithFolderAndReason) {
    Start(CaptureFileType::kSer, 10);
    ASSERT_EQ(Frame(Picture(16, 8, true), 0), 1);
    ASSERT_TRUE(writer_.SetCaptureDirectory(dir_.File("gone").c_str()));  // for the next file
    EXPECT_EQ(Frame(Picture(8, 8, true), 1), -1);  // a new size: the next file cannot be made
    const std::string expected =
        "Cannot write captured frames into " + dir_.File("gone") + "/: " + std::strerror(ENOENT);
    EXPECT_EQ(writer_.FailureText(), expected);
    CaptureReport report;
    ASSERT_TRUE(events_.TakeCaptureDone(&report));
    EXPECT_EQ(std::tie(report.failed, report.capturedCount), std::tuple(true, 1u));
    EXPECT_EQ(report.failure, expected);
    EXPECT_EQ(FilesIn(dir_.Path()), Names{"capZWO_00001.ser"});
}

// Colour frames with an exposure, grey ones without.
TEST_F(CaptureFormatRunTest, FitsRunWritesAFilePerFrameWithItsTime) {
    for (const bool colour : {true, false}) {
        SCOPED_TRACE(colour);
        std::filesystem::remove_all(dir_.Path());
        const Picture pic(5, 3, colour, 11, !colour);
        writer_.SetExposureSeconds(colour ? 0.02 : -1.0);
        Start(CaptureFileType::kFits, 3);
        for (int i = 0; i < 3; ++i) ASSERT_EQ(Frame(pic, i, colour), 1);
        const Names files = FilesIn(dir_.Path());
        ASSERT_EQ(files, (Names{"capZWO_00001.fits", "capZWO_00002.fits", "capZWO_00003.fits"}));
        for (int i = 0; i < 3; ++i) {
            FitsContent fits;
            ASSERT_TRUE(ReadFits(dir_.File(files[i]), fits,
                                 {"DATE-OBS", "INSTRUME", "EXPTIME", "OBSERVER", "TELESCOP"}));
            EXPECT_EQ(fits.naxis, colour ? 3 : 2);
            EXPECT_EQ(fits.data, FitsData(pic, colour));
            EXPECT_EQ(fits.keys, (Names{"2023-11-14T22:13:20.0" + std::to_string(4 * i) + "0",
                                        "ZWO ASI120MM Mini", colour ? "0.02" : "(none)",
                                        "A. Observer", "C8"}));
        }
        EXPECT_TRUE(Verified(dir_.File("capZWO_00001.fits")));
    }
}

// A run keeps the type and instrument it started with; the next run takes the new ones. A
// file source names no instrument. The name shown for the next file follows the run while it
// is on, then the settings.
TEST_F(CaptureFormatRunTest, RunKeepsItsTypeAndInstrument) {
    const Picture pic(4, 2, false);
    Start(CaptureFileType::kFits, 2);
    writer_.SetCaptureName("/videos/jupiter.avi", true);
    CaptureFileSettings settings;  // BMP
    writer_.SetFileSettings(settings);
    const auto preview = [this] {
        char name[kCapturePathSize + kNameSuffixRoom];
        const std::string text(name, writer_.PreviewCaptureName(0.0, 25.0, name, sizeof name));
        return text.substr(text.rfind('.'));
    };
    EXPECT_EQ(preview(), ".fits");
    ASSERT_EQ(Frame(pic, 0), 1);
    ASSERT_EQ(Frame(pic, 1), 1);
    EXPECT_FALSE(writer_.capturing.load());
    EXPECT_EQ(preview(), ".bmp");
    ASSERT_TRUE(writer_.ToggleCapture(nullptr));
    ASSERT_EQ(Frame(pic, 2), 1);
    writer_.FinishCapture();
    settings.fileType = static_cast<uint32_t>(CaptureFileType::kFits);
    writer_.SetFileSettings(settings);
    ASSERT_TRUE(writer_.ToggleCapture(nullptr));
    ASSERT_EQ(Frame(pic, 3), 1);
    EXPECT_EQ(FilesIn(dir_.Path()), (Names{"capjupiter_00001.fits", "capjupiter_00002.fits",
                                           "capjupiter_00003.bmp", "capjupiter_00004.fits"}));
    for (const auto& [name, instrument] : {std::pair{"capjupiter_00002.fits", "ZWO ASI120MM Mini"},
                                           std::pair{"capjupiter_00004.fits", "(none)"}}) {
        FitsContent fits;
        ASSERT_TRUE(ReadFits(dir_.File(name), fits, {"INSTRUME"}));
        EXPECT_EQ(fits.keys[0], instrument) << name;
    }
}

}  // namespace
}  // namespace kelpa::testing
