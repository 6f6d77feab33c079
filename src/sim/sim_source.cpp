// The "kelpasimsrc" element: a GstPushSrc that renders the simulated sky.
#include "sim/sim_source.h"

#include "sim/sim_sky.h"

#include <gst/base/gstpushsrc.h>

#include <atomic>
#include <memory>
#include <string>

namespace kelpa {
namespace {

GST_DEBUG_CATEGORY_STATIC(simSourceDebug);
#define GST_CAT_DEFAULT simSourceDebug

enum SimSourceProperty : guint {
    kPropSeed = 1,
    kPropFormats,
    kPropFailAfter,
    kPropIsLive,
    kPropColour,
};

constexpr guint kDefaultSeed = 1;

// C++ state of one element. Properties may be set from any thread; the streaming thread reads
// the plain values without a lock, the format list under the object lock.
struct SimSourceState {
    std::atomic<guint> seed{kDefaultSeed};
    std::atomic<guint64> failAfter{0};
    std::atomic<bool> colour{true};
    std::vector<SimFormat> formats{kSimAcceptedFormats.begin(), kSimAcceptedFormats.end()};
    std::atomic<GstClockTime> frameDuration{GST_CLOCK_TIME_NONE};  // for latency queries

    // Streaming thread only (and start/stop, while it does not run).
    std::unique_ptr<SimSky> sky;
    SimLayout layout;
    int rateNumerator = 0;
    int rateDenominator = 1;
    guint64 frame = 0;
    // Timestamps run on from (firstPts, firstFrame) at the current rate, so a change of rate
    // in mid-stream continues the timeline instead of jumping along it.
    GstClockTime firstPts = 0;
    guint64 firstFrame = 0;
};

struct KelpaSimSrc {
    GstPushSrc parent;
    std::unique_ptr<SimSourceState> state;  // built in instance init, destroyed in finalize
};

struct KelpaSimSrcClass {
    GstPushSrcClass parentClass;
};

G_DEFINE_TYPE(KelpaSimSrc, kelpa_sim_src, GST_TYPE_PUSH_SRC)

// Start time of frame `frame` at the current rate.
GstClockTime FramePts(const SimSourceState& state, guint64 frame) {
    return state.firstPts +
           gst_util_uint64_scale(frame - state.firstFrame,
                                 GST_SECOND * static_cast<guint64>(state.rateDenominator),
                                 static_cast<guint64>(state.rateNumerator));
}

SimSourceState& StateOf(gpointer object) {
    return *reinterpret_cast<KelpaSimSrc*>(object)->state;
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* param) {
    SimSourceState& state = StateOf(object);
    switch (id) {
        case kPropSeed:
            state.seed = g_value_get_uint(value);
            break;
        case kPropFailAfter:
            state.failAfter = g_value_get_uint64(value);
            break;
        case kPropColour:
            state.colour = g_value_get_boolean(value);
            break;
        case kPropIsLive:
            gst_base_src_set_live(GST_BASE_SRC(object), g_value_get_boolean(value));
            break;
        case kPropFormats: {
            const char* text = g_value_get_string(value);
            std::vector<SimFormat> formats;
            if (text == nullptr || !ParseSimFormats(text, &formats)) {
                GST_WARNING_OBJECT(object,
                                   "Ignoring formats \"%s\": expected a comma-separated list of "
                                   "BGR, BGRx, YUY2, UYVY, I420, YV12, RGB16",
                                   text != nullptr ? text : "(null)");
                break;
            }
            GST_OBJECT_LOCK(object);
            state.formats = std::move(formats);
            GST_OBJECT_UNLOCK(object);
            gst_pad_mark_reconfigure(GST_BASE_SRC_PAD(object));
            break;
        }
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
            break;
    }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* param) {
    SimSourceState& state = StateOf(object);
    switch (id) {
        case kPropSeed:
            g_value_set_uint(value, state.seed);
            break;
        case kPropFailAfter:
            g_value_set_uint64(value, state.failAfter);
            break;
        case kPropColour:
            g_value_set_boolean(value, state.colour);
            break;
        case kPropIsLive:
            g_value_set_boolean(value, gst_base_src_is_live(GST_BASE_SRC(object)));
            break;
        case kPropFormats: {
            GST_OBJECT_LOCK(object);
            const std::string text = SimFormatsText(state.formats);
            GST_OBJECT_UNLOCK(object);
            g_value_set_string(value, text.c_str());
            break;
        }
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
            break;
    }
}

void Finalize(GObject* object) {
    std::destroy_at(&reinterpret_cast<KelpaSimSrc*>(object)->state);
    G_OBJECT_CLASS(kelpa_sim_src_parent_class)->finalize(object);
}

GstCaps* GetCaps(GstBaseSrc* src, GstCaps* filter) {
    GST_OBJECT_LOCK(src);
    const std::vector<SimFormat> formats = StateOf(src).formats;
    GST_OBJECT_UNLOCK(src);
    GstCapsPtr caps = SimSourceCaps(formats);
    if (filter == nullptr) return caps.release();
    return gst_caps_intersect_full(filter, caps.get(), GST_CAPS_INTERSECT_FIRST);
}

// Keeps the first (most preferred) structure and settles an open frame rate on 30/1.
GstCaps* Fixate(GstBaseSrc* src, GstCaps* caps) {
    caps = gst_caps_truncate(gst_caps_make_writable(caps));
    GstStructure* s = gst_caps_get_structure(caps, 0);
    gst_structure_fixate_field_nearest_int(s, "width", kSimFrameSizes[0].width);
    gst_structure_fixate_field_nearest_int(s, "height", kSimFrameSizes[0].height);
    gst_structure_fixate_field_nearest_fraction(s, "framerate", kSimDefaultFrameRate, 1);
    return GST_BASE_SRC_CLASS(kelpa_sim_src_parent_class)->fixate(src, caps);
}

// Builds the sky for the negotiated size and rate (on the streaming thread, before the first
// frame of the new format; a change of seed or colour takes effect here too).
gboolean SetCaps(GstBaseSrc* src, GstCaps* caps) {
    SimSourceState& state = StateOf(src);
    GstVideoInfo info;
    SimLayout layout;
    if (!gst_video_info_from_caps(&info, caps) || !SimLayoutFromVideoInfo(info, &layout) ||
        GST_VIDEO_INFO_FPS_N(&info) <= 0 || GST_VIDEO_INFO_FPS_D(&info) <= 0) {
        GST_ERROR_OBJECT(src, "cannot render caps %" GST_PTR_FORMAT, caps);
        return FALSE;
    }
    SimSkyParams params;
    params.seed = state.seed;
    params.width = GST_VIDEO_INFO_WIDTH(&info);
    params.height = GST_VIDEO_INFO_HEIGHT(&info);
    params.frameRate =
        static_cast<double>(GST_VIDEO_INFO_FPS_N(&info)) / GST_VIDEO_INFO_FPS_D(&info);
    params.colour = state.colour;
    const bool same = state.sky && state.sky->Params().seed == params.seed &&
                      state.sky->Width() == params.width && state.sky->Height() == params.height &&
                      state.sky->Params().frameRate == params.frameRate &&
                      state.sky->Params().colour == params.colour;
    if (!same) state.sky = std::make_unique<SimSky>(params);
    state.layout = layout;
    if (state.rateNumerator > 0) {
        state.firstPts = FramePts(state, state.frame);
        state.firstFrame = state.frame;
    }
    state.rateNumerator = GST_VIDEO_INFO_FPS_N(&info);
    state.rateDenominator = GST_VIDEO_INFO_FPS_D(&info);
    state.frameDuration =
        gst_util_uint64_scale_int(GST_SECOND, state.rateDenominator, state.rateNumerator);
    gst_base_src_set_blocksize(src, static_cast<guint>(GST_VIDEO_INFO_SIZE(&info)));
    return TRUE;
}

// Uses a video buffer pool of our own, so every buffer has exactly the negotiated layout.
gboolean DecideAllocation(GstBaseSrc* src, GstQuery* query) {
    GstCaps* caps = nullptr;
    gst_query_parse_allocation(query, &caps, nullptr);
    GstVideoInfo info;
    if (caps == nullptr || !gst_video_info_from_caps(&info, caps)) return FALSE;
    guint size = static_cast<guint>(GST_VIDEO_INFO_SIZE(&info));
    guint minBuffers = 0;
    guint maxBuffers = 0;
    const bool offered = gst_query_get_n_allocation_pools(query) > 0;
    if (offered) {
        GstBufferPoolPtr downstream;
        guint downstreamSize = 0;
        gst_query_parse_nth_allocation_pool(query, 0, OutPtr(downstream), &downstreamSize,
                                            &minBuffers, &maxBuffers);
    }
    GstBufferPoolPtr pool(gst_video_buffer_pool_new());
    GstStructure* config = gst_buffer_pool_get_config(pool.get());
    gst_buffer_pool_config_set_params(config, caps, size, minBuffers, maxBuffers);
    if (!gst_buffer_pool_set_config(pool.get(), config)) {
        GST_ELEMENT_ERROR(src, RESOURCE, SETTINGS, ("Failed to configure the buffer pool"),
                          ("%u bytes per frame", size));
        return FALSE;
    }
    if (offered) {
        gst_query_set_nth_allocation_pool(query, 0, pool.get(), size, minBuffers, maxBuffers);
    } else {
        gst_query_add_allocation_pool(query, pool.get(), size, minBuffers, maxBuffers);
    }
    return TRUE;
}

gboolean Start(GstBaseSrc* src) {
    SimSourceState& state = StateOf(src);
    state.frame = 0;
    state.firstFrame = 0;
    state.firstPts = 0;
    return TRUE;
}

gboolean IsSeekable(GstBaseSrc*) {
    return FALSE;
}

// A live camera's frame is due when its timestamp comes round on the pipeline clock.
void GetTimes(GstBaseSrc* src, GstBuffer* buffer, GstClockTime* start, GstClockTime* end) {
    *start = GST_CLOCK_TIME_NONE;
    *end = GST_CLOCK_TIME_NONE;
    if (!gst_base_src_is_live(src)) return;
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(pts)) return;
    *start = pts;
    if (GST_BUFFER_DURATION_IS_VALID(buffer)) *end = pts + GST_BUFFER_DURATION(buffer);
}

// A live camera delivers each frame one frame time after it began exposing it.
gboolean Query(GstBaseSrc* src, GstQuery* query) {
    const GstClockTime frameTime = StateOf(src).frameDuration;
    if (GST_QUERY_TYPE(query) == GST_QUERY_LATENCY && GST_CLOCK_TIME_IS_VALID(frameTime)) {
        gst_query_set_latency(query, gst_base_src_is_live(src), frameTime, frameTime);
        return TRUE;
    }
    return GST_BASE_SRC_CLASS(kelpa_sim_src_parent_class)->query(src, query);
}

// Streaming thread: renders the next frame into a buffer from the pool.
GstFlowReturn Fill(GstPushSrc* src, GstBuffer* buffer) {
    SimSourceState& state = StateOf(src);
    if (!state.sky) return GST_FLOW_NOT_NEGOTIATED;
    const guint64 failAfter = state.failAfter;
    if (failAfter != 0 && state.frame >= failAfter) {
        GST_ELEMENT_ERROR(
            src, RESOURCE, READ, ("Camera disconnected"),
            ("The simulated camera was unplugged after %" G_GUINT64_FORMAT " frames", failAfter));
        return GST_FLOW_ERROR;
    }
    {
        BufferMapping mapping(buffer, GST_MAP_WRITE);
        if (!mapping.Ok() ||
            !state.sky->Render(state.frame, state.layout, mapping.Data(), mapping.Size())) {
            GST_ELEMENT_ERROR(src, RESOURCE, WRITE, ("Could not render a frame"),
                              ("buffer of %" G_GSIZE_FORMAT " bytes, frame of %" G_GSIZE_FORMAT,
                               mapping.Size(), state.layout.size));
            return GST_FLOW_ERROR;
        }
    }
    const GstClockTime pts = FramePts(state, state.frame);
    GST_BUFFER_PTS(buffer) = pts;
    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
    GST_BUFFER_DURATION(buffer) = FramePts(state, state.frame + 1) - pts;
    GST_BUFFER_OFFSET(buffer) = state.frame;
    GST_BUFFER_OFFSET_END(buffer) = state.frame + 1;
    ++state.frame;
    return GST_FLOW_OK;
}

void InstallProperties(GObjectClass* object) {
    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(
        object, kPropSeed,
        g_param_spec_uint("seed", "Seed", "The simulated sky; the same seed gives the same frames",
                          0, G_MAXUINT, kDefaultSeed, flags));
    const std::string defaults =
        SimFormatsText({kSimAcceptedFormats.begin(), kSimAcceptedFormats.end()});
    g_object_class_install_property(
        object, kPropFormats,
        g_param_spec_string("formats", "Formats",
                            "Comma-separated GStreamer format names the camera offers",
                            defaults.c_str(), flags));
    g_object_class_install_property(
        object, kPropFailAfter,
        g_param_spec_uint64("fail-after", "Fail after",
                            "Frames until the camera acts unplugged (0 = never)", 0, G_MAXUINT64, 0,
                            flags));
    g_object_class_install_property(
        object, kPropIsLive,
        g_param_spec_boolean("is-live", "Is live",
                             "Deliver frames at the frame rate on the pipeline clock", TRUE,
                             flags));
    g_object_class_install_property(
        object, kPropColour,
        g_param_spec_boolean("colour", "Colour", "Give the field stars a gentle colour", TRUE,
                             flags));
}

void kelpa_sim_src_class_init(KelpaSimSrcClass* klass) {
    GObjectClass* object = G_OBJECT_CLASS(klass);
    object->set_property = SetProperty;
    object->get_property = GetProperty;
    object->finalize = Finalize;
    InstallProperties(object);

    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(
        element, "Telescope Simulator", "Source/Video",
        "A simulated telescope camera: a night sky with a drifting guide star", "Kelpa");
    GstCapsPtr all = SimSourceCaps({kSimAllFormats.begin(), kSimAllFormats.end()});
    gst_element_class_add_pad_template(
        element, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, all.get()));

    GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
    base->get_caps = GetCaps;
    base->fixate = Fixate;
    base->set_caps = SetCaps;
    base->decide_allocation = DecideAllocation;
    base->start = Start;
    base->is_seekable = IsSeekable;
    base->get_times = GetTimes;
    base->query = Query;
    GST_PUSH_SRC_CLASS(klass)->fill = Fill;
}

void kelpa_sim_src_init(KelpaSimSrc* self) {
    std::construct_at(&self->state, std::make_unique<SimSourceState>());
    gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}

struct FormatPair {
    SimFormat sim;
    GstVideoFormat gst;
};

constexpr std::array<FormatPair, 7> kFormatPairs = {{
    {SimFormat::kBGR, GST_VIDEO_FORMAT_BGR},
    {SimFormat::kBGRx, GST_VIDEO_FORMAT_BGRx},
    {SimFormat::kYUY2, GST_VIDEO_FORMAT_YUY2},
    {SimFormat::kUYVY, GST_VIDEO_FORMAT_UYVY},
    {SimFormat::kI420, GST_VIDEO_FORMAT_I420},
    {SimFormat::kYV12, GST_VIDEO_FORMAT_YV12},
    {SimFormat::kRGB16, GST_VIDEO_FORMAT_RGB16},
}};

}  // namespace

