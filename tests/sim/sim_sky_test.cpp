// The simulated sky as a model: the guide star against the track it reports, and its pixel
// formats against a plain reference (a grey sky: every byte of every plane is known).
#include "sim/sim_sky.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace kelpa {
namespace {

// The guide star's track stays for hours inside its zone (kept free of other stars and hot
// pixels), where the headless guide runs look for it.
TEST(SimSkyTest, GuideStarStaysInsideItsZone) {
    SimSky sky({.seed = 11, .width = 640, .height = 480});
    const SimRect zone = sky.GuideTrack().Zone();
    for (uint64_t frame = 0; frame < 60ull * 3600 * 4; frame += 997) {
        const SimPoint p = sky.GuideTrack().PositionAt(frame);
        ASSERT_TRUE(p.x - 4 > zone.left && p.x + 4 < zone.right && p.y - 4 > zone.top &&
                    p.y + 4 < zone.bottom)
            << frame << ": " << p.x << ", " << p.y;
    }
}

// The bytes a format must hold for the grey picture `luma` in `layout`, on a buffer pre-filled
// with `fill`: chroma neutral, and padding before planes and after rows untouched.
std::vector<uint8_t> ExpectedGrey(const SimLayout& layout, const std::vector<uint8_t>& luma,
                                  uint8_t fill) {
    const auto studio = [](int level) { return uint8_t((level * 219 + 127) / 255 + 16); };
    std::vector<uint8_t> out(layout.size, fill);
    const int w = layout.width;
    const bool packed = layout.format == SimFormat::kYUY2 || layout.format == SimFormat::kUYVY;
    const int lumaAt = layout.format == SimFormat::kUYVY ? 1 : 0;  // of a packed YUV pixel
    for (int y = 0; y < layout.height; ++y) {
        uint8_t* row = out.data() + layout.offset[0] + static_cast<size_t>(y) * layout.stride[0];
        const uint8_t* l = luma.data() + static_cast<size_t>(y) * w;
        // An odd width's last pair repeats its pixel.
        for (int x = 0; x < w + (packed && w % 2); ++x) {
            const uint8_t v = l[std::min(x, w - 1)];
            if (layout.format == SimFormat::kBGR) {
                std::memset(row + 3 * x, v, 3);
            } else if (layout.format == SimFormat::kBGRx) {
                std::memset(row + 4 * x, v, 3);
                row[4 * x + 3] = 255;
            } else if (layout.format == SimFormat::kRGB16) {
                const uint16_t word = uint16_t((v >> 3) << 11 | (v >> 2) << 5 | v >> 3);
                std::memcpy(row + 2 * x, &word, 2);
            } else if (packed) {
                row[2 * x + lumaAt] = studio(v);
                row[2 * x + 1 - lumaAt] = 128;
            } else {
                row[x] = studio(v);
            }
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

// Every format on odd sizes (every tail), with padding before every plane and after every
// row. Layouts that do not fit the buffer are refused (the fuzz target tries the rest).
TEST(SimSkyTest, RenderWritesTheLumaIntoEveryPlaneAndNothingElse) {
    SimSky sky({.seed = 6, .width = 67, .height = 45, .starsPerMegapixel = 1000, .colour = false});
    std::vector<uint8_t> luma(67 * 45);
    ASSERT_TRUE(sky.RenderLuma(3, luma.data(), 67, luma.size()));
    for (SimFormat format : kSimAllFormats) {
        SCOPED_TRACE(SimFormatName(format));
        SimLayout layout = DefaultSimLayout(format, 67, 45);
        size_t end = 16;
        for (int plane = 0; plane < SimPlaneCount(format); ++plane) {
            layout.stride[plane] += 12;
            layout.offset[plane] = end;
            end += (plane == 0 ? 45 : 23) * size_t(layout.stride[plane]) + 16;
        }
        layout.size = end;
        std::vector<uint8_t> frame(layout.size, 0xA5);
        SimLayout wider = layout;
        wider.width += 2;
        EXPECT_FALSE(sky.Render(3, layout, frame.data(), frame.size() - 1));
        EXPECT_FALSE(sky.Render(3, wider, frame.data(), frame.size()));
        EXPECT_FALSE(sky.Render(3, layout, nullptr, frame.size()));
        ASSERT_TRUE(sky.Render(3, layout, frame.data(), frame.size()));
        EXPECT_EQ(frame, ExpectedGrey(layout, luma, 0xA5));
    }
}

}  // namespace
}  // namespace kelpa
