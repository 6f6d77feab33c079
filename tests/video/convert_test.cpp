// The format table, the frame geometry and worked pixel examples of the colour conversion, each
// run through both the fast converter and its scalar reference. The fast converters against
// their scalar references, bit for bit, on every instruction set that the converters were built
// for and this processor supports (the converter must then really run on it): random frames of
// every small width (the vector tails) and of sampled larger sizes in packed, GStreamer-like and
// oddly padded layouts, plain and crowded at the levels where clamping turns. The destination
// outside the picture's rows (guards, row padding) must stay untouched; reads beyond the exactly
// sized sources show up under the address sanitizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "video/convert.h"
#include "video/convert_targets.h"
#include "video/convert_test_support.h"

namespace kelpa {
namespace {

using testing::AllFormats;
using testing::FormatCase;
using testing::Frame;
using testing::Layout;
using Bytes = std::vector<uint8_t>;

// Aliases, wrong bit counts and unknown codes (the main codes: the intake test, which converts
// every format); rows keep their order except for planar ones.
// Sizes that are empty, negative in width or too large for the picture's byte count are refused.
TEST(ConvertTest, ChooseConverterAndIsSupportedFormatFollowTheFormatTable) {
    const std::tuple<uint32_t, uint16_t, Converter, bool> rows[] = {
        {kFormatRgb, 16, NoConvert, true},    {kFormatIyuv, 12, I420ToRgb24, false},
        {kFormatYuyv, 16, Yuy2ToRgb24, true}, {kFormatV422, 16, Yuy2ToRgb24, true},
        {kFormatUyvy, 16, UyvyToRgb24, true}, {kFormatYuy2, 12, NoConvert, false},
        {kFormatI420, 16, NoConvert, false},  {FourCC("NV12"), 12, NoConvert, false}};
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
        {1, 1, true}, {385, -289, true}, {0, 240, false}, {-320, 240, false},
        {320, 0, false}, {1 << 20, 1 << 20, false}, {INT32_MAX, INT32_MIN, false}};
    // clang-format on
    for (const FormatCase& f : AllFormats()) {
        for (const auto& [w, h, supported] : sizes) {
            EXPECT_EQ(IsSupportedFormat(header(f.code, f.bits, w, h)), supported)
                << f.name << " " << w << "x" << h;
        }
    }
}

// The bytes a converter may read, and so a sample must hold: up to the last pixel, without the
// last row's padding (too few read past the sample, too many refuse whole samples). Plane order
// and the strides of small frames are pinned down by the worked examples.
TEST(ConvertTest, RequiredSourceSizeEndsWithTheLastPixel) {
    EXPECT_EQ(MakeConvGeometry(kFormatRgb, 24, 5, 2).srcRequiredSize, 31u);
    EXPECT_EQ(MakeConvGeometry(kFormatYuy2, 16, 5, -3).srcRequiredSize, 36u);  // 3 pairs a row
    EXPECT_EQ(MakeConvGeometry(kFormatI420, 12, 5, 3).srcRequiredSize, 27u);
    // GStreamer at width 321: luma rows 324 bytes, chroma rows 164.
    const ConvGeometry gst =
        testing::LayoutGeometry(AllFormats()[2], 321, 241, testing::Layout::kGStreamer);
    EXPECT_EQ(gst.srcRequiredSize, 324u * 242 + 164 * 121 + 164 * 120 + 161);
}

// Pixels worked out by hand, so that a reference and its fast twin cannot share a mistake.
// Packed formats come out upside down, planar ones in order; RGB32 drops its fourth byte.
TEST(ConvertTest, WorkedExamples) {
    ASSERT_TRUE(InitClipTable());  // the planar converters clamp through it
    // Source rows white, black, then red terms 256 (saturates) and 255.
    const Bytes packed = {235, 128, 235, 128, 16, 128, 16, 128, 82, 90, 82, 240, 81, 90, 81, 240};
    const std::vector<Bytes> packedRows = {
        {0, 0, 254, 0, 0, 254}, {0, 1, 255, 0, 1, 255}, Bytes(6, 0), Bytes(6, 255)};
    // Luma rows 82, 128, 128, 128; chroma row 0 grey, chroma row 1 U 90 and V 240.
    const Bytes luma = {82, 82, 128, 128, 128, 128, 128, 128};
    Bytes i420 = luma, yv12 = luma;
    i420.insert(i420.end(), {128, 90, 128, 240});
    yv12.insert(yv12.end(), {128, 240, 128, 90});
    const Bytes reddish = {54, 54, 255, 54, 54, 255};
    const std::vector<Bytes> planarRows = {Bytes(6, 77), Bytes(6, 130), reddish, reddish};
    const Bytes rgb32 = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    // Three pixels from the pairs (Y 100, U 50, V 60) and (Y 100, U 200, V 30): the odd one
    // averages the chroma of both.
    const std::vector<Bytes> oddRows = {{0, 184, 0, 92, 166, 0, 243, 149, 0}};
    // Format, width, height, source, the output rows top row first.
    const std::tuple<const char*, int32_t, int32_t, Bytes, std::vector<Bytes>> examples[] = {
        {"YUY2", 2, 4, packed, packedRows},
        {"I420", 2, 4, i420, planarRows},
        {"YV12", 2, 4, yv12, planarRows},
        {"RGB32", 2, 2, rgb32, {{0, 1, 2, 4, 5, 6}, {8, 9, 10, 12, 13, 14}}},
        {"YUY2", 3, 1, {100, 50, 100, 60, 100, 200, 0, 30}, oddRows},
        {"UYVY", 3, 1, {50, 100, 60, 100, 200, 100, 30, 0}, oddRows}};
    for (const auto& [format, w, h, src, rows] : examples) {
        SCOPED_TRACE(::testing::Message() << format << " " << w << "x" << h);
        const FormatCase& f =
            *std::find_if(AllFormats().begin(), AllFormats().end(),
                          [&](const FormatCase& c) { return c.name == std::string(format); });
        Frame frame(MakeConvGeometry(f.code, f.bits, w, h));
        ASSERT_EQ(frame.Geometry().srcRequiredSize, src.size());
        std::copy(src.begin(), src.end(), frame.Src());
        ASSERT_EQ(frame.FirstMismatchWith(frame.Expected(f), f.fast), -1);
        EXPECT_TRUE(frame.OutsideUntouched());
        for (int32_t y = 0; y < h; ++y) EXPECT_EQ(frame.Row(y), rows[y]) << "row " << y;
    }
}

// Converts the frame with the reference once and with the fast converter of `f` restricted to
// each instruction set in turn; a failure names the set and the first wrong byte.
void ExpectMatchOnEveryTarget(const FormatCase& f, Frame& frame, const std::string& what) {
    const std::vector<uint8_t> expected = frame.Expected(f);
    testing::ForEachTarget(ConverterTargets(), [&](int64_t target) {
        ASSERT_EQ(ConverterTarget(f.fast), target);
        const long diff = frame.FirstMismatchWith(expected, f.fast);
        ASSERT_EQ(diff, -1) << f.name << " " << what << ": byte " << diff - long{testing::kGuard}
                            << " of the picture";
        ASSERT_TRUE(frame.OutsideUntouched()) << f.name << " " << what;
    });
}

class ConvertMatchTest : public ::testing::TestWithParam<size_t> {};

// Every width up to 40 (heights 1 to 4 in turn), sizes with several whole vectors and a tail,
// a full HD row and random sizes of a fixed seed, each in all three layouts; the middle sizes
// once more with bytes crowded at the levels where clamping and rounding turn (every pair of
// extreme chroma with extreme lumas, many times over).
TEST_P(ConvertMatchTest, FastEqualsReferenceOnEveryInstructionSet) {
    static const char* const kLayoutNames[] = {"packed", "gstreamer", "odd-padding"};
    ASSERT_TRUE(InitClipTable());  // the planar references clamp through it
    const FormatCase& f = AllFormats()[GetParam()];
    std::vector<std::pair<int32_t, int32_t>> sizes = {{64, 2},    {65, 3},    {95, 7},  {131, 2},
                                                      {321, 241}, {385, 289}, {1920, 3}};
    for (int32_t w = 1; w <= 40; ++w) sizes.emplace_back(w, 1 + w % 4);
    std::mt19937 rng(static_cast<uint32_t>(GetParam()));
    for (int i = 0; i < 8; ++i) sizes.emplace_back(41 + rng() % 700, 1 + rng() % 9);
    for (const Layout layout : testing::kAllLayouts) {
        for (const bool edges : {false, true}) {
            for (const auto& [w, h] : sizes) {
                if (edges && (w * h < 1000 || w * h > 10000)) continue;
                Frame frame(testing::LayoutGeometry(f, w, h, layout));
                frame.Randomise(static_cast<uint32_t>(w * 16 + h), edges);
                ExpectMatchOnEveryTarget(f, frame,
                                         std::to_string(w) + "x" + std::to_string(h) + " " +
                                             kLayoutNames[static_cast<int>(layout)] +
                                             (edges ? " edges" : ""));
                if (HasFatalFailure()) return;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ConvertMatchTest, ::testing::Range<size_t>(0, 6),
                         [](const ::testing::TestParamInfo<size_t>& param) {
                             return std::string(AllFormats()[param.param].name);
                         });

}  // namespace
}  // namespace kelpa
