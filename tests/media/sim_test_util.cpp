// Helpers shared by the simulated-camera tests.
#include "sim_test_util.h"

#include "video/media/sim_source.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <cstring>

namespace kelpa::test {

double LumaAt(const SimLayout& layout, const uint8_t* data, int x, int y) {
    const uint8_t* row = data + layout.offset[0] + static_cast<size_t>(y) * layout.stride[0];
    const auto fromStudio = [](int v) { return (v - 16) * 255.0 / 219.0; };
    switch (layout.format) {
        case SimFormat::kBGR:
            return (row[3 * x] + row[3 * x + 1] + row[3 * x + 2]) / 3.0;
        case SimFormat::kBGRx:
            return (row[4 * x] + row[4 * x + 1] + row[4 * x + 2]) / 3.0;
        case SimFormat::kYUY2:
            return fromStudio(row[2 * x]);
        case SimFormat::kUYVY:
            return fromStudio(row[2 * x + 1]);
        case SimFormat::kI420:
        case SimFormat::kYV12:
            return fromStudio(row[x]);
        case SimFormat::kRGB16: {
            uint16_t word = 0;
            std::memcpy(&word, row + 2 * x, sizeof word);
            return ((word >> 5) & 0x3F) * 255.0 / 63.0;
        }
    }
    return 0.0;
}

SimPoint MeasureGuideStar(const SimSky& sky, uint64_t frame, const SimLayout& layout,
                          const uint8_t* data, SimPoint guess) {
    std::vector<float> rows(sky.Height());
    std::vector<float> columns(sky.Width());
    sky.BandingAt(frame, rows, columns);
    const double threshold = 3.0 * sky.NoiseSigma();
    double sum = 0.0, sumX = 0.0, sumY = 0.0;
    const int cx = static_cast<int>(guess.x + 0.5);
    const int cy = static_cast<int>(guess.y + 0.5);
    for (int y = std::max(0, cy - 8); y <= std::min(sky.Height() - 1, cy + 8); ++y) {
        for (int x = std::max(0, cx - 8); x <= std::min(sky.Width() - 1, cx + 8); ++x) {
            const double local = sky.BackgroundLevel() + rows[y] + columns[x];
            const double signal = LumaAt(layout, data, x, y) - local;
            if (signal <= threshold) continue;
            sum += signal;
            sumX += signal * x;
            sumY += signal * y;
        }
    }
    if (sum <= 0.0) return {-1.0, -1.0};
    return {sumX / sum, sumY / sum};
}

TestPipeline::TestPipeline(const std::string& description) {
    GErrorPtr error;
    GstElement* element = gst_parse_launch(description.c_str(), OutPtr(error));
    if (error) error_ = error->message;
    pipeline_ = AdoptFloating(element);
    if (pipeline_ && error) pipeline_.reset();  // a partial pipeline is no use to a test
}

TestPipeline::~TestPipeline() {
    if (pipeline_) gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
}

GstElementPtr TestPipeline::ByName(const char* name) const {
    return GstElementPtr(gst_bin_get_by_name(GST_BIN(pipeline_.get()), name));
}

bool TestPipeline::Play() {
    return gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

GstSamplePtr TestPipeline::Pull() {
    GstElementPtr sink = ByName("sink");
    if (!sink) return nullptr;
    return GstSamplePtr(gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 10 * GST_SECOND));
}

std::optional<std::string> TestPipeline::WaitForError() {
    GstBusPtr bus(gst_element_get_bus(pipeline_.get()));
    GstMessagePtr message(
        gst_bus_timed_pop_filtered(bus.get(), 10 * GST_SECOND, GST_MESSAGE_ERROR));
    if (!message) return std::nullopt;
    GErrorPtr error;
    GCharPtr debug;
    gst_message_parse_error(message.get(), OutPtr(error), OutPtr(debug));
    return std::string(error ? error->message : "") + " | " + (debug ? debug.get() : "");
}

SimLayout LayoutOf(GstSample* sample) {
    SimLayout layout;
    GstVideoInfo info;
    if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample))) {
        SimLayoutFromVideoInfo(info, &layout);
    }
    return layout;
}

std::vector<uint8_t> BytesOf(GstSample* sample) {
    BufferMapping mapping(gst_sample_get_buffer(sample), GST_MAP_READ);
    return {mapping.Data(), mapping.Data() + mapping.Size()};
}

}  // namespace kelpa::test
