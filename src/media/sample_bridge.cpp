#include "media/sample_bridge.h"

#include <gst/app/gstappsink.h>

#include "common/log.h"
#include "media/gst_ptr.h"

namespace kelpa {
namespace {

bool SameLayout(const GstVideoInfo& a, const GstVideoInfo& b) {
    if (GST_VIDEO_INFO_FORMAT(&a) != GST_VIDEO_INFO_FORMAT(&b) ||
        GST_VIDEO_INFO_WIDTH(&a) != GST_VIDEO_INFO_WIDTH(&b) ||
        GST_VIDEO_INFO_HEIGHT(&a) != GST_VIDEO_INFO_HEIGHT(&b) ||
        GST_VIDEO_INFO_N_PLANES(&a) != GST_VIDEO_INFO_N_PLANES(&b)) {
        return false;
    }
    for (guint i = 0; i < GST_VIDEO_INFO_N_PLANES(&a); ++i) {
        if (GST_VIDEO_INFO_PLANE_OFFSET(&a, i) != GST_VIDEO_INFO_PLANE_OFFSET(&b, i) ||
            GST_VIDEO_INFO_PLANE_STRIDE(&a, i) != GST_VIDEO_INFO_PLANE_STRIDE(&b, i)) {
            return false;
        }
    }
    return true;
}

}  // namespace

void SampleBridge::Attach(GstElement* appsink) {
    Detach();
    appsink_ = appsink;
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink* sink, gpointer self) {
        return OnNewSample(GST_ELEMENT(sink), self);
    };
    callbacks.new_preroll = [](GstAppSink* sink, gpointer self) {
        return OnNewPreroll(GST_ELEMENT(sink), self);
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(appsink_), &callbacks, this, nullptr);
}

void SampleBridge::Detach() {
    if (!appsink_) return;
    GstAppSinkCallbacks none{};
    gst_app_sink_set_callbacks(GST_APP_SINK(appsink_), &none, nullptr, nullptr);
    appsink_ = nullptr;
}

void SampleBridge::SetConnectedInfo(const GstVideoInfo& info) {
    info_ = info;
    resetAccepted_.store(true);
    haveInfo_.store(true);
    refusalLogged_.store(false);
}

void SampleBridge::AdoptConnectedType(const VideoMediaType& type) {
    sink_.SetSourceHeader(type.header);
    uint32_t offsets[3];
    uint32_t strides[3];
    PlaneLayoutFromInfo(type.info, offsets, strides);
    sink_.SetPlaneLayout(offsets, strides);
    SetConnectedInfo(type.info);
}

GstFlowReturn SampleBridge::OnNewSample(GstElement* appsink, gpointer self) {
    GstSamplePtr sample(gst_app_sink_pull_sample(GST_APP_SINK(appsink)));
    if (!sample) return GST_FLOW_EOS;
    return static_cast<SampleBridge*>(self)->Deliver(sample.get(), false);
}

GstFlowReturn SampleBridge::OnNewPreroll(GstElement* appsink, gpointer self) {
    GstSamplePtr sample(gst_app_sink_pull_preroll(GST_APP_SINK(appsink)));
    if (!sample) return GST_FLOW_OK;
    return static_cast<SampleBridge*>(self)->Deliver(sample.get(), true);
}

// Streaming thread.
GstFlowReturn SampleBridge::Deliver(GstSample* sample, bool preroll) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (!buffer) return GST_FLOW_OK;
    if (preroll) {
        if (!deliverPreroll_.load()) return GST_FLOW_OK;
        lastPreroll_.store(buffer);
    } else if (lastPreroll_.exchange(nullptr) == buffer) {
        return GST_FLOW_OK;  // already shown while the graph was paused
    }

    // The caps of a stream rarely change; a new caps object is checked once.
    GstCaps* caps = gst_sample_get_caps(sample);
    if (resetAccepted_.exchange(false)) accepted_.reset();
    if (haveInfo_.load() && caps != accepted_.get()) {
        GstVideoInfo info;
        if (!caps || !gst_video_info_from_caps(&info, caps) || !SameLayout(info, info_)) {
            refused_.fetch_add(1);
            if (!refusalLogged_.exchange(true)) {
                LogPrintf("A frame in a format other than the connected one was dropped");
            }
            return GST_FLOW_OK;
        }
        accepted_ = RefMini(caps);
    }

    BufferMapping map(buffer, GST_MAP_READ);
    if (!map.Ok()) return GST_FLOW_OK;
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    const double seconds = GST_CLOCK_TIME_IS_VALID(pts) ? static_cast<double>(pts) / GST_SECOND : 0;
    sink_.SampleCB(seconds, map.Data(), map.Size());
    delivered_.fetch_add(1);
    return GST_FLOW_OK;
}

}  // namespace kelpa
