// The frame capture writer: writes captured frames into the capture directory as numbered
// 24-bit BMP files, as one SER video file per run or as numbered FITS files, names them from the
// user's template, and keeps the state of a capture run.
// The intake's FrameSink owns one; the capture command, the capture setup dialog and the main
// window reach it on the GUI thread, the intake calls CaptureFrame on the streaming thread.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "image/bitmap_header.h"
#include "image/frame_buffer.h"
#include "platform/user_notice.h"
#include "processing/stream_events.h"
#include "video/capture_file.h"
#include "video/capture_picture.h"
#include "video/capture_settings.h"
#include "video/fits_file.h"
#include "video/ser_file.h"

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

inline constexpr size_t kCapturePathSize = kCapturePathChars + 1;  // every path, template, name
inline constexpr size_t kTemplatePartCount = 9;
inline constexpr size_t kMaxCaptureDirLen = 245;  // directory text without the added '/'
inline constexpr uint32_t kBmpFileHeaderSize = 14;
inline constexpr uint32_t kBmpHeadersSize = 54;   // file header + info header
inline constexpr size_t kCaptureStatusSize = 64;  // enough for either status text
// A failure text: what failed, the directory and the system's reason.
inline constexpr size_t kCaptureFailureSize = kCapturePathSize + 192;
static_assert(kCaptureFailureSize <= kCaptureReportTextSize, "a failure fits the run's report");

// The time now in nanoseconds since 1970 UTC; tests hand in a clock of their own.
using UtcClockFn = UnixTimeNs (*)();
UnixTimeNs SystemUtcNow();

// Status-line texts of a run: "Capturing in progress +%u" while frames are written, and
// "Capturing %u (+%u) frame(s)" (all frames so far, frames of this run) when a run ends.
// Both return what snprintf returns.
int FormatCaptureProgress(char* out, size_t size, uint32_t capturedCount);
int FormatCaptureDone(char* out, size_t size, uint32_t capturedBefore, uint32_t capturedCount);

class CaptureWriter {
  public:
    // Takes the run settings as ApplySettings does. `events` hears of the progress and the end
    // of every run (may be null, and set later).
    explicit CaptureWriter(StreamEvents* events = nullptr,
                           const CaptureRunSettings& settings = DefaultCaptureRunSettings());
    // Ends a run that is still on as FinishCapture does.
    ~CaptureWriter();
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    void SetEvents(StreamEvents* events) { events_.store(events); }

    // The directory, template, frame delay and count of the next run; GUI thread, while no run
    // is on. A directory beginning with "~/" lies in the home. One that cannot become a
    // directory (a file in the way, too long) gives way to the temporary directory; a missing
    // one is created only when a capture starts.
    void ApplySettings(const CaptureRunSettings& settings);
    // The run settings as they stand (the template as the parser left it), for the owner to
    // save.
    CaptureRunSettings Settings() const;

    // The kind of file, the picture taken and the header texts of the next run (a run that is
    // on keeps what it started with). GUI thread.
    void SetFileSettings(const CaptureFileSettings& settings);
    CaptureFileSettings FileSettings() const;
    // Streaming thread: the picture the run that is on takes.
    CaptureContent RunContent() const { return runContent_.load(std::memory_order_relaxed); }
    // The capture device's exposure in seconds, for the files that record it (FITS); negative
    // when the device does not report one. Any thread.
    void SetExposureSeconds(double seconds) { exposureSeconds_.store(seconds); }
    // Where frame times in UTC come from (tests); only while no run is on.
    void SetUtcClock(UtcClockFn clock) { utcClock_ = clock; }

    // A new capture directory, or null to re-check the stored one. Refuses texts longer than
    // kMaxCaptureDirLen; adds the closing '/'; parses the template again.
    bool SetCaptureDirectory(const char* dir);
    // The text behind `%n`: a file path gives its base name without extension, a device name
    // its first word of characters that are safe in a file name. A device name is also the
    // instrument named in SER and FITS headers (a file has none).
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

