// The application core that both front ends drive: the two video controllers (video file and
// capture device) with the one that is current, the file and capture graphs (the simulated
// telescope camera is a capture device), the device list with its settings, and the commands on
// the current controller. The windowed program and the headless run are clients of it: they
// hand it their notice and event receiver, ask it for a source and run it; neither wires a graph.
//
// GUI thread only (the thread that created it), except where a function says otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/notice_relay.h"
#include "platform/clock.h"
#include "processing/stream_events.h"
#include "video/frame_sink.h"
#include "video/video_ctrl.h"

namespace kelpa {

struct CaptureDevice;
class CaptureGraph;
class DeviceSettings;
class DeviceSource;
class FileGraph;

// What a command did, for the front end to show.
struct CommandResult {
    bool ok = true;
    // A text for the status line after success ("Playing...") or the reason of a failure.
    std::string message;
};

enum class SourceKind : uint8_t { kNone, kFile, kDevice };

struct ApplicationOptions {
    // Out of line: DeviceSource is only declared here.
    ApplicationOptions();
    ~ApplicationOptions();
    ApplicationOptions(ApplicationOptions&&) noexcept;
    ApplicationOptions& operator=(ApplicationOptions&&) noexcept;

    Clock* clock = nullptr;                      // nullptr: the system clock
    std::unique_ptr<DeviceSource> deviceSource;  // nullptr: the GStreamer device monitor
    // Off: a file opened paused shows no frame; its first frame arrives as the run's first.
    bool showPausedFrames = true;
};

class Application {
  public:
    // Loads the controllers' settings and the preferred capture format from the profile, creates
    // the file controller, then the device controller (both with those settings), then the
    // graphs and the device list. GStreamer must be initialised (InitMedia) before.
    explicit Application(ApplicationOptions options = {});
    // Tears the graphs and the device list down, then writes back the settings of the current
    // controller (none when no controller is current).
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // --- Front end ---------------------------------------------------------------------------
    // Status texts and warnings of the graphs, the device list and the commands.
    void SetNotice(UserNotice* notice) { notice_.SetTarget(notice); }
    // Receives both controllers' events (set while no frames flow).
    void SetEventReceiver(StreamEventReceiver* receiver);
    // Streaming thread: every processed frame of either controller, with its snapshot.
    void SetFrameObserver(FrameObserver* observer);
    // The statistics are shown: the area is measured on every frame (both controllers).
    void SetStatisticsWanted(bool wanted);
    // Off: file frames run as fast as they decode instead of at the file's rate.
    void SetPacing(bool on);

    // --- Sources -----------------------------------------------------------------------------
    // Opens a source and makes its controller current: "sim" the simulated camera, "" the first
    // camera (else the simulated one), a V4L2 device node, or a video file; what a path names
    // is decided by its node (a FIFO, a directory or another device is refused with the
    // reason). The graph is built and stands stopped; Run starts it.
    CommandResult OpenSource(const std::string& source);
    // Builds the file graph ("Can't render video file ..." and the reason on failure).
    CommandResult OpenFile(const std::string& path);
    // "sim", a device node, or "" for the first camera (else the simulated one).
    CommandResult OpenDevice(const std::string& source);
    // A device of the Sources menu (index into Devices().Devices()): stops the current device
    // graph, builds the new one and restores the run state.
    CommandResult ChooseDevice(size_t index);
    // Start-up: the saved device and the device list ("quill" keys). Shutdown: change notices
    // off, the chosen device and the preferred capture format written back.
    void LoadDeviceSettings();
    void SaveDeviceSettings();
    // On kDevicesChanged: the list is read again; a device pulled out is let go.
    void DevicesChanged();

