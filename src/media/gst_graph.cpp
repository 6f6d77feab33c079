#include "media/gst_graph.h"

#include <cmath>

#include "common/log.h"

namespace kelpa {
namespace {

constexpr int64_t kNanosPer100ns = 100;

MediaResult Result(GstStateChangeReturn r) {
    return r == GST_STATE_CHANGE_FAILURE ? MediaResult::kFailed : MediaResult::kDone;
}

}  // namespace

GstGraph::GstGraph(bool live) : pipeline_(AdoptFloating(gst_pipeline_new(nullptr))), live_(live) {
    if (!pipeline_) return;
    GstBusPtr bus(gst_element_get_bus(pipeline_.get()));
    gst_bus_set_sync_handler(bus.get(), &GstGraph::OnBusMessage, this, nullptr);
}

GstGraph::~GstGraph() {
    if (!pipeline_) return;
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    GstBusPtr bus(gst_element_get_bus(pipeline_.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
}

GstElement* GstGraph::Add(const char* factory, const char* name) {
    if (!pipeline_) return nullptr;
    // Held while it is added: a bin that refuses an element releases the reference it was
    // given, and this one keeps the element alive until then.
    GstElement* element = gst_element_factory_make(factory, name);
    const GstElementPtr held = AdoptFloating(element);
    if (!element || !gst_bin_add(Bin(), element)) return nullptr;
    return element;  // the pipeline holds it now
}

void GstGraph::Remove(GstElement* element) {
    if (!pipeline_ || !element) return;
    gst_element_set_state(element, GST_STATE_NULL);
    gst_bin_remove(Bin(), element);
}

bool GstGraph::Preroll(uint32_t timeoutMs) {
    if (!pipeline_) return false;
    GstStateChangeReturn r =
        gst_element_set_state(pipeline_.get(), live_ ? GST_STATE_READY : GST_STATE_PAUSED);
    if (r == GST_STATE_CHANGE_ASYNC) {
        r = gst_element_get_state(pipeline_.get(), nullptr, nullptr,
                                  GstClockTime{timeoutMs} * GST_MSECOND);
    }
    logicalState_.store(kStateStopped);
    if (r == GST_STATE_CHANGE_FAILURE || r == GST_STATE_CHANGE_ASYNC) {
        std::lock_guard lock(mutex_);
        if (lastError_.empty()) {
            lastError_ = r == GST_STATE_CHANGE_ASYNC ? "The media graph did not start in time"
                                                     : "The media graph could not start";
        }
        return false;
    }
    return true;
}

std::string GstGraph::LastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

// ---- Bus: graph events ------------------------------------------------------------------------

GstBusSyncReply GstGraph::OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
    static_cast<GstGraph*>(self)->HandleBusMessage(message);
    // Nothing reads the bus asynchronously: dropping keeps its queue from growing.
    return GST_BUS_DROP;
}

void GstGraph::HandleBusMessage(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_EOS:
            QueueEvent(kEventComplete);
            break;
        case GST_MESSAGE_ERROR: {
            GErrorPtr error;
            GCharPtr debug;
            gst_message_parse_error(message, OutPtr(error), OutPtr(debug));
            const char* text = error ? error->message : "unknown error";
            LogPrintf("Media graph error from %s: %s", GST_OBJECT_NAME(GST_MESSAGE_SRC(message)),
                      text);
            if (debug) LogPrintf("  %s", debug.get());
            {
                // The first error says what happened; those that follow it (a source's
                // "Internal data stream error") only report its consequences.
                std::lock_guard lock(mutex_);
                if (lastError_.empty()) lastError_ = text;
            }
            QueueEvent(kEventUserAbort);
            break;
        }
        case GST_MESSAGE_WARNING: {
            GErrorPtr error;
            GCharPtr debug;
            gst_message_parse_warning(message, OutPtr(error), OutPtr(debug));
            LogPrintf("Media graph warning from %s: %s", GST_OBJECT_NAME(GST_MESSAGE_SRC(message)),
                      error ? error->message : "unknown warning");
            break;
        }
        default:
            break;
    }
}

void GstGraph::QueueEvent(int32_t code) {
    {
        std::lock_guard lock(mutex_);
        events_.push_back(code);
    }
    if (StreamEvents* target = notify_.load()) target->Post(StreamEvent::kGraphEvent);
}

bool GstGraph::NextEvent(int32_t* code) {
    std::lock_guard lock(mutex_);
    if (events_.empty()) return false;
    *code = events_.front();
    events_.pop_front();
    return true;
}

// ---- Run control --------------------------------------------------------------------------------

MediaResult GstGraph::SetState(GstState state) {
    if (!pipeline_) return MediaResult::kNoGraph;
    return Result(gst_element_set_state(pipeline_.get(), state));
}

MediaResult GstGraph::Run() {
    {
        std::lock_guard lock(mutex_);
        lastError_.clear();
    }
    const MediaResult r = SetState(GST_STATE_PLAYING);
    if (!Failed(r)) logicalState_.store(kStateRunning);
    return r;
}

MediaResult GstGraph::Pause() {
    const MediaResult r = SetState(GST_STATE_PAUSED);
    if (!Failed(r)) logicalState_.store(kStatePaused);
    return r;
}

// A camera goes back to READY; a file stays PAUSED so that it keeps its position and can seek.
MediaResult GstGraph::Stop() {
    const MediaResult r = SetState(live_ ? GST_STATE_READY : GST_STATE_PAUSED);
    if (!Failed(r)) logicalState_.store(kStateStopped);
    return r;
}

MediaResult GstGraph::StopWhenReady() {
    return Stop();
}

MediaResult GstGraph::GetState(uint32_t timeoutMs, int32_t* state) {
    if (!pipeline_ || !state) return MediaResult::kNoGraph;
    const GstStateChangeReturn r = gst_element_get_state(pipeline_.get(), nullptr, nullptr,
                                                         GstClockTime{timeoutMs} * GST_MSECOND);
    *state = logicalState_.load();
    if (r == GST_STATE_CHANGE_FAILURE) return MediaResult::kFailed;
    return r == GST_STATE_CHANGE_ASYNC ? MediaResult::kPending : MediaResult::kDone;
}

// ---- Seeking ------------------------------------------------------------------------------------

void GstGraph::SetFrameRate(double framesPerSecond) {
    frameRate_.store(framesPerSecond);
}

bool GstGraph::IsFormatSupported(TimeFormat format) {
    if (!pipeline_) return false;
    if (format == TimeFormat::kFrame) return frameRate_.load() > 0;
    if (format != TimeFormat::kMediaTime) return false;
    GstQueryPtr query(gst_query_new_seeking(GST_FORMAT_TIME));
    gboolean seekable = FALSE;
    if (gst_element_query(pipeline_.get(), query.get())) {
        gst_query_parse_seeking(query.get(), nullptr, &seekable, nullptr, nullptr);
    }
    return seekable;
}

MediaResult GstGraph::SetTimeFormat(TimeFormat format) {
    if (!IsFormatSupported(format)) return MediaResult::kFailed;
    timeFormat_ = format;
    return MediaResult::kDone;
}

int64_t GstGraph::ToNanos(int64_t value, TimeFormat format) const {
    if (format == TimeFormat::kFrame) {
        const double fps = frameRate_.load();
        return fps > 0 ? static_cast<int64_t>(std::llround(value * 1e9 / fps)) : -1;
    }
    return value * kNanosPer100ns;
}

int64_t GstGraph::FromNanos(int64_t nanos, TimeFormat format) const {
    if (format == TimeFormat::kFrame) {
        const double fps = frameRate_.load();
        return static_cast<int64_t>(std::floor(nanos * fps / 1e9 + 0.5));
    }
    return nanos / kNanosPer100ns;
}

MediaResult GstGraph::GetDuration(int64_t* duration) {
    gint64 nanos = 0;
    if (!pipeline_ || !gst_element_query_duration(pipeline_.get(), GST_FORMAT_TIME, &nanos) ||
        nanos < 0) {
        return MediaResult::kFailed;
    }
    *duration = FromNanos(nanos, timeFormat_);
    return MediaResult::kDone;
}

MediaResult GstGraph::GetCurrentPosition(int64_t* position) {
    gint64 nanos = 0;
    if (!pipeline_ || !gst_element_query_position(pipeline_.get(), GST_FORMAT_TIME, &nanos) ||
        nanos < 0) {
        return MediaResult::kFailed;
    }
    *position = FromNanos(nanos, timeFormat_);
    return MediaResult::kDone;
}

MediaResult GstGraph::SetPositionAbsolute(int64_t position) {
    if (!pipeline_) return MediaResult::kNoGraph;
    const int64_t nanos = ToNanos(position, timeFormat_);
    if (nanos < 0) return MediaResult::kFailed;
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    return gst_element_seek_simple(pipeline_.get(), GST_FORMAT_TIME, flags, nanos)
               ? MediaResult::kDone
               : MediaResult::kFailed;
}

MediaResult GstGraph::ConvertTimeFormat(int64_t* target, TimeFormat targetFormat, int64_t source,
                                        TimeFormat sourceFormat) {
    if (!target) return MediaResult::kFailed;
    const int64_t nanos = ToNanos(source, sourceFormat);
    if (nanos < 0) return MediaResult::kFailed;
    *target = FromNanos(nanos, targetFormat);
    return MediaResult::kDone;
}

}  // namespace kelpa
