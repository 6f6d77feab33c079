// Helpers of the capture tests: pictures with known pixels, BMP and SER readers of the tests'
// own (written from the published formats), FITS files read through cfitsio and checked by
// fitsverify, and the listing of a capture directory.
#pragma once

#include <fitsio.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "image/bitmap_header.h"
#include "image/frame_buffer.h"
#include "support/temp_files.h"

namespace kelpa::testing {

using Names = std::vector<std::string>;

// A picture with known pixels (a pattern that `seed` shifts; grey: each pixel's three bytes
// take the level of its blue byte), laid into a padded buffer bottom row first or top row first.
struct Picture {
    Picture(int32_t w, int32_t h, bool topDown, uint8_t seed = 11, bool grey = false)
        : image(static_cast<size_t>(w) * h * 3) {
        for (size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<uint8_t>((grey ? i - i % 3 : i) * 37 + seed);
        }
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

inline uint64_t LE(const std::string& b, size_t at, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + i]);
    return v;
}

// A BMP file's pixels top row first, as a viewer shows them (a positive height means the file
// stores the bottom row first), after checking its headers.
struct BmpContent {
    std::vector<uint8_t> image;
    int32_t height = 0;
};

inline ::testing::AssertionResult ReadBmp(const std::string& path, BmpContent& out) {
    const std::string b = ReadFile(path);
    if (b.size() < 54 || b.compare(0, 2, "BM") != 0 || LE(b, 2, 4) != b.size() ||
        LE(b, 6, 4) != 0 || LE(b, 10, 4) != 54 || LE(b, 14, 4) != 40 || LE(b, 26, 2) != 1 ||
        LE(b, 28, 2) != 24 || LE(b, 30, 4) != 0) {
        return ::testing::AssertionFailure() << "bad headers";
    }
    const size_t width = LE(b, 18, 4);
    out.height = static_cast<int32_t>(LE(b, 22, 4));
    const size_t rows = static_cast<size_t>(std::abs(out.height));
    const size_t stride = (width * 3 + 3) / 4 * 4;
    if (b.size() != 54 + stride * rows) return ::testing::AssertionFailure() << "pixel bytes";
    out.image.clear();
    for (size_t y = 0; y < rows; ++y) {
        const char* row = b.data() + 54 + (out.height > 0 ? rows - 1 - y : y) * stride;
        out.image.insert(out.image.end(), row, row + width * 3);
    }
    return ::testing::AssertionSuccess();
}

// Whether the BMP file at `path` holds `p` as a viewer shows it, in the row order of its header.
inline ::testing::AssertionResult BmpHolds(const std::string& path, const Picture& p) {
    BmpContent bmp;
    if (::testing::AssertionResult read = ReadBmp(path, bmp); !read) return read << " " << path;
    if (bmp.image == p.image && bmp.height == p.header.height) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << path << " holds another picture";
}

// A SER file: the 178-byte header, the frames and the optional trailer of 64-bit frame times.
// Taken only when its size is exactly the header plus the counted frames, with or without the
// whole trailer.
struct SerContent {
    int32_t luId = 0, colorId = 0, littleEndian = 0, width = 0, height = 0, frameCount = 0;
    std::string observer, instrument, telescope;  // up to the first zero byte
    int64_t dateTime = 0, dateTimeUtc = 0;
    std::vector<std::vector<uint8_t>> frames;  // as stored: rows from the top down
    std::vector<int64_t> times;                // empty when the file has no trailer
};

inline ::testing::AssertionResult ReadSer(const std::string& path, SerContent& out) {
    const std::string b = ReadFile(path);
    if (b.size() < 178 || b.compare(0, 14, "LUCAM-RECORDER") != 0 || LE(b, 34, 4) != 8) {
        return ::testing::AssertionFailure() << "not an 8-bit SER file";
    }
    const auto i32 = [&b](size_t at) { return static_cast<int32_t>(LE(b, at, 4)); };
    const auto text = [&b](size_t at) { return std::string(b.substr(at, 40).c_str()); };
    const auto i64 = [&b](size_t at) { return static_cast<int64_t>(LE(b, at, 8)); };
    out = {i32(14),  i32(18),   i32(22),  i32(26),  i32(30), i32(38), text(42),
           text(82), text(122), i64(162), i64(170), {},      {}};
    if (out.width <= 0 || out.height <= 0 || out.frameCount < 0) {
        return ::testing::AssertionFailure() << "size or count";
    }
    const size_t frameBytes = size_t{out.colorId >= 100 ? 3u : 1u} * out.width * out.height;
    const size_t frames = static_cast<size_t>(out.frameCount);
    const size_t dataEnd = 178 + frameBytes * frames;
    if (b.size() != dataEnd && b.size() != dataEnd + 8 * frames) {
        return ::testing::AssertionFailure()
               << "size " << b.size() << " is not " << dataEnd << " or " << dataEnd + 8 * frames;
    }
    for (size_t i = 0; i < frames; ++i) {
        const char* f = b.data() + 178 + i * frameBytes;
        out.frames.emplace_back(f, f + frameBytes);
        if (b.size() > dataEnd)
            out.times.push_back(static_cast<int64_t>(LE(b, dataEnd + 8 * i, 8)));
    }
    return ::testing::AssertionSuccess();
}

// What a SER viewer should find for a test picture: rows from the top, three bytes or one grey
// level a pixel.
inline std::vector<uint8_t> SerFrame(const Picture& p, bool colour) {
    if (colour) return p.image;
    std::vector<uint8_t> grey;
    for (size_t i = 0; i < p.image.size(); i += 3) grey.push_back(p.image[i]);
    return grey;
}

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

inline Names FilesIn(const std::string& dir) {
    Names names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace kelpa::testing
