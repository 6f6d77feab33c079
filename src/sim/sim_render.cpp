// Per-frame rendering of the simulated sky: one pass per row adds the static sky, the banding
// and a slice of the noise table; the few star pixels and the guide star are then recomputed
// with their extra shot noise; finally the row is written in the requested pixel format.
// Nothing here allocates.
#include "sim/sim_random.h"
#include "sim/sim_sky.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace kelpa {
namespace {

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

inline uint8_t ClampByte(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Studio-range luma of a full-range level, round(l * 219 / 255) + 16, in 16-bit steps so the
// row loop stays 8 or 16 lanes wide: x / 255 == (x + 1 + (x >> 8)) >> 8 for x < 65535.
inline uint16_t StudioLuma(uint16_t level) {
    const uint16_t scaled = static_cast<uint16_t>(level * 219 + 127);
    const uint16_t quotient = static_cast<uint16_t>((scaled + 1 + (scaled >> 8)) >> 8);
    return static_cast<uint16_t>(quotient + 16);
}

// A pixel sum in 1/16 DN, rounding bias included, as an output byte.
template <bool kStudio>
inline uint8_t Finish(int sum16) {
    const uint8_t level = ClampByte(sum16 >> 4);
    if constexpr (kStudio) return static_cast<uint8_t>(StudioLuma(level));
    return static_cast<uint8_t>(level);
}

inline void Store32(uint8_t* out, uint32_t word) {
    std::memcpy(out, &word, sizeof word);
}
inline void Store64(uint8_t* out, uint64_t word) {
    std::memcpy(out, &word, sizeof word);
}

}  // namespace

template <bool kStudio>
void SimSky::RenderRow(int y, uint8_t* out) {
    constexpr uint64_t kMask = kNoiseLength - 1;
    const int w = params_.width;
    const int16_t* base = base16_.data() + static_cast<size_t>(y) * w;
    const int16_t* columns = columns16_.data();
    const uint64_t rowKey = MixBits(frameKey_ + static_cast<uint64_t>(y));
    const int16_t* noise = noise16_.data() + (rowKey & kMask);
    const int16_t bias = static_cast<int16_t>(rows16_[y] + 8);

    // The sums fit in 16 bits (see kMaxStatic16), which lets this loop run 8 or 16 lanes wide.
    for (int x = 0; x < w; ++x) {
        int16_t level = static_cast<int16_t>((base[x] + columns[x] + noise[x] + bias) >> 4);
        level = level < 0 ? 0 : (level > 255 ? 255 : level);
        if constexpr (kStudio)
            level = static_cast<int16_t>(StudioLuma(static_cast<uint16_t>(level)));
        out[x] = static_cast<uint8_t>(level);
    }

    // Star pixels carry the shot noise of their own light on top of the sky's.
    const uint32_t begin = rowStart_[y];
    const uint32_t end = rowStart_[y + 1];
    const int16_t* shotNoise = unit256_.data() + ((rowKey >> 16) & kMask);
    for (uint32_t i = begin; i < end; ++i) {
        const StarPixel& star = starPixels_[i];
        const int x = star.x;
        const int shot = (star.shot16 * shotNoise[i - begin]) >> 8;
        out[x] = Finish<kStudio>(base[x] + columns[x] + noise[x] + bias + shot);
    }

    if (y < guideTop_ || y >= guideBottom_) return;
    const float rowLight = guideY_[y - guideTop_];
    const int16_t* guideNoise = unit256_.data() + ((rowKey >> 32) & kMask);
    const float shotScale = static_cast<float>(1.0 / params_.electronsPerDn);
    for (int x = guideLeft_; x < guideRight_; ++x) {
        const float light = rowLight * guideX_[x - guideLeft_];
        const int light16 = static_cast<int>(std::lround(light * 16.0f));
        const int shot16 = static_cast<int>(std::lround(16.0f * std::sqrt(light * shotScale)));
        const int shot = (shot16 * guideNoise[x - guideLeft_]) >> 8;
        out[x] = Finish<kStudio>(base[x] + columns[x] + noise[x] + bias + light16 + shot);
    }
}

template <int kBytesPerPixel>
void SimSky::WriteRgbRow(int y, const uint8_t* lum, uint8_t* out) const {
    const int w = params_.width;
    int x = 0;
    if constexpr (kLittleEndian && kBytesPerPixel == 4) {
        for (; x < w; ++x) Store32(out + 4 * x, lum[x] * 0x010101u | 0xFF000000u);
    } else if constexpr (kLittleEndian && kBytesPerPixel == 3) {
        // Eight grey pixels are 24 bytes: three 64-bit stores.
        for (; x + 8 <= w; x += 8) {
            const uint64_t a = lum[x], b = lum[x + 1], c = lum[x + 2], d = lum[x + 3];
            const uint64_t e = lum[x + 4], f = lum[x + 5], g = lum[x + 6], h = lum[x + 7];
            uint8_t* p = out + 3 * x;
            Store64(p, a * 0x010101u | b * 0x010101u << 24 | c * 0x0101u << 48);
            Store64(p + 8, c | d * 0x010101u << 8 | e * 0x010101u << 32 | f << 56);
            Store64(p + 16, f * 0x0101u | g * 0x010101u << 16 | h * 0x010101u << 40);
        }
    }
    for (; x < w; ++x) {
        uint8_t* p = out + kBytesPerPixel * x;
        p[0] = p[1] = p[2] = lum[x];
        if constexpr (kBytesPerPixel == 4) p[3] = 0xFF;
    }
    if (!params_.colour) return;
    for (uint32_t i = rowStart_[y]; i < rowStart_[y + 1]; ++i) {
        const StarPixel& star = starPixels_[i];
        const int level = lum[star.x];
        uint8_t* p = out + kBytesPerPixel * star.x;
        p[0] = ClampByte(level + star.db);
        p[1] = ClampByte(level + star.dg);
        p[2] = ClampByte(level + star.dr);
    }
}

void SimSky::WriteRgb16Row(int y, const uint8_t* lum, uint8_t* out) const {
    const auto pack = [](int b, int g, int r) {
        return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
    };
    for (int x = 0; x < params_.width; ++x) {
        const uint16_t word = pack(lum[x], lum[x], lum[x]);
        std::memcpy(out + 2 * x, &word, sizeof word);
    }
    if (!params_.colour) return;
    for (uint32_t i = rowStart_[y]; i < rowStart_[y + 1]; ++i) {
        const StarPixel& star = starPixels_[i];
        const int level = lum[star.x];
        const uint16_t word = pack(ClampByte(level + star.db), ClampByte(level + star.dg),
                                   ClampByte(level + star.dr));
        std::memcpy(out + 2 * star.x, &word, sizeof word);
    }
}

void SimSky::WritePackedYuvRow(int y, const uint8_t* lum, uint8_t* out, bool uyvy) const {
    const int w = params_.width;
    const int lumaAt = uyvy ? 1 : 0;    // byte of Y0 within a pixel pair
    const int chromaAt = uyvy ? 0 : 1;  // byte of U; V follows two bytes later
    int pair = 0;
    if constexpr (kLittleEndian) {
        // Two pixel pairs per 64-bit store, the chroma bytes neutral.
        const uint64_t grey = uyvy ? 0x0080008000800080u : 0x8000800080008000u;
        const int shift = uyvy ? 8 : 0;
        for (; 2 * pair + 3 < w; pair += 2) {
            const uint64_t y0 = lum[2 * pair], y1 = lum[2 * pair + 1];
            const uint64_t y2 = lum[2 * pair + 2], y3 = lum[2 * pair + 3];
            Store64(out + 4 * pair, grey | (y0 | y1 << 16 | y2 << 32 | y3 << 48) << shift);
        }
    }
    for (; 2 * pair < w; ++pair) {
        uint8_t* p = out + 4 * pair;
        p[lumaAt] = lum[2 * pair];
        p[lumaAt + 2] = 2 * pair + 1 < w ? lum[2 * pair + 1] : lum[2 * pair];
        p[chromaAt] = p[chromaAt + 2] = 128;
    }
    if (!params_.colour) return;
    // A pair's chroma is the mean of its two pixels' (0 for a pixel without star light).
    const uint32_t end = rowStart_[y + 1];
    for (uint32_t i = rowStart_[y]; i < end;) {
        const int starPair = starPixels_[i].x / 2;
        int u = 0;
        int v = 0;
        for (; i < end && starPixels_[i].x / 2 == starPair; ++i) {
            u += starPixels_[i].u;
            v += starPixels_[i].v;
        }
        out[4 * starPair + chromaAt] = ClampByte(128 + ((u + 1) >> 1));
        out[4 * starPair + chromaAt + 2] = ClampByte(128 + ((v + 1) >> 1));
    }
}

void SimSky::WriteChromaRows(int chromaRow, uint8_t* uRow, uint8_t* vRow) {
    const size_t chromaWidth = (static_cast<size_t>(params_.width) + 1) / 2;
    std::memset(uRow, 128, chromaWidth);
    std::memset(vRow, 128, chromaWidth);
    if (!params_.colour) return;
    // A chroma sample is the mean over its 2 x 2 pixels (0 for a pixel without star light).
    const uint32_t begin = rowStart_[2 * chromaRow];
    const uint32_t end = rowStart_[std::min(2 * chromaRow + 2, params_.height)];
    for (uint32_t i = begin; i < end; ++i) {
        const StarPixel& star = starPixels_[i];
        chromaSum_[star.x / 2 * 2] = static_cast<int16_t>(chromaSum_[star.x / 2 * 2] + star.u);
        chromaSum_[star.x / 2 * 2 + 1] =
            static_cast<int16_t>(chromaSum_[star.x / 2 * 2 + 1] + star.v);
    }
    for (uint32_t i = begin; i < end; ++i) {
        const int c = starPixels_[i].x / 2;
        uRow[c] = ClampByte(128 + ((chromaSum_[2 * c] + 2) >> 2));
        vRow[c] = ClampByte(128 + ((chromaSum_[2 * c + 1] + 2) >> 2));
    }
    for (uint32_t i = begin; i < end; ++i) {
        const int c = starPixels_[i].x / 2;
        chromaSum_[2 * c] = chromaSum_[2 * c + 1] = 0;
    }
}

template <bool kStudio, typename WriteRow>
void SimSky::RenderPacked(const SimLayout& layout, uint8_t* dst, WriteRow writeRow) {
    uint8_t* lum = lumRow_.data();
    for (int y = 0; y < params_.height; ++y) {
        RenderRow<kStudio>(y, lum);
        writeRow(y, lum, dst + layout.offset[0] + static_cast<size_t>(y) * layout.stride[0]);
    }
}

void SimSky::RenderPlanar(const SimLayout& layout, uint8_t* dst) {
    // I420 keeps U in plane 1 and V in plane 2; YV12 the other way round.
    const int uPlane = layout.format == SimFormat::kYV12 ? 2 : 1;
    const int vPlane = 3 - uPlane;
    for (int y = 0; y < params_.height; ++y) {
        RenderRow<true>(y, dst + layout.offset[0] + static_cast<size_t>(y) * layout.stride[0]);
    }
    for (int c = 0; c < (params_.height + 1) / 2; ++c) {
        WriteChromaRows(
            c, dst + layout.offset[uPlane] + static_cast<size_t>(c) * layout.stride[uPlane],
            dst + layout.offset[vPlane] + static_cast<size_t>(c) * layout.stride[vPlane]);
    }
}

bool SimSky::Render(uint64_t frame, const SimLayout& layout, uint8_t* dst, size_t dstSize) {
    if (dst == nullptr || layout.width != params_.width || layout.height != params_.height ||
        !IsValidSimLayout(layout, dstSize)) {
        return false;
    }
    PrepareFrame(frame);
    switch (layout.format) {
        case SimFormat::kBGR:
            RenderPacked<false>(layout, dst, [this](int y, const uint8_t* lum, uint8_t* row) {
                WriteRgbRow<3>(y, lum, row);
            });
            break;
        case SimFormat::kBGRx:
            RenderPacked<false>(layout, dst, [this](int y, const uint8_t* lum, uint8_t* row) {
                WriteRgbRow<4>(y, lum, row);
            });
            break;
        case SimFormat::kRGB16:
            RenderPacked<false>(layout, dst, [this](int y, const uint8_t* lum, uint8_t* row) {
                WriteRgb16Row(y, lum, row);
            });
            break;
        case SimFormat::kYUY2:
        case SimFormat::kUYVY: {
            const bool uyvy = layout.format == SimFormat::kUYVY;
            RenderPacked<true>(layout, dst, [this, uyvy](int y, const uint8_t* lum, uint8_t* row) {
                WritePackedYuvRow(y, lum, row, uyvy);
            });
            break;
        }
        case SimFormat::kI420:
        case SimFormat::kYV12:
            RenderPlanar(layout, dst);
            break;
    }
    return true;
}

bool SimSky::RenderLuma(uint64_t frame, uint8_t* dst, size_t stride, size_t dstSize) {
    const size_t w = static_cast<size_t>(params_.width);
    const size_t h = static_cast<size_t>(params_.height);
    if (dst == nullptr || stride < w || stride > dstSize || (dstSize - w) / stride < h - 1) {
        return false;
    }
    PrepareFrame(frame);
    for (int y = 0; y < params_.height; ++y) RenderRow<false>(y, dst + y * stride);
    return true;
}

}  // namespace kelpa
