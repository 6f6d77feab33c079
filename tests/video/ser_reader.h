// A SER reader of the tests' own, written from the published format: the 178-byte header, the
// frames, and the optional trailer of 64-bit frame times. It takes a file only when its size
// is exactly the header plus the counted frames, with or without the whole trailer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "video/capture_test_support.h"

namespace kelpa::testing {

struct SerContent {
    std::string fileId;
    int32_t luId = 0;
    int32_t colorId = 0;
    int32_t littleEndian = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t depth = 0;
    int32_t frameCount = 0;
    std::string observer;  // up to the first zero byte
    std::string instrument;
    std::string telescope;
    int64_t dateTime = 0;
    int64_t dateTimeUtc = 0;
    std::vector<std::vector<uint8_t>> frames;  // as stored: rows from the top down
    std::vector<int64_t> times;                // empty when the file has no trailer
};

inline uint64_t SerLE(const std::string& b, size_t at, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + i]);
    return v;
}

inline std::string SerText(const std::string& b, size_t at) {
    const std::string field = b.substr(at, 40);
    return field.substr(0, field.find('\0'));
}

inline ::testing::AssertionResult ReadSer(const std::string& b, SerContent& out) {
    if (b.size() < 178) return ::testing::AssertionFailure() << "shorter than the header";
    out.fileId = b.substr(0, 14);
    out.luId = static_cast<int32_t>(SerLE(b, 14, 4));
    out.colorId = static_cast<int32_t>(SerLE(b, 18, 4));
    out.littleEndian = static_cast<int32_t>(SerLE(b, 22, 4));
    out.width = static_cast<int32_t>(SerLE(b, 26, 4));
    out.height = static_cast<int32_t>(SerLE(b, 30, 4));
    out.depth = static_cast<int32_t>(SerLE(b, 34, 4));
    out.frameCount = static_cast<int32_t>(SerLE(b, 38, 4));
    out.observer = SerText(b, 42);
    out.instrument = SerText(b, 82);
    out.telescope = SerText(b, 122);
    out.dateTime = static_cast<int64_t>(SerLE(b, 162, 8));
    out.dateTimeUtc = static_cast<int64_t>(SerLE(b, 170, 8));
    if (out.fileId != "LUCAM-RECORDER") return ::testing::AssertionFailure() << "file id";
    if (out.depth != 8) return ::testing::AssertionFailure() << "depth " << out.depth;
    const int planes = out.colorId >= 100 ? 3 : 1;
    if (out.width <= 0 || out.height <= 0 || out.frameCount < 0) {
        return ::testing::AssertionFailure() << "size or count";
    }
    const size_t frameBytes = static_cast<size_t>(out.width) * out.height * planes;
    const size_t frames = static_cast<size_t>(out.frameCount);
    const size_t dataEnd = 178 + frameBytes * frames;
    if (b.size() != dataEnd && b.size() != dataEnd + 8 * frames) {
        return ::testing::AssertionFailure()
               << "size " << b.size() << " is not " << dataEnd << " or " << dataEnd + 8 * frames;
    }
    out.frames.clear();
    for (size_t i = 0; i < frames; ++i) {
        const char* f = b.data() + 178 + i * frameBytes;
        out.frames.emplace_back(f, f + frameBytes);
    }
    out.times.clear();
    if (b.size() > dataEnd) {
        for (size_t i = 0; i < frames; ++i) {
            out.times.push_back(static_cast<int64_t>(SerLE(b, dataEnd + 8 * i, 8)));
        }
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

}  // namespace kelpa::testing
