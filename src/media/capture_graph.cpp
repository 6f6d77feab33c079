#include "media/capture_graph.h"

#include <gst/app/gstappsink.h>

#include <algorithm>
#include <cmath>

#include "common/log.h"
#include "media/graph_dump.h"

namespace kelpa {
namespace {

constexpr const char* kNoDevice =
    "No video capture device was detected on your system.\r\n\r\nVideo capture will be disabled.";
constexpr uint32_t kOpenTimeoutMs = 5000;
// A requested frame interval is taken when the device offers one this close to it.
constexpr double kIntervalTolerance = 0.02;
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;
constexpr int kDefaultRate = 30;

struct IntRange {
    int lo = 0;
    int hi = 0;
};

IntRange ReadInts(const GstStructure* s, const char* field) {
    const GValue* v = gst_structure_get_value(s, field);
    IntRange r;
    if (!v) return r;
    if (G_VALUE_HOLDS_INT(v)) {
        r.lo = r.hi = g_value_get_int(v);
    } else if (GST_VALUE_HOLDS_INT_RANGE(v)) {
        r.lo = gst_value_get_int_range_min(v);
        r.hi = gst_value_get_int_range_max(v);
    } else if (GST_VALUE_HOLDS_LIST(v)) {
        for (guint i = 0; i < gst_value_list_get_size(v); ++i) {
            const GValue* item = gst_value_list_get_value(v, i);
            if (!G_VALUE_HOLDS_INT(item)) continue;
            const int x = g_value_get_int(item);
            r.lo = r.lo == 0 ? x : std::min(r.lo, x);
            r.hi = std::max(r.hi, x);
        }
    }
    return r;
}

double FractionValue(const GValue* v) {
    const int d = gst_value_get_fraction_denominator(v);
    return d ? double(gst_value_get_fraction_numerator(v)) / d : 0.0;
}

// Lowest and highest frame rate of a structure, in frames per second.
void ReadRates(const GstStructure* s, double* lo, double* hi) {
    *lo = *hi = 0;
    const GValue* v = gst_structure_get_value(s, "framerate");
    if (!v) return;
    auto take = [&](double fps) {
        if (fps <= 0) return;
        *lo = *lo == 0 ? fps : std::min(*lo, fps);
        *hi = std::max(*hi, fps);
    };
    if (GST_VALUE_HOLDS_FRACTION(v)) {
        take(FractionValue(v));
    } else if (GST_VALUE_HOLDS_FRACTION_RANGE(v)) {
        take(FractionValue(gst_value_get_fraction_range_min(v)));
        take(FractionValue(gst_value_get_fraction_range_max(v)));
    } else if (GST_VALUE_HOLDS_LIST(v)) {
        for (guint i = 0; i < gst_value_list_get_size(v); ++i) {
            const GValue* item = gst_value_list_get_value(v, i);
            if (GST_VALUE_HOLDS_FRACTION(item)) take(FractionValue(item));
        }
    }
}

int64_t IntervalOf(double fps) {
    return fps > 0 ? std::llround(10000000.0 / fps) : 0;
}

// Fixes the open fields of a structure near a sensible default: 640 x 480 at 30 frames a second.
void FixateNear(GstStructure* s, int width, int height, int rateNum, int rateDen) {
    gst_structure_fixate_field_nearest_int(s, "width", width);
    gst_structure_fixate_field_nearest_int(s, "height", height);
    if (gst_structure_has_field(s, "framerate")) {
        gst_structure_fixate_field_nearest_fraction(s, "framerate", rateNum, rateDen);
    }
}

FormatEntry EntryFromStructure(const GstStructure* s) {
    FormatEntry e;
    e.subtype = SubtypeFromStructure(s);
    e.valid = e.subtype != kSubtypeNone;
    const IntRange w = ReadInts(s, "width");
    const IntRange h = ReadInts(s, "height");
    e.minWidth = w.lo;
    e.maxWidth = w.hi;
    e.minHeight = h.lo;
    e.maxHeight = h.hi;
    double lo = 0;
    double hi = 0;
    ReadRates(s, &lo, &hi);
    e.minInterval = IntervalOf(hi);
    e.maxInterval = IntervalOf(lo);
    GstStructurePtr fixed(gst_structure_copy(s));
    FixateNear(fixed.get(), kDefaultWidth, kDefaultHeight, kDefaultRate, 1);
    gst_structure_get_int(fixed.get(), "width", &e.width);
    gst_structure_get_int(fixed.get(), "height", &e.height);
    gint num = 0;
    gint den = 1;
    if (gst_structure_get_fraction(fixed.get(), "framerate", &num, &den) && num > 0) {
        e.timePerFrame = std::llround(10000000.0 * den / num);
    }
    e.valid = e.valid && e.width > 0 && e.height > 0;
    return e;
}

GstCapsPtr CapsForEntry(const FormatEntry& e) {
    GstCapsPtr caps = CapsForSubtype(e.subtype);
    if (!caps || gst_caps_is_empty(caps.get())) return caps;
    GstStructure* s = gst_caps_get_structure(caps.get(), 0);
    if (e.width > 0 && e.height > 0) {
        gst_structure_set(s, "width", G_TYPE_INT, e.width, "height", G_TYPE_INT, e.height, nullptr);
    }
    return caps;
}

}  // namespace

PreferredFormat& ThePreferredFormat() {
    static PreferredFormat format;
    return format;
}

CaptureGraph::CaptureGraph(VideoCtrl& ctrl, CaptureDeviceBinder& binder)
    : ctrl_(ctrl), binder_(binder), bridge_(ctrl.sink) {}

CaptureGraph::~CaptureGraph() {
    Teardown();
}

void CaptureGraph::SetEvents(StreamEvents* events) {
    events_ = events;
    if (graph_ && ctrl_.graphBuilt) graph_->SetEvents(events);
}

void CaptureGraph::Show(const char* text) {
    LogPrintf("%s", text);
    if (notice_) notice_->ShowStatus(text);
}

void CaptureGraph::Warn(const char* text) {
    Show(text);
    if (notice_) notice_->Warn(text);
}

MediaResult CaptureGraph::Fail(const char* shown, MediaResult code) {
    if (shown) Show(shown);
    return code;
}

// ---- Entry point ----------------------------------------------------------------------------

MediaResult CaptureGraph::ActivateCaptureGraph() {
    LogPrintf("/////////////////////////////////////\n\tBuild capture filter graph");
    ctrl_.useBuilderRender = true;
    ctrl_.secondOption = true;
    ctrl_.sink.acceptFormat = &RefuseEveryFormat;
    Teardown();
    MediaResult result = BuildCaptureGraph();
    if (Failed(result)) {
        Teardown();
        if (deviceMissing_) {  // nothing to retry; the warning has said why
            LogPrintf("/////////////////////////////////////");
            return result;
        }
        ctrl_.useBuilderRender = false;
        ctrl_.secondOption = false;
        result = BuildCaptureGraph();
        if (Failed(result)) {
            Teardown();
            Teardown();
            Warn("Capture device busy?..");
            LogPrintf("/////////////////////////////////////");
            return result;
        }
    }
    Show("Capture Video");
    ctrl_.sink.acceptFormat = &IsSupportedFormat;
    LogPrintf("/////////////////////////////////////");
    return result;
}

MediaResult CaptureGraph::BuildCaptureGraph() {
    BoundDevice bound;
    deviceMissing_ = !binder_.BindCaptureDevice(&bound);
    if (deviceMissing_) {
        Warn(kNoDevice);
        return MediaResult::kFailed;
    }
    graph_ = std::make_unique<GstGraph>(true);
    if (!graph_->Ok()) return Fail("Could not create filter graph");

    GstElementPtr element = std::move(bound.element);
    if (!element && bound.device) {
        element = AdoptFloating(gst_device_create_element(bound.device.get(), nullptr));
    }
    friendlyName_ = bound.friendlyName;
    boundDevice_ = std::move(bound.device);
    if (element) {
        gst_object_set_name(GST_OBJECT(element.get()),
                            friendlyName_.empty() ? "VCap" : friendlyName_.c_str());
    }
    if (!element || !gst_bin_add(graph_->Bin(), element.get())) {
        return Fail("Cannot add vidcap to filtergraph");
    }
    device_ = element.get();
    ReadDeviceCaps();

    const PreferredFormat pref = ThePreferredFormat();
    ApplyPreferredFormat(pref.subtype, pref.timePerFrame, pref.width, pref.height, false);
    if (!CreateDownstream()) return MediaResult::kFailed;

    // The grabber's subtype: the remembered one, else the device's current one, when listed.
    uint32_t grabberSubtype = kSubtypeNone;
    if (IsInList(pref.subtype, kFallbackSubtypes)) {
        grabberSubtype = pref.subtype;
    } else if (IsInList(SubtypeFromCaps(deviceFormat_.get()), kFallbackSubtypes)) {
        grabberSubtype = SubtypeFromCaps(deviceFormat_.get());
    }
    const bool connected = ctrl_.useBuilderRender ? RenderThroughBuilder(grabberSubtype)
                                                  : ConnectManually(grabberSubtype);
    if (!connected) return MediaResult::kUnsupported;
    if (!graph_->Preroll(kOpenTimeoutMs)) {
        LogPrintf("The capture device could not be opened: %s", graph_->LastError().c_str());
        return MediaResult::kFailed;
    }

    DumpPipeline(graph_->Pipeline());
    if (!CheckAndStoreMediaType()) return MediaResult::kUnsupported;
    bridge_.Attach(renderer_.get());
    ctrl_.sink.capture.ParseTemplate();
    graph_->SetEvents(events_);
    ctrl_.AttachGraph(graph_.get(), nullptr, graph_.get());
    ctrl_.sink.isLive = true;
    ctrl_.graphBuilt = true;
    return MediaResult::kDone;
}

// ---- Devices' formats ---------------------------------------------------------------------------

// What the device offers: its source pad's caps once opened, else what the device list said.
void CaptureGraph::ReadDeviceCaps() {
    deviceCaps_.reset();
    deviceFormat_.reset();
    if (gst_element_set_state(device_, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE) {
        GstPadPtr pad(gst_element_get_static_pad(device_, "src"));
        if (pad) deviceCaps_.reset(gst_pad_query_caps(pad.get(), nullptr));
    }
    if ((!deviceCaps_ || gst_caps_is_any(deviceCaps_.get())) && boundDevice_) {
        deviceCaps_.reset(gst_device_get_caps(boundDevice_.get()));
    }
    if (deviceCaps_ && gst_caps_is_any(deviceCaps_.get())) deviceCaps_.reset();
}

std::vector<FormatEntry> CaptureGraph::FormatEntries() const {
    std::vector<FormatEntry> entries(1);
    if (deviceFormat_) {
        entries[0] = EntryFromStructure(gst_caps_get_structure(deviceFormat_.get(), 0));
        entries[0].minWidth = entries[0].maxWidth = entries[0].minHeight = entries[0].maxHeight = 0;
        entries[0].minInterval = entries[0].maxInterval = 0;
    }
    if (!deviceCaps_) return entries;
    for (guint i = 0; i < gst_caps_get_size(deviceCaps_.get()); ++i) {
        entries.push_back(EntryFromStructure(gst_caps_get_structure(deviceCaps_.get(), i)));
    }
    return entries;
}

// One fixed format of the device within `wanted`, or nothing when they have none in common.
GstCapsPtr CaptureGraph::FixedCapsFor(const GstCaps* wanted) const {
    if (!deviceCaps_ || !wanted) return nullptr;
    GstCapsPtr common(gst_caps_intersect(deviceCaps_.get(), const_cast<GstCaps*>(wanted)));
    if (!common || gst_caps_is_empty(common.get())) return nullptr;
    common.reset(gst_caps_make_writable(common.release()));
    common.reset(gst_caps_truncate(common.release()));
    FixateNear(gst_caps_get_structure(common.get(), 0), kDefaultWidth, kDefaultHeight, kDefaultRate,
               1);
    common.reset(gst_caps_fixate(common.release()));
    return common;
}

// "Asks the device to use" an entry: accepted when the device offers its subtype and size at
// a frame rate close to the one asked for.
bool CaptureGraph::SetDeviceFormat(const FormatEntry& entry) {
    GstCapsPtr wanted = CapsForEntry(entry);
    GstCapsPtr common(deviceCaps_ && wanted ? gst_caps_intersect(deviceCaps_.get(), wanted.get())
                                            : nullptr);
    if (!common || gst_caps_is_empty(common.get())) return false;
    common.reset(gst_caps_make_writable(common.release()));
    common.reset(gst_caps_truncate(common.release()));
    GstStructure* s = gst_caps_get_structure(common.get(), 0);
    const double fps = entry.timePerFrame > 0 ? 10000000.0 / entry.timePerFrame : kDefaultRate;
    gint num = 0;
    gint den = 1;
    gst_util_double_to_fraction(fps, &num, &den);
    FixateNear(s, entry.width > 0 ? entry.width : kDefaultWidth,
               entry.height > 0 ? entry.height : kDefaultHeight, num, den);
    common.reset(gst_caps_fixate(common.release()));
    s = gst_caps_get_structure(common.get(), 0);
    if (entry.timePerFrame > 0 && gst_structure_get_fraction(s, "framerate", &num, &den) &&
        num > 0) {
        const double got = double(num) / den;
        if (std::abs(got - fps) > fps * kIntervalTolerance) return false;
    }
    deviceFormat_ = std::move(common);
    return true;
}

int32_t CaptureGraph::ApplyPreferredFormat(uint32_t subtype, int64_t timePerFrame, int32_t width,
                                           int32_t height, bool exact) {
    if (!deviceCaps_) return -1;
    const std::vector<FormatEntry> entries = FormatEntries();
    const FormatRequest request{subtype, timePerFrame, width, height};
    return SearchPreferredFormat(entries, request, exact, kFallbackSubtypes, kSubtypeRgb24,
                                 [this](const FormatEntry& e) { return SetDeviceFormat(e); });
}

}  // namespace kelpa
