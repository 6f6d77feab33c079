#include "cli/headless_run.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "cli/frame_report.h"
#include "cli/startup.h"
#include "common/log.h"
#include "common/profile.h"
#include "media/capture_graph.h"
#include "media/device_settings.h"
#include "platform/program_paths.h"

namespace kelpa {
namespace {

constexpr uint32_t kPollMs = 100;

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) {
    g_interrupted.store(true);
}

// Warnings go to standard error; status texts are not shown (the application core keeps the
// last one as the reason of a failure).
class ConsoleNotice final : public UserNotice {
  public:
    void ShowStatus(const char*) override {}
    void Warn(const char* text) override { std::fprintf(stderr, "kelpa: %s\n", text); }
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

    // The same core as the windowed program: both controllers, the graphs, the device list.
    ApplicationOptions appOptions;
    // Nothing is shown before the run, so a file's first frame belongs to the run.
    appOptions.showPausedFrames = false;
    Application app(std::move(appOptions));
    ConsoleNotice notice;
    FrameReport report;
    app.SetNotice(&notice);
    app.SetEventReceiver(&report);
    const CommandResult opened = app.OpenSource(options.source);
    if (!opened.ok) {
        std::fprintf(stderr, "kelpa: %s\n", opened.message.c_str());
        return 1;
    }
    VideoCtrl& ctrl = *app.Current();
    FrameSink& sink = ctrl.sink;
    app.SetFrameObserver(&report);
    app.SetPacing(options.pacing);
    // Statistics are measured for every frame, as with the statistic window open.
    app.SetStatisticsWanted(true);

    if (!options.captureDir.empty()) {
        if (!MakeDirectories(options.captureDir) ||
            !sink.capture.SetCaptureDirectory(options.captureDir.c_str())) {
            std::fprintf(stderr, "kelpa: cannot capture into '%s'\n", options.captureDir.c_str());
            return 2;
        }
        sink.capture.captureCount.store(options.captureCount);
        app.ToggleCapture();
    }

    std::signal(SIGINT, &OnInterrupt);
    std::signal(SIGTERM, &OnInterrupt);
    // Frames shown while the graph was being built are not part of the run.
    sink.samplesReceived.store(0);
    const auto start = std::chrono::steady_clock::now();
    if (const CommandResult started = app.Run(); !started.ok) {
        std::fprintf(stderr, "kelpa: %s\n", started.message.c_str());
        return 1;
    }

    uint64_t printed = 0;
    Application::GraphOutcome outcome;
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
            outcome = app.HandleGraphEvents(ctrl.Events());
            if (outcome.stopped) break;
        }
        if (g_interrupted.load()) break;
    }
    report.Close();
    app.Stop();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    app.SetFrameObserver(nullptr);
    app.SetStatisticsWanted(false);
    if (outcome.failed) std::fprintf(stderr, "kelpa: %s\n", outcome.message.c_str());
    PrintSummary(printed, sink.samplesReceived.load(), app.CameraGraph().DroppedFrames(), seconds,
                 sink.capture.capturedCount.load(),
                 JsonText(options.source.empty() ? "camera" : options.source).c_str());
    return outcome.failed ? 1 : 0;
}

}  // namespace kelpa
