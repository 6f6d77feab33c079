// The capture graph's connections: the subtype searches that link the device through the
// grabber into the renderer, the connected type read back for the intake, the reconnection
// after a format change, and taking the graph apart.
#include <gst/app/gstappsink.h>

#include <cstdlib>

#include "common/log.h"
#include "media/capture_graph.h"
#include "media/graph_dump.h"

namespace kelpa {
namespace {

constexpr const char* kSeparator = "----------------------";
constexpr guint kLiveQueueFrames = 2;
constexpr uint32_t kOpenTimeoutMs = 5000;
// Dropped frames are reported in the log once every this many.
constexpr uint64_t kDropReportEvery = 100;

GstElementPtr MakeElement(const char* factory, const char* name) {
    return AdoptFloating(gst_element_factory_make(factory, name));
}

bool InBin(GstElement* element) {
    return element && GST_OBJECT_PARENT(element) != nullptr;
}

// The caps a filter in front of the renderer holds: the format set on the device first, which
// the device takes whenever it can, then the same subtype at any size and rate. A camera that
// settles on another size or rate than the one asked for, or switches its mode while it runs,
// still delivers its frames, and the intake follows the caps that arrive with them.
GstCapsPtr PreferredThenAnySize(const GstCaps* fixed) {
    GstCapsPtr caps(gst_caps_copy(fixed));
    const GstStructure* preferred = gst_caps_get_structure(fixed, 0);
    GstStructure* any = gst_structure_new_empty(gst_structure_get_name(preferred));
    if (const GValue* format = gst_structure_get_value(preferred, "format")) {
        gst_structure_set_value(any, "format", format);
    }
    gst_caps_append_structure(caps.get(), any);
    return caps;
}

// Streaming thread (and the GUI thread while the graph changes state): the answer to a device's
// caps query, with the formats that agree with the one set on the device first. A source that
// asks with its own caps as the filter gets the answer in its own order, and would otherwise
// fixate to its first size of the subtype instead of the one asked for.
GstPadProbeReturn PreferDeviceFormat(GstPad*, GstPadProbeInfo* info, gpointer grabber) {
    GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
    if (!query || GST_QUERY_TYPE(query) != GST_QUERY_CAPS || !gst_query_is_writable(query)) {
        return GST_PAD_PROBE_OK;
    }
    GstCaps* answer = nullptr;
    gst_query_parse_caps_result(query, &answer);
    GstCaps* heldCaps = nullptr;
    g_object_get(grabber, "caps", &heldCaps, nullptr);
    const GstCapsPtr held(heldCaps);
    if (!answer || !held || gst_caps_is_empty(held.get()) || gst_caps_is_any(answer)) {
        return GST_PAD_PROBE_OK;
    }
    GstCapsPtr preferred(gst_caps_copy_nth(held.get(), 0));
    GstCapsPtr first(gst_caps_new_empty());
    GstCapsPtr rest(gst_caps_new_empty());
    for (guint i = 0; i < gst_caps_get_size(answer); ++i) {
        GstCapsPtr one(gst_caps_copy_nth(answer, i));
        GstCaps* target =
            gst_caps_can_intersect(one.get(), preferred.get()) ? first.get() : rest.get();
        gst_caps_append(target, one.release());
    }
    gst_caps_append(first.get(), rest.release());
    gst_query_set_caps_result(query, first.get());
    return GST_PAD_PROBE_OK;
}

}  // namespace

bool CaptureGraph::CreateDownstream() {
    grabber_ = MakeElement("capsfilter", "VidCam Grabber");
    if (!grabber_) {
        Show("Could not create sample grabber filter (is qedit.dll registered?)");
        return false;
    }
    if (!gst_bin_add(graph_->Bin(), grabber_.get())) {
        Show("Could not put sample grabber in graph");
        return false;
    }
    GstPadPtr grabberInput(gst_element_get_static_pad(grabber_.get(), "sink"));
    gst_pad_add_probe(
        grabberInput.get(),
        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM | GST_PAD_PROBE_TYPE_PULL),
        &PreferDeviceFormat, grabber_.get(), nullptr);
    queue_ = MakeElement("queue", nullptr);
    renderer_ = MakeElement("appsink", "Null Renderer");
    if (!queue_ || !renderer_) {
        Show("Unable to make a null renderer");
        return false;
    }
    // A camera never waits for the frame path: the queue drops the oldest frame instead.
    g_object_set(queue_.get(), "leaky", 2, "max-size-buffers", kLiveQueueFrames, "max-size-bytes",
                 0u, "max-size-time", guint64{0}, nullptr);
    g_signal_connect(queue_.get(), "overrun", G_CALLBACK(&CaptureGraph::OnQueueOverrun), this);
    g_object_set(renderer_.get(), "sync", FALSE, "enable-last-sample", FALSE, "max-buffers", 1u,
                 "drop", TRUE, nullptr);
    return true;
}

