// The format table, the frame geometry, the clamping table and worked pixel examples of the
// colour conversion, each run through both the fast converter and its scalar reference.
#include "video/convert.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <stdexcept>
#include <string>
#include <tuple>

#include "video/convert_test_support.h"

namespace kelpa {
namespace {

using testing::AllFormats;
using testing::FormatCase;
using testing::Frame;

class ConvertTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InitClipTable()); }
};

const FormatCase& Format(const char* name) {
    for (const FormatCase& f : AllFormats()) {
        if (std::string(f.name) == name) return f;
    }
    throw std::invalid_argument(name);
}

// Runs both converters of a format over a frame and checks they agree; returns the frame
// converted by the fast one.
void ConvertBoth(Frame& frame, const FormatCase& f) {
    ASSERT_EQ(frame.FirstMismatch(f), -1) << f.name;
    ASSERT_TRUE(frame.OutsideUntouched()) << f.name;
}

// Aliases, wrong bit counts and unknown codes; rows keep their order except for planar ones.
TEST_F(ConvertTest, ChooseConverterAndIsSupportedFormatFollowTheFormatTable) {
    const std::tuple<uint32_t, uint16_t, Converter, bool> rows[] = {
        {kFormatRgb, 32, Rgb32ToRgb24, true},  {kFormatRgb, 16, NoConvert, true},
        {kFormatIyuv, 12, I420ToRgb24, false}, {kFormatYv12, 12, Yv12ToRgb24, false},
        {kFormatYuyv, 16, Yuy2ToRgb24, true},  {kFormatV422, 16, Yuy2ToRgb24, true},
        {kFormatUyvy, 16, UyvyToRgb24, true},  {kFormatYuy2, 12, NoConvert, false},
        {kFormatI420, 16, NoConvert, false},   {FourCC("NV12"), 12, NoConvert, false}};
    const auto header = [](uint32_t code, uint16_t bits, int32_t w, int32_t h) {
        return BitmapInfoHeader{.width = w, .height = h, .bitCount = bits, .compression = code};
    };
    for (const auto& [code, bits, convert, keepsRowOrder] : rows) {
        const ConverterChoice choice = ChooseConverter(code, bits);
        EXPECT_EQ(choice.convert, convert) << std::hex << code << " " << bits;
        EXPECT_EQ(choice.keepsRowOrder, keepsRowOrder) << std::hex << code;
        EXPECT_EQ(IsSupportedFormat(header(code, bits, 64, 48)), convert != NoConvert);
    }
    // clang-format off
    const std::tuple<int32_t, int32_t, bool> sizes[] = {
        {320, 240, true}, {1, 1, true}, {385, -289, true}, {0, 240, false}, {-320, 240, false},
        {320, 0, false}, {1 << 20, 1 << 20, false}, {INT32_MAX, INT32_MIN, false}};
    // clang-format on
    for (const FormatCase& f : AllFormats()) {
        for (const auto& [w, h, supported] : sizes) {
            EXPECT_EQ(IsSupportedFormat(header(f.code, f.bits, w, h)), supported)
                << f.name << " " << w << "x" << h;
        }
    }
}

TEST_F(ConvertTest, NoConvertLeavesThePictureAlone) {
    Frame frame(MakeConvGeometry(kFormatRgb, 16, 7, 3));
    frame.Randomise(1);
    const std::vector<uint8_t> before = frame.All();
    const ConverterChoice choice = ChooseConverter(kFormatRgb, 16);
    choice.convert(frame.Dst(), frame.Src(), frame.Geometry());
    EXPECT_EQ(frame.All(), before);
}

