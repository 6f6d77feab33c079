// The surfaces' picture buffers: geometry, reuse, zero fill, flips and the processed surface's
// file header.
#include <gtest/gtest.h>

#include "image/video_surf.h"

namespace kelpa {
namespace {

TEST(VideoSurfTest, OddWidthsArePaddedToFourBytes) {
    LiveSurf s;
    ASSERT_TRUE(s.Allocate(641, 480));
    const FrameBuffer& p = s.Picture();
    EXPECT_EQ(p.stride, 1924u);
    EXPECT_EQ(p.imageSize, 923520u);
    EXPECT_EQ(p.rowPad, 1);
    EXPECT_EQ(p.width, 641);
    EXPECT_EQ(p.height, 480);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p.data) % 64, 0u);
    EXPECT_EQ(s.HeaderHeight(), 480);
}

TEST(VideoSurfTest, SmallerFramesReuseAZeroedBuffer) {
    LiveSurf s;
    ASSERT_TRUE(s.Allocate(640, 480));
    uint8_t* first = s.Picture().data;
    first[100] = 7;
    ASSERT_TRUE(s.Allocate(320, -240));
    EXPECT_EQ(s.Picture().data, first);
    EXPECT_EQ(s.Picture().data[100], 0);
    EXPECT_EQ(s.Capacity(), 640u * 3 * 480);
    EXPECT_EQ(s.HeaderHeight(), -240);  // top row first, not flipped
    s.SetFlip(true);
    EXPECT_EQ(s.HeaderHeight(), 240);
    s.SetFlip(false);
    EXPECT_EQ(s.HeaderHeight(), -240);
    ASSERT_TRUE(s.Allocate(1280, 720));
    EXPECT_EQ(s.Capacity(), 1280u * 3 * 720);
}

// A saved picture must show what the window shows: the file header carries the display
// header's height, for either row order and either flip.
TEST(VideoSurfTest, ProcessedSurfaceFileHeaderMatchesTheDisplay) {
    struct Case {
        int32_t height;  // as allocated: negative for rows that come top row first
        bool flip;
        int32_t shown;  // the display header's height
    };
    const Case cases[] = {
        {240, false, 240}, {240, true, -240}, {-240, false, -240}, {-240, true, 240}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.height << (c.flip ? " flipped" : ""));
        ProcSurf s;
        ASSERT_TRUE(s.Allocate(100, c.height));
        s.SetFlip(c.flip);
        EXPECT_EQ(s.HeaderHeight(), c.shown);
        const BitmapInfoHeader file = s.FileHeader();
        EXPECT_EQ(file.height, c.shown);
        EXPECT_EQ(file.width, 100);
        EXPECT_EQ(file.bitCount, 24);
        EXPECT_EQ(file.size, 40u);
    }
}

TEST(VideoSurfTest, ImpossibleSizesLeaveAnEmptySurface) {
    ProcSurf s;
    ASSERT_TRUE(s.Allocate(64, 64));
    EXPECT_FALSE(s.Allocate(0x7FFFFFFF, 0x7FFFFFFF));
    EXPECT_EQ(s.Picture().data, nullptr);
    EXPECT_EQ(s.Picture().imageSize, 0u);
    EXPECT_EQ(s.FileHeader().height, 0);
}

}  // namespace
}  // namespace kelpa
