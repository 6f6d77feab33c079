// SER files cut short by a crash or a full disk, read back by the tests' own reader, still count
// exactly the frames they hold (whole SER and FITS runs: the capture run test).
#include "video/ser_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include "support/temp_files.h"
#include "video/capture_test_support.h"

namespace kelpa::testing {
namespace {

using Times = std::vector<int64_t>;

// A program that ends without finishing (a crash, limit 0 below) leaves every whole frame
// counted. A full disk, as a file size limit: the frame that does not fit is cut off and the
// count stays at the frames before it; the trailer is written when it still fits, else left
// out. Limits beyond two frames: 0, not a byte of the third frame fits; 8, part of it, not the
// trailer; 100, the trailer fits.
TEST(SerFile, CrashOrFullDiskKeepsTheWholeFramesCounted) {
    const TempDir dir;
    const Picture pic(16, 8, false);
    const CapturePicture view{&pic.fb, false, true};  // bottom-up, in colour
    const size_t twoFrames = kSerHeaderSize + 2 * 16 * 8 * 3;
    SerRunInfo info;
    std::tie(info.width, info.height, info.colour) = std::tuple(16, 8, SerColour::kBgr);
    // The limit, the frames counted and the times of the trailer.
    const std::tuple<size_t, int, Times> cases[] = {
        {0, 3, {}}, {twoFrames, 2, {}}, {twoFrames + 8, 2, {}}, {twoFrames + 100, 2, {1, 2}}};
    for (const auto& [limit, frames, times] : cases) {
        SCOPED_TRACE(limit);
        const std::string path = dir.File(std::to_string(limit) + ".ser");
        EXPECT_EQ(ExitCodeOfChild([&] {
                      SerFile file;
                      int failed = file.Create(path.c_str(), info, 10) != 0;
                      for (int i = 0; i < 2; ++i) failed |= file.Append(view, i + 1) != 0;
                      // The crash: a third frame, then the end without Finish or destructor.
                      if (limit == 0) return failed | (file.Append(view, 3) != 0) << 1;
                      failed |= !LimitProcess(RLIMIT_FSIZE, limit) << 1;
                      failed |= (file.Append(view, 3) != EFBIG) << 2;
                      failed |= (file.FrameCount() != 2) << 3;
                      return failed | (file.Finish() != (times.empty() ? EFBIG : 0)) << 4;
                  }),
                  0);
        SerContent ser;
        ASSERT_TRUE(ReadSer(path, ser));
        EXPECT_EQ(std::tie(ser.frameCount, ser.frames.back(), ser.times),
                  std::tie(frames, pic.image, times));
    }
}

}  // namespace
}  // namespace kelpa::testing
