// The intake: one sample through conversion, the delay gate, the chain, the capture hook, the
// window messages and the pacing of file frames; the controller's run states.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "support/intake_harness.h"
#include "support/temp_files.h"
#include "video/convert_test_support.h"
#include "video/intake_fakes.h"
#include "video/new_counter.h"

namespace kelpa::test {
namespace {

using Strings = std::vector<std::string>;

class IntakeTest : public ::testing::Test, public IntakeHarness {
  protected:
    IntakeTest() {
        sink.live.SetVisible(true);
        sink.engine.surf.SetVisible(true);
    }
    // Connects a format and makes a sample of its size: random bytes, or `fill` when given.
    void Connect(uint32_t code, uint16_t bits, int32_t w, int32_t h, int fill = -1) {
        ASSERT_TRUE(IntakeHarness::Connect(code, bits, w, h));
        sample = fill < 0 ? Sample(w * 131 + h) : Sample(0, fill, fill);
    }
    int32_t Feed(double t = 0.0) { return IntakeHarness::Feed(sample, t); }

    FrameSink& sink = Sink();
    Bytes sample;
};

// Every accepted format at odd and even sizes reaches the live picture exactly as the
// reference converter writes it, and the processed picture follows from it.
TEST_F(IntakeTest, SampleReachesBothPictures) {
    // An empty area (also for frames too small for the area setters): whole-frame formula.
    sink.engine.params.areaW = 0.0f;
    for (const auto& format : kelpa::testing::AllFormats()) {
        for (const auto& [w, h] : {std::pair{1, 1}, {7, 2}, {321, 241}}) {
            SCOPED_TRACE(::testing::Message() << format.name << " " << w << "x" << h);
            events.Clear();
            Connect(format.code, format.bits, w, h);
            ASSERT_EQ(std::tie(sink.live.Picture().width, sink.live.Picture().height),
                      std::tie(w, h));
            EXPECT_EQ(sink.live.HeaderHeight(), sink.keepsRowOrder ? h : -h);
            Feed();
            FrameBuffer reference = sink.live.Picture();
            Bytes converted(reference.imageSize);
            reference.data = converted.data();
            format.reference(converted.data(), sample.data(), sink.geometry);
            const Bytes live = Live();
            const Bytes out = Processed();
            ASSERT_EQ(live, Pixels(reference));
            for (size_t i = 0; i < live.size(); i += 3) {
                const int grey =
                    (114 * live[i] + 587 * live[i + 1] + 299 * live[i + 2] + 500) / 1000;
                ASSERT_EQ(out[i], std::min(grey, 255)) << "pixel " << i / 3;
            }
            EXPECT_EQ(events.Count(StreamEvent::kLivePicture), 1);
            EXPECT_EQ(events.Count(StreamEvent::kProcessedPicture), 1);
        }
    }
}

// A short sample is skipped, not read past its end; an unsupported format converts nothing.
TEST_F(IntakeTest, ShortSampleIsSkipped) {
    Connect(kFormatRgb, 24, 8, 4, 200);
    sink.SampleCB(0.0, sample.data(), sample.size() - 1);
    EXPECT_TRUE(sink.live.Picture().data[0] == 0 && events.Events().empty());
    Feed();
    EXPECT_EQ(sink.live.Picture().data[0], 200);
    sink.SetSourceHeader(
        BitmapInfoHeader{.width = 8, .height = 4, .bitCount = 16, .compression = kFormatRgb});
    EXPECT_EQ(sink.converter, &NoConvert);  // unsupported: nothing converts
}

// A delay of 30 ms is two frames once the stream's rate of 50 frames a second is known (one at
// the rate assumed before): frames 1 and 4 run the chain; all six reach the live window. (The
// delay's rounding: the processing area test.)
TEST_F(IntakeTest, FrameRateSetsTheDelayAndItsGateSkipsTheChainButNotTheLiveWindow) {
    Connect(kFormatRgb, 24, 8, 8, 9);
    sink.engine.SetTimeDelay(30);
    sink.ApplyFrameRate(50.0);
    sink.engine.delayCountdown.store(0);
    sink.isLive = true;
    for (int i = 0; i < 6; ++i) Feed(i * 0.02);
    EXPECT_EQ(events.Count(StreamEvent::kLivePicture), 6);
    EXPECT_EQ(events.Count(StreamEvent::kProcessedPicture), 2);
}

// The intake, converting and with a capture run, allocates nothing per frame. (Every processing
// stage: the frame path's allocation test.)
TEST_F(IntakeTest, SampleAllocatesNothing) {
    Connect(kFormatYuy2, 16, 160, 120, 100);
    struct : StreamEventReceiver {
        void Notify(StreamEvents& source, StreamEvent kind) override { source.Acknowledge(kind); }
    } quiet;  // a recorder would allocate
    sink.events.SetReceiver(&quiet);
    sink.isLive = true;
    const kelpa::testing::TempDir captures;
    ASSERT_TRUE(sink.capture.SetCaptureDirectory(captures.Path().c_str()));
    CaptureFileSettings live;  // every frame, as it arrives
    live.content = static_cast<uint32_t>(CaptureContent::kLive);
    sink.capture.SetFileSettings(live);
    sink.capture.captureCount.store(100);
    ASSERT_TRUE(sink.capture.ToggleCapture(nullptr));
    Feed();
    kelpa::testing::StartCountingNew();
    for (int i = 1; i < 10; ++i) Feed(i / 30.0);
    EXPECT_EQ(kelpa::testing::StopCountingNew(), 0);
    EXPECT_GE(sink.capture.capturedCount.load(), 2u);  // frames were captured on the way
}

// ---- Pacing of file frames (a fake clock) ------------------------------------------------------

class PacingTest : public IntakeTest {
  protected:
    void Start(double fps) {
        Connect(kFormatRgb, 24, 4, 4, 0);
        sink.ApplyFrameRate(fps);
        ctrl->AttachGraph(&control, nullptr, nullptr);
        ASSERT_EQ(ctrl->Run(), MediaResult::kDone);
    }
    // Milliseconds since `from` on the fake clock.
    double Since(uint32_t from) const { return static_cast<double>(clock.now - from); }
    FakeMediaControl control;
};

// At every common rate each frame is held until the next one is due by the stream's own times:
// the end of frame i's hold stays within a millisecond of (i + 1) periods, however long each
// frame took to decode (a period rounded to whole milliseconds drifts out of that at 29.97).
// Frames that leave the timeline start a new one: the frame after a resume, a step while
// paused, a seek forward or back, or a long stall is held one period (a late one is shown at
// once) and the frames after it follow their own times again.
TEST_F(PacingTest, FramesEndOnTheirOwnTimesAndTimelinesStartAgain) {
    for (const double fps : {24000.0 / 1001, 24.0, 30000.0 / 1001, 30.0, 60.0, 5.0}) {
        SCOPED_TRACE(fps);
        Start(fps);
        const auto frameTime = [fps](int frame) { return frame / fps; };
        uint32_t anchor = clock.now;
        for (int i = 0; i < 30; ++i) {
            clock.now += static_cast<uint32_t>(i % 4);  // decoding takes 0 to 3 ms
            Feed(frameTime(i));
            ASSERT_NEAR(Since(anchor), (i + 1) * 1000.0 / fps, 1.0) << "frame " << i;
        }
        const size_t running = clock.sleeps.size();
        ctrl->PauseToggle();
        Feed(frameTime(30));  // the frame shown when the graph paused
        Feed(frameTime(40));  // steps while paused are shown at once
        Feed(frameTime(41));
        EXPECT_EQ(clock.sleeps.size(), running);
        clock.now += 60000;  // a minute in pause
        ctrl->PauseToggle();
        const auto expectHeld = [&](std::initializer_list<int> frames, int periods) {
            anchor = clock.now;
            for (const int frame : frames) Feed(frameTime(frame));
            EXPECT_NEAR(Since(anchor), periods * 1000.0 / fps, 1.0) << *frames.begin();
        };
        expectHeld({42, 43, 44}, 3);  // after the resume
        expectHeld({300, 301}, 2);    // a seek forward while running
        clock.now += 2000;            // the disk stalled: the late frame is shown at once
        expectHeld({302, 303}, 1);
        expectHeld({0, 1}, 1);  // back to the start
        ctrl->Stop();
    }
}

// Long waits sleep in slices and stop when the graph pauses; cameras and stopped files are
// never paced.
TEST_F(PacingTest, LongWaitsSleepInSlicesAndOnlyRunningFilesWait) {
    Start(5.0);
    Feed(0.0);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{100, 100}));
    static FrameSink* paused = &sink;
    clock.sleeps.clear();
    clock.onSleep = [] { paused->playState.store(kStatePaused); };
    Feed(0.2);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{100}));
    clock.onSleep = nullptr;
    Start(5.0);
    clock.sleeps.clear();
    sink.isLive = true;
    for (int i = 0; i < 5; ++i) Feed(i * 0.2);
    sink.isLive = false;
    ctrl->Stop();
    for (int i = 0; i < 5; ++i) Feed(i * 0.2);
    EXPECT_TRUE(clock.sleeps.empty());
}