// Streaming thread.
void CaptureGraph::OnQueueOverrun(GstElement*, gpointer self) {
    const uint64_t dropped = static_cast<CaptureGraph*>(self)->dropped_.fetch_add(1) + 1;
    if (dropped == 1 || dropped % kDropReportEvery == 0) {
        LogPrintf("The frame path fell behind the camera: %llu frame(s) dropped so far",
                  static_cast<unsigned long long>(dropped));
    }
}

bool CaptureGraph::AddRenderer(const char* failureText) {
    if (!InBin(queue_.get()) && !gst_bin_add(graph_->Bin(), queue_.get())) {
        Show(failureText);
        return false;
    }
    if (!InBin(renderer_.get()) && !gst_bin_add(graph_->Bin(), renderer_.get())) {
        Show(failureText);
        return false;
    }
    return true;
}

void CaptureGraph::Unlink() {
    GstElement* chain[] = {device_,          grabber_.get(),       decoder_.get(),
                           converter_.get(), decodedFilter_.get(), queue_.get(),
                           renderer_.get()};
    for (size_t i = 0; i + 1 < std::size(chain); ++i) {
        for (size_t j = i + 1; j < std::size(chain); ++j) {
            if (chain[i] && chain[j] && InBin(chain[i]) && InBin(chain[j])) {
                gst_element_unlink(chain[i], chain[j]);
            }
        }
    }
    for (GstElementPtr* e : {&decoder_, &converter_, &decodedFilter_}) {
        if (InBin(e->get())) graph_->Remove(e->get());
    }
    decoding_ = false;
}

// Links device -> grabber [-> JPEG decoder -> converter -> I420 filter] -> queue -> renderer,
// with the grabber holding the device's fixed format.
bool CaptureGraph::Link(const GstCaps* deviceSide, bool decodeJpeg) {
    Unlink();
    g_object_set(grabber_.get(), "caps", PreferredThenAnySize(deviceSide).get(), nullptr);
    std::vector<GstElement*> chain = {device_, grabber_.get()};
    if (decodeJpeg) {
        if (!decoder_) decoder_ = MakeElement("jpegdec", "JPEG Decoder");
        if (!converter_) converter_ = MakeElement("videoconvert", nullptr);
        if (!decodedFilter_) decodedFilter_ = MakeElement("capsfilter", nullptr);
        if (!decoder_ || !converter_ || !decodedFilter_) return false;
        for (GstElement* e : {decoder_.get(), converter_.get(), decodedFilter_.get()}) {
            if (!gst_bin_add(graph_->Bin(), e)) return false;
            chain.push_back(e);
        }
        VideoMediaType jpeg;
        ParseVideoCaps(deviceSide, &jpeg);
        GstCapsPtr raw = CapsForSubtype(kSubtypeI420);
        const GstStructure* in = gst_caps_get_structure(deviceSide, 0);
        gst_caps_set_simple(raw.get(), "width", G_TYPE_INT, jpeg.header.width, "height", G_TYPE_INT,
                            jpeg.header.height, nullptr);
        gint num = 0;
        gint den = 1;
        if (gst_structure_get_fraction(in, "framerate", &num, &den)) {
            gst_caps_set_simple(raw.get(), "framerate", GST_TYPE_FRACTION, num, den, nullptr);
        }
        g_object_set(decodedFilter_.get(), "caps", PreferredThenAnySize(raw.get()).get(), nullptr);
        connectedCaps_ = std::move(raw);
        decoding_ = true;
    } else {
        connectedCaps_ = RefMini(const_cast<GstCaps*>(deviceSide));
    }
    if (InBin(queue_.get())) chain.push_back(queue_.get());
    if (InBin(renderer_.get())) chain.push_back(renderer_.get());
    for (size_t i = 0; i + 1 < chain.size(); ++i) {
        if (!gst_element_link(chain[i], chain[i + 1])) {
            Unlink();
            return false;
        }
    }
    return true;
}