TEST_F(ConvertTest, GeometryOfOddSizesAndPaddedPlanes) {
    const auto sizes = [](const ConvGeometry& g) {
        return std::make_tuple(g.width, g.height, g.pixelCount, g.srcStride, g.srcImageSize,
                               g.srcRequiredSize, g.dstStride);
    };
    // Three whole YUY2 pairs per row; the last RGB row's padding is not needed.
    EXPECT_EQ(sizes(MakeConvGeometry(kFormatYuy2, 16, 5, -3)),
              std::make_tuple(5, 3, 15u, 12u, 36u, 36u, 16u));
    EXPECT_EQ(sizes(MakeConvGeometry(kFormatRgb, 24, 5, 2)),
              std::make_tuple(5, 2, 10u, 16u, 32u, 31u, 16u));
    EXPECT_EQ(MakeConvGeometry(kFormatYuy2, 16, 0, 3).srcRequiredSize, 0u);

    const auto planes = [](const ConvGeometry& g) {
        return std::make_tuple(g.planeStride[0], g.planeStride[1], g.planeOffset[1],
                               g.planeOffset[2], g.srcRequiredSize);
    };
    EXPECT_EQ(planes(MakeConvGeometry(kFormatI420, 12, 5, 3)),
              std::make_tuple(5u, 3u, 15u, 21u, 27u));
    EXPECT_EQ(planes(MakeConvGeometry(kFormatYv12, 12, 5, 3)),
              std::make_tuple(5u, 3u, 21u, 15u, 27u));  // V before U

    // GStreamer at width 321: luma rows 324 bytes, chroma rows 164.
    ConvGeometry gst = MakeConvGeometry(kFormatI420, 12, 321, 241);
    gst.planeStride[0] = 324;
    gst.planeStride[1] = gst.planeStride[2] = 164;
    gst.planeOffset[1] = 324 * 242;
    gst.planeOffset[2] = 324 * 242 + 164 * 121;
    UpdateRequiredSize(gst, kFormatI420);
    EXPECT_EQ(gst.srcRequiredSize, 324u * 242 + 164 * 121 + 164 * 120 + 161);
}

TEST_F(ConvertTest, ClipTableClampsItsWholeRange) {
    const uint8_t* clip = ClipTable();
    ASSERT_NE(clip, nullptr);
    for (int i = -384; i <= 639; ++i) {
        const int expected = i <= 0 ? 0 : (i >= 255 ? 255 : i);
        ASSERT_EQ(clip[i], expected) << i;
    }
}

// A YUY2 or UYVY frame whose every pair is (Y0, U, Y1, V).
Frame UniformPacked(const FormatCase& f, int32_t w, int32_t h, std::array<uint8_t, 4> yuyv) {
    Frame frame(MakeConvGeometry(f.code, f.bits, w, h));
    const std::array<uint8_t, 4> pair =
        f.code == kFormatUyvy ? std::array<uint8_t, 4>{yuyv[1], yuyv[0], yuyv[3], yuyv[2]} : yuyv;
    for (uint32_t i = 0; i < frame.Geometry().srcRequiredSize; ++i) frame.Src()[i] = pair[i % 4];
    return frame;
}

void ExpectEveryPixel(const Frame& frame, std::array<int, 3> bgr, const char* what) {
    for (int32_t row = 0; row < frame.Geometry().height; ++row) {
        for (int32_t x = 0; x < frame.Geometry().width; ++x) {
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(frame.At(x, row, c), bgr[c]) << what << " x " << x << " row " << row;
            }
        }
    }
}

TEST_F(ConvertTest, PackedWorkedExamples) {
    struct Example {
        std::array<uint8_t, 4> yuyv;
        std::array<int, 3> bgr;
    };
    const Example examples[] = {
        {{235, 128, 235, 128}, {255, 255, 255}},  // white
        {{16, 128, 16, 128}, {0, 0, 0}},          // black
        {{82, 90, 82, 240}, {0, 1, 255}},         // red term 256 saturates
        {{81, 90, 81, 240}, {0, 0, 254}},
    };
    for (const char* name : {"YUY2", "UYVY"}) {
        for (const Example& e : examples) {
            Frame frame = UniformPacked(Format(name), 13, 3, e.yuyv);
            ConvertBoth(frame, Format(name));
            ExpectEveryPixel(frame, e.bgr, name);
        }
    }
}

