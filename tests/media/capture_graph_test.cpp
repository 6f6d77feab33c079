// The capture graph against the simulated telescope camera: format negotiation, the remembered
// format, the fallbacks and their log lines, refusals, run states and a camera that fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "media/capture_graph.h"
#include "media/media_init.h"
#include "support/captured_log.h"
#include "support/recording_notice.h"
#include "support/recording_receiver.h"
#include "support/test_support.h"

namespace kelpa::test {
namespace {

using kelpa::testing::CapturedLog;

// Hands out a simulated camera configured by the test.
class SimBinder final : public CaptureDeviceBinder {
  public:
    bool BindCaptureDevice(BoundDevice* out) override {
        if (!present) return false;
        GstElement* e = gst_element_factory_make("kelpasimsrc", nullptr);
        if (!e) return false;
        g_object_set(e, "formats", formats.c_str(), "fail-after", failAfter, nullptr);
        out->element = AdoptFloating(e);
        out->friendlyName = "Telescope Simulator";
        return true;
    }
    std::string formats = "BGR,BGRx,YUY2,UYVY,I420,YV12";
    guint64 failAfter = 0;
    bool present = true;
};

// Counts processed frames (streaming thread).
class FrameCounter final : public FrameObserver {
  public:
    void FrameProcessed(const StatisticsSnapshot&) override { frames.fetch_add(1); }
    std::atomic<int> frames{0};
};

template <class Pred>
bool WaitFor(Pred pred, int timeoutMs = 10000) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pred();
}

bool Logged(const std::string& text) {
    const auto lines = CapturedLog::Lines();
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

struct CaptureFixture : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(InitMedia());
        InitClipTable();
        CapturedLog::Start();
        profile.Set("ProcAuto", "0");
        ThePreferredFormat() = PreferredFormat{};
        ctrl = std::make_unique<VideoCtrl>();
        graph = std::make_unique<CaptureGraph>(*ctrl, binder);
        graph->SetNotice(&notice);
        ctrl->Events().SetReceiver(&mainWindow);
        graph->SetEvents(&ctrl->Events());
        ctrl->sink.SetObserver(&counter);
    }
    MemoryProfile profile;
    SimBinder binder;
    RecordingNotice notice;
    RecordingReceiver mainWindow;
    FrameCounter counter;
    std::unique_ptr<VideoCtrl> ctrl;
    std::unique_ptr<CaptureGraph> graph;
};

std::string FormatName(const ::testing::TestParamInfo<std::pair<const char*, uint32_t>>& p) {
    return p.param.first;
}

class EveryFormatTest : public CaptureFixture,
                        public ::testing::WithParamInterface<std::pair<const char*, uint32_t>> {};

TEST_P(EveryFormatTest, ConnectsAndDeliversFramesOfItsGeometry) {
    const auto [name, subtype] = GetParam();
    binder.formats = name;
    ThePreferredFormat() = PreferredFormat{kSubtypeNone, 0, 320, 240};
    ASSERT_EQ(graph->ActivateCaptureGraph(), MediaResult::kDone) << name;
    EXPECT_EQ(graph->ConnectedType().subtype, subtype);
    EXPECT_EQ(ctrl->sink.frameWidth, 320);
    EXPECT_TRUE(ctrl->sink.isLive);
    EXPECT_EQ(ThePreferredFormat().subtype, subtype);
    EXPECT_EQ(notice.status.back(), "Capture Video");
    ASSERT_EQ(ctrl->Run(), MediaResult::kDone);
    ASSERT_TRUE(WaitFor([&] { return counter.frames.load() >= 3; })) << name;
    const FrameBuffer& live = ctrl->sink.live.Picture();
    EXPECT_EQ(live.width, 320);
    EXPECT_EQ(live.height, 240);
    // A night sky is never black everywhere.
    EXPECT_TRUE(std::any_of(live.data, live.data + live.imageSize, [](uint8_t b) { return b; }));
    EXPECT_EQ(ctrl->Stop(), MediaResult::kDone);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EveryFormatTest,
    ::testing::Values(std::pair{"BGR", kSubtypeRgb24}, std::pair{"BGRx", kSubtypeRgb32},
                      std::pair{"YUY2", kSubtypeYuy2}, std::pair{"UYVY", kSubtypeUyvy},
                      std::pair{"I420", kSubtypeI420}, std::pair{"YV12", kSubtypeYv12}),
    FormatName);

