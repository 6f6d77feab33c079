// Video files whose headers were damaged or crafted: frame sizes that no picture can have are
// refused with the reason, without touching freed memory (the suite overwrites freed memory and
// makes GLib's critical warnings fatal while such a file is opened), and the next file plays.
// A header that claims larger frames than the file holds plays with every frame dropped.
#include <gtest/gtest.h>

#include <cstring>

#include "media/file_graph_fixture.h"
#include "support/temp_files.h"

namespace kelpa::test {
namespace {

using kelpa::testing::CapturedLog;

// Writes the frame size an AVI claims into both of its headers: the main header ("avih", width
// and height at bytes 32 and 36 of its data) and the video stream's bitmap header ("strf",
// width and height at bytes 4 and 8).
std::string WithClaimedSize(std::string avi, int32_t width, int32_t height) {
    const auto put = [&avi](const char* chunk, size_t offset, int32_t a, int32_t b) {
        const size_t at = avi.find(chunk);
        if (at == std::string::npos) return false;
        std::memcpy(avi.data() + at + 8 + offset, &a, 4);
        std::memcpy(avi.data() + at + 8 + offset + 4, &b, 4);
        return true;
    };
    EXPECT_TRUE(put("avih", 32, width, height) && put("strf", 4, width, height));
    return avi;
}

// GLib's critical warnings (a reference count gone wrong) end the test binary while alive.
class FatalCriticals {
  public:
    FatalCriticals()
        : previous_(g_log_set_always_fatal(static_cast<GLogLevelFlags>(
              G_LOG_FATAL_MASK | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING))) {}
    ~FatalCriticals() { g_log_set_always_fatal(previous_); }
    FatalCriticals(const FatalCriticals&) = delete;
    FatalCriticals& operator=(const FatalCriticals&) = delete;

  private:
    GLogLevelFlags previous_;
};

struct ClaimedSize {
    const char* name;
    int32_t width;
    int32_t height;
};

void PrintTo(const ClaimedSize& c, std::ostream* out) {
    *out << c.width << " x " << c.height;
}

class CraftedSizeTest : public FileGraphTest, public ::testing::WithParamInterface<ClaimedSize> {
  protected:
    std::string Crafted(int32_t width, int32_t height) {
        const std::string small = Clip("small.avi", {"I420", 64, 48, 25, 1, 5, nullptr, "avimux"});
        kelpa::testing::WriteFile(dir.File("crafted.avi"),
                                  WithClaimedSize(kelpa::testing::ReadFile(small), width, height));
        return dir.File("crafted.avi");
    }
};

TEST_P(CraftedSizeTest, ImpossibleFrameSizeIsRefusedWithTheReason) {
    const ClaimedSize& claimed = GetParam();
    const std::string path = Crafted(claimed.width, claimed.height);
    {
        FatalCriticals fatal;
        EXPECT_TRUE(Failed(graph.PlayVideoFile(path.c_str())));
    }
    EXPECT_TRUE(notice.Showed("Can't render video file"));
    EXPECT_EQ(graph.FailureReason(), "the video stream's frame size " +
                                         std::to_string(claimed.width) + " x " +
                                         std::to_string(claimed.height) + " cannot be shown");
    EXPECT_FALSE(graph.Built());
    EXPECT_EQ(ctrl.Control(), nullptr);
    Play(Clip("good.avi", {"I420", 160, 120, 25, 1, 3, nullptr, "avimux"}));
    EXPECT_EQ(graph.FailureReason(), "");
    EXPECT_EQ(RunToEnd(), 2);
}

INSTANTIATE_TEST_SUITE_P(Headers, CraftedSizeTest,
                         ::testing::Values(ClaimedSize{"ZeroWidth", 0, 48},
                                           ClaimedSize{"ZeroHeight", 64, 0},
                                           ClaimedSize{"LargestWidth", 2147483647, 48},
                                           ClaimedSize{"NegativeWidth", -64, 48},
                                           ClaimedSize{"TenGigapixels", 100000, 100000}),
                         [](const auto& p) { return std::string(p.param.name); });

// A header that claims twice the rows the frames hold: every frame is shorter than its format
// says, so each is dropped and counted, and the log says so once.
TEST_F(CraftedSizeTest, FramesShorterThanTheHeaderSaysAreDroppedAndCounted) {
    graph.SetShowPausedFrames(false);
    const std::string path = Crafted(64, 96);
    CapturedLog::Start();
    {
        FatalCriticals fatal;
        Play(path);
    }
    RunToEnd();
    EXPECT_EQ(ctrl.sink.samplesReceived.load(), 0u);
    EXPECT_EQ(ctrl.sink.samplesDropped.load(), 5u);
    int logged = 0;
    for (const std::string& line : CapturedLog::Lines()) {
        logged += line.find("is shorter than the") != std::string::npos;
    }
    EXPECT_EQ(logged, 1);
}

}  // namespace
}  // namespace kelpa::test