TEST_F(ConvertTest, PackedFramesComeOutUpsideDown) {
    const FormatCase& f = Format("YUY2");
    Frame frame(MakeConvGeometry(f.code, f.bits, 4, 2));
    const uint8_t rows[2][8] = {{235, 128, 235, 128, 235, 128, 235, 128},
                                {16, 128, 16, 128, 16, 128, 16, 128}};
    std::memcpy(frame.Src(), rows, sizeof rows);
    ConvertBoth(frame, f);
    EXPECT_EQ(frame.At(0, 0, 0), 0);  // the source's second (black) row first
    EXPECT_EQ(frame.At(3, 0, 2), 0);
    EXPECT_EQ(frame.At(0, 1, 1), 255);
    EXPECT_EQ(frame.At(3, 1, 2), 255);
}

TEST_F(ConvertTest, PackedOddPixelsAverageTheirNeighbourPair) {
    // Three pixels: pairs (Y 100, U 50, V 60) and (Y 100, U 200, V 30).
    for (const char* name : {"YUY2", "UYVY"}) {
        const FormatCase& f = Format(name);
        Frame frame(MakeConvGeometry(f.code, f.bits, 3, 1));
        const bool uyvy = f.code == kFormatUyvy;
        const uint8_t yuy2[8] = {100, 50, 100, 60, 100, 200, 0, 30};
        const uint8_t uyvyBytes[8] = {50, 100, 60, 100, 200, 100, 30, 0};
        std::memcpy(frame.Src(), uyvy ? uyvyBytes : yuy2, 8);
        ConvertBoth(frame, f);
        const int expected[3][3] = {{0, 184, 0}, {92, 166, 0}, {243, 149, 0}};
        for (int x = 0; x < 3; ++x) {
            for (int c = 0; c < 3; ++c) EXPECT_EQ(frame.At(x, 0, c), expected[x][c]) << name;
        }
    }
}

TEST_F(ConvertTest, PlanarRowsShareChromaRowsAndKeepTheirOrder) {
    for (const char* name : {"I420", "YV12"}) {
        const FormatCase& f = Format(name);
        Frame frame(MakeConvGeometry(f.code, f.bits, 6, 4));
        const ConvGeometry& g = frame.Geometry();
        std::memset(frame.Src(), 128, g.srcRequiredSize);
        for (int32_t row = 0; row < 4; ++row) {
            std::memset(frame.Src() + g.planeOffset[0] + g.planeStride[0] * row,
                        row == 0 ? 82 : 128, 6);
        }
        // Chroma row 1 holds U 90, V 240; chroma row 0 stays grey.
        std::memset(frame.Src() + g.planeOffset[1] + g.planeStride[1], 90, 3);
        std::memset(frame.Src() + g.planeOffset[2] + g.planeStride[2], 240, 3);
        ConvertBoth(frame, f);
        for (int x = 0; x < 6; ++x) {
            for (int c = 0; c < 3; ++c) {
                EXPECT_EQ(frame.At(x, 0, c), 77) << name;  // the first luma row comes first
                EXPECT_EQ(frame.At(x, 1, c), 130) << name;
            }
            for (int32_t row : {2, 3}) {
                EXPECT_EQ(frame.At(x, row, 0), 54) << name;
                EXPECT_EQ(frame.At(x, row, 1), 54) << name;
                EXPECT_EQ(frame.At(x, row, 2), 255) << name;
            }
        }
    }
}

TEST_F(ConvertTest, Rgb32DropsTheFourthByteAndKeepsRowPadding) {
    const FormatCase& f = Format("RGB32");
    Frame frame(MakeConvGeometry(f.code, f.bits, 5, 2));
    for (uint32_t i = 0; i < frame.Geometry().srcRequiredSize; ++i) {
        frame.Src()[i] = static_cast<uint8_t>(i);
    }
    ConvertBoth(frame, f);
    EXPECT_EQ(frame.Geometry().dstStride, 16u);
    for (int32_t row = 0; row < 2; ++row) {
        for (int32_t x = 0; x < 5; ++x) {
            for (int c = 0; c < 3; ++c) EXPECT_EQ(frame.At(x, row, c), row * 20 + 4 * x + c);
        }
    }
    EXPECT_EQ(frame.All()[testing::kGuard + 15], testing::kGuardByte);
}

}  // namespace
}  // namespace kelpa
