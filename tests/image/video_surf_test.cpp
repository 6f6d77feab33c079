// The surfaces' picture buffers: geometry, reuse, zero fill, flips and the copies the GUI paints
// from. (The saved file's rows, for every row order and flip: the capture tests in tests/video.)
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <utility>

#include "image/video_surf.h"

namespace kelpa {
namespace {

// Odd widths are padded to four bytes; smaller frames reuse the buffer, zeroed.
TEST(VideoSurfTest, OddWidthsArePaddedAndSmallerFramesReuseAZeroedBuffer) {
    LiveSurf s;
    ASSERT_TRUE(s.Allocate(641, 480));
    const FrameBuffer& p = s.Picture();
    EXPECT_EQ(std::tuple(p.stride, p.imageSize, p.rowPad, p.width, p.height, s.HeaderHeight()),
              std::tuple(1924u, 923520u, 1, 641, 480, 480));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p.data) % 64, 0u);
    uint8_t* first = s.Picture().data;
    first[100] = 7;
    ASSERT_TRUE(s.Allocate(320, -240));
    // The top row first, not flipped.
    EXPECT_EQ(std::tuple(s.Picture().data, s.Picture().data[100], s.Capacity(), s.HeaderHeight()),
              std::tuple(first, 0, 1924u * 480, -240));
    ASSERT_TRUE(s.Allocate(1280, 720));
    EXPECT_EQ(s.Capacity(), 1280u * 3 * 720);
}

// A copy holds the picture and its header as they were, and reuses its memory: a picture of the
// same or a smaller size is copied without growing it. An impossible size leaves the surface
// empty, with nothing to copy.
TEST(VideoSurfTest, CopyHoldsThePictureAndReusesItsMemory) {
    ProcSurf s;
    PictureCopy copy;
    EXPECT_TRUE(!s.CopyPicture(&copy) && copy.Empty());
    for (const auto& [w, h] : {std::pair{33, -7}, std::pair{33, 7}, std::pair{5, 3}}) {
        ASSERT_TRUE(s.Allocate(w, h));
        s.SetFlip(h > 0);
        FrameBuffer& p = s.Picture();
        for (uint32_t i = 0; i < p.imageSize; ++i) p.data[i] = static_cast<uint8_t>(i * 7 + w);
        const uint8_t* before = copy.Picture().data;
        ASSERT_TRUE(s.CopyPicture(&copy));
        const FrameBuffer& c = copy.Picture();
        EXPECT_NE(c.data, p.data);
        EXPECT_TRUE(!before || c.data == before) << w << "x" << h;
        // The capacity of the first, largest picture.
        EXPECT_EQ(std::tuple(c.width, c.height, c.stride, c.imageSize, copy.Header().height,
                             copy.Header().width, copy.Capacity()),
                  std::tuple(p.width, p.height, p.stride, p.imageSize, s.HeaderHeight(), w,
                             Stride24(33) * 7));
        EXPECT_EQ(0, std::memcmp(c.data, p.data, p.imageSize));
    }
    EXPECT_FALSE(s.Allocate(0x7FFFFFFF, 0x7FFFFFFF));
    EXPECT_EQ(std::tuple(s.Picture().data, s.Picture().imageSize, s.FileHeader().height),
              std::tuple(nullptr, 0u, 0));
    EXPECT_TRUE(!s.CopyPicture(&copy) && copy.Empty());
}

}  // namespace
}  // namespace kelpa
