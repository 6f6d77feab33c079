// The simulated sky as a model: determinism, the truth it reports (background, noise, banding,
// guide star) against what its frames show, and its pixel formats against a plain reference.
#include "video/media/sim_sky.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ostream>

namespace kelpa {

// Failure messages show format names.
inline void PrintTo(SimFormat format, std::ostream* os) {
    *os << SimFormatName(format);
}

namespace {

SimSkyParams Params(uint32_t seed, int width, int height) {
    SimSkyParams params;
    params.seed = seed;
    params.width = width;
    params.height = height;
    return params;
}

std::vector<uint8_t> Luma(SimSky& sky, uint64_t frame) {
    std::vector<uint8_t> luma(static_cast<size_t>(sky.Width()) * sky.Height());
    EXPECT_TRUE(sky.RenderLuma(frame, luma.data(), sky.Width(), luma.size()));
    return luma;
}

// Studio-range luma of a full-range level, computed the obvious way.
uint8_t StudioLevel(int level) {
    return static_cast<uint8_t>((level * 219 + 127) / 255 + 16);
}

// Top-left corner of a size x size block that no star light, hot pixel or guide star reaches.
std::pair<int, int> BarePatch(const SimSky& sky, int size) {
    const int margin = 10;
    const SimRect zone = sky.GuideTrack().Zone();
    for (int y = margin; y + size + margin <= sky.Height(); y += 4) {
        for (int x = margin; x + size + margin <= sky.Width(); x += 4) {
            const auto near = [&](double px, double py, int m) {
                return px >= x - m && px < x + size + m && py >= y - m && py < y + size + m;
            };
            bool bare =
                !(x < zone.right && x + size > zone.left && y < zone.bottom && y + size > zone.top);
            for (const SimStar& s : sky.Stars()) bare = bare && !near(s.x, s.y, margin);
            for (const SimHotPixel& h : sky.HotPixels()) bare = bare && !near(h.x, h.y, 0);
            if (bare) return {x, y};
        }
    }
    ADD_FAILURE() << "no bare patch of " << size << " pixels";
    return {0, 0};
}

TEST(SimSkyTest, FramesArePureFunctionsOfSeedAndIndex) {
    SimSky a(Params(7, 320, 240));
    SimSky b(Params(7, 320, 240));
    SimSky other(Params(8, 320, 240));
    EXPECT_EQ(Luma(a, 5), Luma(b, 5));
    EXPECT_EQ(Luma(a, 123456789), Luma(b, 123456789));
    EXPECT_NE(Luma(a, 5), Luma(other, 5));
    EXPECT_NE(Luma(a, 5), Luma(a, 6));
    // Rendering other frames in between changes nothing.
    const std::vector<uint8_t> first = Luma(a, 40);
    Luma(a, 41);
    EXPECT_EQ(first, Luma(a, 40));
}

TEST(SimSkyTest, BackgroundAndNoiseMatchABarePatch) {
    SimSky sky(Params(3, 640, 480));
    const int size = 32;
    const auto [px, py] = BarePatch(sky, size);
    std::vector<float> rows(sky.Height()), columns(sky.Width());
    double sum = 0.0, squares = 0.0;
    int count = 0;
    for (uint64_t frame = 0; frame < 8; ++frame) {
        const std::vector<uint8_t> luma = Luma(sky, frame * 11);
        ASSERT_TRUE(sky.BandingAt(frame * 11, rows, columns));
        for (int y = py; y < py + size; ++y) {
            for (int x = px; x < px + size; ++x) {
                const double v = luma[y * sky.Width() + x] - rows[y] - columns[x];
                sum += v;
                squares += v * v;
                ++count;
            }
        }
    }
    const double mean = sum / count;
    const double sigma = std::sqrt(squares / count - mean * mean);
    EXPECT_NEAR(mean, sky.BackgroundLevel(), 0.15);
    // Rounding to whole levels adds 1/12 to the variance.
    EXPECT_NEAR(sigma, std::sqrt(sky.NoiseSigma() * sky.NoiseSigma() + 1.0 / 12), 0.05 * sigma);
}

TEST(SimSkyTest, BandingIsExactlyWhatAQuietSkyShows) {
    SimSkyParams params = Params(5, 320, 240);
    params.readNoise = 0.0;
    params.electronsPerDn = 1e6;  // no shot noise worth a level
    SimSky sky(params);
    const auto [px, py] = BarePatch(sky, 24);
    std::vector<float> rows(sky.Height()), columns(sky.Width()), rowsNext(sky.Height());
    std::vector<float> unused(sky.Width());
    ASSERT_TRUE(sky.BandingAt(9, rows, columns));
    ASSERT_TRUE(sky.BandingAt(10, rowsNext, unused));
    EXPECT_NE(rows, rowsNext);
    const std::vector<uint8_t> luma = Luma(sky, 9);
    for (int y = py; y < py + 24; ++y) {
        for (int x = px; x < px + 24; ++x) {
            const double expected = std::floor(sky.BackgroundLevel() + rows[y] + columns[x] + 0.5);
            ASSERT_EQ(luma[y * sky.Width() + x], expected) << x << "," << y;
        }
    }
    const auto deviation = [](const std::vector<float>& v) {
        double s = 0.0;
        for (float f : v) s += f * f;
        return std::sqrt(s / v.size());
    };
    EXPECT_NEAR(deviation(rows), params.rowBanding, 0.2 * params.rowBanding);
    EXPECT_NEAR(deviation(columns), params.columnBanding, 0.2 * params.columnBanding);
    EXPECT_FALSE(sky.BandingAt(9, std::span<float>(rows).first(10), columns));
}

// The intensity-weighted centre of the pixels more than three noise sigmas above the known
// background and banding, near the true position, lies where the sky says the star is.
TEST(SimSkyTest, GuideStarCentroidFollowsTheTruth) {
    SimSky sky(Params(11, 640, 480));
    std::vector<float> rows(sky.Height()), columns(sky.Width());
    for (uint64_t index : {0ull, 1ull, 2ull, 300ull, 9000ull, 54321ull}) {
        const std::vector<uint8_t> luma = Luma(sky, index);
        ASSERT_TRUE(sky.BandingAt(index, rows, columns));
        const SimPoint truth = sky.GuideStarAt(index);
        double sum = 0.0, sumX = 0.0, sumY = 0.0;
        const int cx = static_cast<int>(truth.x + 0.5), cy = static_cast<int>(truth.y + 0.5);
        for (int y = cy - 8; y <= cy + 8; ++y) {
            for (int x = cx - 8; x <= cx + 8; ++x) {
                const double signal =
                    luma[y * sky.Width() + x] - sky.BackgroundLevel() - rows[y] - columns[x];
                if (signal <= 3.0 * sky.NoiseSigma()) continue;
                sum += signal;
                sumX += signal * x;
                sumY += signal * y;
            }
        }
        ASSERT_GT(sum, 0.0) << "frame " << index;
        EXPECT_NEAR(sumX / sum, truth.x, 0.15) << "frame " << index;
        EXPECT_NEAR(sumY / sum, truth.y, 0.15) << "frame " << index;
    }
    // The periodic error swings the star by pixels within seconds; the seeing by fractions
    // from one frame to the next.
    const SimPoint start = sky.GuideStarAt(0);
    const SimPoint swing = sky.GuideStarAt(300);
    EXPECT_GT(std::hypot(swing.x - start.x, swing.y - start.y), 2.0);
    const double step = std::hypot(sky.GuideStarAt(1).x - start.x, sky.GuideStarAt(1).y - start.y);
    EXPECT_GT(step, 0.0);
    EXPECT_LT(step, 1.0);
}

TEST(SimSkyTest, GuideStarStaysInItsZoneForHours) {
    const SimGuideTrack track(Params(2, 320, 240));
    const SimRect zone = track.Zone();
    for (uint64_t frame = 0; frame < 60ull * 3600 * 4; frame += 997) {
        const SimPoint p = track.PositionAt(frame);
        ASSERT_TRUE(p.x - 4 > zone.left && p.x + 4 < zone.right) << frame;
        ASSERT_TRUE(p.y - 4 > zone.top && p.y + 4 < zone.bottom) << frame;
    }
}

TEST(SimSkyTest, BrightStarsSaturateAndHotPixelsStayHot) {
    SimSky sky(Params(4, 1280, 720));
    const std::vector<uint8_t> luma = Luma(sky, 17);
    const auto at = [&](double x, double y) {
        return luma[std::lround(y) * sky.Width() + std::lround(x)];
    };
    // Faint stars are checked only where no other light falls on them.
    const auto isolated = [&](const SimStar& star) {
        for (const SimStar& other : sky.Stars()) {
            const double d = std::hypot(other.x - star.x, other.y - star.y);
            if (&other != &star && d < 12) return false;
        }
        for (const SimHotPixel& h : sky.HotPixels()) {
            if (std::hypot(h.x - star.x, h.y - star.y) < 2) return false;
        }
        return true;
    };
    int saturated = 0, faint = 0;
    for (const SimStar& s : sky.Stars()) {
        if (s.x < 1 || s.y < 1 || s.x > sky.Width() - 2 || s.y > sky.Height() - 2) continue;
        if (s.peak >= 600) {
            EXPECT_EQ(at(s.x, s.y), 255);
            ++saturated;
        } else if (s.peak < 15 && ++faint && isolated(s)) {
            EXPECT_LT(at(s.x, s.y), 80);
        }
    }
    EXPECT_GT(saturated, 0);
    EXPECT_GT(faint, 3 * saturated);  // most stars are faint
    ASSERT_FALSE(sky.HotPixels().empty());
    for (const SimHotPixel& h : sky.HotPixels()) EXPECT_NEAR(at(h.x, h.y), h.level, 25);
}

// The bytes a format must hold for the grey picture `luma` in `layout`, on a buffer pre-filled
// with `fill`: chroma neutral, and padding before planes and after rows untouched.
std::vector<uint8_t> ExpectedGrey(const SimLayout& layout, const std::vector<uint8_t>& luma,
                                  uint8_t fill) {
    std::vector<uint8_t> out(layout.size, fill);
    const int w = layout.width;
    const int lumaAt = layout.format == SimFormat::kUYVY ? 1 : 0;  // of a packed YUV pixel
    for (int y = 0; y < layout.height; ++y) {
        uint8_t* row = out.data() + layout.offset[0] + static_cast<size_t>(y) * layout.stride[0];
        const uint8_t* l = luma.data() + static_cast<size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            switch (layout.format) {
                case SimFormat::kBGR:
                    std::memset(row + 3 * x, l[x], 3);
                    break;
                case SimFormat::kBGRx:
                    std::memset(row + 4 * x, l[x], 3);
                    row[4 * x + 3] = 255;
                    break;
                case SimFormat::kRGB16: {
                    const uint16_t word =
                        static_cast<uint16_t>((l[x] >> 3) << 11 | (l[x] >> 2) << 5 | l[x] >> 3);
                    std::memcpy(row + 2 * x, &word, 2);
                    break;
                }
                case SimFormat::kYUY2:
                case SimFormat::kUYVY:
                    row[2 * x + lumaAt] = StudioLevel(l[x]);
                    row[2 * x + 1 - lumaAt] = 128;
                    break;
                case SimFormat::kI420:
                case SimFormat::kYV12:
                    row[x] = StudioLevel(l[x]);
                    break;
            }
        }
        // An odd width's last pair repeats its pixel.
        if (w % 2 && (layout.format == SimFormat::kYUY2 || layout.format == SimFormat::kUYVY)) {
            row[2 * w + lumaAt] = StudioLevel(l[w - 1]);
            row[2 * w + 1 - lumaAt] = 128;
        }
    }
    for (int plane = 1; plane < SimPlaneCount(layout.format); ++plane) {
        for (int y = 0; y < (layout.height + 1) / 2; ++y) {
            std::memset(out.data() + layout.offset[plane] + y * layout.stride[plane], 128,
                        (w + 1) / 2);
        }
    }
    return out;
}

// A layout with padding before every plane and after every row.
SimLayout PaddedLayout(SimFormat format, int width, int height) {
    SimLayout layout = DefaultSimLayout(format, width, height);
    size_t end = 16;
    for (int plane = 0; plane < SimPlaneCount(format); ++plane) {
        const size_t rows = plane == 0 ? height : (height + 1) / 2;
        layout.stride[plane] += 12;
        layout.offset[plane] = end;
        end += rows * layout.stride[plane] + 16;
    }
    layout.size = end;
    return layout;
}

class SimFormatRenderTest : public ::testing::TestWithParam<SimFormat> {};

TEST_P(SimFormatRenderTest, WritesTheLumaIntoEveryPlaneAndNothingElse) {
    SimSkyParams params = Params(6, 67, 45);  // odd sizes exercise every tail
    params.colour = false;
    params.starsPerMegapixel = 1000;
    SimSky sky(params);
    const std::vector<uint8_t> luma = Luma(sky, 3);
    const SimLayout layout = PaddedLayout(GetParam(), 67, 45);
    std::vector<uint8_t> frame(layout.size, 0xA5);
    ASSERT_TRUE(sky.Render(3, layout, frame.data(), frame.size()));
    EXPECT_EQ(frame, ExpectedGrey(layout, luma, 0xA5));
}

TEST_P(SimFormatRenderTest, RefusesLayoutsThatDoNotFit) {
    SimSky sky(Params(6, 64, 48));
    const SimLayout good = DefaultSimLayout(GetParam(), 64, 48);
    std::vector<uint8_t> frame(good.size, 0x5A);
    const std::vector<uint8_t> untouched = frame;
    EXPECT_FALSE(sky.Render(0, good, frame.data(), good.size - 1));
    SimLayout narrow = good;
    narrow.stride[0] -= 4;
    SimLayout wider = good;
    wider.width += 2;
    SimLayout shifted = good;
    shifted.offset[SimPlaneCount(GetParam()) - 1] += 1;
    for (const SimLayout& bad : {narrow, wider, shifted}) {
        EXPECT_FALSE(sky.Render(0, bad, frame.data(), frame.size()));
    }
    EXPECT_FALSE(sky.Render(0, good, nullptr, frame.size()));
    EXPECT_EQ(frame, untouched);
    EXPECT_TRUE(sky.Render(0, good, frame.data(), frame.size()));
}

INSTANTIATE_TEST_SUITE_P(AllFormats, SimFormatRenderTest, ::testing::ValuesIn(kSimAllFormats),
                         [](const auto& p) { return std::string(SimFormatName(p.param)); });

TEST(SimSkyTest, StarColourIsTheSameInEveryFormat) {
    SimSky sky(Params(12, 320, 240));
    const auto render = [&](SimFormat format) {
        const SimLayout layout = DefaultSimLayout(format, 320, 240);
        std::vector<uint8_t> frame(layout.size);
        EXPECT_TRUE(sky.Render(2, layout, frame.data(), frame.size()));
        return frame;
    };
    const std::vector<uint8_t> bgr = render(SimFormat::kBGR);
    const std::vector<uint8_t> bgrx = render(SimFormat::kBGRx);
    int tinted = 0;
    for (size_t p = 0; p < 320 * 240; ++p) {
        ASSERT_EQ(0, std::memcmp(&bgr[3 * p], &bgrx[4 * p], 3)) << p;
        tinted += bgr[3 * p] != bgr[3 * p + 2];
    }
    EXPECT_GT(tinted, 50);
    // YUY2 and UYVY swap each byte pair.
    const std::vector<uint8_t> yuy2 = render(SimFormat::kYUY2);
    const std::vector<uint8_t> uyvy = render(SimFormat::kUYVY);
    for (size_t i = 0; i < yuy2.size(); ++i) ASSERT_EQ(yuy2[i], uyvy[i ^ 1]) << i;
    // I420 holds U then V; YV12 V then U.
    const SimLayout planar = DefaultSimLayout(SimFormat::kI420, 320, 240);
    const std::vector<uint8_t> i420 = render(SimFormat::kI420);
    const std::vector<uint8_t> yv12 = render(SimFormat::kYV12);
    const auto plane = [&](const std::vector<uint8_t>& f, int p) {
        const size_t end = p == 2 ? f.size() : planar.offset[p + 1];
        return std::vector<uint8_t>(f.begin() + planar.offset[p], f.begin() + end);
    };
    EXPECT_EQ(plane(i420, 0), plane(yv12, 0));
    EXPECT_EQ(plane(i420, 1), plane(yv12, 2));
    EXPECT_EQ(plane(i420, 2), plane(yv12, 1));
    const std::vector<uint8_t> u = plane(i420, 1);
    EXPECT_TRUE(std::any_of(u.begin(), u.end(), [](uint8_t v) { return v != 128; }));
}

TEST(SimFormatTest, ParsesFormatListsAndRefusesUnknownNames) {
    std::vector<SimFormat> formats;
    ASSERT_TRUE(ParseSimFormats(" UYVY , BGR,UYVY", &formats));
    EXPECT_EQ(formats, (std::vector<SimFormat>{SimFormat::kUYVY, SimFormat::kBGR}));
    EXPECT_EQ(SimFormatsText(formats), "UYVY,BGR");
    for (const char* bad : {"", "NV12", "UYVY,", "uyvy", ",BGR", "BGR;I420"}) {
        EXPECT_FALSE(ParseSimFormats(bad, &formats)) << bad;
    }
    EXPECT_EQ(formats.size(), 2u);
    ASSERT_TRUE(ParseSimFormats("RGB16", &formats));
    EXPECT_EQ(formats, std::vector<SimFormat>{SimFormat::kRGB16});
}

}  // namespace
}  // namespace kelpa
