// The intake: one sample through conversion, the delay gate, the chain, the capture hook, the
// window messages and the pacing of file frames; the controller's run states.
#include <gtest/gtest.h>

#include <unistd.h>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <random>

#include "support/test_support.h"
#include "video/convert_reference.h"
#include "video/frame_sink.h"
#include "video/intake_fakes.h"
#include "video/new_counter.h"
#include "video/video_ctrl.h"

namespace kelpa::test {
namespace {

BitmapInfoHeader Header(uint32_t compression, uint16_t bits, int32_t w, int32_t h) {
    BitmapInfoHeader hdr;
    hdr.width = w;
    hdr.height = h;
    hdr.bitCount = bits;
    hdr.compression = compression;
    return hdr;
}

// Counts messages without allocating (for the allocation test).
class CountingTarget final : public MessageTarget {
  public:
    void Post(uint32_t) override { count.fetch_add(1); }
    std::atomic<int> count{0};
};

// Automatic control off unless a test turns it on: it would change count and delay.
MemoryProfile& QuietProfile(MemoryProfile& p) {
    p.Set("ProcAuto", "0");
    return p;
}

struct SinkFixture {
    SinkFixture() {
        InitClipTable();
        ctrl.sink.live.SetWindow(&liveWindow);
        ctrl.sink.live.SetVisible(true);
        ctrl.sink.engine.surf.SetWindow(&procWindow);
        ctrl.sink.engine.surf.SetVisible(true);
        ctrl.sink.engine.notifyWindow.store(&mainWindow);
        ctrl.sink.capture.SetNotifyTarget(&mainWindow);
    }
    FrameSink& sink() { return ctrl.sink; }