TEST_F(CaptureFixture, RememberedFormatIsRestoredAndALargerOneClamped) {
    ThePreferredFormat() = PreferredFormat{kSubtypeYuy2, 400000, 1280, 720};
    ASSERT_EQ(graph->ActivateCaptureGraph(), MediaResult::kDone);
    const VideoMediaType& t = graph->ConnectedType();
    EXPECT_EQ(t.subtype, kSubtypeYuy2);
    EXPECT_EQ(t.header.width, 1280);
    EXPECT_EQ(t.header.height, 720);
    EXPECT_EQ(t.timePerFrame100ns, 400000);  // 25 frames a second
    EXPECT_DOUBLE_EQ(ctrl->sink.fps.load(), 25.0);
    EXPECT_TRUE(Logged("FPS=25.00"));
    // A preferred size beyond every capability is clamped to the largest.
    graph->Teardown();
    ThePreferredFormat() = PreferredFormat{kSubtypeI420, 0, 4000, 3000};
    ASSERT_EQ(graph->ActivateCaptureGraph(), MediaResult::kDone);
    EXPECT_EQ(graph->ConnectedType().header.width, 1920);
    EXPECT_EQ(graph->ConnectedType().header.height, 1080);
}

TEST_F(CaptureFixture, OnlyUyvyConnectsAtTheThirdStep) {
    binder.formats = "UYVY";
    ASSERT_EQ(graph->ActivateCaptureGraph(), MediaResult::kDone);
    EXPECT_EQ(graph->ConnectedType().subtype, kSubtypeUyvy);
    std::vector<std::string> found;
    for (const std::string& line : CapturedLog::Lines()) {
        if (line.rfind("Found media type: ", 0) == 0) found.push_back(line);
    }
    EXPECT_EQ(found, (std::vector<std::string>{"Found media type: MEDIASUBTYPE_RGB24",
                                               "Found media type: MEDIASUBTYPE_YUY2",
                                               "Found media type: MEDIASUBTYPE_UYVY"}));
}

TEST_F(CaptureFixture, SixteenBitRgbIsRefused) {
    binder.formats = "RGB16";
    EXPECT_TRUE(Failed(graph->ActivateCaptureGraph()));
    EXPECT_TRUE(Logged("\nError: Not supported input compression...\n"));
    EXPECT_EQ(notice.warnings, (std::vector<std::string>{"Capture device busy?.."}));
    EXPECT_FALSE(ctrl->graphBuilt);
    // The second attempt searched by hand.
    EXPECT_TRUE(Logged("find Media Type step 6"));
}

TEST_F(CaptureFixture, NoDeviceIsReported) {
    binder.present = false;
    EXPECT_TRUE(Failed(graph->ActivateCaptureGraph()));
    ASSERT_FALSE(notice.warnings.empty());
    EXPECT_EQ(notice.warnings.front(),
              "No video capture device was detected on your system.\r\n\r\nVideo capture will "
              "be disabled.");
}

TEST_F(CaptureFixture, RunPauseAndStop) {
    ASSERT_EQ(graph->ActivateCaptureGraph(), MediaResult::kDone);
    ASSERT_EQ(ctrl->Run(), MediaResult::kDone);
    ASSERT_TRUE(WaitFor([&] { return counter.frames.load() >= 2; }));
    ctrl->PauseToggle();
    EXPECT_EQ(ctrl->PlayState(), kStatePaused);
    ctrl->PauseToggle();
    EXPECT_EQ(ctrl->PlayState(), kStateRunning);
    const int before = counter.frames.load();
    ASSERT_TRUE(WaitFor([&] { return counter.frames.load() > before; }));
    EXPECT_EQ(ctrl->Stop(), MediaResult::kDone);
    EXPECT_EQ(ctrl->PlayState(), kStateStopped);
    // A stopped graph starts again.
    const int stopped = counter.frames.load();
    ASSERT_EQ(ctrl->Run(), MediaResult::kDone);
    ASSERT_TRUE(WaitFor([&] { return counter.frames.load() > stopped + 1; }));
    ctrl->Stop();
}

// A camera pulled out while streaming: the graph stops, the error is shown, nothing crashes.
TEST_F(CaptureFixture, CameraThatFailsMidStreamStopsTheGraph) {
    binder.failAfter = 5;
    ASSERT_EQ(graph->ActivateCaptureGraph(), MediaResult::kDone);
    ASSERT_EQ(ctrl->Run(), MediaResult::kDone);
    ASSERT_TRUE(WaitFor([&] { return mainWindow.Count(StreamEvent::kGraphEvent) > 0; }));
    ctrl->DrainGraphEvents(&notice);
    EXPECT_EQ(ctrl->PlayState(), kStateStopped);
    EXPECT_NE(notice.status.back().find("disconnected"), std::string::npos) << notice.status.back();
    EXPECT_LE(counter.frames.load(), 5);
    // The program goes on: the device can be activated again.
    binder.failAfter = 0;
    EXPECT_EQ(graph->ActivateCaptureGraph(), MediaResult::kDone);
}

}  // namespace
}  // namespace kelpa::test
