// The fast converters against their scalar references, bit for bit: random frames of many
// sizes in packed, GStreamer-like and oddly padded layouts, and exhaustively over all inputs of
// the YUV arithmetic, each on every instruction set that the converters were built for and this
// processor supports (the converter must then really run on it). The destination
// outside the picture's rows (guards, row padding) must stay untouched; reads beyond the
// exactly sized sources show up under the address sanitizer.
#include <gtest/gtest.h>

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

// Converts one random frame with both converters; a failure names the first wrong byte.
void ExpectMatch(const FormatCase& f, int32_t w, int32_t h, Layout layout, uint32_t seed) {
    static const char* const kLayoutNames[] = {"packed", "gstreamer", "odd-padding"};
    ASSERT_TRUE(InitClipTable());  // the planar references clamp through it
    Frame frame(testing::LayoutGeometry(f, w, h, layout));
    frame.Randomise(seed);
    const long diff = frame.FirstMismatch(f);
    ASSERT_EQ(diff, -1) << f.name << " " << w << "x" << h << " "
                        << kLayoutNames[static_cast<int>(layout)] << ": byte "
                        << diff - long{testing::kGuard} << " of the picture";
    ASSERT_TRUE(frame.OutsideUntouched()) << f.name << " " << w << "x" << h;
}

// Restores the normal choice of instruction set when a test ends.
struct TargetOverride {
    explicit TargetOverride(int64_t target) { hwy::SetSupportedTargetsForTest(target); }
    ~TargetOverride() { hwy::SetSupportedTargetsForTest(0); }
};

// The instruction sets of the converters that this processor runs, one bit each.
std::vector<int64_t> ConverterTargetsHere() {
    std::vector<int64_t> targets;
    for (int64_t bits = ConverterTargets() & hwy::SupportedTargets(); bits != 0; bits &= bits - 1) {
        targets.push_back(bits & -bits);
    }
    return targets;
}

// Runs `check` once per instruction set, with the converter of `f` restricted to it.
template <typename Check>
void OnEveryTarget(const FormatCase& f, Check check) {
    const std::vector<int64_t> targets = ConverterTargetsHere();
#if HWY_ARCH_X86
    ASSERT_GE(targets.size(), 2u);  // at least one vector target besides the scalar fallback
#endif
    for (const int64_t target : targets) {
        SCOPED_TRACE(hwy::TargetName(target));
        const TargetOverride only(target);
        ASSERT_EQ(ConverterTarget(f.fast), target);
        check();
        if (::testing::Test::HasFatalFailure()) return;
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

// Every width up to 40 at heights 1 to 4, then a few larger odd and even sizes, each in all
// three layouts, and one full HD frame.
TEST_P(ConvertMatchTest, FastEqualsReferenceOnEveryInstructionSet) {
    const FormatCase& f = AllFormats()[GetParam()];
    const std::pair<int32_t, int32_t> larger[] = {{64, 2},  {65, 3},    {95, 7},
                                                  {131, 2}, {321, 241}, {385, 289}};
    OnEveryTarget(f, [&] {
        for (Layout layout : testing::kAllLayouts) {
            for (int32_t w = 1; w <= 40; ++w) {
                for (int32_t h = 1; h <= 4; ++h) ExpectMatch(f, w, h, layout, w * 16 + h);
                if (HasFatalFailure()) return;
            }
            for (const auto& [w, h] : larger) ExpectMatch(f, w, h, layout, w + h);
        }
        ExpectMatch(f, 1920, 1080, Layout::kPacked, 1);
    });
}

INSTANTIATE_TEST_SUITE_P(Formats, ConvertMatchTest, ::testing::Range<size_t>(0, 6),
                         [](const ::testing::TestParamInfo<size_t>& param) {
                             return std::string(AllFormats()[param.param].name);
                         });

// All 256^3 (Y, U, V): 64 frames of 512 x 512 whose chroma plane holds every (U, V) once and
// whose four luma samples per chroma sample step through all luma values.
TEST(ConvertExhaustiveTest, PlanarEveryInputMatches) {
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
    for (int step = 0; step < 64; ++step) {
        for (int32_t y = 0; y < 512; ++y) {
            for (int32_t x = 0; x < 512; ++x) {
                frame.Src()[512 * y + x] = static_cast<uint8_t>(4 * step + 2 * (y & 1) + (x & 1));
            }
        }
        const std::vector<uint8_t> expected = frame.Expected(f);
        OnEveryTarget(f, [&] { ASSERT_EQ(frame.FirstMismatchWith(expected, f.fast), -1) << step; });
        if (HasFatalFailure()) return;
    }
}

// Even pixels: all (Y, U, V) in 256 frames (pair k has U = k, row r has V = r, frame n has
// Y = n). Odd pixels: every pair of chroma sums (Us, Vs) 0 ... 510, each with four lumas.
// "YUY2" and "UYVY" differ only in where the bytes are read from.
TEST(ConvertExhaustiveTest, PackedEveryInputMatches) {
    const FormatCase& f = AllFormats()[0];
    const auto expectMatch = [&f](Frame& frame, int n) {
        const std::vector<uint8_t> expected = frame.Expected(f);
        OnEveryTarget(f, [&] { ASSERT_EQ(frame.FirstMismatchWith(expected, f.fast), -1) << n; });
    };
    Frame even(MakeConvGeometry(f.code, f.bits, 512, 256));
    for (int n = 0; n < 256; ++n) {
        for (int32_t r = 0; r < 256; ++r) {
            for (int32_t k = 0; k < 256; ++k) {
                uint8_t* pair = even.Src() + 1024 * r + 4 * k;
                pair[0] = pair[2] = static_cast<uint8_t>(n);
                pair[1] = static_cast<uint8_t>(k);
                pair[3] = static_cast<uint8_t>(r);
            }
        }
        expectMatch(even, n);
        if (HasFatalFailure()) return;
    }
    // Pair k has U = k / 2, so neighbouring pairs add up to every Us; V alternates between
    // the two halves of the row's Vs.
    Frame odd(MakeConvGeometry(f.code, f.bits, 1024, 511 * 4));
    for (int32_t r = 0; r < 511 * 4; ++r) {
        const int vs = r % 511;
        for (int32_t k = 0; k < 512; ++k) {
            uint8_t* pair = odd.Src() + 2048 * r + 4 * k;
            pair[0] = pair[2] = static_cast<uint8_t>(k * 97 + (r / 511) * 64 + vs);
            pair[1] = static_cast<uint8_t>(k / 2);
            pair[3] = static_cast<uint8_t>(k % 2 == 0 ? vs / 2 : vs - vs / 2);
        }
    }
    expectMatch(odd, -1);
}

}  // namespace
}  // namespace kelpa
