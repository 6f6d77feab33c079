// The "kelpasimsrc" element in real pipelines: negotiation of every format and size with frames
// identical to the sky model's and timestamps at their rate, and pacing on the pipeline clock.
// Restricted format lists and the unplugged camera are checked through the capture graph
// (tests/media/capture_graph_test.cpp). A change of rate while the element streams is left
// unchecked: the program takes a camera to READY before it connects another format.
#include "sim/sim_source.h"

#include <gst/app/gstappsink.h>
#include <gst/check/gsttestclock.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "media/gst_ptr.h"
#include "media/media_init.h"
#include "sim/sim_sky.h"

namespace kelpa {
namespace {

constexpr char kSink[] = "appsink name=sink sync=false max-buffers=2";

// A pipeline from a launch description, playing until the test ends.
struct Pipeline {
    explicit Pipeline(const std::string& description, GstClock* clock = nullptr)
        : element(AdoptFloating(gst_parse_launch(description.c_str(), nullptr))) {
        EXPECT_TRUE(element) << description;
        if (clock) gst_pipeline_use_clock(GST_PIPELINE(element.get()), clock);
        EXPECT_NE(gst_element_set_state(element.get(), GST_STATE_PLAYING),
                  GST_STATE_CHANGE_FAILURE);
    }
    ~Pipeline() { gst_element_set_state(element.get(), GST_STATE_NULL); }
    GstElementPtr ByName(const char* name) const {
        return GstElementPtr(gst_bin_get_by_name(GST_BIN(element.get()), name));
    }
    // The next sample of the appsink "sink", or null on end of stream or error.
    GstSamplePtr Pull(GstClockTime timeout = 10 * GST_SECOND) {
        return GstSamplePtr(
            gst_app_sink_try_pull_sample(GST_APP_SINK(ByName("sink").get()), timeout));
    }
    GstElementPtr element;
};

struct MediaTest : ::testing::Test {
    static void SetUpTestSuite() { ASSERT_TRUE(InitMedia()); }
};

// Every format once, every size at least once, at 15 frames a second so that the rate reaches
// the model (the guide star moves with time).
TEST_F(MediaTest, DeliversTheModelsFramesInTheRequestedFormat) {
    const std::pair<SimFormat, SimFrameSize> cases[] = {
        {SimFormat::kBGR, {320, 240}},    {SimFormat::kBGRx, {640, 480}},
        {SimFormat::kYUY2, {1280, 720}},  {SimFormat::kUYVY, {320, 240}},
        {SimFormat::kI420, {1920, 1080}}, {SimFormat::kYV12, {320, 240}},
        {SimFormat::kRGB16, {320, 240}}};
    for (const auto& [format, size] : cases) {
        SCOPED_TRACE(SimFormatName(format));
        Pipeline pipeline(std::string("kelpasimsrc is-live=false seed=21 formats=BGR,RGB16,") +
                          "BGRx,YUY2,UYVY,I420,YV12 ! video/x-raw,format=" + SimFormatName(format) +
                          ",width=" + std::to_string(size.width) +
                          ",height=" + std::to_string(size.height) + ",framerate=15/1 ! " + kSink);
        SimSky sky(SimSkyParams{
            .seed = 21, .width = size.width, .height = size.height, .frameRate = 15.0});
        for (uint64_t index = 0; index < 2; ++index) {
            GstSamplePtr sample = pipeline.Pull();
            ASSERT_TRUE(sample);
            GstVideoInfo info;
            ASSERT_TRUE(gst_video_info_from_caps(&info, gst_sample_get_caps(sample.get())));
            // Our own idea of GStreamer's layout must agree with GStreamer's.
            SimLayout layout;
            SimLayoutFromVideoInfo(info, &layout);
            const SimLayout expected = DefaultSimLayout(format, size.width, size.height);
            const auto fields = [](const SimLayout& l) {
                return std::tie(l.format, l.width, l.height, l.stride, l.offset, l.size);
            };
            EXPECT_EQ(fields(layout), fields(expected));
            GstBuffer* buffer = gst_sample_get_buffer(sample.get());
            EXPECT_EQ(std::pair(GST_BUFFER_OFFSET(buffer), GST_BUFFER_PTS(buffer)),
                      std::pair(index, gst_util_uint64_scale(index, GST_SECOND, 15)));
            std::vector<uint8_t> model(layout.size);
            ASSERT_TRUE(sky.Render(index, layout, model.data(), model.size()));
            BufferMapping mapping(buffer, GST_MAP_READ);
            ASSERT_EQ(mapping.Size(), GST_VIDEO_INFO_SIZE(&info));
            EXPECT_TRUE(std::equal(model.begin(), model.end(), mapping.Data()));
        }
    }
}

TEST_F(MediaTest, LiveCameraWaitsForEachFrameOnThePipelineClock) {
    GstClockPtr clock(gst_test_clock_new());
    Pipeline pipeline(std::string("kelpasimsrc name=src ! ") +
                          "video/x-raw,width=320,height=240,framerate=10/1 ! " + kSink,
                      clock.get());
    GstTestClock* testClock = GST_TEST_CLOCK(clock.get());
    const GstClockTime base = gst_element_get_base_time(pipeline.element.get());
    for (uint64_t index = 0; index < 3; ++index) {
        // The camera waits for frame `index`, due index / 10 s after the start ...
        GstClockID pending = nullptr;
        gst_test_clock_wait_for_next_pending_id(testClock, &pending);
        EXPECT_EQ(gst_clock_id_get_time(pending), base + index * GST_SECOND / 10);
        gst_clock_id_unref(pending);
        if (index > 0) {
            GstSamplePtr earlier = pipeline.Pull();
            ASSERT_TRUE(earlier);
            EXPECT_EQ(GST_BUFFER_OFFSET(gst_sample_get_buffer(earlier.get())), index - 1);
        }
        // ... and holds it back until the clock gets there.
        EXPECT_FALSE(pipeline.Pull(0));
        gst_test_clock_crank(testClock);
    }
    GstQueryPtr latency(gst_query_new_latency());
    ASSERT_TRUE(gst_element_query(pipeline.ByName("src").get(), latency.get()));
    gboolean live = FALSE;
    GstClockTime minimum = 0;
    gst_query_parse_latency(latency.get(), &live, &minimum, nullptr);
    EXPECT_EQ(std::pair(live, minimum), std::pair(gboolean{TRUE}, GstClockTime(GST_SECOND / 10)));
}

}  // namespace
}  // namespace kelpa
