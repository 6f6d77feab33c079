// The vector kernels against their plain forms on every instruction set the build has:
// rendering (every source, formula, tone table and output layout, odd rectangles), the average
// histogram, the window histogram with its row maxima, the guide moments, the banding sums and
// corrections, the grey formula of the outside. The grey value and level of a one-frame sum, and
// the outside's grey level, are checked over half a million input pixels: the extremes of blue
// with every green and red, and random colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "hwy/targets.h"
#include "processing/chain_kernels.h"
#include "processing/chain_kernels_detail.h"
#include "processing/tone.h"

namespace kelpa {
namespace {

// Runs a check once for every compiled variant of the kernels this processor supports.
template <class Check>
void ForEachTarget(Check check) {
    for (int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        SCOPED_TRACE(hwy::TargetName(target));
        check();
        if (::testing::Test::HasFatalFailure()) break;
    }
    hwy::SetSupportedTargetsForTest(0);
}

constexpr PixelKind kKinds[] = {PixelKind::kGrey,  PixelKind::kSummary, PixelKind::kBlue,
                                PixelKind::kGreen, PixelKind::kRed,     PixelKind::kAsIs};

template <class T>
void Randomize(std::vector<T>& v, std::mt19937& rng) {
    for (auto& x : v) x = static_cast<T>(rng());
}

void ExpectSameBytes(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
    const auto diff = std::mismatch(got.begin(), got.end(), want.begin());
    ASSERT_TRUE(diff.first == got.end()) << "byte " << diff.first - got.begin() << ": "
                                         << int(*diff.first) << " != " << int(*diff.second);
}

struct Buffers {
    Buffers(int32_t width, int32_t height)
        : w(width),
          stride(((3 * width + 3) / 4) * 4),
          input(size_t(stride) * height),
          acc(size_t(3) * width * height),
          out(size_t(stride) * height) {}
    // A job over these buffers, its output laid out as the input.
    RenderJob Job(Rect rect) {
        RenderJob job;
        std::tie(job.rect, job.input, job.inputStride, job.acc, job.out, job.outStride) =
            std::tuple(rect, input.data(), stride, acc.data(), out.data(), stride);
        job.accRowWords = static_cast<uint32_t>(3 * w);
        return job;
    }
    int32_t w;
    uint32_t stride;
    std::vector<uint8_t> input;
    std::vector<uint32_t> acc;
    std::vector<uint8_t> out;
};

std::vector<uint8_t> Tone(int32_t gamma) {
    std::vector<uint32_t> table(256);
    table[255] = 255;
    BuildToneTable(table.data(), GammaFactor(gamma));
    return std::vector<uint8_t>(table.begin(), table.end());
}

// Runs a job through the kernel and through the plain code on copies of the same buffers and
// compares everything they write. With `outside`, the grey formula of the outside instead.
void Compare(RenderJob job, Buffers& b, bool outside = false) {
    Buffers plain = b;
    OutputPeaks fast, reference;
    job.peaks = &fast;
    RenderJob ref = job;
    std::tie(ref.input, ref.acc, ref.peaks) =
        std::tuple(plain.input.data(), plain.acc.data(), &reference);
    if (job.out) ref.out = plain.out.data() + (job.out - b.out.data());
    if (outside) {
        RenderUnroundedGrey(job);
        const Rect& r = job.rect;
        for (int32_t y = r.y0; y < r.y0 + r.h; ++y) {
            detail::UnroundedGreySpan(ref, y, r.x0, r.x0 + r.w);
        }
    } else {
        RenderRect(job);
        detail::RenderRectPlain(ref);
    }
    ASSERT_EQ(b.acc, plain.acc);
    ExpectSameBytes(b.out, plain.out);
    if (job.out && !outside) {
        EXPECT_EQ(std::tie(fast.maxSum, fast.saturated, fast.maxOutput),
                  std::tie(reference.maxSum, reference.saturated, reference.maxOutput));
    }
}

// Sampled (B, G, R): the grey value, the level at the default settings (the direct path) and at
// settings that need the clamps, for a sum of one frame rendered into a one-byte plane; and the
// outside's formula. The sample holds every (G, R) pair beside the darkest and the brightest
// blue, then random colours of a fixed seed.
TEST(KernelsTest, GreyOfSampledPixelsIsExact) {
    ForEachTarget([&] {
        Buffers b(4096, 64);
        const std::vector<uint8_t> identity = Tone(128);
        RenderJob plane = b.Job(Rect{0, 0, 4096, 64});
        std::tie(plane.source, plane.outStride, plane.outBytesPerPixel, plane.tone) =
            std::tuple(SumSource::kInput, 4096u, 1, identity.data());
        RenderJob outside = b.Job(Rect{0, 0, 4096, 64});
        outside.tone = identity.data();
        std::mt19937 rng(24);
        for (uint32_t slab = 0; slab < 2; ++slab) {  // 2 slabs of 2^18 colours
            for (uint32_t i = 0; i < (1u << 18); ++i) {
                const uint32_t n = slab << 18 | i;
                const uint32_t c = n < (1u << 17) ? (n >> 16) * 255 | (n & 0xFFFF) << 8 : rng();
                uint8_t* p = b.input.data() + size_t{b.stride} * (i >> 12) + 3 * size_t(i & 4095);
                std::tie(p[0], p[1], p[2]) =
                    std::tuple(uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16));
            }
            const std::tuple<LevelFormula, bool> formulas[] = {
                {{128, 5, 10, 0}, false},     {{77, 5, 10, -3}, false},
                {{300, 5, 10, 12}, false},    {{128, 500, 1000, 0}, true},
                {{128, 500, 1000, -7}, true}, {{77, 500, 1000, -3}, true}};
            for (const auto& [f, isOutside] : formulas) {
                RenderJob& job = isOutside ? outside : plane;
                job.level = f;
                Compare(job, b, isOutside);
                if (HasFatalFailure()) return;
            }
        }
    });
}

// Random pictures and accumulators, odd rectangles, all sources and formulas; for grey also the
// outside's formula with the same gain and offset (negative gains, gains too large for the
// lanes, offsets that push every level off either end); plain accumulations without output.
TEST(KernelsTest, RenderMatchesThePlainFormulas) {
    ForEachTarget([&] {
        std::mt19937 rng(11);
        const int32_t widths[] = {1, 7, 33, 64, 95, 200};
        const LevelFormula formulas[] = {
            {128, 5, 10, 0},        {128, 0, 1, 0},         {128, 1, 3, 0},     {77, 20, 40, -12},
            {256, 645, 1290, 3},    {1000, 5, 10, 40},      {0, 0, 1, 9},       {-40, 2, 5, 100},
            {128, 0, 7, -4000},     {128, 3, 6, 250},       {70000, 5, 10, 0},  {128, 0, 3, 300},
            {256, 32768, 65536, 0}, {3, 327680, 655360, 0}, {128, 15, 30, -128}};
        for (PixelKind kind : kKinds) {
            for (SumSource source :
                 {SumSource::kInput, SumSource::kAccumulate, SumSource::kAccumulator}) {
                for (const LevelFormula& f : formulas) {
                    const int32_t width = widths[rng() % std::size(widths)];
                    const int32_t height = 1 + rng() % 9;
                    Buffers b(width + 5, height + 3);
                    Randomize(b.input, rng);
                    Randomize(b.out, rng);
                    // Sums of up to ~300 frames, and now and then any 32-bit word.
                    for (auto& a : b.acc) a = rng() % 3 ? rng() % 700000 : rng();
                    RenderJob job =
                        b.Job(Rect{int32_t(rng() % 5), int32_t(rng() % 3), width, height});
                    std::tie(job.kind, job.source, job.first, job.writeAcc, job.level) =
                        std::tuple(kind, source, rng() % 2 == 0, true, f);
                    job.outBytesPerPixel = kind == PixelKind::kAsIs || rng() % 2 ? 3 : 1;
                    const std::vector<uint8_t> tone = Tone(rng() % 2 ? 128 : 60 + rng() % 190);
                    job.tone = tone.data();
                    SCOPED_TRACE(testing::Message() << "kind " << int(kind) << " source "
                                                    << int(source) << " amp " << f.amp);
                    Compare(job, b);
                    if (kind == PixelKind::kGrey) {
                        job.outBytesPerPixel = 3;
                        job.level = LevelFormula{f.amp, 500, 1000, f.offset};
                        Compare(job, b, true);
                    }
                    job.out = nullptr;
                    if (source == SumSource::kAccumulate) Compare(job, b);
                    if (HasFatalFailure()) return;
                }
            }
        }
    });
}

TEST(KernelsTest, AverageHistogramMatchesThePlainCount) {
    ForEachTarget([&] {
        std::mt19937 rng(3);
        for (PixelKind kind : kKinds) {
            for (SumSource source : {SumSource::kInput, SumSource::kAccumulator}) {
                for (int64_t weight : {1, 3, 10, 37, 1290, 100000}) {
                    Buffers b(70, 9);
                    Randomize(b.input, rng);
                    for (auto& a : b.acc) a = rng() % 4 ? rng() % (300 * uint32_t(weight)) : rng();
                    const RenderJob r = b.Job(Rect{3, 1, 61, 7});
                    const AverageJob job{kind,          source, r.rect,        r.input,
                                         r.inputStride, r.acc,  r.accRowWords, weight};
                    uint32_t fast[256] = {}, plain[256] = {};
                    AddAverageHistogram(job, fast);
                    for (int32_t y = 1; y < 8; ++y) detail::AverageSpan(job, y, 3, 64, plain);
                    ASSERT_EQ(0, std::memcmp(fast, plain, sizeof fast))
                        << "kind " << int(kind) << " weight " << weight;
                }
            }
        }
    });
}

// Over random levels, or a sky (many equal neighbours), grey or colour, one or three bytes a
// pixel: the histogram and row maxima with and without the pair table, the guide moments with
// and without skipping rows by their maxima, and the banding sums with clipping and with row
// corrections taken off first.
TEST(KernelsTest, HistogramGuideAndBandingSumsMatchThePlainLoops) {
    ForEachTarget([&] {
        std::mt19937 rng(9);
        std::normal_distribution<double> noise(30, 2);
        std::vector<uint32_t> pairs(kPairTableSize, 0);
        for (const auto& [bpp, colour, sky] : {std::tuple{1, false, false},
                                               {1, false, true},
                                               {3, false, false},
                                               {3, true, false},
                                               {3, true, true}}) {
            for (int32_t w : {1, 8, 31, 77, 130}) {
                const uint32_t stride = static_cast<uint32_t>(w * bpp + 5);
                std::vector<uint8_t> data(size_t(stride) * 13);
                for (int32_t y = 0; y < 13; ++y) {
                    for (int32_t x = 0; x < w * bpp; ++x) {
                        const double v = sky ? (x % 97 < 50 ? 0.0 : noise(rng)) : rng() % 256;
                        data[size_t(stride) * y + x] = uint8_t(std::clamp(v, 0.0, 255.0));
                    }
                }
                const PixelView view{data.data(), stride, 0, 0, bpp, colour};
                const Rect rect{w > 2 ? 1 : 0, 2, w > 2 ? w - 2 : w, 10};
                SCOPED_TRACE(testing::Message() << "bpp " << bpp << " colour " << colour << " sky "
                                                << sky << " width " << w);
                uint32_t want[256] = {};
                std::vector<uint16_t> wantMax(rect.h);
                for (int32_t r = 0; r < rect.h; ++r) {
                    for (int32_t x = 0; x < rect.w; ++x) {
                        const uint8_t* p = view.At(rect.x0 + x, rect.y0 + r);
                        ++want[detail::HistogramBin(view, p)];
                        wantMax[r] = std::max<uint16_t>(wantMax[r], detail::ViewValue(view, p));
                    }
                }
                for (bool usePairs : {false, true}) {
                    uint32_t got[256] = {};
                    std::vector<uint16_t> gotMax(rect.h);
                    AddHistogram(view, rect, got, gotMax.data(), usePairs ? pairs.data() : nullptr);
                    if (usePairs) FoldPairs(pairs.data(), got);
                    EXPECT_EQ(0, std::memcmp(got, want, sizeof got)) << "pairs " << usePairs;
                    EXPECT_EQ(gotMax, wantMax);
                }
                EXPECT_TRUE(std::all_of(pairs.begin(), pairs.end(), [](uint32_t v) { return !v; }));
                for (int32_t level : {0, 20, 31, 200, 255}) {
                    const GuideMoments plain = scalar::SumGuide(view, rect, level);
                    for (bool skip : {false, true}) {
                        const GuideMoments got =
                            SumGuide(view, rect, level, skip ? wantMax.data() : nullptr);
                        EXPECT_EQ(std::tie(got.sumW, got.sumX, got.sumY),
                                  std::tie(plain.sumW, plain.sumX, plain.sumY))
                            << "level " << level;
                    }
                }
                std::vector<int16_t> rowCorr(rect.h);
                for (auto& d : rowCorr) d = static_cast<int16_t>(int(rng() % 61) - 30);
                for (int32_t clip : {0, 1, 25, 252}) {
                    auto value = [&](const uint8_t* p, int32_t d) {
                        auto one = [d](uint8_t v) { return uint32_t(std::clamp(v - d, 0, 255)); };
                        uint32_t v = colour ? one(p[0]) + one(p[1]) + one(p[2]) : one(p[0]);
                        return clip == 0 ? v : std::min<uint32_t>(v, colour ? 3 * clip : clip);
                    };
                    std::vector<uint32_t> rows(rect.h), wantRows(rect.h);
                    std::vector<uint32_t> cols(rect.w), wantCols(rect.w);
                    for (int32_t r = 0; r < rect.h; ++r) {
                        for (int32_t x = 0; x < rect.w; ++x) {
                            const uint8_t* p = view.At(rect.x0 + x, rect.y0 + r);
                            wantRows[r] += value(p, 0);
                            wantCols[x] += value(p, rowCorr[r]);
                        }
                    }
                    ClippedRowSums(view, rect, clip, rows.data());
                    ClippedColumnSums(view, rect, clip, rowCorr.data(), cols.data());
                    EXPECT_EQ(std::tie(rows, cols), std::tie(wantRows, wantCols))
                        << "clip " << clip;
                }
            }
        }
    });
}

// Row and column corrections from a one-byte plane, a grey picture (skipping rows without a
// correction) or a colour picture, onto every alignment of the rectangle.
TEST(KernelsTest, CorrectionsMatchThePlainClamps) {
    ForEachTarget([&] {
        std::mt19937 rng(21);
        for (const auto& [sourceBpp, colour] : {std::pair{1, false}, {3, false}, {3, true}}) {
            for (int32_t w : {1, 9, 40, 67, 131, 2100}) {
                for (int32_t x0 : {0, 1, 2, 5}) {
                    const int32_t h = 5;
                    const uint32_t stride = static_cast<uint32_t>((3 * (w + x0 + 3) + 3) / 4 * 4);
                    std::vector<uint8_t> picture(size_t(stride) * (h + 2)), plane(size_t(w) * h);
                    Randomize(picture, rng);
                    Randomize(plane, rng);
                    std::vector<int16_t> rows(h), cols(w);
                    for (auto& d : rows) d = int16_t(rng() % 3 ? int(rng() % 511) - 255 : 0);
                    for (auto& d : cols) d = int16_t(int(rng() % 511) - 255);
                    for (int variant = 0; variant < 3; ++variant) {
                        CorrectionJob job;
                        std::tie(job.rect, job.out, job.outStride) =
                            std::tuple(Rect{x0, 1, w, h}, picture.data(), stride);
                        job.rowCorrection = variant != 1 ? rows.data() : nullptr;
                        job.columnCorrection = variant != 0 ? cols.data() : nullptr;
                        job.skipZeroRows = variant == 0 && sourceBpp == 3 && !colour;
                        job.source = sourceBpp == 1
                                         ? PixelView{plane.data(), uint32_t(w), x0, 1, 1, false}
                                         : PixelView{picture.data(), stride, 0, 0, 3, colour};
                        std::vector<uint8_t> want = picture;
                        for (int32_t r = 0; r < h; ++r) {
                            const int32_t d = job.rowCorrection ? rows[r] : 0;
                            if (job.skipZeroRows && d == 0) continue;
                            for (int32_t x = 0; x < w; ++x) {
                                const uint8_t* p = job.source.At(x0 + x, 1 + r);
                                uint8_t* o = want.data() + size_t(stride) * (1 + r) + 3 * (x0 + x);
                                const int32_t dc = job.columnCorrection ? cols[x] : 0;
                                for (int k = 0; k < 3; ++k) {
                                    const int32_t v = std::clamp(p[colour ? k : 0] - d, 0, 255);
                                    o[k] = uint8_t(std::clamp(v - dc, 0, 255));
                                }
                            }
                        }
                        ApplyCorrections(job);
                        SCOPED_TRACE(testing::Message()
                                     << "bpp " << sourceBpp << " colour " << colour << " width "
                                     << w << " x0 " << x0 << " variant " << variant);
                        ExpectSameBytes(picture, want);
                        if (HasFatalFailure()) return;
                    }
                }
            }
        }
    });
}

}  // namespace
}  // namespace kelpa
