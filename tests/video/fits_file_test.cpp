// FITS pictures read back with cfitsio (values, keywords, upright in FITS order) and checked
// with fitsverify.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "support/temp_files.h"
#include "video/capture_test_support.h"
#include "video/fits_file.h"
#include "video/fits_reader.h"

namespace kelpa {
namespace {

using testing::FitsContent;
using testing::Picture;
using testing::ReadFits;
using testing::TempDir;
using testing::Verified;

bool WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

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

class FitsPictureTest
    : public ::testing::TestWithParam<std::tuple<int32_t, int32_t, bool /*topDown*/, bool>> {};

TEST_P(FitsPictureTest, ReadsBackUprightAndVerifies) {
    const auto [w, h, topDown, colour] = GetParam();
    Picture pic(w, h, topDown);
    if (!colour) testing::MakeGrey(pic);
    FitsEncoder encoder;
    FitsFrameInfo info;
    info.utcNs = 1234567890123456789;
    info.instrument = "USB Camera";
    info.telescope = "Newton 200/1000";
    info.exposureSeconds = 0.0125;
    ASSERT_TRUE(encoder.Encode({&pic.fb, topDown, colour}, info)) << encoder.ErrorText();
    TempDir dir;
    const std::string path = dir / "frame.fits";
    ASSERT_TRUE(WriteBytes(path, encoder.Bytes()));

    FitsContent fits;
    std::vector<std::string> keys;
    ASSERT_TRUE(ReadFits(path, fits, &keys,
                         {"DATE-OBS", "INSTRUME", "TELESCOP", "OBSERVER", "EXPTIME", "SWCREATE"}));
    EXPECT_EQ(fits.bitpix, 8);
    EXPECT_EQ(fits.naxis, colour ? 3 : 2);
    EXPECT_EQ(fits.axes[0], w);
    EXPECT_EQ(fits.axes[1], h);
    if (colour) {
        EXPECT_EQ(fits.axes[2], 3);
    }
    EXPECT_EQ(fits.data, testing::FitsData(pic, colour));
    EXPECT_EQ(keys,
              (std::vector<std::string>{"2009-02-13T23:31:30.123", "USB Camera", "Newton 200/1000",
                                        "(none)", "0.0125", "Kelpa " KELPA_VERSION_TEXT}));
    std::string report;
    EXPECT_TRUE(Verified(path, &report)) << report;
}

INSTANTIATE_TEST_SUITE_P(Geometries, FitsPictureTest,
                         ::testing::Combine(::testing::Values(1, 5, 641), ::testing::Values(1, 3),
                                            ::testing::Bool(), ::testing::Bool()));

// One encoder takes pictures of changing sizes; texts that FITS cannot hold are made ASCII and
// cut, and values the device does not report are left out.
TEST(FitsEncoder, ChangingSizesAndOptionalKeywords) {
    TempDir dir;
    FitsEncoder encoder;
    std::string longName("Cam\xC3\xA9ra ");
    longName.append(80, 'z');
    std::string cut("Cam__ra ");  // FITS texts are ASCII, 68 characters at most
    cut.append(60, 'z');
    int index = 0;
    for (const auto& [w, h] : {std::pair{3, 2}, std::pair{641, 5}, std::pair{3, 2}}) {
        const Picture pic(w, h, false, static_cast<uint8_t>(index));
        FitsFrameInfo info;
        info.utcNs = 1000000000LL * index;
        info.instrument = longName;
        ASSERT_TRUE(encoder.Encode({&pic.fb, false, true}, info)) << encoder.ErrorText();
        const std::string path = dir.File(std::to_string(index++) + ".fits");
        ASSERT_TRUE(WriteBytes(path, encoder.Bytes()));
        FitsContent fits;
        std::vector<std::string> keys;
        ASSERT_TRUE(ReadFits(path, fits, &keys, {"INSTRUME", "EXPTIME", "TELESCOP"}));
        EXPECT_EQ(fits.data, testing::FitsData(pic, true));
        EXPECT_EQ(keys[0], cut);
        EXPECT_EQ(keys[1], "(none)");
        EXPECT_EQ(keys[2], "(none)");
        std::string report;
        EXPECT_TRUE(Verified(path, &report)) << report;
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
