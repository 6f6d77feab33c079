// A video controller fed with synthetic frames, shown in the Qt windows on the offscreen
// platform.
#pragma once

#include <QApplication>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "gui/gui_test_support.h"
#include "video/video_ctrl.h"

namespace kelpa::test {

// Shows a window at a client size and lets the window system settle.
inline void ShowAt(QWidget& window, int width, int height) {
    window.resize(width, height);
    window.show();
    QApplication::processEvents();
}

class WindowsTest : public ::testing::Test {
  protected:
    WindowsTest() { InitClipTable(); }

    // Connects an uncompressed 24-bit format (rows top first) or YUY2 (rows stored bottom
    // first once converted) of w x h.
    void Connect(bool yuy2, int32_t w, int32_t h) {
        width_ = w;
        yuy2_ = yuy2;
        BitmapInfoHeader header{.width = w,
                                .height = yuy2 ? h : -h,
                                .bitCount = uint16_t(yuy2 ? 16 : 24),
                                .compression = yuy2 ? kFormatYuy2 : kFormatRgb};
        ASSERT_TRUE(ctrl.sink.SetSourceHeader(header));
        sample.assign(ctrl.sink.geometry.srcRequiredSize, 0);
        // Black: Y 16, U and V 128.
        for (size_t i = 0; yuy2 && i < sample.size(); ++i) sample[i] = i % 2 ? 128 : 16;
    }
    // A scene black but for a white block in its top-left corner, fed as one sample.
    void FeedCornerScene(int32_t blockWidth, int32_t blockHeight) {
        for (int32_t y = 0; y < blockHeight; ++y)
            for (int32_t x = 0; x < blockWidth; ++x) {
                if (yuy2_) {
                    uint8_t* pair = sample.data() + size_t(y) * width_ * 2 + size_t(x / 2) * 4;
                    pair[(x % 2) * 2] = 235;
                    pair[1] = pair[3] = 128;
                } else {
                    std::memset(sample.data() + size_t(y) * Stride24(width_) + 3 * size_t(x), 255,
                                3);
                }
            }
        ctrl.sink.SampleCB(0.0, sample.data(), sample.size());
    }
    // Writes the processed picture directly: `paint(x, y, pixel)` for each pixel as stored
    // (blue, green, red).
    template <typename Paint>
    void PaintProcessed(Paint paint) {
        ProcSurf& surf = ctrl.sink.engine.surf;
        std::lock_guard lock(surf.PictureLock());
        FrameBuffer& p = surf.Picture();
        for (int32_t y = 0; y < p.height; ++y)
            for (int32_t x = 0; x < p.width; ++x)
                paint(x, y, p.data + size_t(p.stride) * y + 3 * x);
    }
    void PaintProcessedGrey(uint8_t level) {
        PaintProcessed([level](int32_t, int32_t, uint8_t* px) { std::memset(px, level, 3); });
    }

    MemoryProfile profile;
    const bool autoOff_ = [this] { return profile.WriteString("kelpa", "ProcAuto", "0"); }();
    FakeClock clock;
    VideoCtrl ctrl{clock};
    std::vector<uint8_t> sample;
    int32_t width_ = 0;
    bool yuy2_ = false;
};

}  // namespace kelpa::test
