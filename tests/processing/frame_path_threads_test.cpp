// The frame path under both threads at once, for ThreadSanitizer: a streaming thread feeds RGB24
// sky frames to SampleCB with accumulation, banding, automatic control and the guide on, while
// the GUI thread changes every setting the user can reach in the middle of it.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "processing/sky_frames.h"
#include "support/test_support.h"
#include "video/frame_sink.h"
#include "video/new_counter.h"

namespace kelpa::test {
namespace {

constexpr int32_t kWidth = 96;
constexpr int32_t kHeight = 72;

std::vector<std::vector<uint8_t>> SkyFrames(int count) {
    std::vector<std::vector<uint8_t>> frames;
    std::mt19937 rng(12);
    TestPicture picture(kWidth, kHeight);
    for (int i = 0; i < count; ++i) {
        SkyScene sky;
        sky.sky = 25;
        sky.noiseRms = 3;
        sky.colour = i % 2;
        sky.stars = {Star{40.0 + i, 30.0 + i % 5, 160.0, 1.5}, Star{70, 50, 250, 1.0}};
        for (int32_t y = 0; y < kHeight; ++y) sky.rowOffset.push_back((y * 7) % 9 - 4);
        RenderScene(picture, sky, rng);
        frames.push_back(picture.bytes);
    }
    return frames;
}

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

// A sink taking RGB24 sky frames, with banding and the guide on, notifying `receiver`.
struct SinkFixture {
    explicit SinkFixture(StreamEventReceiver& receiver) : sink(nullptr, clock) {
        sink.isLive = true;
        BitmapInfoHeader header;
        header.width = kWidth;
        header.height = -kHeight;
        header.bitCount = 24;
        EXPECT_TRUE(sink.SetSourceHeader(header));
        sink.ApplyFrameRate(25.0);
        ProcEngine& e = sink.engine;
        e.SetNR(true, true);
        e.SetGuideEnable(true);
        sink.events.SetReceiver(&receiver);
        e.surf.SetVisible(true);
    }
    MemoryProfile profile;
    FakeClock clock;
    FrameSink sink;
};

TEST(FramePathThreadsTest, SettingsChangeWhileFramesFlow) {
    RecordingReceiver window;
    SinkFixture f(window);
    FrameSink& sink = f.sink;
    sink.engine.SetCountAccum(3);
    sink.engine.params.autoFlags.store(kAutoAll);
    sink.engine.statisticsWanted.store(true);

    const auto frames = SkyFrames(8);
    std::atomic<bool> done{false};
    std::thread streaming([&] {
        for (int i = 0; i < 400; ++i) {
            const std::vector<uint8_t>& frame = frames[i % frames.size()];
            sink.SampleCB(i / 25.0, frame.data(), frame.size());
        }
        done.store(true);
    });
    std::mt19937 rng(13);
    int changes = 0;
    for (; !done.load(); ++changes) {
        kChanges[rng() % std::size(kChanges)](sink.engine, rng);
        // The statistics window reads the published numbers without a lock.
        (void)(sink.engine.mean.load() + sink.engine.bkgr.load() + sink.engine.starX.load());
    }
    streaming.join();
    EXPECT_GT(changes, 0);
    EXPECT_GT(window.Count(StreamEvent::kProcessedPicture), 0);
    EXPECT_GT(window.Count(StreamEvent::kStatistics), 0);
}

// The frame path allocates nothing per frame, whatever it does: every processor and variant,
// sums of one and of several frames, banding, statistics, the guide with auto move and its star
// metrics (the refined centre on for sums of several frames), and the automatic control
// changing the amplification (which re-renders the area).
TEST(FramePathThreadsTest, NothingIsAllocatedPerFrame) {
    struct : StreamEventReceiver {
        void Notify(StreamEvents& source, StreamEvent kind) override { source.Acknowledge(kind); }
    } target;  // a recorder would allocate
    SinkFixture f(target);
    FrameSink& sink = f.sink;
    ProcEngine& e = sink.engine;
    e.SetGuideAutoMoveSetting(true);
    e.statisticsWanted.store(true);
    const auto frames = SkyFrames(4);
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
                sink.SampleCB(0.0, frames[0].data(), frames[0].size());
                testing::StartCountingNew();
                for (int i = 0; i < 12; ++i) {
                    const std::vector<uint8_t>& frame = frames[i % frames.size()];
                    sink.SampleCB(i / 25.0, frame.data(), frame.size());
                }
                EXPECT_EQ(testing::StopCountingNew(), 0)
                    << "channel " << channel << " " << variant << " count " << count;
            }
        }
    }
}

}  // namespace
}  // namespace kelpa::test