// The device's fixed format for one subtype: the format already set on the device when it is
// of that subtype, else the nearest one the device offers.
bool CaptureGraph::RenderWithSubtype(uint32_t subtype) {
    GstCapsPtr wanted = SubtypeFromCaps(deviceFormat_.get()) == subtype
                            ? RefMini(deviceFormat_.get())
                            : CapsForSubtype(subtype);
    LogPrintf("Found media type: %s", SubtypeName(subtype).c_str());
    GstCapsPtr fixed = FixedCapsFor(wanted.get());
    return fixed && Link(fixed.get(), false);
}

// Cameras that offer nothing but MJPEG (common for UVC webcams at high resolutions).
bool CaptureGraph::RenderMjpeg() {
    GstCapsPtr wanted = SubtypeFromCaps(deviceFormat_.get()) == kSubtypeMjpg
                            ? RefMini(deviceFormat_.get())
                            : CapsForSubtype(kSubtypeMjpg);
    GstCapsPtr fixed = FixedCapsFor(wanted.get());
    if (!fixed || !Link(fixed.get(), true)) return false;
    LogPrintf("No raw format connects: the camera's MJPEG stream is decoded by a JPEG decoder");
    return true;
}

// A raw format the program cannot convert still connects, so that the connected type is
// reported as unsupported rather than the device as busy.
bool CaptureGraph::RenderAnyRaw() {
    GstCapsPtr raw(gst_caps_new_empty_simple("video/x-raw"));
    GstCapsPtr fixed = FixedCapsFor(raw.get());
    return fixed && Link(fixed.get(), false);
}

bool CaptureGraph::RenderThroughBuilder(uint32_t grabberSubtype) {
    if (!AddRenderer("Can't add the filter to graph")) return false;
    bool ok = grabberSubtype != kSubtypeNone && RenderWithSubtype(grabberSubtype);
    if (!ok) {
        for (uint32_t subtype : kFallbackSubtypes) {
            if (RenderWithSubtype(subtype)) {
                ok = true;
                const PreferredFormat pref = ThePreferredFormat();
                ApplyPreferredFormat(pref.subtype, pref.timePerFrame, pref.width, pref.height,
                                     false);
                if (SubtypeFromCaps(deviceFormat_.get()) == subtype) {
                    ok = Link(deviceFormat_.get(), false) || RenderWithSubtype(subtype);
                }
                break;
            }
        }
    }
    if (!ok) ok = RenderMjpeg() || RenderAnyRaw();
    if (!ok) {
        Show("Can`t set media type to renderer");
        return false;
    }
    return true;
}

