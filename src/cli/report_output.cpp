// Printing the frame lines and the summary, with write errors caught.
#include "cli/report_output.h"

#include <cerrno>
#include <system_error>

#include "cli/json_text.h"

namespace kelpa {

bool ReportOutput::Check(bool written) {
    if (!written && error_ == 0) error_ = errno != 0 ? errno : EIO;
    return error_ == 0;
}

bool ReportOutput::Print(const std::vector<FrameRecord>& records) {
    if (Failed()) return false;
    for (const FrameRecord& record : records) {
        if (LimitReached()) break;
        errno = 0;
        if (!Check(PrintFrameRecord(out_, record))) return false;
        ++printed_;
    }
    errno = 0;
    return Check(std::fflush(out_) == 0);
}

// frames: processed frames (the JSON lines); received: frames that went through the frame
// path (the delay gate lets only some of them into the processing chain); fps: received
// frames per second, the rate at which the run consumed its source.
bool ReportOutput::PrintSummary(const RunSummary& s) {
    if (Failed()) return false;
    const double seconds = s.seconds;
    errno = 0;
    const int written = std::fprintf(
        out_,
        "{\"summary\": true, \"frames\": %llu, \"received\": %llu, \"dropped\": %llu, "
        "\"seconds\": %.3f, \"fps\": %.2f, \"processedFps\": %.2f, \"captured\": %u, "
        "\"source\": \"%s\"}\n",
        static_cast<unsigned long long>(printed_), static_cast<unsigned long long>(s.received),
        static_cast<unsigned long long>(s.dropped), seconds,
        seconds > 0 ? static_cast<double>(s.received) / seconds : 0.0,
        seconds > 0 ? static_cast<double>(printed_) / seconds : 0.0, s.captured,
        JsonText(s.source).c_str());
    if (!Check(written > 0)) return false;
    errno = 0;
    return Check(std::fflush(out_) == 0);
}

std::string ReportOutput::ErrorText() const {
    return error_ == 0 ? std::string() : std::generic_category().message(error_);
}

void FinishRun(FrameReport& report, ReportOutput& output, const std::function<void()>& stopSource) {
    report.StopWaiting();
    stopSource();
    std::vector<FrameRecord> rest;
    report.Wait(0, &rest);
    output.Print(rest);
}

}  // namespace kelpa
