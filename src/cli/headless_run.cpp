#include "cli/headless_run.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/frame_report.h"
#include "cli/report_output.h"
#include "cli/startup.h"
#include "common/log.h"
#include "common/profile.h"
#include "media/capture_graph.h"
#include "media/device_settings.h"
#include "media/file_graph.h"
#include "platform/input_node.h"
#include "platform/program_paths.h"
#include "sim/sim_device_provider.h"
#include "video/video_ctrl.h"

namespace kelpa {
namespace {

constexpr uint32_t kPollMs = 100;
constexpr int kExitCaptureFailed = 3;

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) {
    g_interrupted.store(true);
}

// Ctrl+C, SIGTERM and a closed terminal (SIGHUP) end the run the same way: the source stops,
// the capture finishes its file, the summary is printed. A reader that goes away shows up as a
// write error on standard output instead of killing the process in the middle of a capture.
void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

// Texts meant for the status line go to standard error, one per line.
class ConsoleNotice final : public UserNotice {
  public:
    void ShowStatus(const char* text) override { last = text; }
    void Warn(const char* text) override { std::fprintf(stderr, "kelpa: %s\n", text); }
    void CheckMenuItem(uint32_t, bool) override {}
    std::string last;
};

// The source the run reads from: a capture device (the simulator or a V4L2 node) or a file.
class HeadlessSource {
  public:
    HeadlessSource(VideoCtrl& deviceCtrl, VideoCtrl& fileCtrl, ConsoleNotice& notice,
                   MessageTarget& events)
        : deviceCtrl_(deviceCtrl),
          fileCtrl_(fileCtrl),
          notice_(notice),
          events_(events),
          capture_(deviceCtrl, devices_),
          devices_(deviceCtrl, fileCtrl),
          file_(fileCtrl) {
        capture_.SetNotice(&notice);
        file_.SetNotice(&notice);
        // Nothing is shown before the run, so the file's first frame belongs to the run.
        file_.SetShowPausedFrames(false);
        devices_.SetNotice(&notice);
        devices_.AttachCaptureGraph(capture_);
    }

    // Returns the controller that now runs, or nullptr with the reason in `error`.
    VideoCtrl* Open(const std::string& source, std::string* error) {
        // The node decides, not the name: a file under /dev/shm is a file, and a FIFO is
        // refused before anything could block opening it.
        InputNode node{InputKind::kVideoDevice, {}};
        if (!source.empty() && source != "sim") {
            node = ExamineInput(source);
            if (node.kind == InputKind::kRefused) {
                *error = "cannot use '" + source + "' as a source: " + node.reason;
                return nullptr;
            }
        }
        if (node.kind == InputKind::kFile) {
            if (!Succeeded(file_.PlayVideoFile(source.c_str()))) {
                *error = "Can't render video file " + source;
                if (const std::string why = file_.FailureReason(); !why.empty()) {
                    *error += ": " + why;
                }
                return nullptr;
            }
            file_.SetMainWindow(&events_);
            return &fileCtrl_;
        }
        devices_.BuildDeviceMenu();
        const CaptureDevice* chosen = Choose(source);
        if (!chosen) {
            *error = source.empty() || source == "sim" ? "the simulated camera is not available"
                                                       : "no capture device at " + source;
            return nullptr;
        }
        if (devices_.SelectDevice(*chosen) != 1 || !deviceCtrl_.graphBuilt) {
            *error = "the capture device could not be opened: " +
                     (notice_.last.empty() ? std::string("unknown reason") : notice_.last);
            return nullptr;
        }
        capture_.SetMainWindow(&events_);
        return &deviceCtrl_;
    }

    // Frames the camera's queue dropped, and frames either controller could not use (shorter
    // than their format says, or in a format that cannot be shown).
    uint64_t Dropped() const {
        return capture_.DroppedFrames() + deviceCtrl_.sink.samplesDropped.load() +
               fileCtrl_.sink.samplesDropped.load();
    }

  private:
    // "sim": the simulator; a node: the device with that node; nothing: the first real camera,
    // else the simulator.
    const CaptureDevice* Choose(const std::string& source) const {
        const std::vector<CaptureDevice>& list = devices_.Devices();
        const CaptureDevice* simulator = nullptr;
        const CaptureDevice* camera = nullptr;
        for (const CaptureDevice& d : list) {
            if (d.identity == kSimDeviceId) {
                simulator = simulator ? simulator : &d;
            } else if (!camera) {
                camera = &d;
            }
            if (!source.empty() && source != "sim" &&
                (d.node == source || IsSameNode(d.node, source))) {
                return &d;
            }
        }
        if (source == "sim") return simulator;
        if (source.empty()) return camera ? camera : simulator;
        return nullptr;
    }

