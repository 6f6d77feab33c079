// The "kelpasimsrc" element and its device in real pipelines: negotiation of every format and
// size, frames identical to the sky model's, restricted format lists, the unplugged camera,
// pacing on the pipeline clock and the device monitor.
#include "video/media/sim_source.h"
#include "sim_test_util.h"
#include "video/media/media_init.h"
#include "video/media/sim_device_provider.h"

#include <gst/app/gstappsink.h>
#include <gst/check/gsttestclock.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <string>

namespace kelpa {
namespace {

using test::TestPipeline;

constexpr char kSink[] = "appsink name=sink sync=false max-buffers=2";

class MediaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(InitMedia(&error)) << error;
    }
};

std::string Caps(SimFormat format, SimFrameSize size) {
    return std::string("video/x-raw,format=") + SimFormatName(format) +
           ",width=" + std::to_string(size.width) + ",height=" + std::to_string(size.height);
}

// The frame the element should have sent: the sky model's, for the same seed, size and rate.
std::vector<uint8_t> ModelFrame(uint32_t seed, const SimLayout& layout, double rate,
                                uint64_t index) {
    SimSkyParams params;
    params.seed = seed;
    params.width = layout.width;
    params.height = layout.height;
    params.frameRate = rate;
    SimSky sky(params);
    std::vector<uint8_t> frame(layout.size);
    EXPECT_TRUE(sky.Render(index, layout, frame.data(), frame.size()));
    return frame;
}

struct NegotiationCase {
    SimFormat format;
    SimFrameSize size;
};

void PrintTo(const NegotiationCase& c, std::ostream* os) {
    *os << SimFormatName(c.format) << " " << c.size.width << "x" << c.size.height;
}

class SimSourceNegotiationTest : public MediaTest,
                                 public ::testing::WithParamInterface<NegotiationCase> {};

TEST_P(SimSourceNegotiationTest, DeliversTheModelsFramesInTheRequestedFormat) {
    const auto [format, size] = GetParam();
    TestPipeline pipeline(std::string("kelpasimsrc is-live=false seed=21 formats=BGR,RGB16,") +
                          "BGRx,YUY2,UYVY,I420,YV12 ! " + Caps(format, size) + " ! " + kSink);
    ASSERT_TRUE(pipeline.Ok()) << pipeline.Error();
    ASSERT_TRUE(pipeline.Play());
    for (uint64_t index = 0; index < 2; ++index) {
        GstSamplePtr sample = pipeline.Pull();
        ASSERT_TRUE(sample);
        GstVideoInfo info;
        ASSERT_TRUE(gst_video_info_from_caps(&info, gst_sample_get_caps(sample.get())));
        EXPECT_EQ(GST_VIDEO_INFO_WIDTH(&info), size.width);
        EXPECT_EQ(GST_VIDEO_INFO_HEIGHT(&info), size.height);
        EXPECT_EQ(GST_VIDEO_INFO_FPS_N(&info), 30);
        EXPECT_EQ(GST_VIDEO_INFO_FPS_D(&info), 1);
        const SimLayout layout = test::LayoutOf(sample.get());
        EXPECT_EQ(layout.format, format);
        // Our own idea of GStreamer's layout must agree with GStreamer's.
        const SimLayout expected = DefaultSimLayout(format, size.width, size.height);
        EXPECT_EQ(layout.stride, expected.stride);
        EXPECT_EQ(layout.offset, expected.offset);
        EXPECT_EQ(layout.size, expected.size);

        GstBuffer* buffer = gst_sample_get_buffer(sample.get());
        EXPECT_EQ(gst_buffer_get_size(buffer), GST_VIDEO_INFO_SIZE(&info));
        EXPECT_EQ(GST_BUFFER_OFFSET(buffer), index);
        EXPECT_EQ(GST_BUFFER_PTS(buffer), gst_util_uint64_scale(index, GST_SECOND, 30));
        EXPECT_TRUE(test::BytesOf(sample.get()) == ModelFrame(21, layout, 30.0, index));
    }
}