GType SimSourceGetType() {
    return kelpa_sim_src_get_type();
}

bool RegisterSimSource(GstPlugin* plugin) {
    GST_DEBUG_CATEGORY_INIT(simSourceDebug, kSimSourceFactoryName, 0, "Telescope Simulator");
    return gst_element_register(plugin, kSimSourceFactoryName, GST_RANK_NONE, SimSourceGetType());
}

GstCapsPtr SimSourceCaps(const std::vector<SimFormat>& formats) {
    GstCapsPtr caps(gst_caps_new_empty());
    for (SimFormat format : formats) {
        for (const SimFrameSize& size : kSimFrameSizes) {
            gst_caps_append_structure(
                caps.get(), gst_structure_new(
                                "video/x-raw", "format", G_TYPE_STRING, SimFormatName(format),
                                "width", G_TYPE_INT, size.width, "height", G_TYPE_INT, size.height,
                                "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, "framerate",
                                GST_TYPE_FRACTION_RANGE, 1, 1, kSimMaxFrameRate, 1, nullptr));
        }
    }
    return caps;
}

std::optional<SimFormat> SimFormatFromVideoFormat(GstVideoFormat format) {
    for (const FormatPair& pair : kFormatPairs) {
        if (pair.gst == format) return pair.sim;
    }
    return std::nullopt;
}

bool SimLayoutFromVideoInfo(const GstVideoInfo& info, SimLayout* layout) {
    const std::optional<SimFormat> format = SimFormatFromVideoFormat(GST_VIDEO_INFO_FORMAT(&info));
    if (!format) return false;
    layout->format = *format;
    layout->width = GST_VIDEO_INFO_WIDTH(&info);
    layout->height = GST_VIDEO_INFO_HEIGHT(&info);
    for (int plane = 0; plane < 3; ++plane) {
        const bool used = plane < static_cast<int>(GST_VIDEO_INFO_N_PLANES(&info));
        layout->stride[plane] = used ? GST_VIDEO_INFO_PLANE_STRIDE(&info, plane) : 0;
        layout->offset[plane] = used ? GST_VIDEO_INFO_PLANE_OFFSET(&info, plane) : 0;
    }
    layout->size = GST_VIDEO_INFO_SIZE(&info);
    return true;
}

}  // namespace kelpa
