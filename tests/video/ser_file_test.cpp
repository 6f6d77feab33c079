// SER files cut short by a crash or a full disk, read back by the tests' own reader, still count
// exactly the frames they hold (whole SER runs: the capture run test). FITS pictures read back
// with cfitsio (values, keywords, upright in FITS order) and checked with fitsverify.
#include "video/ser_file.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include "support/temp_files.h"
#include "video/capture_test_support.h"
#include "video/fits_file.h"

namespace kelpa::testing {
namespace {

using Times = std::vector<int64_t>;

CapturePicture View(const Picture& p, bool colour) {
    return {&p.fb, p.header.height < 0, colour};
}

// A program that ends without finishing (a crash, limit 0 below) leaves every whole frame
// counted. A full disk, as a file size limit: the frame that does not fit is cut off and the
// count stays at the frames before it; the trailer is written when it still fits, else left
// out. Limits beyond two frames: 0, not a byte of the third frame fits; 8, part of it, not the
// trailer; 100, the trailer fits.
TEST(SerFile, CrashOrFullDiskKeepsTheWholeFramesCounted) {
    const TempDir dir;
    const Picture pic(16, 8, false);
    const size_t twoFrames = kSerHeaderSize + 2 * 16 * 8 * 3;
    SerRunInfo info;
    std::tie(info.width, info.height, info.colour) = std::tuple(16, 8, SerColour::kBgr);
    // The limit, the frames counted and the times of the trailer.
    const std::tuple<size_t, int, Times> cases[] = {
        {0, 3, {}}, {twoFrames, 2, {}}, {twoFrames + 8, 2, {}}, {twoFrames + 100, 2, {1, 2}}};
    for (const auto& [limit, frames, times] : cases) {
        SCOPED_TRACE(limit);
        const std::string path = dir.File(std::to_string(limit) + ".ser");
        EXPECT_EQ(ExitCodeOfChild([&] {
                      SerFile file;
                      int failed = file.Create(path.c_str(), info, 10) != 0;
                      for (int i = 0; i < 2; ++i)
                          failed |= file.Append(View(pic, true), i + 1) != 0;
                      // The crash: a third frame, then the end without Finish or destructor.
                      if (limit == 0) return failed | (file.Append(View(pic, true), 3) != 0) << 1;
                      failed |= !LimitProcess(RLIMIT_FSIZE, limit) << 1;
                      failed |= (file.Append(View(pic, true), 3) != EFBIG) << 2;
                      failed |= (file.FrameCount() != 2) << 3;
                      return failed | (file.Finish() != (times.empty() ? EFBIG : 0)) << 4;
                  }),
                  0);
        SerContent ser;
        ASSERT_TRUE(ReadSer(path, ser));
        EXPECT_EQ(ser.frameCount, frames);
        EXPECT_EQ(ser.frames.back(), pic.image);
        EXPECT_EQ(ser.times, times);
    }
}

// One encoder takes pictures of changing sizes, either row order, colour and grey. Texts that
// FITS cannot hold are made ASCII and cut (to 68 characters), and values the device does not
// report are left out. An empty picture is refused with a reason.
TEST(FitsEncoder, PicturesReadBackUprightWithTheirKeywordsAndVerify) {
    const TempDir dir;
    FitsEncoder encoder;
    const std::string longName = "Cam\xC3\xA9ra " + std::string(80, 'z');
    const std::string cutName = "Cam__ra " + std::string(60, 'z');
    for (int n = 0; n < 24; ++n) {
        const int32_t w = std::array{1, 5, 641}[n / 8];
        const int32_t h = std::array{1, 3}[n / 4 % 2];
        const bool topDown = n & 2;
        const bool colour = n & 1;
        const bool full = n % 3 != 0;  // every keyword, or an odd device name alone
        SCOPED_TRACE(::testing::Message() << w << "x" << h << " top-down " << topDown << " colour "
                                          << colour << " all keywords " << full);
        const Picture pic(w, h, topDown, static_cast<uint8_t>(n), !colour);
        FitsFrameInfo info;
        info.utcNs = 951782400999999999;  // a leap day; the date is rounded down
        info.instrument = full ? std::string_view("USB Camera") : longName;
        info.telescope = full ? "Newton 200/1000" : "";
        info.exposureSeconds = full ? 0.0125 : -1.0;
        ASSERT_TRUE(encoder.Encode({&pic.fb, topDown, colour}, info)) << encoder.ErrorText();
        const std::string path = dir.File(std::to_string(n) + ".fits");
        const auto bytes = encoder.Bytes();
        WriteFile(path, std::string(bytes.begin(), bytes.end()));

        FitsContent fits;
        ASSERT_TRUE(ReadFits(
            path, fits, {"DATE-OBS", "INSTRUME", "TELESCOP", "OBSERVER", "EXPTIME", "SWCREATE"}));
        EXPECT_EQ(std::tie(fits.bitpix, fits.naxis, fits.axes[0], fits.axes[1], fits.axes[2]),
                  std::tuple(8, colour ? 3 : 2, long{w}, long{h}, colour ? 3L : 0L));
        EXPECT_EQ(fits.data, FitsData(pic, colour));
        EXPECT_EQ(fits.keys, (std::vector<std::string>{
                                 "2000-02-29T00:00:00.999", full ? "USB Camera" : cutName,
                                 full ? "Newton 200/1000" : "(none)", "(none)",
                                 full ? "0.0125" : "(none)", "Kelpa " KELPA_VERSION_TEXT}));
        if (n < 4 || n % 5 == 0) {  // a sample: fitsverify is slow
            EXPECT_TRUE(Verified(path));
        }
    }
    const FrameBuffer empty;
    EXPECT_FALSE(encoder.Encode({&empty, false, true}, {}));
    EXPECT_TRUE(encoder.Bytes().empty());
    EXPECT_STRNE(encoder.ErrorText(), "");
}

}  // namespace
}  // namespace kelpa::testing
