// A video controller fed with synthetic frames, shown in the Qt windows on the offscreen
// platform, and the helpers that read the grabbed window images.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "support/test_support.h"
#include "video/convert.h"
#include "video/video_ctrl.h"

namespace kelpa::test {

// The window's client area as the screen has it, one pixel per device pixel.
inline QImage Grab(QWidget& window) {
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// With KELPA_GRAB_DIR set, a grabbed image is also written there as a PNG file to look at.
inline void KeepGrab(const QImage& image, const char* name) {
    const QByteArray dir = qgetenv("KELPA_GRAB_DIR");
    if (!dir.isEmpty()) image.save(QString::fromUtf8(dir) + "/" + name);
}

inline QRgb Rgb(int red, int green, int blue) {
    return qRgb(red, green, blue);
}

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
        height_ = h;
        yuy2_ = yuy2;
        BitmapInfoHeader header{.width = w,
                                .height = yuy2 ? h : -h,
                                .bitCount = uint16_t(yuy2 ? 16 : 24),
                                .compression = yuy2 ? kFormatYuy2 : kFormatRgb};
        ASSERT_TRUE(ctrl.sink.SetSourceHeader(header));
        sample.assign(ctrl.sink.geometry.srcRequiredSize, 0);
    }
    // One sample pixel, counted from the top-left of the scene: white or black.
    void SetSamplePixel(int32_t x, int32_t y, bool white) {
        if (yuy2_) {
            uint8_t* pair = sample.data() + size_t(y) * width_ * 2 + size_t(x / 2) * 4;
            pair[(x % 2) * 2] = white ? 235 : 16;
            pair[1] = pair[3] = 128;
        } else {
            std::memset(sample.data() + size_t(y) * Stride24(width_) + 3 * size_t(x),
                        white ? 255 : 0, 3);
        }
    }
    // A scene black but for a white block in its top-left corner.
    void CornerScene(int32_t blockWidth, int32_t blockHeight) {
        for (int32_t y = 0; y < height_; ++y)
            for (int32_t x = 0; x < width_; ++x)
                SetSamplePixel(x, y, x < blockWidth && y < blockHeight);
    }
    void Feed() { ctrl.sink.SampleCB(0.0, sample.data(), sample.size()); }

    // Writes the processed picture directly: `pixel` (x, y as stored) gets `bgr`.
    void PaintProcessed(uint8_t blue, uint8_t green, uint8_t red) {
        ProcSurf& surf = ctrl.sink.engine.surf;
        std::lock_guard lock(surf.PictureLock());
        FrameBuffer& p = surf.Picture();
        for (int32_t y = 0; y < p.height; ++y)
            for (int32_t x = 0; x < p.width; ++x) {
                uint8_t* px = p.data + size_t(p.stride) * y + 3 * size_t(x);
                px[0] = blue;
                px[1] = green;
                px[2] = red;
            }
    }

    MemoryProfile profile;
    const bool autoOff_ = [this] { return profile.WriteString("kelpa", "ProcAuto", "0"); }();
    FakeClock clock;
    VideoCtrl ctrl{clock};
    std::vector<uint8_t> sample;
    int32_t width_ = 0;
    int32_t height_ = 0;
    bool yuy2_ = false;
};

}  // namespace kelpa::test
