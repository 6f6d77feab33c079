// FITS pictures read back with cfitsio (values, keywords, upright in FITS order) and checked
// with fitsverify.
#include <fitsio.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "support/temp_files.h"
#include "video/capture_test_support.h"
#include "video/fits_file.h"

namespace kelpa {
namespace {

using testing::Picture;
using testing::TempDir;

struct FitsContent {
    int bitpix = 0;
    int naxis = 0;
    long axes[3] = {0, 0, 0};
    std::vector<uint8_t> data;  // as stored: planes of rows from the first (bottom) row
};

// Reads a keyword's text, or "(none)" when the header has no such keyword.
std::string Keyword(fitsfile* f, const char* key) {
    char value[FLEN_VALUE] = "";
    int status = 0;
    if (fits_read_key(f, TSTRING, key, value, nullptr, &status) == KEY_NO_EXIST) {
        return "(none)";
    }
    return status == 0 ? value : "(error)";
}

::testing::AssertionResult ReadFits(const std::string& path, FitsContent& out,
                                    std::vector<std::string>* keys = nullptr,
                                    const std::vector<const char*>& names = {}) {
    fitsfile* f = nullptr;
    int status = 0;
    if (fits_open_file(&f, path.c_str(), READONLY, &status)) {
        return ::testing::AssertionFailure() << "cfitsio cannot open it: " << status;
    }
    fits_get_img_param(f, 3, &out.bitpix, &out.naxis, out.axes, &status);
    long count = 1;
    for (int i = 0; i < out.naxis && i < 3; ++i) count *= out.axes[i];
    out.data.assign(static_cast<size_t>(count), 0);
    int anyNull = 0;
    fits_read_img(f, TBYTE, 1, count, nullptr, out.data.data(), &anyNull, &status);
    if (keys) {
        for (const char* name : names) keys->push_back(Keyword(f, name));
    }
    fits_close_file(f, &status);
    if (status != 0) return ::testing::AssertionFailure() << "cfitsio status " << status;
    return ::testing::AssertionSuccess();
}

// fitsverify's report on a file, and whether it found neither errors nor warnings.
bool Verified(const std::string& path, std::string* report) {
    const std::string command = "fitsverify '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) *report += line;
    const int status = pclose(pipe);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
           report->find("found 0 warning(s) and 0 error(s)") != std::string::npos;
}

bool WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// The picture in FITS order, from the test picture's top-first pixels: planes red, green, blue
// (or the one grey level), each from the bottom row up.
std::vector<uint8_t> Expected(const Picture& p, bool colour) {
    const int32_t w = p.fb.width;
    const int32_t h = p.fb.height;
    std::vector<uint8_t> out;
    const int planes = colour ? 3 : 1;
    for (int plane = 0; plane < planes; ++plane) {
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                const size_t pixel = (static_cast<size_t>(h - 1 - y) * w + x) * 3;
                out.push_back(p.image[pixel + (colour ? 2 - plane : 0)]);
            }
        }
    }
    return out;
}

void MakeGrey(Picture& p) {
    for (size_t i = 0; i + 2 < p.image.size(); i += 3) p.image[i + 1] = p.image[i + 2] = p.image[i];
    for (int32_t y = 0; y < p.fb.height; ++y) {
        uint8_t* row = p.buffer.data() + static_cast<size_t>(y) * p.fb.stride;
        for (int32_t x = 0; x < p.fb.width; ++x) row[3 * x + 1] = row[3 * x + 2] = row[3 * x];
    }
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
    if (!colour) MakeGrey(pic);
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
    EXPECT_EQ(fits.data, Expected(pic, colour));
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
        EXPECT_EQ(fits.data, Expected(pic, true));
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
