// A stream that changes its frame format on the way, samples handed straight to an appsink:
// the intake follows every usable format (picture, processed picture and accumulation at the
// new size, a new frame rate) while frames it cannot use are dropped, counted and logged once
// per format.
#include <gst/app/gstappsrc.h>
#include <gtest/gtest.h>

#include "media/media_init.h"
#include "media/sample_bridge.h"
#include "support/captured_log.h"
#include "support/test_support.h"
#include "video/video_ctrl.h"

namespace kelpa::test {
namespace {

using kelpa::testing::CapturedLog;

class FormatChangeTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(InitMedia());
        InitClipTable();
    }
    FormatChangeTest() {
        ctrl.sink.isLive = true;
        pipeline_ = AdoptFloating(
            gst_parse_launch("appsrc name=src format=time ! appsink name=out sync=false", nullptr));
        src_.reset(gst_bin_get_by_name(GST_BIN(pipeline_.get()), "src"));
        GstElementPtr out(gst_bin_get_by_name(GST_BIN(pipeline_.get()), "out"));
        bridge.Attach(out.get());
    }
    ~FormatChangeTest() override {
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
        bridge.Detach();
    }
    // Pushes `count` frames (even bytes 60, odd bytes 128: a flat grey in YUY2) and waits until
    // the intake has taken or refused them all.
    void Push(GstVideoFormat format, int width, int height, int fps, int count) {
        GstVideoInfo info;
        gst_video_info_set_format(&info, format, width, height);
        GST_VIDEO_INFO_FPS_N(&info) = fps;
        GstCapsPtr caps(gst_video_info_to_caps(&info));
        if (pts_ == 0) {  // the first format is connected as a graph build does
            VideoMediaType type;
            ASSERT_TRUE(ParseVideoCaps(caps.get(), &type));
            bridge.AdoptConnectedType(type);
            ctrl.sink.ApplyFrameRate(fps);
            gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
        }
        const uint64_t before = bridge.Delivered() + bridge.Refused();
        for (int i = 0; i < count; ++i) {
            GstBufferPtr buffer(
                gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr));
            BufferMapping map(buffer.get(), GST_MAP_WRITE);
            for (gsize at = 0; at < map.Size(); ++at) map.Data()[at] = at % 2 ? 128 : 60;
            GST_BUFFER_PTS(buffer.get()) = pts_ += 40 * GST_MSECOND;
            GstSamplePtr sample(gst_sample_new(buffer.get(), caps.get(), nullptr, nullptr));
            ASSERT_EQ(gst_app_src_push_sample(GST_APP_SRC(src_.get()), sample.get()), GST_FLOW_OK);
        }
        ASSERT_TRUE(
            WaitUntil([&] { return bridge.Delivered() + bridge.Refused() == before + count; }));
    }

    MemoryProfile profile;
    FakeClock clock;
    VideoCtrl ctrl{clock, LoadControllerSettings()};
    SampleBridge bridge{ctrl.sink};

  private:
    GstElementPtr pipeline_;
    GstElementPtr src_;
    GstClockTime pts_ = 0;
};

// A camera switching mode (another packing, size and rate) is followed by the pictures and the
// accumulator; a format the intake cannot convert in between is dropped, counted and logged
// once, and the picture stays. A frame handed on before its format was adopted would be read
// in the old layout: short, it would be dropped and the counts would be off. Short samples are
// checked on a crafted file (file_graph_test.cpp), a size change alone on a camera that
// settles on another size (capture_graph_test.cpp).
TEST_F(FormatChangeTest, IntakeFollowsEveryUsableFormatAndDropsTheRest) {
    CapturedLog::Start();
    ctrl.sink.engine.SetCountAccum(2);
    Push(GST_VIDEO_FORMAT_I420, 64, 48, 25, 4);
    Push(GST_VIDEO_FORMAT_GRAY8, 40, 30, 25, 3);
    EXPECT_EQ(std::tuple(ctrl.sink.samplesDropped.load(), ctrl.sink.live.Picture().width,
                         CapturedLog::Count("Frames in a format that cannot be shown are dropped")),
              std::tuple(uint64_t{3}, 64, 1));

    Push(GST_VIDEO_FORMAT_YUY2, 48, 36, 15, 4);
    // {received, dropped, the live picture's size, the processed one's height, format changes}
    EXPECT_EQ(std::tuple(ctrl.sink.samplesReceived.load(), ctrl.sink.samplesDropped.load(),
                         ctrl.sink.live.Picture().width, ctrl.sink.live.Picture().height,
                         ctrl.sink.engine.surf.Picture().height, bridge.FormatChanges()),
              std::tuple(uint64_t{8}, uint64_t{3}, 48, 36, 36, uint64_t{1}));
    {
        std::lock_guard lock(ctrl.sink.live.PictureLock());
        const FrameBuffer& p = ctrl.sink.live.Picture();
        // Studio luma 60 is shown as (60 - 16) * 255 / 219.
        EXPECT_NEAR(p.data[size_t(p.stride) * (p.height / 2) + 3 * (p.width / 2) + 1], 51, 2);
    }
    EXPECT_NEAR(ctrl.sink.fps.load(), 15.0, 1e-3);
    EXPECT_EQ(bridge.CurrentType().header.width, 48);
}

}  // namespace
}  // namespace kelpa::test
