// The video-file graph: "File Reader" (filesrc) -> decodebin -> [videoconvert] -> caps filter
// "VidFile Grabber" -> appsink "NULL Render" (sync off), with the appsink calling SampleCB for
// every decoded frame (and for the frame shown after a seek while paused). The intake paces the
// frames to the file's frame rate; the end of the file reaches the main window as a graph event.
//
// Linking the grabber searches the file subtypes against the decoder's own output first, so a
// raw I420 file connects unconverted at the fifth step; only when none of them links is a
// colour converter put in front of the grabber. The second build attempt always converts and
// renders with the appsink's defaults.
//
// GUI thread, except the pad callbacks, which the streaming thread calls while the GUI thread
// waits for the graph to preroll.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "media/file_seek.h"
#include "media/gst_graph.h"
#include "media/gst_ptr.h"
#include "media/media_format.h"
#include "media/sample_bridge.h"
#include "platform/user_notice.h"
#include "video/video_ctrl.h"

namespace kelpa {

class FileGraph {
  public:
    explicit FileGraph(VideoCtrl& ctrl);
    ~FileGraph();
    FileGraph(const FileGraph&) = delete;
    FileGraph& operator=(const FileGraph&) = delete;

    void SetNotice(UserNotice* notice) { notice_ = notice; }
    // Off: the first frame is not shown while the file is paused after opening; it arrives as
    // the first frame of the run instead.
    void SetShowPausedFrames(bool show) { bridge_.SetDeliverPreroll(show); }
    // How long a graph that neither reads from the file nor shows a stream may wait before
    // its first frame; then it has stopped (tests of broken files shorten it).
    void SetPrerollStall(std::chrono::milliseconds stall) { prerollStall_ = stall; }
    // Where the graph's events (the end of the file, an error) go once a graph is built.
    void SetEvents(StreamEvents* events);

    // Builds the graph for a file (two attempts) and tells the user; on failure shows
    // "Can't render video file". The caller makes the file controller current on success.
    MediaResult PlayVideoFile(const char* path);
    // One attempt, with the options in the controller's useBuilderRender/secondOption.
    MediaResult BuildFileGraph(const char* path);
    void InitFilePlayback(int64_t timePerFrame100ns) {
        kelpa::InitFilePlayback(ctrl_, timePerFrame100ns);
    }
    MediaResult StepFrames(int64_t frames, bool preferTime) {
        return kelpa::StepFrames(ctrl_, frames, preferTime);
    }
    void Teardown();

    bool Built() const { return ctrl_.graphBuilt; }
    GstGraph* Graph() const { return graph_.get(); }
    // The type the intake works with: the connected one, or the one the file changed to since
    // (recordings joined end to end). Any thread.
    VideoMediaType ConnectedType() const { return bridge_.CurrentType(); }
    // The step of the subtype search at which the decoded frames reached the grabber (1 to 6;
    // 0 before a build), and whether a colour converter had to be put in front of it.
    int ConnectedStep() const {
        std::lock_guard lock(linkMutex_);
        return connectedStep_;
    }
    bool Converted() const {
        std::lock_guard lock(linkMutex_);
        return converted_;
    }
    const std::string& FilePath() const { return path_; }
    // Why the last build failed, in words for the user ("" when it did not fail or nobody
    // said why).
    std::string FailureReason() const {
        std::lock_guard lock(linkMutex_);
        return failureReason_;
    }

  private:
    // Why the decoded frames did not reach the renderer.
    enum class LinkFailure { kNone, kNoVideo, kFrameSize, kSetType, kConnect, kRender };

    void Show(const char* text);
    MediaResult Fail(const char* shown, MediaResult code = MediaResult::kFailed);
    void SetFailureReason(const std::string& reason);
    bool CreateSource(const char* path);
    bool CreateGrabberAndRenderer();
    bool Preroll();
    MediaResult ReportLinkFailure();
    MediaResult CheckConnectedType();
    void StartAtFirstFrame();

    // Streaming thread (decodebin's signals), while the GUI thread waits in Preroll.
    static GstPadProbeReturn OnRead(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static void OnPadAdded(GstElement* decoder, GstPad* pad, gpointer self);
    static void OnNoMorePads(GstElement* decoder, gpointer self);
    void LinkDecodedPad(GstElement* decoder, GstPad* pad);
    GstPadPtr InsertConverter(GstElement* decoder, GstPad* pad);
    int SearchGrabberSubtype(GstPad* output);
    bool LinkRenderer();

    VideoCtrl& ctrl_;
    UserNotice* notice_ = nullptr;
    StreamEvents* events_ = nullptr;
    std::unique_ptr<GstGraph> graph_;
    // Owned by the pipeline.
    GstElement* source_ = nullptr;
    GstElement* decoder_ = nullptr;
    GstElement* grabber_ = nullptr;   // caps filter
    GstElement* renderer_ = nullptr;  // appsink
    std::string path_;
    SampleBridge bridge_;
    std::chrono::milliseconds prerollStall_ = std::chrono::seconds(3);
    std::atomic<uint64_t> reads_{0};  // blocks read from the file, to notice a stalled graph

    // The outcome of linking the decoded pads; written by the pad callbacks.
    mutable std::mutex linkMutex_;
    bool videoLinked_ = false;
    LinkFailure failure_ = LinkFailure::kNone;
    int connectedStep_ = 0;
    bool converted_ = false;
    bool converterTried_ = false;
    std::string failureReason_;
};

}  // namespace kelpa
