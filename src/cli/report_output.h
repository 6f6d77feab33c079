// The headless run's standard output: one JSON line per processed frame up to the frame limit,
// then the summary line. A write that fails (a full disk, a pipe whose reader has gone) is
// remembered, so the run can end instead of computing frames nobody receives.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cli/frame_report.h"

namespace kelpa {

struct RunSummary {
    uint64_t received = 0;  // frames that went through the frame path
    uint64_t dropped = 0;
    double seconds = 0;
    uint32_t captured = 0;
    std::string source;  // as the user named it; escaped when printed
};

class ReportOutput {
  public:
    // `frameLimit` 0: no limit.
    ReportOutput(std::FILE* out, uint64_t frameLimit) : out_(out), frameLimit_(frameLimit) {}

    // Prints the records that fit under the limit and flushes them. False once a write failed.
    bool Print(const std::vector<FrameRecord>& records);
    // Prints the summary line; processed frames are the lines printed. False when it failed.
    bool PrintSummary(const RunSummary& summary);

    bool LimitReached() const { return frameLimit_ != 0 && printed_ >= frameLimit_; }
    uint64_t Printed() const { return printed_; }
    bool Failed() const { return error_ != 0; }
    // Why the output failed ("No space left on device"); empty while it has not.
    std::string ErrorText() const;

  private:
    bool Check(bool written);

    std::FILE* out_;
    uint64_t frameLimit_;
    uint64_t printed_ = 0;
    int error_ = 0;
};

// Ends a run without losing a line: the report stops holding up the streaming thread, the
// source is stopped (`stopSource`), and the frames recorded until then are printed.
void FinishRun(FrameReport& report, ReportOutput& output, const std::function<void()>& stopSource);

}  // namespace kelpa
