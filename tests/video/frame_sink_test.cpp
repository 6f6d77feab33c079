// The intake: one sample through conversion, the delay gate, the chain, the capture hook, the
// window messages and the pacing of file frames; the controller's run states.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "support/captured_log.h"
#include "support/temp_files.h"
#include "support/test_support.h"
#include "video/convert_test_support.h"
#include "video/frame_sink.h"
#include "video/intake_fakes.h"
#include "video/new_counter.h"
#include "video/video_ctrl.h"

namespace kelpa::test {
namespace {

using Strings = std::vector<std::string>;

class IntakeTest : public ::testing::Test {
  protected:
    IntakeTest() {
        InitClipTable();
        sink.events.SetReceiver(&events);
        sink.live.SetVisible(true);
        sink.engine.surf.SetVisible(true);
    }
    // Connects a format and makes a sample of its size: random bytes, or `fill` when given.
    void Connect(uint32_t code, uint16_t bits, int32_t w, int32_t h, int fill = -1) {
        ASSERT_TRUE(sink.SetSourceHeader(
            BitmapInfoHeader{.width = w, .height = h, .bitCount = bits, .compression = code}));
        sample.assign(sink.geometry.srcRequiredSize, static_cast<uint8_t>(fill));
        std::mt19937 rng(w * 131 + h);
        if (fill < 0) std::generate(sample.begin(), sample.end(), [&] { return uint8_t(rng()); });
    }
    int32_t Feed(double t = 0.0) { return sink.SampleCB(t, sample.data(), sample.size()); }

