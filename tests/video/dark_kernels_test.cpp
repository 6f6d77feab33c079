// The per-pixel work of dark frames: conversion in bands equals the whole-frame conversion for
// every format, layout and odd size; saturating subtraction and the take's sums against plain
// loops, on every instruction set the build carries.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "image/frame_buffer.h"
#include "video/convert_bands.h"
#include "video/convert_test_support.h"
#include "video/dark_kernels.h"

namespace kelpa::testing {
namespace {

// Bands of 4 and 6 rows, and of the rows the program takes for a full HD picture (about a band
// of bytes, an even number: 4:2:0 rows go in pairs) and for a huge one (its least, 2), put every
// picture row where the one-call conversion puts it, touch no padding, and hand each row to the
// step exactly once, in a band that holds it.
TEST(ConvertBandsTest, BandsEqualOneCall) {
    InitClipTable();
    for (const FormatCase& f : AllFormats()) {
        for (const Layout layout : kAllLayouts) {
            for (const auto& [w, h] : {std::pair{1, 1}, {7, 5}, {33, 9}, {70, 16}}) {
                ConvGeometry g = LayoutGeometry(f, w, h, layout);
                g.dstStride = Stride24(w);
                Frame frame(g);
                frame.Randomise(static_cast<uint32_t>(w * 7 + h));
                std::vector<uint8_t> whole(size_t{g.dstStride} * h + 2 * kGuard, kGuardByte);
                f.fast(whole.data() + kGuard, frame.Src(), g);
                for (const int32_t bandRows : {BandRows(1 << 24), 4, 6, BandRows(1920 * 3)}) {
                    SCOPED_TRACE(::testing::Message()
                                 << f.name << " " << w << "x" << h << " layout "
                                 << static_cast<int>(layout) << " rows " << bandRows);
                    std::vector<uint8_t> banded(whole.size(), kGuardByte);
                    uint8_t* picture = banded.data() + kGuard;
                    std::vector<int> seen(static_cast<size_t>(h), 0);
                    ConvertInBands(f.fast, BandOrderOf(f.code, f.bits), bandRows, picture,
                                   frame.Src(), g, [&](const PictureBand& band) {
                                       EXPECT_EQ(band.data,
                                                 picture + size_t{g.dstStride} * band.firstRow);
                                       EXPECT_EQ(band.bytes, size_t{g.dstStride} * band.rows);
                                       for (int32_t r = 0; r < band.rows; ++r) {
                                           ++seen[static_cast<size_t>(band.firstRow + r)];
                                       }
                                   });
                    ASSERT_EQ(whole, banded);
                    ASSERT_EQ(std::set<int>(seen.begin(), seen.end()), std::set<int>{1});
                }
            }
        }
    }
}

TEST(DarkKernelTest, SubtractionSaturatesAtZeroForEveryLengthAndOffset) {
    std::mt19937 rng(5);
    std::vector<uint8_t> picture(700), dark(700);
    for (size_t i = 0; i < 700; ++i)
        picture[i] = static_cast<uint8_t>(rng()), dark[i] = static_cast<uint8_t>(rng());
    ForEachTarget(DarkKernelTargets(), [&](int64_t target) {
        EXPECT_EQ(DarkKernelTarget(), target);
        for (const size_t length : {0u, 1u, 15u, 63u, 64u, 65u, 255u, 256u, 257u, 650u}) {
            for (const size_t offset : {0u, 1u, 3u}) {
                std::vector<uint8_t> got = picture;
                std::vector<uint8_t> expected = picture;
                SubtractDark(got.data() + offset, dark.data() + 2 * offset, length);
                for (size_t i = offset; i < offset + length; ++i) {
                    expected[i] = static_cast<uint8_t>(std::max(0, picture[i] - dark[i + offset]));
                }
                ASSERT_EQ(got, expected) << "length " << length << " offset " << offset;
            }
        }
    });
}

// Frames of known bytes: the sums are exact at their extremes (257 frames of 255 fill 16 bits,
// 1024 frames need 32) and the average rounds to the nearest level. Byte 0 is always 255 (the
// largest sum), byte 1 alternates 0 / 1 (a rounding case), the rest vary with frame and
// position; 131 bytes are whole vectors and a tail.
TEST(DarkKernelTest, SumsAndAveragesOfKnownFrames) {
    constexpr size_t kBytes = 131;
    ForEachTarget(DarkKernelTargets(), [&](int64_t target) {
        EXPECT_EQ(DarkKernelTarget(), target);
        for (const int frames : {1, 2, 3, 257, 258, 1024}) {
            const bool fits16 = frames <= 257;
            std::vector<uint16_t> sum16(kBytes, 0);
            std::vector<uint32_t> sum32(kBytes, 0);
            std::vector<uint64_t> expected(kBytes, 0);
            std::vector<uint8_t> frame(kBytes);
            for (int n = 0; n < frames; ++n) {
                for (size_t i = 0; i < kBytes; ++i) {
                    frame[i] =
                        i == 0 ? 255 : static_cast<uint8_t>(i == 1 ? n & 1 : n * 31 + i * 17);
                    expected[i] += frame[i];
                }
                if (fits16) AccumulateDark16(sum16.data(), frame.data(), kBytes);
                AccumulateDark32(sum32.data(), frame.data(), kBytes);
            }
            std::vector<uint8_t> average16(kBytes), average32(kBytes), rounded(kBytes);
            AverageDark32(average32.data(), sum32.data(), kBytes, frames);
            if (fits16) AverageDark16(average16.data(), sum16.data(), kBytes, frames);
            for (size_t i = 0; i < kBytes; ++i) rounded[i] = (expected[i] + frames / 2) / frames;
            SCOPED_TRACE(::testing::Message() << frames << " frames");
            EXPECT_EQ(std::vector<uint64_t>(sum32.begin(), sum32.end()), expected);
            EXPECT_EQ(average32, rounded);
            if (fits16) {
                EXPECT_EQ(std::vector<uint64_t>(sum16.begin(), sum16.end()), expected);
                EXPECT_EQ(average16, rounded);
            }
        }
    });
}

}  // namespace
}  // namespace kelpa::testing