// ---- Run states -----------------------------------------------------------------------------

// A stopped graph has nothing to pause or stop, a running one nothing to run (commands without a
// graph, the rewind of a stopped file and a stop are the application tests'; a pause as the
// status bar shows it the main window test's). Run from pause stops the graph first and polls
// until it has; a failed run stays stopped.
TEST_F(IntakeTest, RunStates) {
    FakeMediaControl control;
    ctrl->AttachGraph(&control, nullptr, nullptr);
    EXPECT_EQ(std::tuple(ctrl->PauseToggle(), ctrl->Stop()),
              std::tuple(MediaResult::kUnchanged, MediaResult::kUnchanged));
    EXPECT_EQ(ctrl->Run(), MediaResult::kDone);
    EXPECT_EQ(ctrl->Run(), MediaResult::kUnchanged);
    ctrl->PauseToggle();
    control.reportedState = kStatePaused;  // the graph never leaves pause: 3 polls
    EXPECT_EQ(ctrl->Run(), MediaResult::kDone);
    EXPECT_EQ(ctrl->PlayState(), kStateRunning);
    EXPECT_EQ(control.calls, (Strings{"run", "pause", "stopWhenReady", "getState", "getState",
                                      "getState", "run"}));
    ctrl->Stop();
    control.runResult = MediaResult::kFailed;
    EXPECT_EQ(ctrl->Run(), MediaResult::kFailed);
    EXPECT_EQ(ctrl->PlayState(), kStateStopped);
}

}  // namespace
}  // namespace kelpa::test
