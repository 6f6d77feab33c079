// The capture graph against the simulated telescope camera: every format, the remembered
// format, refusals, run states, a camera that fails and one that settles on another format.
#include <gtest/gtest.h>

#include "media/capture_graph.h"
#include "media/media_init.h"
#include "support/captured_log.h"
#include "support/test_support.h"

namespace kelpa::test {
namespace {

// A camera that claims every size and rate of YUY2 but, once it runs, settles on 160 x 120 at
// 15 frames a second whatever was asked for, as cameras whose drivers adjust a requested
// format do: a live test source behind a fixed caps filter, whose caps query tells the claim.
gboolean ClaimEverySize(GstPad* pad, GstObject* parent, GstQuery* query) {
    if (GST_QUERY_TYPE(query) != GST_QUERY_CAPS) return gst_pad_query_default(pad, parent, query);
    GstCapsPtr claim(gst_caps_from_string(
        "video/x-raw,format=YUY2,width=[16,1920],height=[16,1080],framerate=[1/1,60/1]"));
    GstCaps* filter = nullptr;
    gst_query_parse_caps(query, &filter);
    if (filter) claim.reset(gst_caps_intersect_full(filter, claim.get(), GST_CAPS_INTERSECT_FIRST));
    gst_query_set_caps_result(query, claim.get());
    return TRUE;
}

// Hands out a simulated camera configured by the test, or the settling camera.
class SimBinder final : public CaptureDeviceBinder {
  public:
    bool BindCaptureDevice(BoundDevice* out) override {
        if (!present) return false;
        if (settling) {
            out->element = AdoptFloating(GST_ELEMENT(gst_parse_bin_from_description(
                "videotestsrc is-live=true ! capsfilter "
                "caps=video/x-raw,format=YUY2,width=160,height=120,framerate=15/1",
                TRUE, nullptr)));
            GstPadPtr ghost(gst_element_get_static_pad(out->element.get(), "src"));
            gst_pad_set_query_function(ghost.get(), &ClaimEverySize);
            out->friendlyName = "Settling Camera";
            return true;
        }
        out->element = AdoptFloating(gst_element_factory_make("kelpasimsrc", nullptr));
        g_object_set(out->element.get(), "formats", formats.c_str(), "fail-after", failAfter,
                     nullptr);
        out->friendlyName = "Telescope Simulator";
        return true;
    }
    std::string formats = "BGR,BGRx,YUY2,UYVY,I420,YV12";
    guint64 failAfter = 0;
    bool present = true;
    bool settling = false;
};

struct CaptureFixture : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(InitMedia());
        InitClipTable();
        kelpa::testing::CapturedLog::Start();  // the log goes to a temporary file
        profile.Set("ProcAuto", "0");
        ThePreferredFormat() = PreferredFormat{};
        ctrl = std::make_unique<VideoCtrl>(SystemClock(), LoadControllerSettings());
        graph = std::make_unique<CaptureGraph>(*ctrl, binder);
        graph->SetNotice(&notice);
        ctrl->Events().SetReceiver(&mainWindow);
        graph->SetEvents(&ctrl->Events());
        ctrl->sink.live.SetVisible(true);  // each frame shown is posted to the main window
    }
    MemoryProfile profile;
    SimBinder binder;
    RecordingNotice notice;
    RecordingReceiver mainWindow;
    std::unique_ptr<VideoCtrl> ctrl;
    std::unique_ptr<CaptureGraph> graph;
    int Frames() const { return mainWindow.Count(StreamEvent::kLivePicture); }
};

// A camera offering one format at a time: the graph connects it at the requested size. Frames
// of every format reaching the pictures are the file graph's tests; here the last one runs,
// stops and runs again.
TEST_F(CaptureFixture, EveryFormatConnectsAndDeliversFramesOfItsGeometry) {
    for (const auto& [name, subtype] : {std::pair{"BGR", kSubtypeRgb24},
                                        {"BGRx", kSubtypeRgb32},
                                        {"YUY2", kSubtypeYuy2},
                                        {"UYVY", kSubtypeUyvy},
                                        {"I420", kSubtypeI420},
                                        {"YV12", kSubtypeYv12}}) {
        SCOPED_TRACE(name);
        binder.formats = name;
        ThePreferredFormat() = PreferredFormat{kSubtypeNone, 0, 320, 240};
        ASSERT_EQ(graph->ActivateCaptureGraph(), MediaResult::kDone);
        EXPECT_EQ(std::tuple(graph->ConnectedType().subtype, ThePreferredFormat().subtype,
                             ctrl->sink.frameWidth, ctrl->sink.isLive, notice.status.back()),
                  std::tuple(subtype, subtype, 320, true, "Capture Video"));
    }
    for (int run = 0; run < 2; ++run) {
        const int before = Frames();
        ASSERT_EQ(ctrl->Run(), MediaResult::kDone);
        ASSERT_TRUE(WaitUntil([&] { return Frames() >= before + 3; }));
        EXPECT_EQ(ctrl->Stop(), MediaResult::kDone);
    }
    const FrameBuffer& live = ctrl->sink.live.Picture();
    EXPECT_EQ(std::pair(live.width, live.height), std::pair(320, 240));
}