std::vector<NegotiationCase> AllCases() {
    std::vector<NegotiationCase> cases;
    for (SimFormat format : kSimAllFormats) {
        for (SimFrameSize size : kSimFrameSizes) {
            if (format == SimFormat::kRGB16 && size.width != 640) continue;
            cases.push_back({format, size});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(FormatsAndSizes, SimSourceNegotiationTest, ::testing::ValuesIn(AllCases()),
                         [](const auto& p) {
                             return std::string(SimFormatName(p.param.format)) + "_" +
                                    std::to_string(p.param.size.width) + "x" +
                                    std::to_string(p.param.size.height);
                         });

TEST_F(MediaTest, DefaultNegotiationIsVgaAtThirtyInTheFirstFormat) {
    TestPipeline pipeline(std::string("kelpasimsrc is-live=false formats=UYVY,BGR ! ") + kSink);
    ASSERT_TRUE(pipeline.Ok()) << pipeline.Error();
    ASSERT_TRUE(pipeline.Play());
    GstSamplePtr sample = pipeline.Pull();
    ASSERT_TRUE(sample);
    GstVideoInfo info;
    ASSERT_TRUE(gst_video_info_from_caps(&info, gst_sample_get_caps(sample.get())));
    EXPECT_EQ(GST_VIDEO_INFO_FORMAT(&info), GST_VIDEO_FORMAT_UYVY);
    EXPECT_EQ(GST_VIDEO_INFO_WIDTH(&info), 640);
    EXPECT_EQ(GST_VIDEO_INFO_HEIGHT(&info), 480);
    EXPECT_EQ(GST_VIDEO_INFO_FPS_N(&info), 30);
    EXPECT_EQ(GST_VIDEO_INFO_FPS_D(&info), 1);
}

std::vector<std::vector<uint8_t>> FirstFrames(const std::string& source, int count) {
    TestPipeline pipeline(source + " ! video/x-raw,width=320,height=240 ! " + kSink);
    EXPECT_TRUE(pipeline.Ok() && pipeline.Play()) << pipeline.Error();
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < count; ++i) {
        GstSamplePtr sample = pipeline.Pull();
        if (!sample) break;
        frames.push_back(test::BytesOf(sample.get()));
    }
    EXPECT_EQ(frames.size(), static_cast<size_t>(count));
    return frames;
}

TEST_F(MediaTest, TimestampsRunOnWhenTheRateChangesInMidStream) {
    TestPipeline pipeline(std::string("kelpasimsrc is-live=false ! capsfilter name=filter ") +
                          "caps=video/x-raw,width=320,height=240,framerate=30/1 ! " + kSink);
    ASSERT_TRUE(pipeline.Ok() && pipeline.Play()) << pipeline.Error();
    GstClockTime end = 0;  // where the previous frame ended
    int slowFrames = 0;
    for (int i = 0; i < 20 && slowFrames < 3; ++i) {
        if (i == 3) {
            GstCapsPtr slower(
                gst_caps_from_string("video/x-raw,width=320,height=240,framerate=10/1"));
            g_object_set(pipeline.ByName("filter").get(), "caps", slower.get(), nullptr);
        }
        GstSamplePtr sample = pipeline.Pull();
        ASSERT_TRUE(sample);
        GstBuffer* buffer = gst_sample_get_buffer(sample.get());
        EXPECT_EQ(GST_BUFFER_PTS(buffer), end) << "frame " << GST_BUFFER_OFFSET(buffer);
        end = GST_BUFFER_PTS(buffer) + GST_BUFFER_DURATION(buffer);
        slowFrames += GST_BUFFER_DURATION(buffer) == GST_SECOND / 10;
    }
    EXPECT_EQ(slowFrames, 3);
}

TEST_F(MediaTest, SameSeedSameFramesOtherSeedOtherFrames) {
    const auto first = FirstFrames("kelpasimsrc is-live=false seed=4", 3);
    const auto again = FirstFrames("kelpasimsrc is-live=false seed=4", 3);
    const auto other = FirstFrames("kelpasimsrc is-live=false seed=5", 3);
    EXPECT_TRUE(first == again);
    ASSERT_EQ(other.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_FALSE(first[i] == other[i]) << i;
    EXPECT_FALSE(first[0] == first[1]);
}

class SimSourceGuideTest : public MediaTest, public ::testing::WithParamInterface<SimFormat> {};

TEST_P(SimSourceGuideTest, MeasuredGuideStarMatchesTheTruthOfEachFrame) {
    TestPipeline pipeline(std::string("kelpasimsrc is-live=false seed=9 ! ") +
                          Caps(GetParam(), {640, 480}) + ",framerate=15/1 ! " + kSink);
    ASSERT_TRUE(pipeline.Ok() && pipeline.Play()) << pipeline.Error();
    SimSkyParams params;
    params.seed = 9;
    params.frameRate = 15.0;
    const SimSky sky(params);
    for (int i = 0; i < 4; ++i) {
        GstSamplePtr sample = pipeline.Pull();
        ASSERT_TRUE(sample);
        const uint64_t index = GST_BUFFER_OFFSET(gst_sample_get_buffer(sample.get()));
        const std::vector<uint8_t> bytes = test::BytesOf(sample.get());
        const SimPoint truth = sky.GuideStarAt(index);
        const SimPoint seen =
            test::MeasureGuideStar(sky, index, test::LayoutOf(sample.get()), bytes.data(), truth);
        EXPECT_NEAR(seen.x, truth.x, 0.2) << "frame " << index;
        EXPECT_NEAR(seen.y, truth.y, 0.2) << "frame " << index;
    }
}

INSTANTIATE_TEST_SUITE_P(AcceptedFormats, SimSourceGuideTest,
                         ::testing::ValuesIn(kSimAcceptedFormats),
                         [](const auto& p) { return std::string(SimFormatName(p.param)); });

std::vector<std::string> OfferedFormats(GstElement* source) {
    GstPadPtr pad(gst_element_get_static_pad(source, "src"));
    GstCapsPtr caps(gst_pad_query_caps(pad.get(), nullptr));
    std::vector<std::string> formats;
    for (guint i = 0; i < gst_caps_get_size(caps.get()); ++i) {
        formats.push_back(
            gst_structure_get_string(gst_caps_get_structure(caps.get(), i), "format"));
    }
    return formats;
}

TEST_F(MediaTest, FormatsPropertyRestrictsTheCaps) {
    GstElementPtr source = AdoptFloating(gst_element_factory_make("kelpasimsrc", nullptr));
    ASSERT_TRUE(source);
    EXPECT_EQ(OfferedFormats(source.get()).size(), 6 * kSimFrameSizes.size());
    g_object_set(source.get(), "formats", "UYVY", nullptr);
    EXPECT_EQ(OfferedFormats(source.get()), std::vector<std::string>(4, "UYVY"));
    g_object_set(source.get(), "formats", "NV12,UYVY", nullptr);  // refused: nothing changes
    EXPECT_EQ(OfferedFormats(source.get()), std::vector<std::string>(4, "UYVY"));
    g_object_set(source.get(), "formats", "RGB16", nullptr);
    EXPECT_EQ(OfferedFormats(source.get()), std::vector<std::string>(4, "RGB16"));
    gchar* raw = nullptr;
    g_object_get(source.get(), "formats", &raw, nullptr);
    const GCharPtr text(raw);
    EXPECT_STREQ(text.get(), "RGB16");
}

TEST_F(MediaTest, AnUnsupportedOnlyFormatFailsToNegotiate) {
    // Refused when linking ...
    TestPipeline refused(std::string("kelpasimsrc formats=RGB16 ! video/x-raw,format=BGR ! ") +
                         kSink);
    EXPECT_FALSE(refused.Ok());
    // ... and, when the list changes after linking, when the stream starts.
    TestPipeline pipeline(std::string("kelpasimsrc name=src is-live=false ! ") +
                          "video/x-raw,format=BGR ! " + kSink);
    ASSERT_TRUE(pipeline.Ok()) << pipeline.Error();
    g_object_set(pipeline.ByName("src").get(), "formats", "RGB16", nullptr);
    ASSERT_TRUE(pipeline.Play());
    const std::optional<std::string> error = pipeline.WaitForError();
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("not-negotiated"), std::string::npos) << *error;
}

TEST_F(MediaTest, FailAfterDeliversThatManyFramesThenReportsAnUnpluggedCamera) {
    TestPipeline pipeline(std::string("kelpasimsrc name=src is-live=false fail-after=5 ! ") +
                          "video/x-raw,width=320,height=240 ! " + kSink);
    ASSERT_TRUE(pipeline.Ok() && pipeline.Play()) << pipeline.Error();
    for (uint64_t index = 0; index < 5; ++index) {
        GstSamplePtr sample = pipeline.Pull();
        ASSERT_TRUE(sample) << index;
        EXPECT_EQ(GST_BUFFER_OFFSET(gst_sample_get_buffer(sample.get())), index);
    }
    EXPECT_FALSE(pipeline.Pull());  // end of stream follows the error
    GstBusPtr bus(gst_element_get_bus(pipeline.Get()));
    GstMessagePtr message(
        gst_bus_timed_pop_filtered(bus.get(), 10 * GST_SECOND, GST_MESSAGE_ERROR));
    ASSERT_TRUE(message);
    EXPECT_STREQ(GST_OBJECT_NAME(GST_MESSAGE_SRC(message.get())), "src");
    GErrorPtr error;
    gst_message_parse_error(message.get(), OutPtr(error), nullptr);
    ASSERT_TRUE(error);
    EXPECT_STREQ(error->message, "Camera disconnected");
    EXPECT_TRUE(g_error_matches(error.get(), GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ));
}

TEST_F(MediaTest, LiveCameraWaitsForEachFrameOnThePipelineClock) {
    TestPipeline pipeline(std::string("kelpasimsrc name=src ! ") +
                          "video/x-raw,width=320,height=240,framerate=10/1 ! " + kSink);
    ASSERT_TRUE(pipeline.Ok()) << pipeline.Error();
    GstClockPtr clock(gst_test_clock_new());
    gst_pipeline_use_clock(GST_PIPELINE(pipeline.Get()), clock.get());
    ASSERT_TRUE(pipeline.Play());
    GstTestClock* testClock = GST_TEST_CLOCK(clock.get());
    const GstClockTime base = gst_element_get_base_time(pipeline.Get());
    GstElementPtr sink = pipeline.ByName("sink");
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
        EXPECT_FALSE(GstSamplePtr(gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 0)));
        gst_test_clock_crank(testClock);
    }
    GstElementPtr source = pipeline.ByName("src");
    GstQueryPtr latency(gst_query_new_latency());
    ASSERT_TRUE(gst_element_query(source.get(), latency.get()));
    gboolean live = FALSE;
    GstClockTime minimum = 0;
    gst_query_parse_latency(latency.get(), &live, &minimum, nullptr);
    EXPECT_TRUE(live);
    EXPECT_EQ(minimum, GST_SECOND / 10);
}

