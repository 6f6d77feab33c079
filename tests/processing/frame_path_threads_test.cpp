// The frame path under both threads at once, for ThreadSanitizer: a streaming thread feeds RGB24
// sky frames to SampleCB while the GUI thread changes every setting the user can reach, or reads
// statistics snapshots (which never hold numbers of two frames) and copies of the processed
// picture (which never hold parts of two pictures). Also: nothing is allocated per frame.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <functional>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

#include "processing/sky_frames.h"
#include "support/test_support.h"
#include "video/frame_sink.h"
#include "video/new_counter.h"

namespace kelpa::test {
namespace {

constexpr int32_t kWidth = 96;
constexpr int32_t kHeight = 72;
using Frames = std::vector<std::vector<uint8_t>>;

Frames SkyFrames(int count, const std::function<SkyScene(int)>& sceneOfFrame) {
    Frames frames;
    std::mt19937 rng(12);
    TestPicture picture(kWidth, kHeight);
    for (int k = 0; k < count; ++k) {
        RenderScene(picture, sceneOfFrame(k), rng);
        frames.push_back(picture.bytes);
    }
    return frames;
}

// Banded sky frames with a moving star and a bright one, grey and colour in turn.
Frames BandedSky(int count) {
    return SkyFrames(count, [](int i) {
        SkyScene sky{.sky = 25,
                     .stars = {{40.0 + i, 30.0 + i % 5, 160.0, 1.5}, {70, 50, 250, 1.0}}};
        sky.colour = i % 2;
        for (int32_t y = 0; y < kHeight; ++y) sky.rowOffset.push_back((y * 7) % 9 - 4);
        return sky;
    });
}

// A sink of top-down RGB24 frames at 25 frames a second with the guide on and the statistics
// wanted, the automatic control off.
struct SinkFixture {
    SinkFixture() : sink(nullptr, clock) {
        sink.isLive = true;
        sink.engine.params.autoFlags.store(0);
        EXPECT_TRUE(sink.SetSourceHeader(
            BitmapInfoHeader{.width = kWidth, .height = -kHeight, .bitCount = 24}));
        sink.ApplyFrameRate(25.0);
        sink.engine.SetGuideEnable(true);
        sink.engine.statisticsWanted.store(true);
    }
    void Feed(const Frames& frames, int count, int first = 0) {
        for (int k = first; k < first + count; ++k) {
            const std::vector<uint8_t>& frame = frames[size_t(k) % frames.size()];
            sink.SampleCB(k / 25.0, frame.data(), frame.size());
        }
    }
    MemoryProfile profile;
    FakeClock clock;
    FrameSink sink;
};

// One random change of a setting, as the menus, the settings panel and the area editing make.
using Change = void (*)(ProcEngine& e, std::mt19937& rng);
const Change kChanges[] = {
    [](ProcEngine& e, std::mt19937& rng) { e.SetCountAccum(1 + int32_t(rng() % 6)); },
    [](ProcEngine& e, std::mt19937& rng) { e.SetTimeDelay(rng() % 3 ? 0 : 40); },
    [](ProcEngine& e, std::mt19937& rng) { e.SetGamma(int32_t(1 + rng() % 256)); },
    [](ProcEngine& e, std::mt19937& rng) { e.SetAmp(int32_t(64 + rng() % 300)); },
    [](ProcEngine& e, std::mt19937& rng) { e.params.autoFlags.store(rng() % 8); },
    [](ProcEngine& e, std::mt19937& rng) { e.SetNR(rng() % 2, rng() % 2); },
    [](ProcEngine& e, std::mt19937& rng) { e.SetGuideEnable(rng() % 4 != 0); },
    [](ProcEngine& e, std::mt19937& rng) { e.SetGuideAutoMoveSetting(rng() % 2); },
    [](ProcEngine& e, std::mt19937& rng) { e.SetGuideRefine(rng() % 2); },
    [](ProcEngine& e, std::mt19937& rng) { e.SetVirtualGuideActive(rng() % 2); },
    [](ProcEngine& e, std::mt19937& rng) {
        e.SetChannel(std::array{-2, -1, 0, 1, 2, 3}[rng() % 6]);
    },
    [](ProcEngine& e, std::mt19937& rng) { e.SetVariant(FourCC(rng() % 2 ? "Accm" : "AcRB")); },
    [](ProcEngine& e, std::mt19937& rng) { e.SetOutsideAsIs(rng() % 2); },
    [](ProcEngine& e, std::mt19937& rng) {
        // "Flip Vertical": the flag, then the processed surface and the area under chainLock.
        const bool flip = rng() % 2;
        std::lock_guard lock(e.chainLock);
        e.params.flipV.store(flip ? 1 : 0);
        e.surf.SetFlip(flip);
        e.ApplyArea();
    },
    [](ProcEngine& e, std::mt19937& rng) {
        e.SetAreaFractions(0.3f + 0.1f * (rng() % 5), 0.5f, 0.4f + 0.15f * (rng() % 5), 0.7f);
    },
    [](ProcEngine& e, std::mt19937& rng) { e.MoveArea(int32_t(rng() % 40), int32_t(rng() % 30)); },
    [](ProcEngine& e, std::mt19937& rng) { e.SetBlackLevel(int32_t(rng() % 20) - 10); },
};

TEST(FramePathThreadsTest, SettingsChangeWhileFramesFlow) {
    SinkFixture f;
    ProcEngine& e = f.sink.engine;
    RecordingReceiver window;
    f.sink.events.SetReceiver(&window);
    e.surf.SetVisible(true);
    e.SetNR(true, true);
    e.SetCountAccum(3);
    e.params.autoFlags.store(kAutoAll);
    const Frames frames = BandedSky(8);
    std::atomic<bool> done{false};
    std::thread streaming([&] {
        f.Feed(frames, 400);
        done.store(true);
    });
    std::mt19937 rng(13);
    int changes = 0;
    for (; !done.load(); ++changes) {
        kChanges[rng() % std::size(kChanges)](e, rng);
        // The statistics window reads the published numbers without a lock.
        (void)(e.mean.load() + e.bkgr.load() + e.starX.load());
    }
    streaming.join();
    EXPECT_GT(changes, 0);
    EXPECT_GT(window.Count(StreamEvent::kProcessedPicture), 0);
    EXPECT_GT(window.Count(StreamEvent::kStatistics), 0);
}

// The numbers a snapshot must hold together.
auto Numbers(const StatisticsSnapshot& s) {
    return std::make_tuple(s.frame, s.time, s.histMin, s.histMax, s.mean, s.rms, s.bkgr, s.bkgrRms,
                           s.starX, s.starY, s.starThreshold, s.pixelValue);
}

struct SnapshotRecorder : FrameObserver {
    void FrameProcessed(const StatisticsSnapshot& s) override { seen.push_back(s); }
    std::vector<StatisticsSnapshot> seen;
};

TEST(SnapshotThreadsTest, ASnapshotHoldsTheNumbersOfOneFrame) {
    // Frame k: a flat sky whose level and whose one star's place change with every frame, so
    // that numbers of two frames mixed would show.
    constexpr int kFrames = 500;
    const Frames frames = SkyFrames(kFrames, [](int k) {
        return SkyScene{.sky = 20.0 + k % 37,
                        .noiseRms = 0,
                        .stars = {{30.0 + k % 36, 24.0 + (k / 3) % 24, 180.0, 1.3}}};
    });
    // The truth: every frame's snapshot as the frame observer saw it on the streaming thread.
    SinkFixture reference;
    SnapshotRecorder recorder;
    reference.sink.SetObserver(&recorder);
    reference.Feed(frames, kFrames);
    const std::vector<StatisticsSnapshot>& truth = recorder.seen;
    ASSERT_EQ(truth.size(), size_t{kFrames});

    SinkFixture f;
    f.sink.engine.surf.SetVisible(true);
    std::atomic<bool> done{false};
    std::thread streaming([&] {
        f.Feed(frames, kFrames);
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

// The frame path allocates nothing per frame, whatever it does: every processor and variant,
// sums of one and of several frames, banding, statistics, the guide with auto move and its star
// metrics (the refined centre on for sums of several frames), and the automatic control
// changing the amplification (which re-renders the area).
TEST(FramePathThreadsTest, NothingIsAllocatedPerFrame) {
    struct : StreamEventReceiver {
        void Notify(StreamEvents& source, StreamEvent kind) override { source.Acknowledge(kind); }
    } target;  // a recorder would allocate
    SinkFixture f;
    ProcEngine& e = f.sink.engine;
    f.sink.events.SetReceiver(&target);
    e.surf.SetVisible(true);
    e.SetNR(true, true);
    e.SetGuideAutoMoveSetting(true);
    const Frames frames = BandedSky(4);
    for (int32_t channel : {-2, -1, 3, 0}) {
        for (uint32_t variant : {FourCC("Accm"), FourCC("AcRB")}) {
            for (int32_t count : {1, 3}) {
                e.SetChannel(channel);
                e.SetVariant(variant);
                e.SetAreaFractions(0.5f, 0.5f, count == 1 ? 1.0f : 0.6f, 0.7f);
                e.SetAmp(40);  // dim: the automatic control raises it and refreshes
                e.params.autoFlags.store(kAutoAmplification);
                e.SetCountAccum(count);
                e.SetGuideRefine(count > 1);
                f.Feed(frames, 1);
                testing::StartCountingNew();
                f.Feed(frames, 12);
                EXPECT_EQ(testing::StopCountingNew(), 0)
                    << "channel " << channel << " " << variant << " count " << count;
                EXPECT_GT(e.params.amp.load(), 40);  // the chain ran the automatic control
            }
        }
    }
}

}  // namespace
}  // namespace kelpa::test