TEST_F(CaptureFixture, RememberedFormatIsRestoredAndALargerOneClamped) {
    ThePreferredFormat() = PreferredFormat{kSubtypeYuy2, 400000, 1280, 720};
    ASSERT_EQ(graph->ActivateCaptureGraph(), MediaResult::kDone);
    const auto connected = [&] {
        const VideoMediaType& t = graph->ConnectedType();
        return std::tuple(t.subtype, t.header.width, t.header.height, t.timePerFrame100ns);
    };
    EXPECT_EQ(connected(), std::tuple(kSubtypeYuy2, 1280, 720, 400000));  // 25 frames a second
    EXPECT_DOUBLE_EQ(ctrl->sink.fps.load(), 25.0);
    // A preferred size beyond every capability is clamped to the largest.
    graph->Teardown();
    ThePreferredFormat() = PreferredFormat{kSubtypeI420, 0, 4000, 3000};
    ASSERT_EQ(graph->ActivateCaptureGraph(), MediaResult::kDone);
    EXPECT_EQ(connected(), std::tuple(kSubtypeI420, 1920, 1080, 333333));
}

// Sixteen-bit RGB is refused after the second attempt searched by hand; no camera at all is
// told as such, once, without a second attempt or a guess that the camera is busy.
TEST_F(CaptureFixture, UnusableOrMissingCameraIsRefused) {
    binder.formats = "RGB16";
    EXPECT_TRUE(Failed(graph->ActivateCaptureGraph()));
    EXPECT_EQ(notice.warnings, (std::vector<std::string>{"Capture device busy?.."}));
    EXPECT_FALSE(ctrl->graphBuilt);
    binder.present = false;
    notice.warnings.clear();
    EXPECT_TRUE(Failed(graph->ActivateCaptureGraph()));
    EXPECT_EQ(notice.warnings, (std::vector<std::string>{
                                   "No video capture device was detected on your system.\r\n\r\n"
                                   "Video capture will be disabled."}));
}

// A camera pulled out while streaming: the graph stops, the error is shown, nothing crashes.
TEST_F(CaptureFixture, CameraThatFailsMidStreamStopsTheGraph) {
    binder.failAfter = 5;
    ASSERT_EQ(graph->ActivateCaptureGraph(), MediaResult::kDone);
    ASSERT_EQ(ctrl->Run(), MediaResult::kDone);
    ASSERT_TRUE(WaitUntil([&] { return mainWindow.Count(StreamEvent::kGraphEvent) > 0; }));
    ctrl->DrainGraphEvents(&notice);
    EXPECT_EQ(ctrl->PlayState(), kStateStopped);
    EXPECT_NE(notice.status.back().find("disconnected"), std::string::npos) << notice.status.back();
    EXPECT_TRUE(Frames() >= 1 && Frames() <= 5) << Frames();
    // The program goes on: the device can be activated again.
    binder.failAfter = 0;
    EXPECT_EQ(graph->ActivateCaptureGraph(), MediaResult::kDone);
}

// ---- The camera's real format ------------------------------------------------------------------

// A camera that settles on another size and rate than the graph connected: its frames flow,
// the intake takes the format they really have, and that format is remembered for next time.
TEST_F(CaptureFixture, FormatTheCameraSettledOnIsTheConnectedOne) {
    binder.settling = true;
    ThePreferredFormat() = PreferredFormat{kSubtypeYuy2, 333333, 320, 240};
    ASSERT_EQ(graph->ActivateCaptureGraph(), MediaResult::kDone);
    // What was asked for.
    EXPECT_EQ(std::pair(graph->ConnectedType().header.width, ctrl->sink.frameWidth),
              std::pair(320, 320));
    ASSERT_EQ(ctrl->Run(), MediaResult::kDone);
    ASSERT_TRUE(WaitUntil([&] { return Frames() >= 3; }));
    const FrameBuffer& live = ctrl->sink.live.Picture();
    EXPECT_EQ(std::tuple(live.width, live.height, ctrl->sink.engine.surf.Picture().width,
                         graph->ConnectedType().header.height, ctrl->sink.samplesDropped.load()),
              std::tuple(160, 120, 160, 120, uint64_t{0}));
    EXPECT_NEAR(ctrl->sink.fps.load(), 15.0, 1e-3);
    EXPECT_EQ(ctrl->Stop(), MediaResult::kDone);
    graph->Teardown();
    const PreferredFormat remembered = ThePreferredFormat();
    EXPECT_EQ(std::tuple(remembered.width, remembered.height, remembered.timePerFrame),
              std::tuple(160, 120, 666667));
}

}  // namespace
}  // namespace kelpa::test
