// Helpers of the capture tests: pictures with known pixels, an independent BMP reader, and the
// listing of a capture directory.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "image/bitmap_header.h"
#include "image/frame_buffer.h"

namespace kelpa::testing {

using Names = std::vector<std::string>;

// A picture with known pixels (a pattern that `seed` shifts), laid into a padded buffer bottom
// row first or top row first.
struct Picture {
    Picture(int32_t w, int32_t h, bool topDown, uint8_t seed = 11)
        : image(static_cast<size_t>(w) * h * 3) {
        for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 37 + seed);
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

// Makes the picture grey: each pixel's three bytes take the level of its blue byte.
inline void MakeGrey(Picture& p) {
    for (size_t i = 0; i + 2 < p.image.size(); i += 3) p.image[i + 1] = p.image[i + 2] = p.image[i];
    for (int32_t y = 0; y < p.fb.height; ++y) {
        uint8_t* row = p.buffer.data() + static_cast<size_t>(y) * p.fb.stride;
        for (int32_t x = 0; x < p.fb.width; ++x) row[3 * x + 1] = row[3 * x + 2] = row[3 * x];
    }
}

inline uint32_t LE(const std::string& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + i]);
    return v;
}

// An independent BMP reader: checks the headers and gives the pixels top row first, as a
// viewer shows them (a positive height means the file stores the bottom row first).
inline ::testing::AssertionResult DecodeBmp(const std::string& b, std::vector<uint8_t>& image,
                                            int32_t& height) {
    if (b.size() < 54 || b.compare(0, 2, "BM") != 0 || LE(b, 2, 4) != b.size() ||
        LE(b, 6, 4) != 0 || LE(b, 10, 4) != 54 || LE(b, 14, 4) != 40 || LE(b, 26, 2) != 1 ||
        LE(b, 28, 2) != 24 || LE(b, 30, 4) != 0) {
        return ::testing::AssertionFailure() << "bad headers";
    }
    const size_t width = LE(b, 18, 4);
    height = static_cast<int32_t>(LE(b, 22, 4));
    const size_t rows = static_cast<size_t>(std::abs(height));
    const size_t stride = (width * 3 + 3) / 4 * 4;
    if (b.size() != 54 + stride * rows) return ::testing::AssertionFailure() << "pixel bytes";
    image.clear();
    for (size_t y = 0; y < rows; ++y) {
        const char* row = b.data() + 54 + (height > 0 ? rows - 1 - y : y) * stride;
        image.insert(image.end(), row, row + width * 3);
    }
    return ::testing::AssertionSuccess();
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
