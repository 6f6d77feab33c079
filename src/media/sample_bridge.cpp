#include "media/sample_bridge.h"

#include <gst/app/gstappsink.h>

#include <cmath>
#include <cstdlib>

#include "common/log.h"
#include "media/file_seek.h"
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

void SampleBridge::AdoptType(const VideoMediaType& type) {
    sink_.SetSourceHeader(type.header);
    uint32_t offsets[3];
    uint32_t strides[3];
    PlaneLayoutFromInfo(type.info, offsets, strides);
    sink_.SetPlaneLayout(offsets, strides);
    info_ = type.info;
    std::lock_guard lock(typeMutex_);
    current_ = type;
}

void SampleBridge::AdoptConnectedType(const VideoMediaType& type) {
    AdoptType(type);
    formatChanges_.store(0);
    resetAccepted_.store(true);
    haveInfo_.store(true);
}

void SampleBridge::Reset() {
    haveInfo_.store(false);
    resetAccepted_.store(true);
    formatChanges_.store(0);
    std::lock_guard lock(typeMutex_);
    current_ = VideoMediaType{};
}

VideoMediaType SampleBridge::CurrentType() const {
    std::lock_guard lock(typeMutex_);
    return current_;
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
    if (resetAccepted_.exchange(false)) {
        accepted_.reset();
        refusedCaps_.reset();
    }
    if (haveInfo_.load() && !AcceptCaps(gst_sample_get_caps(sample))) {
        Drop(gst_sample_get_caps(sample));
        return GST_FLOW_OK;
    }

    BufferMapping map(buffer, GST_MAP_READ);
    if (!map.Ok()) return GST_FLOW_OK;
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    const double seconds = GST_CLOCK_TIME_IS_VALID(pts) ? static_cast<double>(pts) / GST_SECOND : 0;
    sink_.SampleCB(seconds, map.Data(), map.Size());
    delivered_.fetch_add(1);
    return GST_FLOW_OK;
}

// The caps of a stream rarely change: a new caps object is looked at once, and a format the
// stream changed to is adopted before its first sample reaches the intake.
bool SampleBridge::AcceptCaps(GstCaps* caps) {
    if (!caps) return false;
    if (caps == accepted_.get()) return true;
    if (caps == refusedCaps_.get()) return false;
    GstVideoInfo info;
    const bool same = gst_video_info_from_caps(&info, caps) && SameLayout(info, info_);
    if (!same && !FollowFormat(caps)) return false;
    accepted_ = RefMini(caps);
    return true;
}

// Reconnects the intake to the format the stream changed to, as a format change before a run
// does: converter, geometry, live and processed pictures and the accumulator follow the new
// header. No frame of the old format is in flight: this runs before the first new sample.
bool SampleBridge::FollowFormat(GstCaps* caps) {
    VideoMediaType type;
    if (!ParseVideoCaps(caps, &type) || !type.hasInfo || !IsSupportedFormat(type.header)) {
        return false;
    }
    LogPrintf("The stream changed its format to %s %d x %d", SubtypeName(type.subtype).c_str(),
              type.header.width, std::abs(type.header.height));
    AdoptType(type);
    if (type.timePerFrame100ns > 0) {
        double fps = 10000000.0 / static_cast<double>(type.timePerFrame100ns);
        if (fps < 1.0) fps = kDefaultFileFps;
        if (std::abs(fps - sink_.fps.load()) > 0.001 * fps) {
            sink_.ApplyFrameRate(fps);
            LogPrintf("FPS=%.2f", fps);
        }
    }
    formatChanges_.fetch_add(1);
    return true;
}

void SampleBridge::Drop(GstCaps* caps) {
    refused_.fetch_add(1);
    sink_.samplesDropped.fetch_add(1);
    if (caps == refusedCaps_.get()) return;
    const bool known = refusedCaps_ && caps && gst_caps_is_equal(caps, refusedCaps_.get());
    refusedCaps_ = RefMini(caps);
    if (known) return;
    GCharPtr text(caps ? gst_caps_to_string(caps) : g_strdup("no caps"));
    LogPrintf("Frames in a format that cannot be shown are dropped: %s", text.get());
}

}  // namespace kelpa
