// FITS pictures read back with cfitsio (values, keywords, upright in FITS order) and checked
// with fitsverify.
#include "video/fits_file.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "support/temp_files.h"
#include "video/capture_test_support.h"
#include "video/fits_reader.h"

namespace kelpa {
namespace {

using testing::Picture;
using Strings = std::vector<std::string>;

TEST(FitsDate, MillisecondsInUtc) {
    const std::tuple<int64_t, const char*> cases[] = {
        {0, "1970-01-01T00:00:00.000"},
        {1234567890123456789, "2009-02-13T23:31:30.123"},
        {951782400999999999, "2000-02-29T00:00:00.999"},
        {-1, "1969-12-31T23:59:59.999"},
    };
    for (const auto& [ns, text] : cases) {
        char out[32];
        ASSERT_TRUE(FormatFitsDate(ns, out, sizeof out)) << ns;
        EXPECT_STREQ(out, text);
    }
}

// One encoder takes pictures of changing sizes, either row order, colour and grey. Texts that
// FITS cannot hold are made ASCII and cut (to 68 characters), and values the device does not
// report are left out.
TEST(FitsEncoder, PicturesReadBackUprightWithTheirKeywordsAndVerify) {
    const testing::TempDir dir;
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
        info.utcNs = 1234567890123456789;
        info.instrument = full ? std::string_view("USB Camera") : longName;
        info.telescope = full ? "Newton 200/1000" : "";
        info.exposureSeconds = full ? 0.0125 : -1.0;
        ASSERT_TRUE(encoder.Encode({&pic.fb, topDown, colour}, info)) << encoder.ErrorText();
        const std::string path = dir.File(std::to_string(n) + ".fits");
        const auto bytes = encoder.Bytes();
        testing::WriteFile(path, std::string(bytes.begin(), bytes.end()));

        testing::FitsContent fits;
        ASSERT_TRUE(testing::ReadFits(
            path, fits, {"DATE-OBS", "INSTRUME", "TELESCOP", "OBSERVER", "EXPTIME", "SWCREATE"}));
        EXPECT_EQ(fits.bitpix, 8);
        EXPECT_EQ(fits.naxis, colour ? 3 : 2);
        EXPECT_EQ(std::tie(fits.axes[0], fits.axes[1], fits.axes[2]),
                  std::tuple(long{w}, long{h}, colour ? 3L : 0L));
        EXPECT_EQ(fits.data, testing::FitsData(pic, colour));
        EXPECT_EQ(fits.keys, (Strings{"2009-02-13T23:31:30.123", full ? "USB Camera" : cutName,
                                      full ? "Newton 200/1000" : "(none)", "(none)",
                                      full ? "0.0125" : "(none)", "Kelpa " KELPA_VERSION_TEXT}));
        EXPECT_TRUE(testing::Verified(path));
    }
}

TEST(FitsEncoder, RefusesWhatItCannotWrite) {
    FitsEncoder encoder;
    const FrameBuffer empty;
    EXPECT_FALSE(encoder.Encode({&empty, false, true}, {}));
    EXPECT_TRUE(encoder.Bytes().empty());
    EXPECT_STRNE(encoder.ErrorText(), "");
}

}  // namespace
}  // namespace kelpa