    VideoCtrl& deviceCtrl_;
    VideoCtrl& fileCtrl_;
    ConsoleNotice& notice_;
    MessageTarget& events_;
    CaptureGraph capture_;
    DeviceSettings devices_;
    FileGraph file_;
};

}  // namespace

int RunHeadless(const CommandLine& options) {
    Startup startup;
    std::string error;
    StartupOptions startupOptions;
    startupOptions.profilePath = options.profile;
    startupOptions.readOnlyProfile = true;  // the headless run writes nothing back
    if (const int code = startup.Run(startupOptions, &error); code != 0) {
        std::fprintf(stderr, "kelpa: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& warning : startup.Warnings()) {
        std::fprintf(stderr, "kelpa: %s\n", warning.c_str());
    }
    for (const auto& [key, value] : options.settings) {
        startup.Profile()->SetOverride(kProfileSection, key.c_str(), value.c_str());
    }
    LoadPreferredFormat(&ThePreferredFormat());

    // The same two controllers as the windowed program: video file first, then the device.
    VideoCtrl fileCtrl;
    VideoCtrl deviceCtrl;
    ConsoleNotice notice;
    FrameReport report;
    HeadlessSource source(deviceCtrl, fileCtrl, notice, report);
    VideoCtrl* ctrl = source.Open(options.source, &error);
    if (!ctrl) {
        std::fprintf(stderr, "kelpa: %s\n", error.c_str());
        return 1;
    }
    FrameSink& sink = ctrl->sink;
    report.Watch(&sink.engine);
    sink.SetObserver(&report);
    sink.SetPacing(options.pacing);
    // Statistics are measured for every frame, as with the statistic window open.
    sink.engine.infoWindow.store(&report);

    if (!options.captureDir.empty()) {
        if (!sink.capture.SetCaptureDirectory(options.captureDir.c_str())) {
            std::fprintf(stderr, "kelpa: cannot capture into '%s'\n", options.captureDir.c_str());
            return 2;
        }
        sink.capture.captureCount.store(options.captureCount);
        sink.capture.SetNotifyTarget(&report);
        // Creates the directory; one that cannot be created or written ends the run here.
        sink.capture.ToggleCapture(&notice);
        if (sink.capture.RunFailed()) {
            std::fprintf(stderr, "kelpa: %s\n", sink.capture.FailureText());
            return kExitCaptureFailed;
        }
    }

    InstallSignalHandlers();
    // Frames shown while the graph was being built are not part of the run.
    sink.samplesReceived.store(0);
    sink.samplesDropped.store(0);
    const auto start = std::chrono::steady_clock::now();
    if (!Succeeded(ctrl->Run())) {
        std::fprintf(stderr, "kelpa: the source could not be started\n");
        return 1;
    }

    ReportOutput output(stdout, options.frames);
    bool failed = false;
    std::vector<FrameRecord> batch;
    for (;;) {
        const bool event = report.Wait(kPollMs, &batch);
        if (!output.Print(batch) || output.LimitReached()) break;
        if (event) {
            ctrl->DrainGraphEvents(&notice);
            if (ctrl->PlayState() == kStateStopped) {
                failed = notice.last != VideoCtrl::StateText(kStateStopped);
                break;
            }
        }
        if (g_interrupted.load() || sink.capture.RunFailed()) break;
    }
    // The capture writer completes or removes the file it is writing, then the source stops: a
    // run never leaves a partial capture behind, however it ends.
    FinishRun(report, output, [ctrl, &sink] {
        sink.capture.FinishCapture();
        ctrl->Stop();
    });
    if (const uint64_t lost = report.Lost(); lost > 0) {
        LogPrintf("%llu frame(s) processed while the run ended had no room in the report",
                  static_cast<unsigned long long>(lost));
    }
    RunSummary summary;
    summary.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    sink.SetObserver(nullptr);
    sink.engine.infoWindow.store(nullptr);
    if (failed) std::fprintf(stderr, "kelpa: %s\n", notice.last.c_str());
    const bool captureFailed = sink.capture.RunFailed();
    if (captureFailed) std::fprintf(stderr, "kelpa: %s\n", sink.capture.FailureText());
    summary.received = sink.samplesReceived.load();
    summary.dropped = source.Dropped();
    summary.captured = sink.capture.capturedCount.load();
    summary.source = options.source.empty() ? "camera" : options.source;
    if (!output.PrintSummary(summary)) {
        std::fprintf(stderr, "kelpa: cannot write to standard output: %s\n",
                     output.ErrorText().c_str());
        LogPrintf("Can`t write to standard output: %s", output.ErrorText().c_str());
        return 1;
    }
    return failed ? 1 : captureFailed ? kExitCaptureFailed : 0;
}

}  // namespace kelpa