    // Streaming thread: writes one picture while a run is on, as a BMP file, a frame of the
    // run's SER file or a FITS file. `info` is the 40-byte header that describes `picture`
    // (its height's sign gives the row order); `colour` is false when the picture holds one
    // grey level in its three bytes (SER and FITS files then store one byte a pixel).
    // Returns 1 when the frame was written, 0 when it was skipped, -1 when the run ended
    // because it could not be written (a directory that takes no files, a full disk, a picture
    // the file cannot hold). Never replaces an existing file: a name that is taken gets the
    // next free "_N" suffix. A SER run's file takes pictures of one size and kind; another
    // size or kind finishes it and starts the next file. Allocates nothing for BMP and SER
    // frames beyond the first of a size; cfitsio allocates its own small structures per file.
    int CaptureFrame(double sampleTime, double fps, const FrameBuffer& picture,
                     const BitmapInfoHeader& info, bool colour = true);

    // The full path CaptureFrame would write for this time when the name is free; the returned
    // text lives until the next call. The frame number is the time rounded to the nearest
    // frame, the time the nearest millisecond. Streaming thread (or a test while no run is on).
    const char* BuildCaptureName(double sampleTime, double fps);

    // The full path CaptureFrame would write for a frame of this time if it were written now:
    // a taken name gets the suffix the writer would give it. Built into `out` without touching
    // the writer's own buffers, so the capture setup dialog can show it while a run is on.
    // Its extension is the run's while a run is on, else that of the file settings as last
    // set. GUI thread. Returns its length (0 with nothing written when `size` is 0).
    size_t PreviewCaptureName(double sampleTime, double fps, char* out, size_t size) const;

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
    // Writes the path for this time with `extension` into `out` (kCapturePathSize bytes);
    // returns where its extension begins.
    size_t ComposeNameLocked(double sampleTime, double fps, const char* extension, char* out) const;
    int CaptureDueFrame(double sampleTime, double fps, const FrameBuffer& picture,
                        const BitmapInfoHeader& info, bool colour);
    int WriteBmpFrame(const FrameBuffer& picture, const BitmapInfoHeader& info);
    int WriteFitsFrame(double sampleTime, const CapturePicture& picture);
    int WriteSerFrame(double sampleTime, double fps, const CapturePicture& picture);
    // Counts a frame written and ends the run when it was the last one. Returns 1.
    int FrameWritten();
    // Writes the pieces into the temporary file and puts it in place under capturePath_.
    // Returns 0 when the file is in place, else the errno of what failed.
    int WriteAndPlace(std::span<const std::span<const uint8_t>> pieces);
    void RememberPlaced();
    // The UTC time of a frame: the run's start plus the stream time since its first frame;
    // a stream that goes back (a seek, a loop) starts from the clock again.
    UnixTimeNs FrameUtc(double sampleTime);
    // Opens the run's SER file ("name.ser.part") for the picture.
    int OpenSerFile(const CapturePicture& picture, UnixTimeNs startUtc);
    // Finishes the SER file and gives it its name; a file that cannot be finished keeps its
    // ".part" name with the right count. Returns 0 or the errno. No-op without an open file.
    int CloseSerFile();
    // Closes the run's file after the run ended; a failure becomes the run's failure.
    void FinishRunFile();
    // GUI thread, at the start of a run: creates the directory, removes stale temporaries.
    bool PrepareDirectory();
    void WaitForFrameInFlight();
    // Streaming thread: ends the run with `reason` (an errno, or 0 when `detail` says it).
    void Fail(int reason, const char* detail);
    // Records the failure without ending the run.
    void SetFailure(int reason, const char* detail);
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
    char deviceName_[kCapturePathSize] = {};  // the instrument
    CaptureFileSettings fileSettings_;
    const char* extension_ = ".bmp";
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

    // What a run keeps from its start (set by the GUI thread before `capturing`).
    CaptureFileType runType_ = CaptureFileType::kBmp;
    std::atomic<CaptureContent> runContent_{CaptureContent::kProcessed};
    std::string runObserver_;
    std::string runTelescope_;
    std::string runInstrument_;
    std::atomic<double> exposureSeconds_{-1.0};
    UtcClockFn utcClock_ = &SystemUtcNow;
    // Streaming thread (the GUI thread once the run has ended): the run's clock, its SER file
    // with the names it has and will take, and the FITS encoder.
    bool clockStarted_ = false;
    double clockSample_ = 0.0;
    UnixTimeNs clockUtc_ = 0;
    double lastSample_ = 0.0;
    UnixTimeNs lastUtc_ = 0;
    SerFile ser_;
    char serPath_[kCapturePathSize + kNameSuffixRoom] = {};
    char serPartPath_[kCapturePathSize + kNameSuffixRoom + 8] = {};
    size_t serExtensionAt_ = 0;
    FitsEncoder fits_;
};

}  // namespace kelpa