bool CaptureGraph::ConnectManually(uint32_t grabberSubtype) {
    auto trySubtype = [this](uint32_t subtype) {
        GstCapsPtr wanted = SubtypeFromCaps(deviceFormat_.get()) == subtype
                                ? RefMini(deviceFormat_.get())
                                : CapsForSubtype(subtype);
        GstCapsPtr fixed = FixedCapsFor(wanted.get());
        if (fixed && Link(fixed.get(), false)) return true;
        LogPrintf("Can`t connect to media type: %s", SubtypeName(subtype).c_str());
        return false;
    };
    auto search = [&](uint32_t first) {
        if (first != kSubtypeNone && trySubtype(first)) return true;
        LogPrintf("%s", kSeparator);
        bool found = false;
        for (size_t i = 0; i < std::size(kFallbackSubtypes) && !found; ++i) {
            LogPrintf("find Media Type step %d", static_cast<int>(i + 1));
            found = trySubtype(kFallbackSubtypes[i]);
        }
        LogPrintf("%s", kSeparator);
        return found;
    };
    if (!search(grabberSubtype) && !RenderMjpeg() && !RenderAnyRaw()) {
        Show("Could not set media [Video] type");
        Show("Could not add grabber");
        return false;
    }
    LogCaps("", connectedCaps_.get());
    if (!AddRenderer("Can't add the null renderer filter to graph")) return false;

    // The grabber's output to the renderer, with the same search: the step whose subtype is
    // the connected one links.
    GstElement* tail = decoding_ ? decodedFilter_.get() : grabber_.get();
    const uint32_t connected = decoding_ ? kSubtypeI420 : SubtypeFromCaps(connectedCaps_.get());
    LogPrintf("%s", kSeparator);
    bool linked = false;
    for (size_t i = 0; i < std::size(kFallbackSubtypes) && !linked; ++i) {
        LogPrintf("find Media Type step %d", static_cast<int>(i + 1));
        if (kFallbackSubtypes[i] != connected) continue;
        linked = gst_element_link_many(tail, queue_.get(), renderer_.get(), nullptr);
    }
    LogPrintf("%s", kSeparator);
    if (!linked) {
        Show("Could not connect to render");
        Show("Could not add render");
        return false;
    }
    LogCaps("(Render) Find", connectedCaps_.get());
    return true;
}

// ---- The connected type -------------------------------------------------------------------

bool CaptureGraph::CheckAndStoreMediaType() {
    if (!connectedCaps_) {
        Show("Could not read the connected video type");
        LogPrintf("Could not get media type");
        return false;
    }
    VideoMediaType type;
    if (!ParseVideoCaps(connectedCaps_.get(), &type) || !type.hasInfo) {
        Show("Could not read the connected video type");
        LogCaps("Could not get good type:\n", connectedCaps_.get());
        LogPrintf("bFixedSizeSamples? = %d", type.fixedSizeSamples ? 1 : 0);
        return false;
    }
    if (!type.fixedSizeSamples) LogPrintf("bFixedSizeSamples := FALSE");
    LogCaps("Video Capture Format", connectedCaps_.get());
    if (!IsSupportedFormat(type.header)) {
        LogPrintf("\nError: Not supported input compression...\n");
        return false;
    }

    PreferredFormat& pref = ThePreferredFormat();
    pref.width = type.header.width;
    // RGB headers are top-down (negative); the remembered size is the frame's.
    pref.height = type.header.height < 0 ? -type.header.height : type.header.height;
    if (type.timePerFrame100ns > 0) pref.timePerFrame = type.timePerFrame100ns;
    pref.subtype = type.subtype;

    bridge_.AdoptConnectedType(type);
    FrameSink& sink = ctrl_.sink;

    if (type.timePerFrame100ns > 0) {
        double fps = 10000000.0 / static_cast<double>(type.timePerFrame100ns);
        if (fps < 1.0) fps = 23.976;
        sink.ApplyFrameRate(fps);
        LogPrintf("FPS=%.2f", fps);
    } else {
        sink.ApplyFrameRate(25.0);
    }
    return true;
}

