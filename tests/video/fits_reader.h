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
    std::vector<uint8_t> data;  // as stored: planes of rows from the first (bottom) row
};

// Reads a keyword's text, or "(none)" when the header has no such keyword.
inline std::string Keyword(fitsfile* f, const char* key) {
    char value[FLEN_VALUE] = "";
    int status = 0;
    if (fits_read_key(f, TSTRING, key, value, nullptr, &status) == KEY_NO_EXIST) {
        return "(none)";
    }
    return status == 0 ? value : "(error)";
}

inline ::testing::AssertionResult ReadFits(const std::string& path, FitsContent& out,
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
inline bool Verified(const std::string& path, std::string* report) {
    const std::string command = "fitsverify '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) *report += line;
    const int status = pclose(pipe);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
           report->find("found 0 warning(s) and 0 error(s)") != std::string::npos;
}

// The picture in FITS order, from the test picture's top-first pixels: planes red, green, blue
// (or the one grey level), each from the bottom row up.
inline std::vector<uint8_t> FitsData(const Picture& p, bool colour) {
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

}  // namespace kelpa::testing