    MemoryProfile profileStore;
    MemoryProfile& profile = QuietProfile(profileStore);
    FakeClock clock;
    VideoCtrl ctrl{clock};
    RecordingTarget liveWindow;
    RecordingTarget procWindow;
    RecordingTarget mainWindow;
};

struct FormatCase {
    const char* name;
    uint32_t compression;
    uint16_t bits;
    void (*reference)(uint8_t*, const uint8_t*, const ConvGeometry&);
};

const FormatCase kFormats[] = {
    {"RGB24", kFormatRgb, 24, &reference::CopyRgb24},
    {"RGB32", kFormatRgb, 32, &reference::Rgb32ToRgb24},
    {"YUY2", kFormatYuy2, 16, &reference::Yuy2ToRgb24},
    {"UYVY", kFormatUyvy, 16, &reference::UyvyToRgb24},
    {"I420", kFormatI420, 12, &reference::I420ToRgb24},
    {"YV12", kFormatYv12, 12, &reference::Yv12ToRgb24},
};

using FormatParam = std::tuple<FormatCase, std::pair<int32_t, int32_t>>;

std::string FormatCaseName(const ::testing::TestParamInfo<FormatParam>& info) {
    const FormatCase& format = std::get<0>(info.param);
    const auto& size = std::get<1>(info.param);
    return std::string(format.name) + "_" + std::to_string(size.first) + "x" +
           std::to_string(size.second);
}

class IntakeFormatTest : public ::testing::TestWithParam<FormatParam> {};

// Every accepted format at many sizes reaches the live picture exactly as the reference
// converter writes it, and the processed picture follows from it.
TEST_P(IntakeFormatTest, SampleReachesBothPictures) {
    const auto& [format, size] = GetParam();
    const auto [w, h] = size;
    SinkFixture f;
    FrameSink& sink = f.sink();
    // An empty area (also for frames too small for the area setters): whole-frame formula.
    sink.engine.params.areaW = 0.0f;
    ASSERT_TRUE(sink.SetSourceHeader(Header(format.compression, format.bits, w, h)));
    ASSERT_EQ(sink.live.Picture().width, w);
    ASSERT_EQ(sink.live.Picture().height, h);
    EXPECT_EQ(sink.live.HeaderHeight(), sink.keepsRowOrder ? h : -h);

    std::vector<uint8_t> sample(sink.geometry.srcRequiredSize);
    std::mt19937 rng(w * 131 + h);
    for (auto& b : sample) b = static_cast<uint8_t>(rng());
    sink.SampleCB(0.0, sample.data(), sample.size());

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
    EXPECT_EQ(f.liveWindow.Count(WM_FRAME_READY), 1);
    EXPECT_EQ(f.procWindow.Count(WM_FRAME_READY), 1);
}

INSTANTIATE_TEST_SUITE_P(FormatsAndSizes, IntakeFormatTest,
                         ::testing::Combine(::testing::ValuesIn(kFormats),
                                            ::testing::Values(std::pair{1, 1}, std::pair{5, 3},
                                                              std::pair{7, 2}, std::pair{16, 9},
                                                              std::pair{321, 241},
                                                              std::pair{640, 480})),
                         FormatCaseName);

TEST(IntakeTest, ShortSampleIsSkippedAndLiveKept) {
    SinkFixture f;
    FrameSink& sink = f.sink();
    sink.SetSourceHeader(Header(kFormatRgb, 24, 8, 4));
    std::vector<uint8_t> sample(sink.geometry.srcRequiredSize, 200);
    sink.SampleCB(0.0, sample.data(), sample.size() - 1);
    EXPECT_EQ(sink.live.Picture().data[0], 0);
    EXPECT_EQ(f.liveWindow.Count(WM_FRAME_READY), 0);
    sink.SampleCB(0.0, sample.data(), sample.size());
    EXPECT_EQ(sink.live.Picture().data[0], 200);
    EXPECT_EQ(sink.SampleCB(0.0, nullptr, 0), 0);
}

TEST(IntakeTest, UnsupportedFormatKeepsThePicture) {
    SinkFixture f;
    FrameSink& sink = f.sink();
    sink.SetSourceHeader(Header(kFormatRgb, 16, 8, 4));
    EXPECT_EQ(sink.converter, &NoConvert);
    EXPECT_FALSE(IsSupportedFormat(Header(kFormatRgb, 16, 8, 4)));
}

// With two frames of delay, frames 1 and 4 run the chain; all six reach the live window.
TEST(IntakeTest, DelayGateSkipsTheChainButNotTheLiveWindow) {
    SinkFixture f;
    FrameSink& sink = f.sink();
    sink.SetSourceHeader(Header(kFormatRgb, 24, 8, 8));
    sink.ApplyFrameRate(25.0);
    sink.engine.SetTimeDelay(80);
    sink.engine.delayCountdown.store(0);
    sink.isLive = true;
    std::vector<uint8_t> sample(sink.geometry.srcRequiredSize, 9);
    for (int i = 0; i < 6; ++i) sink.SampleCB(i * 0.04, sample.data(), sample.size());
    EXPECT_EQ(f.liveWindow.Count(WM_FRAME_READY), 6);
    EXPECT_EQ(f.procWindow.Count(WM_FRAME_READY), 2);
}

TEST(IntakeTest, HiddenWindowsGetNoMessages) {
    SinkFixture f;
    FrameSink& sink = f.sink();
    sink.SetSourceHeader(Header(kFormatRgb, 24, 8, 8));
    sink.live.SetVisible(false);
    sink.engine.surf.SetWindow(nullptr);
    std::vector<uint8_t> sample(sink.geometry.srcRequiredSize);
    sink.isLive = true;
    sink.SampleCB(0.0, sample.data(), sample.size());
    EXPECT_TRUE(f.liveWindow.Messages().empty());
    EXPECT_TRUE(f.procWindow.Messages().empty());
}

TEST(IntakeTest, FrameRateSetsDelayAndCaptureInterval) {
    SinkFixture f;
    FrameSink& sink = f.sink();
    sink.engine.SetTimeDelay(100);
    sink.ApplyFrameRate(25.0);
    EXPECT_EQ(sink.engine.delayFrames.load(), 3);
    EXPECT_EQ(sink.engine.delayCountdown.load(), 3);
    sink.engine.SetTimeDelay(0);
    sink.capture.captureFrameDelay.store(2);
    sink.ApplyFrameRate(25.0);
    EXPECT_EQ(sink.capture.captureIntervalMs, 80);
}

TEST(IntakeTest, SameHeaderDoesNotReallocate) {
    SinkFixture f;
    FrameSink& sink = f.sink();
    sink.SetSourceHeader(Header(kFormatYuy2, 16, 64, 48));
    const uint8_t* live = sink.live.Picture().data;
    const uint8_t* out = sink.engine.surf.Picture().data;
    sink.SetSourceHeader(Header(kFormatYuy2, 16, 64, -48));
    sink.SetSourceHeader(Header(kFormatYuy2, 16, 64, 48));
    EXPECT_EQ(sink.live.Picture().data, live);
    EXPECT_EQ(sink.engine.surf.Picture().data, out);
}

TEST(IntakeTest, SinkAnswersOnlyItsInterfaces) {
    SinkFixture f;
    FrameSink& sink = f.sink();
    void* out = nullptr;
    EXPECT_EQ(sink.QueryInterface(kIidSampleGrabberCB, &out), kResultOk);
    EXPECT_EQ(out, &sink);
    EXPECT_EQ(sink.QueryInterface(kIidUnknown, &out), kResultOk);
    const InterfaceId other{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(sink.QueryInterface(other, &out), kErrorNoInterface);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(sink.QueryInterface(kIidUnknown, nullptr), kErrorPointer);
    EXPECT_EQ(sink.AddRef(), 2u);
    EXPECT_EQ(sink.Release(), 1u);
}

// ---- Pacing of file frames -----------------------------------------------------------------

struct PacingFixture : SinkFixture {
    explicit PacingFixture(double fps) {
        sink().SetSourceHeader(Header(kFormatRgb, 24, 4, 4));
        sink().ApplyFrameRate(fps);
        sample.assign(sink().geometry.srcRequiredSize, 0);
        sink().playState.store(kStateRunning);
    }
    void Sample(double t) { sink().SampleCB(t, sample.data(), sample.size()); }
    std::vector<uint8_t> sample;
};

TEST(PacingTest, FileFramesFollowTheirTimes) {
    PacingFixture f(25.0);
    f.Sample(0.0);
    EXPECT_EQ(f.clock.sleeps, (std::vector<uint32_t>{40}));  // the first waits one period
    f.Sample(0.04);                                          // due 80 ms after the start
    EXPECT_EQ(f.clock.sleeps.back(), 40u);
    f.clock.now += 15;  // decoding took 15 ms
    f.Sample(0.08);
    EXPECT_EQ(f.clock.sleeps.back(), 25u);
    const size_t count = f.clock.sleeps.size();
    f.Sample(5.0);  // after a seek the due time is far away: no sleep at all
    EXPECT_EQ(f.clock.sleeps.size(), count);
}

TEST(PacingTest, LongWaitsSleepInSlicesAndStopWhenPaused) {
    PacingFixture f(5.0);
    f.Sample(0.0);
    EXPECT_EQ(f.clock.sleeps, (std::vector<uint32_t>{100, 100}));
    static FrameSink* sink = &f.sink();
    f.clock.sleeps.clear();
    f.clock.onSleep = [] { sink->playState.store(kStatePaused); };
    f.Sample(0.2);
    EXPECT_EQ(f.clock.sleeps, (std::vector<uint32_t>{100}));
}

TEST(PacingTest, CamerasAreNeverPaced) {
    PacingFixture f(25.0);
    f.sink().isLive = true;
    for (int i = 0; i < 5; ++i) f.Sample(i * 0.04);
    EXPECT_TRUE(f.clock.sleeps.empty());
}

// ---- Run states -----------------------------------------------------------------------------

struct ControllerFixture : SinkFixture {
    ControllerFixture() { ctrl.AttachGraph(&control, &seeking, &events); }
    FakeMediaControl control;
    FakeSeeking seeking;
    FakeEvents events;
};

TEST(RunStateTest, StartPauseStop) {
    ControllerFixture f;
    EXPECT_EQ(f.ctrl.PauseToggle(), kResultFalse);  // stopped: nothing to pause
    EXPECT_EQ(f.ctrl.Run(), kResultOk);
    EXPECT_EQ(f.ctrl.PlayState(), kStateRunning);
    EXPECT_EQ(f.ctrl.Run(), kResultFalse);
    f.ctrl.PauseToggle();
    EXPECT_EQ(f.ctrl.PlayState(), kStatePaused);
    f.ctrl.PauseToggle();
    EXPECT_EQ(f.ctrl.PlayState(), kStateRunning);
    f.seeking.position = 1234;
    EXPECT_EQ(f.ctrl.Stop(), kResultOk);
    EXPECT_EQ(f.ctrl.PlayState(), kStateStopped);
    EXPECT_EQ(f.seeking.position, 0);  // a stopped file is rewound
    EXPECT_EQ(f.ctrl.Stop(), kResultFalse);
    EXPECT_EQ(f.control.calls, (std::vector<std::string>{"run", "pause", "run", "stopWhenReady"}));
}

TEST(RunStateTest, RunFromPauseStopsFirstAndAFailedRunStaysStopped) {
    ControllerFixture f;
    f.ctrl.Run();
    f.ctrl.PauseToggle();
    f.control.calls.clear();
    f.control.reportedState = kStatePaused;  // the graph never leaves pause: 3 polls
    f.ctrl.Run();
    EXPECT_EQ(f.control.calls, (std::vector<std::string>{"stopWhenReady", "getState", "getState",
                                                         "getState", "run"}));
    f.ctrl.Stop();
    f.control.runResult = kErrorFail;
    EXPECT_EQ(f.ctrl.Run(), kErrorFail);
    EXPECT_EQ(f.ctrl.PlayState(), kStateStopped);
}

TEST(RunStateTest, WithoutAGraphCommandsAreUnexpected) {
    SinkFixture f;
    EXPECT_EQ(f.ctrl.Run(), kErrorUnexpected);
    EXPECT_EQ(f.ctrl.Stop(), kErrorUnexpected);
    EXPECT_EQ(f.ctrl.PauseToggle(), kErrorUnexpected);
}

class RecordingNotice final : public UserNotice {
  public:
    void ShowStatus(const char* text) override { status.push_back(text); }
    void Warn(const char* text) override { warnings.push_back(text); }
    void CheckMenuItem(uint32_t, bool) override {}
    std::vector<std::string> status;
    std::vector<std::string> warnings;
};

TEST(RunStateTest, EndOfStreamStopsAndRewinds) {
    ControllerFixture f;
    RecordingNotice notice;
    f.ctrl.Run();
    f.events.pending = {7, kEventComplete, 9};
    f.ctrl.DrainGraphEvents(&notice);
    EXPECT_EQ(f.ctrl.PlayState(), kStateStopped);
    EXPECT_EQ(notice.status, (std::vector<std::string>{"Stopped..."}));
    EXPECT_EQ(f.events.pending.size(), 1u);  // reading stops at the end event
    EXPECT_EQ(f.seeking.seeks.back(), 0);
}

// A capture run through the intake writes the processed picture, bottom row first as BMP rows
// are, behind the 54 header bytes.
TEST(IntakeTest, CaptureWritesTheProcessedPicture) {
    SinkFixture f;
    FrameSink& sink = f.sink();
    char dir[] = "/tmp/kelpa_intake_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    ASSERT_TRUE(sink.capture.SetCaptureDirectory(dir));
    sink.capture.SetCaptureTemplate("#frame");
    sink.SetSourceHeader(Header(kFormatRgb, 24, 7, 5));
    sink.ApplyFrameRate(25.0);
    sink.isLive = true;
    std::vector<uint8_t> sample(sink.geometry.srcRequiredSize);
    std::mt19937 rng(5);
    for (auto& b : sample) b = static_cast<uint8_t>(rng());
    sink.capture.captureCount.store(1);
    sink.capture.ToggleCapture(nullptr);
    sink.SampleCB(0.0, sample.data(), sample.size());
    EXPECT_EQ(f.mainWindow.Count(WM_CAPTURE_DONE), 1);

    const std::string path = std::string(dir) + "/frame00001.bmp";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr) << path;
    std::vector<uint8_t> bytes(54 + sink.engine.surf.Picture().imageSize + 1);
    const size_t n = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    std::remove(path.c_str());
    rmdir(dir);
    const FrameBuffer& out = sink.engine.surf.Picture();
    ASSERT_EQ(n, 54 + out.imageSize);
    int32_t height = 0;
    std::memcpy(&height, bytes.data() + 22, 4);
    EXPECT_EQ(height, -sink.engine.surf.HeaderHeight());
    EXPECT_EQ(0, std::memcmp(bytes.data() + 54, out.data, out.imageSize));
}

// ---- The whole path allocates nothing ------------------------------------------------------

TEST(IntakeTest, SampleAllocatesNothing) {
    SinkFixture f;
    FrameSink& sink = f.sink();
    sink.SetSourceHeader(Header(kFormatYuy2, 16, 160, 120));
    sink.ApplyFrameRate(30.0);
    CountingTarget quiet;
    sink.engine.notifyWindow.store(&quiet);
    sink.capture.SetNotifyTarget(&quiet);
    sink.live.SetWindow(&quiet);
    sink.engine.surf.SetWindow(&quiet);
    sink.engine.params.autoFlags.store(kAutoAll);
    sink.engine.SetNR(true, true);
    sink.engine.SetGuideEnable(true);
    sink.engine.infoWindow.store(&quiet);
    sink.engine.SetCountAccum(3);
    sink.isLive = true;
    std::vector<uint8_t> sample(sink.geometry.srcRequiredSize, 100);
    sink.SampleCB(0.0, sample.data(), sample.size());
    kelpa::testing::StartCountingNew();
    for (int i = 1; i < 10; ++i) sink.SampleCB(i / 30.0, sample.data(), sample.size());
    EXPECT_EQ(kelpa::testing::StopCountingNew(), 0);
}

}  // namespace
}  // namespace kelpa::test
