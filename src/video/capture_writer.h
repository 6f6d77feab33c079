// The frame capture writer: writes processed frames as numbered 24-bit BMP files into the
// capture directory, names them from the user's template, and keeps the state of a capture run.
// The intake's FrameSink owns one; the capture command, the capture setup dialog and the main
// window reach it on the GUI thread, the intake calls CaptureFrame on the streaming thread.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "image/bitmap_header.h"
#include "image/frame_buffer.h"
#include "platform/user_notice.h"
#include "processing/stream_events.h"
#include "video/capture_file.h"

namespace kelpa {

// What one slot of the parsed file-name template contributes to a name.
enum class TemplatePartKind : uint32_t {
    kEmpty = 0,
    kLiteral = 1,  // text of the template
    kName = 2,     // the source name (`%n`)
    kDate = 3,     // `%d`: takes a slot, writes nothing
    kTime = 4,     // `%t`: the sample time in milliseconds, 7 digits
    kFrame = 5,    // `%f`: the frame number, 5 digits
};

struct TemplatePart {
    TemplatePartKind kind = TemplatePartKind::kEmpty;
    uint32_t length = 0;         // characters, for literal and name parts
    const char* text = nullptr;  // into the template (literal) or the source name (name)
};

inline constexpr size_t kCapturePathSize = 260;  // every path, template and name buffer
inline constexpr size_t kTemplatePartCount = 9;
inline constexpr size_t kMaxCaptureDirLen = 245;  // directory text without the added '/'
inline constexpr uint32_t kBmpFileHeaderSize = 14;
inline constexpr uint32_t kBmpHeadersSize = 54;   // file header + info header
inline constexpr size_t kCaptureStatusSize = 64;  // enough for either status text
// A failure text: what failed, the directory and the system's reason.
inline constexpr size_t kCaptureFailureSize = kCapturePathSize + 192;
static_assert(kCaptureFailureSize <= kCaptureReportTextSize, "a failure fits the run's report");
inline constexpr const char* kDefaultCaptureTemplate = "#cap%n#_%f";

// Status-line texts of a run: "Capturing in progress +%u" while frames are written, and
// "Capturing %u (+%u) frame(s)" (all frames so far, frames of this run) when a run ends.
// Both return what snprintf returns.
int FormatCaptureProgress(char* out, size_t size, uint32_t capturedCount);
int FormatCaptureDone(char* out, size_t size, uint32_t capturedBefore, uint32_t capturedCount);

class CaptureWriter {
  public:
    // Reads the capture keys from the profile. A directory that cannot become one (a file in
    // the way, too long) gives way to the temporary directory; a missing one is created only
    // when a capture starts. `events` hears of the progress and the end of every run (may be
    // null, and set later).
    explicit CaptureWriter(StreamEvents* events = nullptr);
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    void SetEvents(StreamEvents* events) { events_.store(events); }

    // Writes CapWorkDir, CapFormat, CapFramesDelay and CapCount back to the profile; the owner
    // calls it at teardown when its settings are the ones to keep. False when a write failed.
    bool SaveSettings() const;

    // A new capture directory, or null to re-check the stored one. Refuses texts longer than
    // kMaxCaptureDirLen; adds the closing '/'; parses the template again.
    bool SetCaptureDirectory(const char* dir);
    // The text behind `%n`: a file path gives its base name without extension, a device name
    // its first word of characters that are safe in a file name.
    void SetCaptureName(const char* text, bool isPath);
    // Replaces the template (the capture setup dialog) and parses it. False when it does not
    // fit the template buffer; then nothing changes.
    bool SetCaptureTemplate(const char* text);
    // Rebuilds the template parts from the template text; replaces characters that cannot go
    // into a file name by '_' and appends "%f" when the template has no number field.
    void ParseTemplate();

    // captureIntervalMs from the processed frame rate (frames per second reaching the writer).
    void UpdateCaptureInterval(double procRate);

    // The Capture command: starts or ends a run and tells the user. A run starts by creating
    // the capture directory when it is missing and removing the temporaries that ended
    // programs left in it; when the directory cannot be created the run does not start and
    // RunFailed() says why. Returns whether a run is on afterwards (the Capture check).
    bool ToggleCapture(UserNotice* notice);

    // Ends a run now, at the end of a program run or on a signal: a frame being written is
    // completed or removed before this returns, so no partial or temporary file of this writer
    // stays behind. Posts kCaptureDone when a run was on. Any thread but the streaming
    // thread (which it waits for); not from a signal handler.
    void FinishCapture();

    // Why the last run ended early or did not start: the directory and the system's reason
    // (also written to the log). Read on kCaptureDone or after ToggleCapture; the text
    // stays until the next run starts. "" and false while nothing failed.
    bool RunFailed() const { return failed_.load(std::memory_order_acquire); }
    const char* FailureText() const { return RunFailed() ? failureText_ : ""; }
    // The main window's answer to kCaptureDone (after it unchecked the Capture item): the
    // status line shows the failure, or the frames written.
    void ReportRunEnd(UserNotice* notice) const;