    MemoryProfile profile;
    // Automatic control off unless a test turns it on: it would change count and delay.
    const bool autoOff_ = [this] { return profile.WriteString("kelpa", "ProcAuto", "0"); }();
    FakeClock clock;
    VideoCtrl ctrl{clock, LoadControllerSettings()};
    FrameSink& sink = ctrl.sink;
    RecordingReceiver events;
    std::vector<uint8_t> sample;
};

using FormatSize = std::tuple<size_t, std::pair<int32_t, int32_t>>;
class IntakeFormatTest : public IntakeTest, public ::testing::WithParamInterface<FormatSize> {};

// Every accepted format at many sizes reaches the live picture exactly as the reference
// converter writes it, and the processed picture follows from it.
TEST_P(IntakeFormatTest, SampleReachesBothPictures) {
    const auto& format = kelpa::testing::AllFormats()[std::get<0>(GetParam())];
    const auto [w, h] = std::get<1>(GetParam());
    // An empty area (also for frames too small for the area setters): whole-frame formula.
    sink.engine.params.areaW = 0.0f;
    Connect(format.code, format.bits, w, h);
    ASSERT_EQ(sink.live.Picture().width, w);
    ASSERT_EQ(sink.live.Picture().height, h);
    EXPECT_EQ(sink.live.HeaderHeight(), sink.keepsRowOrder ? h : -h);
    Feed();

    std::vector<uint8_t> expected(sink.live.Picture().imageSize);
    format.reference(expected.data(), sample.data(), sink.geometry);
    const FrameBuffer& live = sink.live.Picture();
    const FrameBuffer& out = sink.engine.surf.Picture();
    for (int32_t y = 0; y < h; ++y) {
        ASSERT_EQ(0, std::memcmp(live.data + size_t{live.stride} * y,
                                 expected.data() + size_t{live.stride} * y, 3 * size_t(w)))
            << format.name << " row " << y;
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* p = live.data + size_t{live.stride} * y + 3 * x;
            const int64_t grey = (((114 * p[0] + 587 * p[1] + 299 * p[2]) * 128 >> 7) + 500) / 1000;
            ASSERT_EQ(out.data[size_t{out.stride} * y + 3 * x], std::min<int64_t>(grey, 255));
        }
    }
    EXPECT_EQ(events.Count(StreamEvent::kLivePicture), 1);
    EXPECT_EQ(events.Count(StreamEvent::kProcessedPicture), 1);
}

INSTANTIATE_TEST_SUITE_P(FormatsAndSizes, IntakeFormatTest,
                         ::testing::Combine(::testing::Range<size_t>(0, 6),
                                            ::testing::Values(std::pair{1, 1}, std::pair{5, 3},
                                                              std::pair{7, 2},
                                                              std::pair{321, 241})));

// A short sample is skipped, not read past its end, and logged once however many follow.
TEST_F(IntakeTest, ShortSampleIsSkippedAndLoggedOnce) {
    Connect(kFormatRgb, 24, 8, 4, 200);
    kelpa::testing::CapturedLog::Start();
    for (int i = 0; i < 3; ++i) sink.SampleCB(0.0, sample.data(), sample.size() - 1);
    EXPECT_EQ(sink.live.Picture().data[0], 0);
    EXPECT_EQ(events.Count(StreamEvent::kLivePicture), 0);
    EXPECT_EQ(kelpa::testing::CapturedLog::Lines(),
              Strings{"Sample of 95 bytes is shorter than the 96 bytes of the connected format; "
                      "frame skipped"});
    Feed();
    EXPECT_EQ(sink.live.Picture().data[0], 200);
    EXPECT_EQ(sink.SampleCB(0.0, nullptr, 0), 0);
    sink.SetSourceHeader(
        BitmapInfoHeader{.width = 8, .height = 4, .bitCount = 16, .compression = kFormatRgb});
    EXPECT_EQ(sink.converter, &NoConvert);  // unsupported: nothing converts
}

// With two frames of delay, frames 1 and 4 run the chain; all six reach the live window.
TEST_F(IntakeTest, FrameRateSetsTheDelayAndItsGateSkipsTheChainButNotTheLiveWindow) {
    Connect(kFormatRgb, 24, 8, 8, 9);
    sink.engine.SetTimeDelay(100);
    sink.ApplyFrameRate(25.0);
    EXPECT_EQ(sink.engine.delayFrames.load(), 3);
    EXPECT_EQ(sink.engine.delayCountdown.load(), 3);
    sink.engine.SetTimeDelay(80);
    sink.engine.delayCountdown.store(0);
    sink.isLive = true;
    for (int i = 0; i < 6; ++i) Feed(i * 0.04);
    EXPECT_EQ(events.Count(StreamEvent::kLivePicture), 6);
    EXPECT_EQ(events.Count(StreamEvent::kProcessedPicture), 2);
}

TEST_F(IntakeTest, HiddenWindowsGetNoPictures) {
    Connect(kFormatRgb, 24, 8, 8);
    sink.live.SetVisible(false);
    sink.engine.surf.SetVisible(false);
    sink.isLive = true;
    Feed();
    EXPECT_EQ(events.Events(), std::vector{StreamEvent::kStatistics});
}

TEST_F(IntakeTest, SameHeaderDoesNotReallocate) {
    Connect(kFormatYuy2, 16, 64, 48);
    const uint8_t* live = sink.live.Picture().data;
    const uint8_t* out = sink.engine.surf.Picture().data;
    Connect(kFormatYuy2, 16, 64, -48);
    Connect(kFormatYuy2, 16, 64, 48);
    EXPECT_EQ(sink.live.Picture().data, live);
    EXPECT_EQ(sink.engine.surf.Picture().data, out);
}

// A capture run through the intake writes the processed picture, bottom row first as BMP rows
// are, behind the 54 header bytes.
TEST_F(IntakeTest, CaptureWritesTheProcessedPicture) {
    const kelpa::testing::TempDir dir;
    ASSERT_TRUE(sink.capture.SetCaptureDirectory(dir.Path().c_str()));
    sink.capture.SetCaptureTemplate("#frame");
    Connect(kFormatRgb, 24, 7, 5);
    sink.ApplyFrameRate(25.0);
    sink.isLive = true;
    sink.capture.captureCount.store(1);
    sink.capture.ToggleCapture(nullptr);
    Feed();
    EXPECT_EQ(events.Count(StreamEvent::kCaptureDone), 1);

    const std::string bytes = kelpa::testing::ReadFile(dir.File("frame00001.bmp"));
    const FrameBuffer& out = sink.engine.surf.Picture();
    ASSERT_EQ(bytes.size(), 54 + out.imageSize);
    int32_t height = 0;
    std::memcpy(&height, bytes.data() + 22, 4);
    EXPECT_EQ(height, sink.engine.surf.HeaderHeight());  // the file shows what the window shows
    EXPECT_EQ(0, std::memcmp(bytes.data() + 54, out.data, out.imageSize));
}

// The whole path, with every stage on, allocates nothing per frame.
TEST_F(IntakeTest, SampleAllocatesNothing) {
    Connect(kFormatYuy2, 16, 160, 120, 100);
    sink.ApplyFrameRate(30.0);
    struct : StreamEventReceiver {
        void Notify(StreamEvents& source, StreamEvent kind) override { source.Acknowledge(kind); }
    } quiet;  // a recorder would allocate
    sink.events.SetReceiver(&quiet);
    sink.engine.params.autoFlags.store(kAutoAll);
    sink.engine.SetNR(true, true);
    sink.engine.SetGuideEnable(true);
    sink.engine.statisticsWanted.store(true);
    sink.engine.SetCountAccum(3);
    sink.isLive = true;
    Feed();
    kelpa::testing::StartCountingNew();
    for (int i = 1; i < 10; ++i) Feed(i / 30.0);
    EXPECT_EQ(kelpa::testing::StopCountingNew(), 0);
}

// ---- Pacing of file frames (a fake clock) ------------------------------------------------------

class PacingTest : public IntakeTest {
  protected:
    void Start(double fps) {
        Connect(kFormatRgb, 24, 4, 4, 0);
        sink.ApplyFrameRate(fps);
        ctrl.AttachGraph(&control, nullptr, nullptr);
        ASSERT_EQ(ctrl.Run(), MediaResult::kDone);
    }
    // Milliseconds since `from` on the fake clock.
    double Since(uint32_t from) const { return static_cast<double>(clock.now - from); }
    FakeMediaControl control;
};

struct RateCase {
    const char* name;
    int num;
    int den;
};

void PrintTo(const RateCase& rate, std::ostream* out) {
    *out << rate.name << " fps";
}

class PacingRateTest : public PacingTest, public ::testing::WithParamInterface<RateCase> {};

// Every frame is held until the next one is due by the stream's own times, whatever the rate:
// the end of frame i's hold stays within a millisecond of (i + 1) periods, however long each
// frame took to decode.
TEST_P(PacingRateTest, EveryFrameEndsOnItsOwnTime) {
    const RateCase& rate = GetParam();
    const double fps = double(rate.num) / rate.den;
    const double periodMs = 1000.0 / fps;
    Start(fps);
    const uint32_t start = clock.now;
    const int frames = static_cast<int>(3 * fps);  // three seconds of file
    for (int i = 0; i < frames; ++i) {
        clock.now += static_cast<uint32_t>(i % 4);  // decoding takes 0 to 3 ms
        Feed(double(i) * rate.den / rate.num);
        ASSERT_NEAR(Since(start), (i + 1) * periodMs, 1.0) << rate.name << " frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, PacingRateTest,
                         ::testing::Values(RateCase{"23_976", 24000, 1001}, RateCase{"24", 24, 1},
                                           RateCase{"25", 25, 1}, RateCase{"29_97", 30000, 1001},
                                           RateCase{"30", 30, 1}, RateCase{"60", 60, 1},
                                           RateCase{"5", 5, 1}),
                         [](const auto& p) { return std::string(p.param.name); });

// Frames that leave the timeline start a new one: the frame after a resume, a step while
// paused, a seek forward or back, or a long stall is held one period (a late one is shown at
// once) and the frames after it follow their own times again.
TEST_F(PacingTest, TimelineStartsAgainAfterPausesStepsSeeksAndStalls) {
    Start(30.0);
    auto frameTime = [](int frame) { return frame / 30.0; };
    for (int i = 0; i < 10; ++i) Feed(frameTime(i));
    const size_t running = clock.sleeps.size();
    EXPECT_EQ(running, 10u);

    ctrl.PauseToggle();
    Feed(frameTime(10));  // the frame shown when the graph paused
    Feed(frameTime(20));  // steps while paused are shown at once
    Feed(frameTime(21));
    EXPECT_EQ(clock.sleeps.size(), running);
    clock.now += 60000;  // a minute in pause

    ctrl.PauseToggle();
    uint32_t anchor = clock.now;
    Feed(frameTime(22));
    EXPECT_NEAR(Since(anchor), 1000.0 / 30, 1.0);
    Feed(frameTime(23));
    Feed(frameTime(24));
    EXPECT_NEAR(Since(anchor), 3000.0 / 30, 1.0);

    anchor = clock.now;
    Feed(frameTime(300));  // a seek forward while running
    Feed(frameTime(301));
    EXPECT_NEAR(Since(anchor), 2000.0 / 30, 1.0);

    clock.now += 2000;  // the disk stalled: the late frame is shown at once
    const size_t beforeStall = clock.sleeps.size();
    anchor = clock.now;
    Feed(frameTime(302));
    EXPECT_EQ(clock.sleeps.size(), beforeStall);
    Feed(frameTime(303));
    EXPECT_NEAR(Since(anchor), 1000.0 / 30, 1.0);

    anchor = clock.now;
    Feed(frameTime(0));  // back to the start
    Feed(frameTime(1));
    EXPECT_NEAR(Since(anchor), 1000.0 / 30, 1.0);
}

TEST_F(PacingTest, LongWaitsSleepInSlicesAndStopWhenPaused) {
    Start(5.0);
    Feed(0.0);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{100, 100}));
    static FrameSink* paused = &sink;
    clock.sleeps.clear();
    clock.onSleep = [] { paused->playState.store(kStatePaused); };
    Feed(0.2);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{100}));
}

