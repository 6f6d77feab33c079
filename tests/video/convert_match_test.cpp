// The fast converters against their scalar references, bit for bit, on every instruction set
// that the converters were built for and this processor supports (the converter must then
// really run on it): random frames of every small width (the vector tails) and of sampled
// larger sizes in packed, GStreamer-like and oddly padded layouts, and the YUV arithmetic over
// all chroma pairs with edge and random lumas. The destination outside the picture's rows
// (guards, row padding) must stay untouched; reads beyond the exactly sized sources show up
// under the address sanitizer.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "hwy/targets.h"
#include "video/convert.h"
#include "video/convert_targets.h"
#include "video/convert_test_support.h"

namespace kelpa {
namespace {

using testing::AllFormats;
using testing::FormatCase;
using testing::Frame;
using testing::Layout;

// Restores the normal choice of instruction set when a test ends.
struct TargetOverride {
    explicit TargetOverride(int64_t target) { hwy::SetSupportedTargetsForTest(target); }
    ~TargetOverride() { hwy::SetSupportedTargetsForTest(0); }
};

// Converts the frame with the reference once and with the fast converter of `f` restricted to
// each instruction set in turn; a failure names the set and the first wrong byte.
void ExpectMatchOnEveryTarget(const FormatCase& f, Frame& frame, const std::string& what) {
    std::vector<int64_t> targets;
    for (int64_t bits = ConverterTargets() & hwy::SupportedTargets(); bits != 0; bits &= bits - 1) {
        targets.push_back(bits & -bits);
    }
#if HWY_ARCH_X86
    ASSERT_GE(targets.size(), 2u);  // at least one vector target besides the scalar fallback
#endif
    const std::vector<uint8_t> expected = frame.Expected(f);
    for (const int64_t target : targets) {
        const TargetOverride only(target);
        ASSERT_EQ(ConverterTarget(f.fast), target) << hwy::TargetName(target);
        const long diff = frame.FirstMismatchWith(expected, f.fast);
        ASSERT_EQ(diff, -1) << f.name << " " << what << " on " << hwy::TargetName(target)
                            << ": byte " << diff - long{testing::kGuard} << " of the picture";
        ASSERT_TRUE(frame.OutsideUntouched()) << f.name << " " << what;
    }
}

// Unrestricted, every converter runs on the best instruction set built and supported (Highway
// gives better targets lower bits); GCC builds for x86 carry the AVX-512 VBMI/VNNI target.
TEST(ConvertTargetTest, ConvertersRunOnTheBestInstructionSet) {
    const int64_t available = ConverterTargets() & hwy::SupportedTargets();
    ASSERT_NE(available, 0);
    for (const FormatCase& f : AllFormats()) {
        EXPECT_EQ(ConverterTarget(f.fast), available & -available) << f.name;
    }
    EXPECT_EQ(ConverterTarget(NoConvert), 0);
#if HWY_ARCH_X86_64 && defined(__GNUC__) && !defined(__clang__)
    EXPECT_NE(ConverterTargets() & HWY_AVX3_DL, 0);
#endif
}

class ConvertMatchTest : public ::testing::TestWithParam<size_t> {};

// Every width up to 40 (heights 1 to 4 in turn), sizes with several whole vectors and a tail,
// a full HD row and random sizes of a fixed seed, each in all three layouts.
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
        for (const auto& [w, h] : sizes) {
            Frame frame(testing::LayoutGeometry(f, w, h, layout));
            frame.Randomise(static_cast<uint32_t>(w * 16 + h));
            ExpectMatchOnEveryTarget(f, frame,
                                     std::to_string(w) + "x" + std::to_string(h) + " " +
                                         kLayoutNames[static_cast<int>(layout)]);
            if (HasFatalFailure()) return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ConvertMatchTest, ::testing::Range<size_t>(0, 6),
                         [](const ::testing::TestParamInfo<size_t>& param) {
                             return std::string(AllFormats()[param.param].name);
                         });

// Every (U, V) once in a 512 x 512 frame's chroma plane, its four luma samples the lowest and
// the highest lumas, then random ones.
TEST(ConvertSweepTest, PlanarEveryChromaPairMatches) {
    ASSERT_TRUE(InitClipTable());
    const FormatCase& f = AllFormats()[2];
    Frame frame(MakeConvGeometry(f.code, f.bits, 512, 512));
    const ConvGeometry& g = frame.Geometry();
    for (int32_t r = 0; r < 256; ++r) {
        for (int32_t c = 0; c < 256; ++c) {
            frame.Src()[g.planeOffset[1] + 256 * r + c] = static_cast<uint8_t>(c);
            frame.Src()[g.planeOffset[2] + 256 * r + c] = static_cast<uint8_t>(r);
        }
    }
    std::mt19937 rng(3);
    for (const int step : {0, 63, -1, -1}) {
        for (int32_t y = 0; y < 512; ++y) {
            for (int32_t x = 0; x < 512; ++x) {
                const int edge = 4 * step + 2 * (y & 1) + (x & 1);
                frame.Src()[512 * y + x] = static_cast<uint8_t>(step < 0 ? rng() : edge);
            }
        }
        ExpectMatchOnEveryTarget(f, frame, "luma step " + std::to_string(step));
        if (HasFatalFailure()) return;
    }
}

// Even pixels: every (U, V) (pair k has U = k, row r has V = r) with luma 0, 255 and random.
// Odd pixels: every pair of chroma sums (Us, Vs) 0 ... 510. "YUY2" and "UYVY" differ only in
// where the bytes are read from.
TEST(ConvertSweepTest, PackedEveryChromaPairAndSumMatches) {
    const FormatCase& f = AllFormats()[0];
    Frame even(MakeConvGeometry(f.code, f.bits, 512, 256));
    std::mt19937 rng(5);
    for (const int luma : {0, 255, -1}) {
        for (int32_t r = 0; r < 256; ++r) {
            for (int32_t k = 0; k < 256; ++k) {
                uint8_t* pair = even.Src() + 1024 * r + 4 * k;
                pair[0] = static_cast<uint8_t>(luma < 0 ? rng() : luma);
                pair[2] = static_cast<uint8_t>(luma < 0 ? rng() : luma);
                pair[1] = static_cast<uint8_t>(k);
                pair[3] = static_cast<uint8_t>(r);
            }
        }
        ExpectMatchOnEveryTarget(f, even, "luma " + std::to_string(luma));
        if (HasFatalFailure()) return;
    }
    // Pair k has U = k / 2, so neighbouring pairs add up to every Us; V alternates between
    // the two halves of the row's Vs.
    Frame odd(MakeConvGeometry(f.code, f.bits, 1024, 511));
    for (int32_t vs = 0; vs < 511; ++vs) {
        for (int32_t k = 0; k < 512; ++k) {
            uint8_t* pair = odd.Src() + 2048 * vs + 4 * k;
            pair[0] = pair[2] = static_cast<uint8_t>(k * 97 + vs);
            pair[1] = static_cast<uint8_t>(k / 2);
            pair[3] = static_cast<uint8_t>(k % 2 == 0 ? vs / 2 : vs - vs / 2);
        }
    }
    ExpectMatchOnEveryTarget(f, odd, "chroma sums");
}

}  // namespace
}  // namespace kelpa