// A camera that settled on another format than the one connected delivers that one: it is the
// format to ask for next time.
void CaptureGraph::RememberDeliveredFormat() {
    if (bridge_.FormatChanges() == 0) return;
    const VideoMediaType type = bridge_.CurrentType();
    if (type.subtype == kSubtypeNone) return;
    PreferredFormat& pref = ThePreferredFormat();
    pref.subtype = type.subtype;
    pref.width = type.header.width;
    pref.height = std::abs(type.header.height);
    if (type.timePerFrame100ns > 0) pref.timePerFrame = type.timePerFrame100ns;
}

// ---- Reconnection and teardown ------------------------------------------------------------------

MediaResult CaptureGraph::ReconnectAfterFormatChange() {
    if (!graph_) return ActivateCaptureGraph();
    if (!InBin(grabber_.get())) {
        gst_object_set_name(GST_OBJECT(grabber_.get()), "Video Grabber");
        if (!gst_bin_add(graph_->Bin(), grabber_.get())) {
            Show("Could not put sample grabber in graph");
            return ActivateCaptureGraph();
        }
    }
    if (!AddRenderer("Can't add the filter to graph")) return ActivateCaptureGraph();

    const PreferredFormat pref = ThePreferredFormat();
    ApplyPreferredFormat(pref.subtype, pref.timePerFrame, pref.width, pref.height, false);
    bool ok = pref.subtype != kSubtypeNone && RenderWithSubtype(pref.subtype);
    for (size_t i = 0; !ok && i < std::size(kFallbackSubtypes); ++i) {
        ok = RenderWithSubtype(kFallbackSubtypes[i]);
    }
    if (!ok) ok = RenderMjpeg();
    if (!ok) {
        Show("Can`t set media type to renderer");
        return ActivateCaptureGraph();
    }
    if (!graph_->Preroll(kOpenTimeoutMs)) {
        LogPrintf("The capture device could not be opened: %s", graph_->LastError().c_str());
    }
    DumpPipeline(graph_->Pipeline());
    if (!CheckAndStoreMediaType()) {
        Show("CheckAndStoreMediaType() falled, buid graph new...");
        ClearGraph();
        return MediaResult::kUnsupported;
    }
    bridge_.Attach(renderer_.get());
    ctrl_.sink.capture.ParseTemplate();
    ctrl_.graphBuilt = true;
    return MediaResult::kDone;
}

void CaptureGraph::ClearGraph() {
    if (!ctrl_.graphBuilt || !graph_) return;
    ctrl_.graphBuilt = false;
    gst_element_set_state(graph_->Pipeline(), GST_STATE_READY);
    bridge_.Detach();
    RememberDeliveredFormat();
    bridge_.Reset();
    Unlink();
    for (GstElementPtr* e : {&grabber_, &queue_, &renderer_}) {
        if (InBin(e->get())) graph_->Remove(e->get());
    }
    connectedCaps_.reset();
}

void CaptureGraph::Teardown() {
    ctrl_.graphBuilt = false;
    ctrl_.DetachGraph();
    if (graph_) {
        graph_->SetEvents(nullptr);
        gst_element_set_state(graph_->Pipeline(), GST_STATE_NULL);
    }
    bridge_.Detach();
    RememberDeliveredFormat();
    bridge_.Reset();
    if (dropped_.load() > 0) {
        LogPrintf("Frames dropped while the frame path fell behind: %llu",
                  static_cast<unsigned long long>(dropped_.load()));
    }
    graph_.reset();
    decoder_.reset();
    converter_.reset();
    decodedFilter_.reset();
    grabber_.reset();
    queue_.reset();
    renderer_.reset();
    device_ = nullptr;
    boundDevice_.reset();
    deviceCaps_.reset();
    deviceFormat_.reset();
    connectedCaps_.reset();
    decoding_ = false;
    dropped_.store(0);
}

}  // namespace kelpa
