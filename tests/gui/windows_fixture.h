// A video controller fed with synthetic frames, shown in the Qt windows on the offscreen
// platform.
#pragma once

#include <QApplication>
#include <cstdint>
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
        BitmapInfoHeader header{.width = w,
                                .height = yuy2 ? h : -h,
                                .bitCount = uint16_t(yuy2 ? 16 : 24),
                                .compression = yuy2 ? kFormatYuy2 : kFormatRgb};
        ASSERT_TRUE(ctrl.sink.SetSourceHeader(header));
        sample.assign(ctrl.sink.geometry.srcRequiredSize, 0);
        // Black: Y 16, U and V 128.
        for (size_t i = 0; yuy2 && i < sample.size(); ++i) sample[i] = i % 2 ? 128 : 16;
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

    MemoryProfile profile;
    const bool autoOff_ = [this] { return profile.WriteString("kelpa", "ProcAuto", "0"); }();
    FakeClock clock;
    VideoCtrl ctrl{clock};
    std::vector<uint8_t> sample;
};

}  // namespace kelpa::test