    // --- The current controller -----------------------------------------------------------------
    SourceKind CurrentKind() const { return current_; }
    // nullptr when no source is open.
    VideoCtrl* Current();
    // Makes a controller current (its settings are the ones saved at exit) or none.
    void MakeCurrent(SourceKind kind);
    VideoCtrl& FileCtrl() { return fileCtrl_; }
    VideoCtrl& DeviceCtrl() { return deviceCtrl_; }
    // The controller whose events these are (nullptr: neither).
    VideoCtrl* CtrlOf(const StreamEvents& events);

    // --- Commands on the current controller (nothing happens without one) -----------------------
    // Start (40001): Stop when running, else Run.
    CommandResult StartStop();
    CommandResult Run();
    CommandResult Stop();
    CommandResult PauseToggle();
    // Moves a file by whole frames (negative: back); the step keys use 1 and 10.
    CommandResult Step(int64_t frames);
    // Capture (40072): starts or ends a capture run; `ok` false without a source, or when the
    // capture folder cannot be created or written (the message says why).
    CommandResult ToggleCapture();
    bool Capturing() const;
    // 0 stopped, 1 paused, 2 running (0 without a source).
    int32_t PlayState() const;
    // "Playing...", "Paused..." or "Stopped...".
    const char* StateText() const { return VideoCtrl::StateText(PlayState()); }

    // --- Dark frames and the guide log
    // ------------------------------------------------------------ "Take dark" (lens cap on): the
    // current controller sums its next `frames` live pictures (0: the DarkFrames setting). On
    // kDarkTake, FinishDarkTake stores the master dark and uses it.
    CommandResult TakeDark(int32_t frames = 0);
    CommandResult FinishDarkTake(StreamEvents& source);
    // "Use dark" on both controllers (the DarkUse setting): each subtracts its stream's stored
    // dark. `ok` false when the current stream has none or its dark was refused (the message
    // says why; Use stays on and applies a dark taken later).
    CommandResult SetDarkUse(bool on);
    bool DarkUse() const { return deviceCtrl_.sink.dark.Use(); }
    // The current controller's dark frame state for the status line.
    std::string DarkStatus();
    // The guide log (the GuideLog setting) on both controllers.
    void SetGuideLog(bool on);
    bool GuideLog() const { return deviceCtrl_.sink.guideLog.Enabled(); }

    // On kGraphEvent from `source`: reads its controller's graph events. A graph that ended (end
    // of the file) or failed is stopped; `message` holds the failure, ok is false then.
    struct GraphOutcome {
        bool stopped = false;
        bool failed = false;
        std::string message;
    };
    GraphOutcome HandleGraphEvents(StreamEvents& source);

    // --- Parts, for the front ends' dialogs and menus -------------------------------------------
    DeviceSettings& Devices() { return *devices_; }
    CaptureGraph& CameraGraph() { return *captureGraph_; }
    FileGraph& VideoFileGraph() { return *fileGraph_; }
    // Frames the camera's queue dropped because the frame path fell behind, and frames either
    // controller could not use (shorter than their format says, or of a format not shown).
    uint64_t DroppedFrames() const;
    // The text the graphs and the device list showed last (a failure's reason).
    const std::string& LastNotice() const { return notice_.Last(); }

  private:
    Application(ApplicationOptions options, const ControllerSettings& settings);
    const CaptureDevice* ChooseListed(const std::string& source) const;
    // After a source was opened: the stream's stored dark when Use dark is on; a refused one
    // is warned about, a missing one shown in the status line.
    void RefreshDark(VideoCtrl& ctrl);
    // The exposure the current camera holds fixed, in seconds; negative when it does not tell.
    double CurrentExposureSeconds();

    Clock& clock_;
    // The file controller first, then the device controller, as at start-up.
    VideoCtrl fileCtrl_;
    VideoCtrl deviceCtrl_;
    NoticeRelay notice_;
    std::unique_ptr<CaptureGraph> captureGraph_;
    std::unique_ptr<DeviceSettings> devices_;
    std::unique_ptr<FileGraph> fileGraph_;
    SourceKind current_ = SourceKind::kNone;
};

}  // namespace kelpa
