// Hands the frames that reach an appsink to a FrameSink: each new sample (and each preroll
// sample, so that stepping through a paused file shows the new frame) becomes one SampleCB with
// the buffer's data and its presentation time in seconds. A sample whose caps differ from the
// connected format is dropped rather than read with the wrong layout.
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <cstdint>

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
    // The connected layout; samples of another layout are refused.
    void SetConnectedInfo(const GstVideoInfo& info);
    // Whether paused frames (preroll samples) are handed on. A run that shows nothing while
    // paused turns this off, so that every frame arrives once, as a sample of the running graph.
    void SetDeliverPreroll(bool deliver) { deliverPreroll_.store(deliver); }
    // Hands a connected raw video type to the intake (header, plane layout) and expects its
    // layout from then on. GUI thread, while no frame flows.
    void AdoptConnectedType(const VideoMediaType& type);

    uint64_t Delivered() const { return delivered_.load(); }
    uint64_t Refused() const { return refused_.load(); }

  private:
    static GstFlowReturn OnNewSample(GstElement* appsink, gpointer self);
    static GstFlowReturn OnNewPreroll(GstElement* appsink, gpointer self);
    GstFlowReturn Deliver(GstSample* sample, bool preroll);

    FrameSink& sink_;
    GstElement* appsink_ = nullptr;
    std::atomic<bool> haveInfo_{false};
    std::atomic<bool> deliverPreroll_{true};
    GstVideoInfo info_{};
    // The buffer shown as preroll is delivered again as the first sample when the graph runs.
    std::atomic<GstBuffer*> lastPreroll_{nullptr};
    std::atomic<uint64_t> delivered_{0};
    std::atomic<uint64_t> refused_{0};
    std::atomic<bool> refusalLogged_{false};
    // Streaming thread: the caps object last found to match (held, so its address stays its own).
    GstCapsPtr accepted_;
    std::atomic<bool> resetAccepted_{false};
};

}  // namespace kelpa
