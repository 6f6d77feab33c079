// Reading FITS files in the tests: pixels and keywords through cfitsio, and fitsverify's verdict.
#pragma once

#include <fitsio.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "video/capture_test_support.h"

namespace kelpa::testing {

struct FitsContent {
    int bitpix = 0;
    int naxis = 0;
    long axes[3] = {0, 0, 0};
    std::vector<uint8_t> data;      // as stored: planes of rows from the first (bottom) row
    std::vector<std::string> keys;  // the texts of the keywords asked for; "(none)" if absent
};

inline ::testing::AssertionResult ReadFits(const std::string& path, FitsContent& out,
                                           const std::vector<const char*>& keys = {}) {
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
    for (const char* key : keys) {
        char value[FLEN_VALUE] = "";
        int keyStatus = 0;
        fits_read_key(f, TSTRING, key, value, nullptr, &keyStatus);
        out.keys.push_back(keyStatus == KEY_NO_EXIST ? "(none)" : keyStatus ? "(error)" : value);
    }
    fits_close_file(f, &status);
    if (status != 0) return ::testing::AssertionFailure() << "cfitsio status " << status;
    return ::testing::AssertionSuccess();
}

// Whether fitsverify finds neither errors nor warnings in the file; its report otherwise.
inline ::testing::AssertionResult Verified(const std::string& path) {
    FILE* pipe = popen(("fitsverify '" + path + "' 2>&1").c_str(), "r");
    if (!pipe) return ::testing::AssertionFailure() << "fitsverify does not start";
    std::string report;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) report += line;
    const int status = pclose(pipe);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
        report.find("found 0 warning(s) and 0 error(s)") != std::string::npos) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << report;
}

// The picture in FITS order, from the test picture's top-first pixels: planes red, green, blue
// (or the one grey level), each from the bottom row up.
inline std::vector<uint8_t> FitsData(const Picture& p, bool colour) {
    const int32_t w = p.fb.width;
    const int32_t h = p.fb.height;
    std::vector<uint8_t> out;
    for (int plane = 0; plane < (colour ? 3 : 1); ++plane) {
        for (int32_t y = h - 1; y >= 0; --y) {
            for (int32_t x = 0; x < w; ++x) {
                out.push_back(
                    p.image[(static_cast<size_t>(y) * w + x) * 3 + (colour ? 2 - plane : 0)]);
            }
        }
    }
    return out;
}

}  // namespace kelpa::testing
