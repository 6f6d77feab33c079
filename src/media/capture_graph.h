// The capture-device graph: device -> [JPEG decoder] -> caps filter ("the grabber") -> leaky
// queue -> appsink ("the null renderer"), with the appsink calling SampleCB for every frame.
// It negotiates the frame format with the device (preferring the one remembered from the last
// run), reads back the format really connected and gives it to the intake, and rebuilds the
// connection after the user changed the device's format.
//
// GUI thread only; the streaming thread starts with VideoCtrl::Run.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "media/gst_graph.h"
#include "media/gst_ptr.h"
#include "media/media_format.h"
#include "media/sample_bridge.h"
#include "platform/user_notice.h"
#include "video/format_search.h"
#include "video/video_ctrl.h"

namespace kelpa {

// The format remembered between runs (keys VidCapFOURCC, VidCapWidth, VidCapHeight,
// VidCapAvgTimePerFrame); overwritten with every connected format.
struct PreferredFormat {
    uint32_t subtype = kSubtypeNone;
    int64_t timePerFrame = 0;
    int32_t width = 0;
    int32_t height = 0;
};
PreferredFormat& ThePreferredFormat();

// The chosen capture device, as the graph needs it: the device, or an element already made
// for it (tests configure the simulated camera that way), and its name.
struct BoundDevice {
    GstDevicePtr device;
    GstElementPtr element;
    std::string friendlyName;
};

// Supplies the device to bind (the device list implements it).
class CaptureDeviceBinder {
  public:
    virtual ~CaptureDeviceBinder() = default;
    // The current device, or the first one when none is current; false when there is none.
    virtual bool BindCaptureDevice(BoundDevice* out) = 0;
};

class CaptureGraph {
  public:
    CaptureGraph(VideoCtrl& ctrl, CaptureDeviceBinder& binder);
    ~CaptureGraph();
    CaptureGraph(const CaptureGraph&) = delete;
    CaptureGraph& operator=(const CaptureGraph&) = delete;

    void SetNotice(UserNotice* notice) { notice_ = notice; }
    // Where the graph's events go once a graph is built (the controller's events while it is
    // current).
    void SetEvents(StreamEvents* events);

    // The entry point: two build attempts, the second with the manual connection. Without a
    // device there is nothing to retry: the one warning that says so stands alone.
    MediaResult ActivateCaptureGraph();
    MediaResult BuildCaptureGraph();
    // Sets a format on the device: 1 when one was set.
    int32_t ApplyPreferredFormat(uint32_t subtype, int64_t timePerFrame, int32_t width,
                                 int32_t height, bool exact);
    bool CheckAndStoreMediaType();
    // After the device's format was changed from outside (the format dialog).
    MediaResult ReconnectAfterFormatChange();
    // Removes everything downstream of the device.
    void ClearGraph();
    void Teardown();

    bool Built() const { return ctrl_.graphBuilt; }
    GstGraph* Graph() const { return graph_.get(); }
    GstElement* DeviceElement() const { return device_; }
    const std::string& FriendlyName() const { return friendlyName_; }
    // The device's media types: entry 0 is its current format.
    std::vector<FormatEntry> FormatEntries() const;
    // The type the intake works with: the one connected before the run, or the one the camera
    // really delivers once it runs (it may settle on another size or rate than was asked for,
    // or switch its mode). Any thread.
    VideoMediaType ConnectedType() const { return bridge_.CurrentType(); }
    // Frames the leaky queue dropped because the frame path fell behind.
    uint64_t DroppedFrames() const { return dropped_.load(); }

  private:
    void Show(const char* text);
    void Warn(const char* text);
    MediaResult Fail(const char* shown, MediaResult code = MediaResult::kFailed);
    bool CreateDownstream();
    bool RenderWithSubtype(uint32_t subtype);
    bool RenderThroughBuilder(uint32_t grabberSubtype);
    bool ConnectManually(uint32_t grabberSubtype);
    bool RenderMjpeg();
    bool RenderAnyRaw();
    bool Link(const GstCaps* deviceSide, bool decodeJpeg);
    void Unlink();
    bool SetDeviceFormat(const FormatEntry& entry);
    GstCapsPtr FixedCapsFor(const GstCaps* wanted) const;
    void ReadDeviceCaps();
    bool AddRenderer(const char* failureText);
    void RememberDeliveredFormat();
    static void OnQueueOverrun(GstElement* queue, gpointer self);

    VideoCtrl& ctrl_;
    CaptureDeviceBinder& binder_;
    UserNotice* notice_ = nullptr;
    StreamEvents* events_ = nullptr;
    std::unique_ptr<GstGraph> graph_;
    GstDevicePtr boundDevice_;
    GstElement* device_ = nullptr;  // owned by the pipeline
    // Downstream of the device; held so that they survive being taken out of the graph.
    GstElementPtr decoder_;        // JPEG decoder for MJPEG-only cameras
    GstElementPtr converter_;      // after the JPEG decoder: its 4:2:2 or 4:2:0 output to I420
    GstElementPtr decodedFilter_;  // fixes the decoded frames to I420
    GstElementPtr grabber_;        // caps filter
    GstElementPtr queue_;          // leaky: a slow frame path drops the oldest frame
    GstElementPtr renderer_;       // appsink
    bool decoding_ = false;
    bool deviceMissing_ = false;  // the last build attempt found no device to bind
    GstCapsPtr deviceCaps_;       // everything the device offers
    GstCapsPtr deviceFormat_;     // the format set on the device (fixed caps)
    GstCapsPtr connectedCaps_;    // what reaches the appsink (fixed caps)
    std::string friendlyName_;
    SampleBridge bridge_;
    std::atomic<uint64_t> dropped_{0};
};

}  // namespace kelpa