TEST_F(MediaTest, DeviceMonitorListsTheSimulatorAndItsElementWorks) {
    GstDeviceMonitorPtr monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), "Video/Source", nullptr);
    ASSERT_TRUE(gst_device_monitor_start(monitor.get()));
    GList* devices = gst_device_monitor_get_devices(monitor.get());
    GstDevicePtr simulator;
    for (GList* item = devices; item != nullptr; item = item->next) {
        GstDevice* device = GST_DEVICE(item->data);
        GCharPtr name(gst_device_get_display_name(device));
        if (std::string(name.get()) == kSimDeviceDisplayName) simulator = RefObject(device);
    }
    g_list_free_full(devices, gst_object_unref);
    gst_device_monitor_stop(monitor.get());
    ASSERT_TRUE(simulator) << "no \"Telescope Simulator\" among the video sources";

    EXPECT_TRUE(gst_device_has_classes(simulator.get(), "Video/Source"));
    GstStructurePtr properties(gst_device_get_properties(simulator.get()));
    ASSERT_TRUE(properties);
    EXPECT_STREQ(gst_structure_get_string(properties.get(), kDeviceIdProperty), kSimDeviceId);
    GstCapsPtr caps(gst_device_get_caps(simulator.get()));
    EXPECT_EQ(gst_caps_get_size(caps.get()), 6 * kSimFrameSizes.size());

    GstElementPtr source = AdoptFloating(gst_device_create_element(simulator.get(), "camera"));
    ASSERT_TRUE(source);
    g_object_set(source.get(), "is-live", FALSE, nullptr);
    GstElementPtr bin = AdoptFloating(gst_pipeline_new(nullptr));
    GstElementPtr sink = AdoptFloating(gst_element_factory_make("appsink", "sink"));
    g_object_set(sink.get(), "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(bin.get()), source.get(), sink.get(), nullptr);
    ASSERT_TRUE(gst_element_link(source.get(), sink.get()));
    ASSERT_NE(gst_element_set_state(bin.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstSamplePtr sample(gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 10 * GST_SECOND));
    EXPECT_TRUE(sample);
    gst_element_set_state(bin.get(), GST_STATE_NULL);
}

}  // namespace
}  // namespace kelpa
