// Files that cannot be played: garbage, cut short, empty, missing, a folder, and AVI headers
// crafted to claim frame sizes no picture can have. Each fails with "Can't render video file"
// (a crafted size with the reason) without touching freed memory (the suite overwrites freed
// memory and GLib's critical warnings are fatal while such a file is opened), and the next file
// plays. A header that claims larger frames than the file holds plays with every frame dropped.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

#include "media/file_graph_fixture.h"

namespace kelpa::test {
namespace {

using kelpa::testing::CapturedLog;
using kelpa::testing::ReadFile;
using kelpa::testing::WriteFile;

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

class UnplayableFileTest : public FileGraphTest {
  protected:
    // A file cut inside its headers can stall the demuxer instead of failing it.
    UnplayableFileTest() { graph.SetPrerollStall(std::chrono::milliseconds(500)); }
    // A small AVI whose two headers claim this frame size: the main header ("avih", width and
    // height at bytes 32 and 36 of its data) and the stream's bitmap header ("strf", 4 and 8).
    std::string Crafted(int32_t width, int32_t height) {
        std::string avi =
            ReadFile(Clip("small.avi", {"I420", 64, 48, 25, 1, 5, nullptr, "avimux"}));
        for (const auto& [chunk, offset] : {std::pair{"avih", 32}, std::pair{"strf", 4}}) {
            const size_t at = avi.find(chunk);
            EXPECT_NE(at, std::string::npos) << chunk;
            std::memcpy(avi.data() + at + 8 + offset, &width, 4);
            std::memcpy(avi.data() + at + 12 + offset, &height, 4);
        }
        WriteFile(dir.File("crafted.avi"), avi);
        return dir.File("crafted.avi");
    }
};

TEST_F(UnplayableFileTest, FailsWithCantRenderAndTheNextFilePlays) {
    std::mt19937 rng(7);
    std::string garbage(65536, '\0');
    for (char& byte : garbage) byte = static_cast<char>(rng());
    WriteFile(dir.File("garbage.avi"), garbage);
    WriteFile(dir.File("empty.avi"), "");
    std::string cut = ReadFile(Clip("whole.avi", {"I420", 160, 120, 25, 1, 5, nullptr, "avimux"}));
    cut.resize(400);  // inside the headers
    WriteFile(dir.File("cut.avi"), cut);
    const std::string good = Clip("good.avi", {"I420", 160, 120, 25, 1, 3, nullptr, "avimux"});
    const struct {
        std::string path;
        int32_t claimedWidth;  // with claimedHeight, a crafted header's size
        int32_t claimedHeight;
    } cases[] = {{dir.File("garbage.avi"), 0, 0},
                 {dir.File("cut.avi"), 0, 0},
                 {dir.File("empty.avi"), 0, 0},
                 {dir.File("no such file.avi"), 0, 0},
                 {dir.Path(), 0, 0},
                 {"", 0, 48},
                 {"", 64, 0},
                 {"", 2147483647, 48},
                 {"", -64, 48},
                 {"", 100000, 100000}};
    for (const auto& c : cases) {
        const bool crafted = c.path.empty();
        const std::string path = crafted ? Crafted(c.claimedWidth, c.claimedHeight) : c.path;
        SCOPED_TRACE(crafted
                         ? std::to_string(c.claimedWidth) + " x " + std::to_string(c.claimedHeight)
                         : path);
        notice.status.clear();
        notice.warnings.clear();
        {
            FatalCriticals fatal;
            EXPECT_TRUE(Failed(graph.PlayVideoFile(path.c_str())));
        }
        EXPECT_TRUE(notice.Showed("Can't render video file"));
        if (crafted) {
            EXPECT_EQ(graph.FailureReason(),
                      "the video stream's frame size " + std::to_string(c.claimedWidth) + " x " +
                          std::to_string(c.claimedHeight) + " cannot be shown");
        }
        EXPECT_FALSE(graph.Built());
        EXPECT_EQ(ctrl.Control(), nullptr);
        Play(good);
        EXPECT_EQ(graph.FailureReason(), "");
        EXPECT_EQ(RunToEnd(), 2);
    }
}

// A header that claims twice the rows the frames hold: every frame is shorter than its format
// says, so each is dropped and counted, and the log says so once.
TEST_F(UnplayableFileTest, FramesShorterThanTheHeaderSaysAreDroppedAndCounted) {
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
