// Hands the frames that reach an appsink to a FrameSink: each new sample (and each preroll
// sample, so that stepping through a paused file shows the new frame) becomes one SampleCB with
// the buffer's data and its presentation time in seconds.
//
// A stream can change its format on the way (recordings joined end to end, a camera switching
// mode, a camera that settled on another size than the one asked for): the bridge then follows
// the new caps and reconnects the intake to them on the streaming thread, between two samples,
// so that no frame of the old format is in flight. Samples whose format cannot be shown are
// dropped, counted in the sink's samplesDropped and logged once per format.
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "media/gst_ptr.h"
#include "media/media_format.h"
#include "video/frame_sink.h"

namespace kelpa {

class SampleBridge {
  public:
    explicit SampleBridge(FrameSink& sink) : sink_(sink) {}
    ~SampleBridge() { Detach(); }
    SampleBridge(const SampleBridge&) = delete;
    SampleBridge& operator=(const SampleBridge&) = delete;

    // Installs the callbacks on an appsink (not owned; it must outlive Detach).
    void Attach(GstElement* appsink);
    void Detach();
    // Whether paused frames (preroll samples) are handed on. A run that shows nothing while
    // paused turns this off, so that every frame arrives once, as a sample of the running graph.
    void SetDeliverPreroll(bool deliver) { deliverPreroll_.store(deliver); }
    // Hands a connected raw video type to the intake (header, plane layout) and expects its
    // layout from then on. GUI thread, while no frame flows.
    void AdoptConnectedType(const VideoMediaType& type);
    // Forgets the connected type (the graph is taken down).
    void Reset();

    // The type the intake works with now: the connected one, or the one the stream changed to
    // since. Any thread.
    VideoMediaType CurrentType() const;
    // How often the stream changed its format since the type was connected.
    uint64_t FormatChanges() const { return formatChanges_.load(); }
    uint64_t Delivered() const { return delivered_.load(); }
    uint64_t Refused() const { return refused_.load(); }

  private:
    static GstFlowReturn OnNewSample(GstElement* appsink, gpointer self);
    static GstFlowReturn OnNewPreroll(GstElement* appsink, gpointer self);
    GstFlowReturn Deliver(GstSample* sample, bool preroll);
    // Streaming thread: whether a sample of these caps can go to the intake, reconnecting it
    // when the caps describe another layout.
    bool AcceptCaps(GstCaps* caps);
    bool FollowFormat(GstCaps* caps);
    void Drop(GstCaps* caps);
    void AdoptType(const VideoMediaType& type);

    FrameSink& sink_;
    GstElement* appsink_ = nullptr;
    std::atomic<bool> haveInfo_{false};
    std::atomic<bool> deliverPreroll_{true};
    // The layout samples must have; written by the GUI thread while no frame flows and by the
    // streaming thread when the stream changes its format.
    GstVideoInfo info_{};
    // The buffer shown as preroll is delivered again as the first sample when the graph runs.
    std::atomic<GstBuffer*> lastPreroll_{nullptr};
    std::atomic<uint64_t> delivered_{0};
    std::atomic<uint64_t> refused_{0};
    std::atomic<uint64_t> formatChanges_{0};
    // Streaming thread: the caps object last found to match (held, so its address stays its
    // own), and the one last refused (so that a refused format is logged once).
    GstCapsPtr accepted_;
    GstCapsPtr refusedCaps_;
    std::atomic<bool> resetAccepted_{false};

    mutable std::mutex typeMutex_;
    VideoMediaType current_;  // guarded by typeMutex_
};

}  // namespace kelpa
