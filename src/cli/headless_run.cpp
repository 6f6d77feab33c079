#include "cli/headless_run.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/settings_tables.h"
#include "cli/frame_report.h"
#include "cli/report_output.h"
#include "cli/startup.h"
#include "common/log.h"
#include "common/profile.h"
#include "platform/program_paths.h"

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

// Warnings go to standard error; status texts are not shown (the application core keeps the
// last one as the reason of a failure).
class ConsoleNotice final : public UserNotice {
  public:
    void ShowStatus(const char*) override {}
    void Warn(const char* text) override { std::fprintf(stderr, "kelpa: %s\n", text); }
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
    // The command line checked every key; each is overridden in its table's section.
    for (const auto& [key, value] : options.settings) {
        const char* section = ProgramSettingSection(key);
        startup.Profile()->SetOverride(section != nullptr ? section : kProfileSection, key.c_str(),
                                       value.c_str());
    }

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
        if (!sink.capture.SetCaptureDirectory(options.captureDir.c_str())) {
            std::fprintf(stderr, "kelpa: cannot capture into '%s'\n", options.captureDir.c_str());
            return 2;
        }
        sink.capture.captureCount.store(options.captureCount);
        // Creates the directory; one that cannot be created or written ends the run here.
        app.ToggleCapture();
        if (sink.capture.RunFailed()) {
            std::fprintf(stderr, "kelpa: %s\n", sink.capture.FailureText());
            return kExitCaptureFailed;
        }
    }

    // Use dark on without a dark that fits the stream: say so, the run goes on without one.
    if (sink.dark.Use() && !sink.dark.Applied()) {
        std::fprintf(stderr, "kelpa: %s\n", sink.dark.StatusText().c_str());
    }
    const bool takingDark = options.takeDarkFrames > 0;
    if (takingDark) {
        if (const CommandResult take = app.TakeDark(static_cast<int32_t>(options.takeDarkFrames));
            !take.ok) {
            std::fprintf(stderr, "kelpa: %s\n", take.message.c_str());
            return 1;
        }
    }
    bool darkFailed = false;

    InstallSignalHandlers();
    // Frames shown while the graph was being built are not part of the run.
    sink.samplesReceived.store(0);
    sink.samplesDropped.store(0);
    const auto start = std::chrono::steady_clock::now();
    if (const CommandResult started = app.Run(); !started.ok) {
        std::fprintf(stderr, "kelpa: %s\n", started.message.c_str());
        return 1;
    }

    ReportOutput output(stdout, options.frames);
    Application::GraphOutcome outcome;
    std::vector<FrameRecord> batch;
    for (;;) {
        const bool event = report.Wait(kPollMs, &batch);
        if (!output.Print(batch) || output.LimitReached()) break;
        if (event) {
            outcome = app.HandleGraphEvents(ctrl.Events());
            if (outcome.stopped) break;
        }
        if (g_interrupted.load() || sink.capture.RunFailed()) break;
        if (takingDark && sink.dark.TakeState() != DarkTakeState::kTaking) {
            const CommandResult taken = app.FinishDarkTake(ctrl.Events());
            std::fprintf(stderr, "kelpa: %s\n", taken.message.c_str());
            darkFailed = !taken.ok;
            break;
        }
    }
    if (takingDark && sink.dark.TakeState() == DarkTakeState::kTaking) {
        std::fprintf(stderr, "kelpa: the run ended after %d of %d dark frames; nothing stored\n",
                     sink.dark.FramesTaken(), sink.dark.FramesWanted());
        sink.dark.CancelTake();
        darkFailed = true;
    }
    // The capture writer completes or removes the file it is writing, then the source stops: a
    // run never leaves a partial capture behind, however it ends.
    FinishRun(report, output, [&app, &sink] {
        sink.capture.FinishCapture();
        app.Stop();
    });
    if (const uint64_t lost = report.Lost(); lost > 0) {
        LogPrintf("%llu frame(s) processed while the run ended had no room in the report",
                  static_cast<unsigned long long>(lost));
    }
    RunSummary summary;
    summary.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    app.SetFrameObserver(nullptr);
    app.SetStatisticsWanted(false);
    if (outcome.failed) std::fprintf(stderr, "kelpa: %s\n", outcome.message.c_str());
    const bool captureFailed = sink.capture.RunFailed();
    if (captureFailed) std::fprintf(stderr, "kelpa: %s\n", sink.capture.FailureText());
    if (const std::string guideLog = sink.guideLog.FailureText(); !guideLog.empty()) {
        std::fprintf(stderr, "kelpa: %s\n", guideLog.c_str());
    }
    summary.received = sink.samplesReceived.load();
    summary.dropped = app.DroppedFrames();
    summary.captured = sink.capture.capturedCount.load();
    summary.source = options.source.empty() ? "camera" : options.source;
    if (!output.PrintSummary(summary)) {
        std::fprintf(stderr, "kelpa: cannot write to standard output: %s\n",
                     output.ErrorText().c_str());
        LogPrintf("Can`t write to standard output: %s", output.ErrorText().c_str());
        return 1;
    }
    if (outcome.failed || darkFailed) return 1;
    return captureFailed ? kExitCaptureFailed : 0;
}

}  // namespace kelpa