    // Streaming thread: writes one processed picture while a run is on. `info` is the 40-byte
    // header that describes `picture` in the file. Returns 1 when a file was written, 0 when
    // the frame was skipped, -1 when the run ended because the frame could not be written (a
    // directory that takes no files, a full disk, a picture a BMP file cannot hold). Never
    // replaces an existing file: a name that is taken gets the next free "_N" suffix.
    // Allocates nothing.
    int CaptureFrame(double sampleTime, double fps, const FrameBuffer& picture,
                     const BitmapInfoHeader& info);

    // The full path CaptureFrame would write for this time when the name is free; the returned
    // text lives until the next call. The frame number is the time rounded to the nearest
    // frame, the time the nearest millisecond. Streaming thread (or a test while no run is on).
    const char* BuildCaptureName(double sampleTime, double fps);

    // Copies the path of the last file written ("" when none); returns its length.
    size_t LastCapturePath(char* out, size_t size) const;

    // GUI-thread views of the stored texts.
    const char* CaptureDir() const { return captureDir_; }
    uint32_t CaptureDirLen() const { return captureDirLen_; }
    const char* CaptureTemplate() const { return captureTemplate_; }
    const char* CaptureName() const { return captureName_; }
    const std::array<TemplatePart, kTemplatePartCount>& TemplateParts() const {
        return templateParts_;
    }

    // Shared with the streaming thread.
    std::atomic<bool> capturing{false};
    std::atomic<uint32_t> capturedCount{0};      // frames written in this run
    std::atomic<uint32_t> captureCountdown{0};   // frames still to skip
    std::atomic<uint32_t> captureFrameDelay{0};  // frames skipped after each written one
    std::atomic<uint32_t> captureCount{1};       // frames per run; 0 ends after the first
    // GUI thread only.
    int32_t captureIntervalMs = 0;  // captureFrameDelay in milliseconds
    uint32_t capturedBefore = 0;    // frames of all earlier runs

  private:
    void ParseTemplateLocked();
    bool SetCaptureDirectoryLocked(const char* dir);
    void BuildNamesLocked(double sampleTime, double fps);
    int CaptureDueFrame(double sampleTime, double fps, const FrameBuffer& picture,
                        const BitmapInfoHeader& info);
    bool WriteFile(int fd, const FrameBuffer& picture, const BitmapInfoHeader& info);
    // Returns 0 when the file is in place, else the errno of what failed.
    int WriteAndPlace(const FrameBuffer& picture, const BitmapInfoHeader& info);
    // GUI thread, at the start of a run: creates the directory, removes stale temporaries.
    bool PrepareDirectory();
    void WaitForFrameInFlight();
    // Streaming thread: ends the run with `reason` (an errno, or 0 when `detail` says it).
    void Fail(int reason, const char* detail);
    void EndRun();
    void PostProgress(uint32_t written);
    // The end of a run, with its count and failure. Posted by one thread at a time: the
    // streaming thread while a run is on, FinishCapture once it has ended it.
    void PostDone();

    std::atomic<StreamEvents*> events_;
    // Guards the directory, template, name and parts, which the GUI thread changes while a run
    // may be on. The GUI thread holds it only while it rewrites those texts (no waiting inside).
    mutable std::mutex nameLock_;
    std::array<TemplatePart, kTemplatePartCount> templateParts_{};
    uint32_t captureDirLen_ = 0;
    char captureDir_[kCapturePathSize] = {};
    char captureTemplate_[kCapturePathSize] = {};
    char captureName_[kCapturePathSize] = {};
    // Streaming thread: the name being built (its directory part and where ".bmp" begins), the
    // temporary file beside it, the name the file took, the last good one.
    char capturePath_[kCapturePathSize] = {};
    uint32_t pathDirLen_ = 0;
    uint32_t extensionAt_ = 0;
    char tempPath_[kCapturePathSize + 64] = {};
    char tempName_[64] = {};
    char placedPath_[kCapturePathSize + kNameSuffixRoom] = {};
    char lastCapturePath_[kCapturePathSize + kNameSuffixRoom] = {};
    // A failure is written by the streaming thread before the flag is set, and cleared by the
    // GUI thread only while no run is on.
    std::atomic<bool> failed_{false};
    char failureText_[kCaptureFailureSize] = {};
    // CaptureFrame calls under way, so that FinishCapture can wait for the file in flight.
    std::atomic<int32_t> inFlight_{0};
    uint8_t bmpFileHeader_[kBmpFileHeaderSize] = {};
    uint8_t infoBytes_[sizeof(BitmapInfoHeader)] = {};
};

}  // namespace kelpa
