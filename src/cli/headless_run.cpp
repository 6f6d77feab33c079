#include "cli/headless_run.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/log.h"
#include "common/profile.h"
#include "platform/program_paths.h"
#include "cli/frame_report.h"
#include "cli/startup.h"
#include "media/capture_graph.h"
#include "media/device_settings.h"
#include "media/file_graph.h"
#include "sim/sim_device_provider.h"
#include "video/video_ctrl.h"

namespace kelpa {
namespace {

constexpr uint32_t kPollMs = 100;

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) {
    g_interrupted.store(true);
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
        const bool device = source.empty() || source == "sim" || source.rfind("/dev/", 0) == 0;
        if (!device) {
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
            if (!source.empty() && source != "sim" && d.node == source) return &d;
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

// frames: processed frames (the JSON lines); received: frames that went through the frame
// path (the delay gate lets only some of them into the processing chain); fps: received
// frames per second, the rate at which the run consumed its source.
void PrintSummary(uint64_t frames, uint64_t received, uint64_t dropped, double seconds,
                  uint32_t captured, const char* source) {
    std::printf(
        "{\"summary\": true, \"frames\": %llu, \"received\": %llu, \"dropped\": %llu, "
        "\"seconds\": %.3f, \"fps\": %.2f, \"processedFps\": %.2f, \"captured\": %u, "
        "\"source\": \"%s\"}\n",
        static_cast<unsigned long long>(frames), static_cast<unsigned long long>(received),
        static_cast<unsigned long long>(dropped), seconds, seconds > 0 ? received / seconds : 0.0,
        seconds > 0 ? frames / seconds : 0.0, captured, source);
}

// Escapes a text for a JSON string (quotes, backslashes and control characters).
std::string JsonText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", c);
            out += code;
        } else {
            out += c;
        }
    }
    return out;
}

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
        if (!MakeDirectories(options.captureDir) ||
            !sink.capture.SetCaptureDirectory(options.captureDir.c_str())) {
            std::fprintf(stderr, "kelpa: cannot capture into '%s'\n", options.captureDir.c_str());
            return 2;
        }
        sink.capture.captureCount.store(options.captureCount);
        sink.capture.SetNotifyTarget(&report);
        sink.capture.ToggleCapture(&notice);
    }

    std::signal(SIGINT, &OnInterrupt);
    std::signal(SIGTERM, &OnInterrupt);
    // Frames shown while the graph was being built are not part of the run.
    sink.samplesReceived.store(0);
    sink.samplesDropped.store(0);
    const auto start = std::chrono::steady_clock::now();
    if (!Succeeded(ctrl->Run())) {
        std::fprintf(stderr, "kelpa: the source could not be started\n");
        return 1;
    }

    uint64_t printed = 0;
    bool failed = false;
    std::vector<FrameRecord> batch;
    for (;;) {
        const bool event = report.Wait(kPollMs, &batch);
        for (const FrameRecord& r : batch) {
            if (options.frames != 0 && printed >= options.frames) break;
            PrintFrameRecord(stdout, r);
            ++printed;
        }
        std::fflush(stdout);
        if (options.frames != 0 && printed >= options.frames) break;
        if (event) {
            ctrl->DrainGraphEvents(&notice);
            if (ctrl->PlayState() == kStateStopped) {
                failed = notice.last != VideoCtrl::StateText(kStateStopped);
                break;
            }
        }
        if (g_interrupted.load()) break;
    }
    report.Close();
    ctrl->Stop();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    sink.SetObserver(nullptr);
    sink.engine.infoWindow.store(nullptr);
    if (failed) std::fprintf(stderr, "kelpa: %s\n", notice.last.c_str());
    PrintSummary(printed, sink.samplesReceived.load(), source.Dropped(), seconds,
                 sink.capture.capturedCount.load(),
                 JsonText(options.source.empty() ? "camera" : options.source).c_str());
    return failed ? 1 : 0;
}

}  // namespace kelpa
