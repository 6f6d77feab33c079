// Frames for the converter tests: the formats with their fast and reference converters,
// source layouts (packed, GStreamer-like, oddly padded), exactly sized source buffers and
// destination buffers with guard bytes; and a run on every instruction set.
#pragma once

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "video/convert.h"
#include "video/convert_reference.h"

namespace kelpa::testing {

struct FormatCase {
    const char* name;
    uint32_t code;
    uint32_t bits;
    Converter fast;
    Converter reference;
};

inline const std::vector<FormatCase>& AllFormats() {
    static const std::vector<FormatCase> formats = {
        {"YUY2", kFormatYuy2, 16, Yuy2ToRgb24, reference::Yuy2ToRgb24},
        {"UYVY", kFormatUyvy, 16, UyvyToRgb24, reference::UyvyToRgb24},
        {"I420", kFormatI420, 12, I420ToRgb24, reference::I420ToRgb24},
        {"YV12", kFormatYv12, 12, Yv12ToRgb24, reference::Yv12ToRgb24},
        {"RGB24", kFormatRgb, 24, CopyRgb24, reference::CopyRgb24},
        {"RGB32", kFormatRgb, 32, Rgb32ToRgb24, reference::Rgb32ToRgb24},
    };
    return formats;
}

enum class Layout { kPacked, kGStreamer, kOddPadding };
inline constexpr Layout kAllLayouts[] = {Layout::kPacked, Layout::kGStreamer, Layout::kOddPadding};

// The geometry of a frame in the given layout. kGStreamer follows GStreamer's default video
// layout (rows of every plane padded to 4 bytes, planar heights rounded up to even);
// kOddPadding puts every plane at an odd offset with odd row strides and gaps between planes.
inline ConvGeometry LayoutGeometry(const FormatCase& f, int32_t w, int32_t h, Layout layout) {
    ConvGeometry g = MakeConvGeometry(f.code, f.bits, w, h);
    const uint32_t cw = (w + 1) / 2;
    const uint32_t ch = (h + 1) / 2;
    if (layout == Layout::kGStreamer && f.bits == 12) {  // planar
        const uint32_t ys = (w + 3) & ~3u;               // rows padded to 4 bytes
        const uint32_t cs = (cw + 3) & ~3u;
        const uint32_t evenH = h + (h & 1);
        const uint32_t first = ys * evenH;
        const uint32_t second = first + cs * (evenH / 2);
        const bool uFirst = f.code != kFormatYv12;
        g.planeStride[0] = ys;
        g.planeStride[1] = g.planeStride[2] = cs;
        g.planeOffset[0] = 0;
        g.planeOffset[1] = uFirst ? first : second;
        g.planeOffset[2] = uFirst ? second : first;
    } else if (layout == Layout::kOddPadding) {
        if (f.bits == 12) {
            g.planeStride[0] = w + 13;
            g.planeStride[1] = cw + 5;
            g.planeStride[2] = cw + 9;
            g.planeOffset[0] = 7;
            g.planeOffset[1] = 7 + g.planeStride[0] * h + 3;
            g.planeOffset[2] = g.planeOffset[1] + g.planeStride[1] * ch + 11;
        } else {
            g.planeStride[0] = g.srcStride + 13;
            g.planeOffset[0] = 7;
        }
    }
    UpdateRequiredSize(g, f.code);
    return g;
}

inline constexpr size_t kGuard = 64;
inline constexpr uint8_t kGuardByte = 0xA5;

// A source of exactly srcRequiredSize bytes (so that the address sanitizer sees any read
// beyond it) and a destination of height * dstStride bytes between guard bytes.
class Frame {
  public:
    explicit Frame(const ConvGeometry& g) : g_(g) {
        src_ = std::make_unique<uint8_t[]>(g.srcRequiredSize);
        dst_.assign(2 * kGuard + size_t{g.dstStride} * g.height, kGuardByte);
    }
    // Random bytes; with `edges`, half of them the levels where clamping and rounding turn
    // (the ends of the range, of the video range and the middle).
    void Randomise(uint32_t seed, bool edges = false) {
        static constexpr uint8_t kEdges[] = {0, 1, 15, 16, 127, 128, 129, 235, 240, 254, 255};
        std::mt19937 rng(seed);
        for (uint32_t i = 0; i < g_.srcRequiredSize; ++i) {
            const uint32_t r = rng();
            src_[i] = static_cast<uint8_t>(edges && r % 2 ? kEdges[r / 2 % std::size(kEdges)] : r);
        }
    }
    const ConvGeometry& Geometry() const { return g_; }
    uint8_t* Src() { return src_.get(); }
    // The reference's picture between fresh guards.
    std::vector<uint8_t> Expected(const FormatCase& f) {
        std::fill(dst_.begin(), dst_.end(), kGuardByte);
        f.reference(dst_.data() + kGuard, Src(), g_);
        return dst_;
    }
    // Converts with `fast` over fresh guards; gives the index of the first byte (guards
    // included) that differs from `expected`, or -1.
    long FirstMismatchWith(const std::vector<uint8_t>& expected, Converter fast) {
        std::fill(dst_.begin(), dst_.end(), kGuardByte);
        fast(dst_.data() + kGuard, Src(), g_);
        const auto diff = std::mismatch(expected.begin(), expected.end(), dst_.begin());
        return diff.first == expected.end() ? -1 : static_cast<long>(diff.first - expected.begin());
    }
    // The converted pixels of one output row (blue, green, red), padding left out.
    std::vector<uint8_t> Row(int32_t row) const {
        const auto start = dst_.begin() + kGuard + size_t{g_.dstStride} * row;
        return std::vector<uint8_t>(start, start + 3 * g_.width);
    }
    // True when the guards and every row's padding still hold the guard byte.
    bool OutsideUntouched() const {
        const auto untouched = [this](size_t from, size_t to) {
            return std::all_of(dst_.begin() + from, dst_.begin() + to,
                               [](uint8_t b) { return b == kGuardByte; });
        };
        const size_t rowBytes = 3 * static_cast<size_t>(g_.width);
        for (int32_t row = 0; row < g_.height; ++row) {
            const size_t start = kGuard + size_t{g_.dstStride} * row;
            if (!untouched(start + rowBytes, start + g_.dstStride)) return false;
        }
        return untouched(0, kGuard) && untouched(dst_.size() - kGuard, dst_.size());
    }

  private:
    ConvGeometry g_;
    std::unique_ptr<uint8_t[]> src_;
    std::vector<uint8_t> dst_;
};

// Runs `body(target)` once for every instruction set in `built` that this processor supports,
// with the dispatch restricted to it, until a fatal failure; the normal choice is restored.
template <typename Body>
void ForEachTarget(int64_t built, Body&& body) {
    const int64_t available = built & hwy::SupportedTargets();
#if HWY_ARCH_X86
    ASSERT_NE(available & (available - 1), 0);  // a vector target besides the scalar fallback
#endif
    ASSERT_NE(available, 0);
    for (int64_t bits = available; bits != 0 && !::testing::Test::HasFatalFailure();
         bits &= bits - 1) {
        const int64_t target = bits & -bits;
        SCOPED_TRACE(hwy::TargetName(target));
        hwy::SetSupportedTargetsForTest(target);
        body(target);
        hwy::SetSupportedTargetsForTest(0);
    }
}

}  // namespace kelpa::testing
