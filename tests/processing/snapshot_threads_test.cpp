// What a second thread reads while frames flow: a statistics snapshot never holds numbers of two
// frames, and a copy of the processed picture never holds parts of two pictures. Run under
// ThreadSanitizer in the tsan build.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

#include "processing/sky_frames.h"
#include "support/test_support.h"
#include "video/frame_sink.h"

namespace kelpa::test {
namespace {

constexpr int32_t kWidth = 96;
constexpr int32_t kHeight = 72;
constexpr int kFrames = 500;

// Frame k: a flat sky whose level and whose one star's place change with every frame.
std::vector<std::vector<uint8_t>> ChangingSky() {
    std::vector<std::vector<uint8_t>> frames;
    std::mt19937 rng(3);
    TestPicture picture(kWidth, kHeight);
    for (int k = 0; k < kFrames; ++k) {
        SkyScene sky;
        sky.sky = 20 + k % 37;
        sky.noiseRms = 0;
        sky.stars = {StarShape{30.0 + k % 36, 24.0 + (k / 3) % 24, 180.0, 1.3}};
        RenderScene(picture, sky, rng);
        frames.push_back(picture.bytes);
    }
    return frames;
}

// The numbers a snapshot must hold together.
auto Numbers(const StatisticsSnapshot& s) {
    return std::make_tuple(s.frame, s.time, s.histMin, s.histMax, s.mean, s.rms, s.bkgr, s.bkgrRms,
                           s.starX, s.starY, s.starThreshold, s.pixelValue);
}

// A sink of top-down RGB24 frames with the guide on and the statistics wanted.
struct GuidedSink : FrameObserver {
    GuidedSink() : sink(nullptr, clock) {
        sink.isLive = true;
        sink.engine.params.autoFlags.store(0);
        BitmapInfoHeader header;
        header.width = kWidth;
        header.height = -kHeight;
        header.bitCount = 24;
        EXPECT_TRUE(sink.SetSourceHeader(header));
        sink.ApplyFrameRate(25.0);
        sink.engine.SetGuideEnable(true);
        sink.engine.statisticsWanted.store(true);
    }
    void FrameProcessed(const StatisticsSnapshot& s) override { seen.push_back(s); }
    void Feed(const std::vector<std::vector<uint8_t>>& frames) {
        for (size_t k = 0; k < frames.size(); ++k) {
            sink.SampleCB(k / 25.0, frames[k].data(), frames[k].size());
        }
    }

    MemoryProfile profile;
    FakeClock clock;
    FrameSink sink;
    std::vector<StatisticsSnapshot> seen;
};

TEST(SnapshotThreadsTest, ASnapshotHoldsTheNumbersOfOneFrame) {
    const auto frames = ChangingSky();
    // The truth: every frame's snapshot as the frame observer saw it on the streaming thread.
    GuidedSink reference;
    reference.sink.SetObserver(&reference);
    reference.Feed(frames);
    const std::vector<StatisticsSnapshot>& truth = reference.seen;
    ASSERT_EQ(truth.size(), size_t{kFrames});
    for (int k = 1; k < kFrames; ++k) {
        // The scene really changes every frame: mixing two frames would show.
        ASSERT_NE(truth[k].mean, truth[k - 1].mean) << k;
        ASSERT_NE(std::pair(truth[k].starX, truth[k].starY),
                  std::pair(truth[k - 1].starX, truth[k - 1].starY))
            << k;
    }

    GuidedSink f;
    f.sink.engine.surf.SetVisible(true);
    std::atomic<bool> done{false};
    std::thread streaming([&] {
        f.Feed(frames);
        done.store(true);
    });
    // The GUI thread: the newest snapshot and a copy of the processed picture, again and again.
    int snapshots = 0;
    int copies = 0;
    PictureCopy copy;
    StatisticsSnapshot s;
    for (bool last = false; !last;) {
        last = done.load();
        if (f.sink.events.TakeStatistics(&s)) {
            ASSERT_GE(s.frame, 1u);
            ASSERT_LE(s.frame, truth.size());
            ASSERT_EQ(Numbers(s), Numbers(truth[s.frame - 1]));
            ++snapshots;
        }
        if (f.sink.engine.surf.CopyPicture(&copy)) {
            // Every corner lies outside the area and is written in one piece: one sky level.
            const FrameBuffer& p = copy.Picture();
            const auto at = [&](int32_t x, int32_t y) { return p.data[y * p.stride + 3 * x]; };
            ASSERT_EQ(at(0, 0), at(kWidth - 1, kHeight - 1));
            ASSERT_EQ(at(kWidth - 1, 0), at(0, kHeight - 1));
            ASSERT_EQ(at(0, 0), at(kWidth - 1, 0));
            ++copies;
        }
    }
    streaming.join();
    // The last frame's snapshot is the one left in the mailbox.
    if (f.sink.events.TakeStatistics(&s)) ++snapshots;
    EXPECT_EQ(Numbers(s), Numbers(truth.back()));
    EXPECT_GT(snapshots, 0);
    EXPECT_GT(copies, 0);
}

}  // namespace
}  // namespace kelpa::test
