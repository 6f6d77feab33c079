// A video controller: one media graph (a capture device or a video file), its run state and its
// frame path. Two exist for the life of the program; exactly one of them, or none, is current,
// and every user command goes to the current one.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/user_notice.h"
#include "video/controller_settings.h"
#include "video/frame_sink.h"
#include "video/media_graph.h"

namespace kelpa {

class VideoCtrl final : public EngineOwner {
  public:
    // The settings are handed over by the owner, which also saves them (Settings()) at exit.
    explicit VideoCtrl(Clock& clock = SystemClock(),
                       const ControllerSettings& settings = DefaultControllerSettings());
    ~VideoCtrl() override;
    VideoCtrl(const VideoCtrl&) = delete;
    VideoCtrl& operator=(const VideoCtrl&) = delete;

    // The graph's interfaces; the media layer sets them when it builds a graph and clears
    // them at teardown. Not owned.
    void AttachGraph(MediaControl* control, MediaSeeking* seeking, GraphEventSource* events);
    void DetachGraph();
    MediaControl* Control() const { return control_; }
    MediaSeeking* Seeking() const { return seeking_; }

    // GUI thread. Results follow the media graph's convention.
    MediaResult Run();
    MediaResult Stop();
    MediaResult PauseToggle();
    // On kGraphEvent: reads every pending event; the end of the stream or an abort stops
    // the graph (which rewinds a file) and updates the status line.
    void DrainGraphEvents(UserNotice* notice);

    // Making a controller current marks it and its surfaces as the ones whose settings are
    // written back at exit; the other controller loses the marks.
    void SetCurrent(bool current);
    bool IsCurrent() const { return saveOnExit; }
    // The settings as they stand: the engine's, the capture writer's and the two flags. The
    // automatic control changes the engine's on the streaming thread; read them for saving
    // once the graph has stopped.
    ControllerSettings Settings() const;

    int32_t PlayState() const override { return sink.playState.load(); }
    // What this controller's frame path, capture runs and graph tell the GUI thread.
    StreamEvents& Events() { return sink.events; }
    void ProcRateChanged() override { sink.UpdateCaptureInterval(); }

    // Status-line text of a run state: "Playing...", "Paused...", "Stopped...".
    static const char* StateText(int32_t state);

    FrameSink sink;
    TimeFormat timeFormat = TimeFormat::kNone;
    bool frameFormatSupported = false;
    int64_t durationTime = 0;
    int64_t durationFrames = 0;
    bool useBuilderRender = true;
    bool secondOption = true;
    bool saveOnExit = false;
    bool graphBuilt = false;
    bool activateGraph = false;

  private:
    MediaControl* control_ = nullptr;
    MediaSeeking* seeking_ = nullptr;
    GraphEventSource* events_ = nullptr;
};

}  // namespace kelpa