TEST_F(PacingTest, CamerasAndStoppedFilesAreNeverPaced) {
    Start(25.0);
    sink.isLive = true;
    for (int i = 0; i < 5; ++i) Feed(i * 0.04);
    sink.isLive = false;
    ctrl.Stop();
    for (int i = 0; i < 5; ++i) Feed(i * 0.04);
    EXPECT_TRUE(clock.sleeps.empty());
}

// ---- Run states -----------------------------------------------------------------------------

class RunStateTest : public IntakeTest {
  protected:
    void Attach() { ctrl.AttachGraph(&control, &seeking, &events); }
    FakeMediaControl control;
    FakeSeeking seeking;
    FakeEvents events;
};

TEST_F(RunStateTest, StartPauseStop) {
    EXPECT_EQ(ctrl.Run(), MediaResult::kNoGraph);  // no graph yet
    EXPECT_EQ(ctrl.Stop(), MediaResult::kNoGraph);
    EXPECT_EQ(ctrl.PauseToggle(), MediaResult::kNoGraph);
    Attach();
    EXPECT_EQ(ctrl.PauseToggle(), MediaResult::kUnchanged);  // stopped: nothing to pause
    EXPECT_EQ(ctrl.Run(), MediaResult::kDone);
    EXPECT_EQ(ctrl.PlayState(), kStateRunning);
    EXPECT_EQ(ctrl.Run(), MediaResult::kUnchanged);
    ctrl.PauseToggle();
    EXPECT_EQ(ctrl.PlayState(), kStatePaused);
    ctrl.PauseToggle();
    EXPECT_EQ(ctrl.PlayState(), kStateRunning);
    seeking.position = 1234;
    EXPECT_EQ(ctrl.Stop(), MediaResult::kDone);
    EXPECT_EQ(ctrl.PlayState(), kStateStopped);
    EXPECT_EQ(seeking.position, 0);  // a stopped file is rewound
    EXPECT_EQ(ctrl.Stop(), MediaResult::kUnchanged);
    EXPECT_EQ(control.calls, (Strings{"run", "pause", "run", "stopWhenReady"}));
}

TEST_F(RunStateTest, RunFromPauseStopsFirstAndAFailedRunStaysStopped) {
    Attach();
    ctrl.Run();
    ctrl.PauseToggle();
    control.calls.clear();
    control.reportedState = kStatePaused;  // the graph never leaves pause: 3 polls
    ctrl.Run();
    EXPECT_EQ(control.calls, (Strings{"stopWhenReady", "getState", "getState", "getState", "run"}));
    ctrl.Stop();
    control.runResult = MediaResult::kFailed;
    EXPECT_EQ(ctrl.Run(), MediaResult::kFailed);
    EXPECT_EQ(ctrl.PlayState(), kStateStopped);
}

TEST_F(RunStateTest, EndOfStreamStopsAndRewinds) {
    Attach();
    RecordingNotice notice;
    ctrl.Run();
    events.pending = {7, kEventComplete, 9};
    ctrl.DrainGraphEvents(&notice);
    EXPECT_EQ(ctrl.PlayState(), kStateStopped);
    EXPECT_EQ(notice.status, Strings{"Stopped..."});
    EXPECT_EQ(events.pending.size(), 1u);  // reading stops at the end event
    EXPECT_EQ(seeking.seeks.back(), 0);
}

}  // namespace
}  // namespace kelpa::test
