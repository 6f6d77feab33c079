// A media graph on a GstPipeline: run control, seeking and graph events for a video controller.
// Graph events (end of stream, errors) are taken from the bus on the streaming thread, queued,
// and announced as kGraphEvent to the controller's events; the GUI thread reads them back with
// NextEvent. An error is event kEventUserAbort and is also logged; its text is kept.
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>

#include "media/gst_ptr.h"
#include "processing/stream_events.h"
#include "video/media_graph.h"

namespace kelpa {

class GstGraph final : public MediaControl, public MediaSeeking, public GraphEventSource {
  public:
    // `live`: a camera (stop means READY, so the device keeps its format); otherwise a file
    // (stop means PAUSED, so the position is kept and seeking works).
    explicit GstGraph(bool live);
    ~GstGraph() override;
    GstGraph(const GstGraph&) = delete;
    GstGraph& operator=(const GstGraph&) = delete;

    bool Ok() const { return pipeline_ != nullptr; }
    GstElement* Pipeline() const { return pipeline_.get(); }
    GstBin* Bin() const { return GST_BIN(pipeline_.get()); }

    // Creates an element from a factory and adds it to the pipeline; nullptr on failure (a
    // name already taken in the pipeline included).
    GstElement* Add(const char* factory, const char* name);
    // Removes an element (set to NULL first).
    void Remove(GstElement* element);

    // Brings the pipeline to PAUSED (files) or READY (cameras) and waits up to timeoutMs to
    // prove that it can be built; false with the reason in LastError().
    bool Preroll(uint32_t timeoutMs);

    // Where kGraphEvent goes; nullptr: nowhere (the events are still queued).
    void SetEvents(StreamEvents* events) { notify_.store(events); }
    std::string LastError() const override;

    // MediaControl
    MediaResult Run() override;
    MediaResult Pause() override;
    MediaResult Stop() override;
    MediaResult StopWhenReady() override;
    MediaResult GetState(uint32_t timeoutMs, int32_t* state) override;

    // Frames are converted to time with this rate (a file sets it once its rate is known);
    // without it the graph cannot seek in frames.
    void SetFrameRate(double framesPerSecond);

    // MediaSeeking: media time in 100 ns units; frames through the frame rate.
    bool IsFormatSupported(TimeFormat format) override;
    MediaResult SetTimeFormat(TimeFormat format) override;
    MediaResult GetDuration(int64_t* duration) override;
    MediaResult GetCurrentPosition(int64_t* position) override;
    MediaResult SetPositionAbsolute(int64_t position) override;
    MediaResult ConvertTimeFormat(int64_t* target, TimeFormat targetFormat, int64_t source,
                                  TimeFormat sourceFormat) override;

    // GraphEventSource
    bool NextEvent(int32_t* code) override;

  private:
    static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self);
    void HandleBusMessage(GstMessage* message);
    void QueueEvent(int32_t code);
    MediaResult SetState(GstState state);
    int64_t ToNanos(int64_t value, TimeFormat format) const;
    int64_t FromNanos(int64_t nanos, TimeFormat format) const;

    GstElementPtr pipeline_;
    bool live_;
    TimeFormat timeFormat_ = TimeFormat::kMediaTime;
    std::atomic<double> frameRate_{0.0};
    // The state the controller asked for: a stopped file pipeline stays PAUSED in GStreamer.
    std::atomic<int32_t> logicalState_{kStateStopped};
    std::atomic<StreamEvents*> notify_{nullptr};
    mutable std::mutex mutex_;
    std::deque<int32_t> events_;
    std::string lastError_;
};

}  // namespace kelpa
