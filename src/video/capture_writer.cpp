// The capture writer's settings, run control and the writing of one frame as a BMP file; the
// SER and FITS files are written in capture_formats.cpp.
#include "video/capture_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/log.h"
#include "platform/program_paths.h"
#include "platform/unique_fd.h"

namespace kelpa {
namespace {

void PutLE16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLE32(uint8_t* p, uint32_t v) {
    PutLE16(p, v & 0xFFFF);
    PutLE16(p + 2, v >> 16);
}

// The info header as it goes into the file, little-endian whatever the machine.
void SerialiseInfoHeader(const BitmapInfoHeader& h, uint8_t* out) {
    PutLE32(out + 0, h.size);
    PutLE32(out + 4, static_cast<uint32_t>(h.width));
    PutLE32(out + 8, static_cast<uint32_t>(h.height));
    PutLE16(out + 12, h.planes);
    PutLE16(out + 14, h.bitCount);
    PutLE32(out + 16, h.compression);
    PutLE32(out + 20, h.sizeImage);
    PutLE32(out + 24, static_cast<uint32_t>(h.xPelsPerMeter));
    PutLE32(out + 28, static_cast<uint32_t>(h.yPelsPerMeter));
    PutLE32(out + 32, h.clrUsed);
    PutLE32(out + 36, h.clrImportant);
}

// A file is written only when the header describes the picture exactly: a reader of the file
// must find every row it expects, and no more.
bool PictureMatchesHeader(const FrameBuffer& p, const BitmapInfoHeader& h) {
    if (!p.data || p.width <= 0 || p.height <= 0) return false;
    if (h.size != sizeof(BitmapInfoHeader) || h.planes != 1 || h.bitCount != 24 ||
        h.compression != 0 || h.width != p.width) {
        return false;
    }
    const int64_t rows = h.height < 0 ? -static_cast<int64_t>(h.height) : h.height;
    if (rows != p.height || p.stride != Stride24(p.width)) return false;
    const uint64_t size = static_cast<uint64_t>(p.stride) * static_cast<uint64_t>(p.height);
    return size == p.imageSize && size <= UINT32_MAX - kBmpHeadersSize;
}

void CopyText(char* out, const std::string& text) {
    const size_t n = std::min(text.size(), kCapturePathSize - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

// The temporary directory with its closing '/', short enough to be a capture directory.
std::string TempCaptureDirectory() {
    std::string dir = TempDirectory();
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir.size() <= kMaxCaptureDirLen ? dir : std::string("/tmp/");
}

// "~/..." in the home; the temporary directory when the home is unknown.
std::string ExpandHome(const std::string& dir) {
    if (dir != "~" && dir.rfind("~/", 0) != 0) return dir;
    const std::string home = HomeDirectory();
    if (home.empty()) return TempCaptureDirectory();
    return (home == "/" ? std::string() : home) + dir.substr(1);
}

// A stored directory is kept when it is a directory or nothing exists under its name yet (it is
// created when a capture starts); a file in the way or a text that is too long is not.
bool UsableDirectory(const std::string& dir) {
    if (dir.empty() || dir.size() > kMaxCaptureDirLen) return false;
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    return errno == ENOENT;
}

}  // namespace

int FormatCaptureProgress(char* out, size_t size, uint32_t capturedCount) {
    return std::snprintf(out, size, "Capturing in progress +%u", capturedCount);
}

int FormatCaptureDone(char* out, size_t size, uint32_t capturedBefore, uint32_t capturedCount) {
    return std::snprintf(out, size, "Capturing %u (+%u) frame(s)", capturedBefore + capturedCount,
                         capturedCount);
}

CaptureWriter::CaptureWriter(StreamEvents* events, const CaptureRunSettings& settings)
    : events_(events) {
    // Unique per process and writer, so two writers never share a temporary file.
    static std::atomic<uint32_t> instances{0};
    FormatCaptureTempName(tempName_, sizeof tempName_, ::getpid(), instances.fetch_add(1));
    bmpFileHeader_[0] = 'B';
    bmpFileHeader_[1] = 'M';
    PutLE32(bmpFileHeader_ + 10, kBmpHeadersSize);
    ApplySettings(settings);
}

CaptureWriter::~CaptureWriter() {
    capturing.store(false);
    WaitForFrameInFlight();
    CloseSerFile();
}

void CaptureWriter::ApplySettings(const CaptureRunSettings& settings) {
    // A directory that can never be one (a file in the way, too long) gives way to the
    // temporary directory. A missing one is left for the start of a capture to create, so
    // that nothing appears on disk before the user captures.
    std::string dir = ExpandHome(settings.directory);
    if (!UsableDirectory(dir)) dir = TempCaptureDirectory();
    {
        std::lock_guard lock(nameLock_);
        CopyText(captureTemplate_, settings.fileTemplate);
        CopyText(captureDir_, dir);
        if (!SetCaptureDirectoryLocked(nullptr)) ParseTemplateLocked();
    }
    captureFrameDelay.store(settings.frameDelay);
    captureCountdown.store(0);
    captureCount.store(settings.count);
}

CaptureRunSettings CaptureWriter::Settings() const {
    CaptureRunSettings settings;
    {
        std::lock_guard lock(nameLock_);
        settings.directory = captureDir_;
        settings.fileTemplate = captureTemplate_;
    }
    settings.frameDelay = captureFrameDelay.load();
    settings.count = captureCount.load();
    return settings;
}

void CaptureWriter::SetFileSettings(const CaptureFileSettings& settings) {
    fileSettings_ = settings;
    // A run that is on keeps its extension; the next one takes it from here.
    if (!capturing.load()) {
        std::lock_guard lock(nameLock_);
        extension_ = CaptureExtension(settings.FileType());
    }
}

CaptureFileSettings CaptureWriter::FileSettings() const {
    return fileSettings_;
}

bool CaptureWriter::SetCaptureDirectory(const char* dir) {
    std::lock_guard lock(nameLock_);
    return SetCaptureDirectoryLocked(dir);
}

bool CaptureWriter::SetCaptureDirectoryLocked(const char* dir) {
    if (!dir) {
        if (captureDir_[0] == '\0' || std::strlen(captureDir_) > kMaxCaptureDirLen) {
            captureDir_[0] = '\0';
            captureDirLen_ = 0;
            return false;
        }
    } else {
        const size_t n = std::strlen(dir);
        if (n > kMaxCaptureDirLen) return false;
        std::memmove(captureDir_, dir, n + 1);
    }
    size_t len = std::strlen(captureDir_);
    if (len > 0 && captureDir_[len - 1] != '/') {
        captureDir_[len++] = '/';
        captureDir_[len] = '\0';
    }
    captureDirLen_ = static_cast<uint32_t>(len);
    ParseTemplateLocked();
    return true;
}

void CaptureWriter::UpdateCaptureInterval(double procRate) {
    const uint32_t delay = captureFrameDelay.load();
    if (delay == 0 || !(procRate > 0.0)) {
        captureIntervalMs = 0;
        return;
    }
    const double ms = 1000.0 / procRate * delay + 0.5;
    captureIntervalMs = ms >= static_cast<double>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(ms);
}

bool CaptureWriter::ToggleCapture(UserNotice* notice) {
    char text[kCaptureStatusSize];
    if (capturing.load()) {
        // Once the command returns no further file of this run appears.
        capturing.store(false);
        WaitForFrameInFlight();
        FinishRunFile();
        if (notice) {
            FormatCaptureDone(text, sizeof text, capturedBefore, capturedCount.load());
            notice->ShowStatus(RunFailed() ? failureText_ : text);
        }
        return false;
    }
    // The counters and the failure are reset before the run is switched on, so the streaming
    // thread never sees a new run with the old run's state.
    WaitForFrameInFlight();
    const uint32_t last = capturedCount.load();
    if (last <= UINT32_MAX - capturedBefore) capturedBefore += last;
    capturedCount.store(0);
    captureCountdown.store(0);
    failed_.store(false);
    failureText_[0] = '\0';
    if (!PrepareDirectory()) {
        if (notice) notice->ShowStatus(failureText_);
        return false;
    }
    // The run keeps the file settings it starts with.
    runType_ = fileSettings_.FileType();
    runContent_.store(fileSettings_.Content());
    runObserver_ = fileSettings_.observer;
    runTelescope_ = fileSettings_.telescope;
    {
        std::lock_guard lock(nameLock_);
        runInstrument_ = deviceName_;
        extension_ = CaptureExtension(runType_);
    }
    clockStarted_ = false;
    capturing.store(true);
    if (notice) {
        FormatCaptureProgress(text, sizeof text, 0);
        notice->ShowStatus(text);
    }
    return true;
}

bool CaptureWriter::PrepareDirectory() {
    std::string dir;
    {
        std::lock_guard lock(nameLock_);
        dir.assign(captureDir_, captureDirLen_);
    }
    // An empty directory stands for the current one, which exists.
    const std::string path =
        dir.size() > 1 && dir.back() == '/' ? dir.substr(0, dir.size() - 1) : dir;
    const char* what = nullptr;
    int error = 0;
    if (!path.empty() && !MakeDirectories(path)) {
        what = "Cannot create the capture folder";
        error = errno;
    } else if (::access(path.empty() ? "." : path.c_str(), W_OK | X_OK) != 0) {
        what = "Cannot write captured frames into";
        error = errno;
    }
    if (what) {
        char reason[128];
        std::snprintf(failureText_, sizeof failureText_, "%s %s: %s", what,
                      dir.empty() ? "the current folder" : dir.c_str(),
                      SystemReason(error, reason, sizeof reason));
        LogPrintf("%s", failureText_);
        failed_.store(true, std::memory_order_release);
        return false;
    }
    const int removed = RemoveStaleCaptureTemps(dir.c_str());
    if (removed > 0) {
        LogPrintf("Removed %d unfinished capture file(s) of ended programs from %s", removed,
                  dir.c_str());
    }
    return true;
}

void CaptureWriter::WaitForFrameInFlight() {
    for (int32_t n = inFlight_.load(); n != 0; n = inFlight_.load()) inFlight_.wait(n);
}

void CaptureWriter::FinishCapture() {
    const bool wasOn = capturing.exchange(false);
    WaitForFrameInFlight();
    FinishRunFile();
    if (wasOn) PostDone();
}

void CaptureWriter::ReportRunEnd(UserNotice* notice) const {
    if (!notice) return;
    if (RunFailed()) {
        notice->ShowStatus(failureText_);
        return;
    }
    char text[kCaptureStatusSize];
    FormatCaptureDone(text, sizeof text, capturedBefore, capturedCount.load());
    notice->ShowStatus(text);
}

size_t CaptureWriter::LastCapturePath(char* out, size_t size) const {
    if (!out || size == 0) return 0;
    std::lock_guard lock(nameLock_);
    const size_t n = std::min(std::strlen(lastCapturePath_), size - 1);
    std::memcpy(out, lastCapturePath_, n);
    out[n] = '\0';
    return n;
}

void CaptureWriter::PostProgress(uint32_t written) {
    if (StreamEvents* events = events_.load()) events->PostCaptureProgress(written);
}

void CaptureWriter::PostDone() {
    StreamEvents* events = events_.load();
    if (events == nullptr) return;
    CaptureReport report;
    report.capturedCount = capturedCount.load();
    report.failed = RunFailed();
    std::memcpy(report.failure, FailureText(), std::strlen(FailureText()) + 1);
    events->PostCaptureDone(report);
}

void CaptureWriter::EndRun() {
    capturing.store(false);
    FinishRunFile();
    PostDone();
}

void CaptureWriter::FinishRunFile() {
    if (const int error = CloseSerFile(); error != 0 && !RunFailed()) SetFailure(error, nullptr);
}

void CaptureWriter::Fail(int reason, const char* detail) {
    SetFailure(reason, detail);
    EndRun();
}

void CaptureWriter::SetFailure(int reason, const char* detail) {
    char text[128];
    const char* why = detail ? detail : SystemReason(reason, text, sizeof text);
    if (pathDirLen_ == 0) {
        std::snprintf(failureText_, sizeof failureText_,
                      "Cannot write captured frames into the current folder: %s", why);
    } else {
        std::snprintf(failureText_, sizeof failureText_,
                      "Cannot write captured frames into %.*s: %s", static_cast<int>(pathDirLen_),
                      capturePath_, why);
    }
    LogPrintf("%s", failureText_);
    failed_.store(true, std::memory_order_release);
}

int CaptureWriter::WriteAndPlace(std::span<const std::span<const uint8_t>> pieces) {
    // A leftover of our own is removed once.
    UniqueFd fd(CreateCaptureTemp(tempPath_));
    if (!fd.valid() && errno == EEXIST && ::unlink(tempPath_) == 0) {
        fd.Reset(CreateCaptureTemp(tempPath_));
    }
    if (!fd.valid()) return errno;
    int error = 0;
    for (const std::span<const uint8_t> piece : pieces) {
        if (!WriteAll(fd.get(), piece.data(), piece.size())) {
            error = errno;
            break;
        }
    }
    // Some file systems report a failed write only when the file is closed.
    if (::close(fd.Release()) != 0 && errno != EINTR && error == 0) error = errno;
    if (error == 0) {
        error = PlaceCaptureFile(tempPath_, capturePath_, extensionAt_, placedPath_,
                                 sizeof placedPath_);
    }
    // An incomplete file never appears under a picture's name, and no temporary stays.
    if (error != 0) ::unlink(tempPath_);
    return error;
}

int CaptureWriter::CaptureFrame(double sampleTime, double fps, const FrameBuffer& picture,
                                const BitmapInfoHeader& info, bool colour) {
    // Counted before `capturing` is read: FinishCapture clears `capturing` first and then waits
    // for the count, so a frame is either never started or waited for.
    inFlight_.fetch_add(1);
    const int result =
        capturing.load() ? CaptureDueFrame(sampleTime, fps, picture, info, colour) : 0;
    if (inFlight_.fetch_sub(1) == 1) inFlight_.notify_all();
    return result;
}

int CaptureWriter::CaptureDueFrame(double sampleTime, double fps, const FrameBuffer& picture,
                                   const BitmapInfoHeader& info, bool colour) {
    uint32_t left = captureCountdown.load();
    while (left != 0 && !captureCountdown.compare_exchange_weak(left, left - 1)) {
    }
    if (left != 0) return 0;
    if (const uint32_t delay = captureFrameDelay.load(); delay != 0) captureCountdown.store(delay);
    const CapturePicture view{&picture, info.height < 0, colour};
    if (runType_ == CaptureFileType::kSer) return WriteSerFrame(sampleTime, fps, view);
    {
        std::lock_guard lock(nameLock_);
        BuildNamesLocked(sampleTime, fps);
    }
    return runType_ == CaptureFileType::kFits ? WriteFitsFrame(sampleTime, view)
                                              : WriteBmpFrame(picture, info);
}

int CaptureWriter::WriteBmpFrame(const FrameBuffer& picture, const BitmapInfoHeader& info) {
    if (!PictureMatchesHeader(picture, info)) {
        char detail[96];
        std::snprintf(detail, sizeof detail,
                      "a picture of %d x %d pixels cannot be saved as a BMP file", picture.width,
                      picture.height);
        Fail(0, detail);
        return -1;
    }
    PutLE32(bmpFileHeader_ + 2, picture.imageSize + kBmpHeadersSize);
    SerialiseInfoHeader(info, infoBytes_);
    const std::span<const uint8_t> pieces[] = {
        bmpFileHeader_, infoBytes_, {picture.data, picture.imageSize}};
    if (const int error = WriteAndPlace(pieces); error != 0) {
        Fail(error, nullptr);
        return -1;
    }
    RememberPlaced();
    return FrameWritten();
}

void CaptureWriter::RememberPlaced() {
    std::lock_guard lock(nameLock_);
    std::memcpy(lastCapturePath_, placedPath_, sizeof lastCapturePath_);
}

int CaptureWriter::FrameWritten() {
    const uint32_t written = capturedCount.fetch_add(1) + 1;
    const uint32_t wanted = captureCount.load();
    const bool done = written >= wanted;
    if (done) {
        capturing.store(false);
        FinishRunFile();
    }
    if (written % 4 == 0 || wanted < 4) PostProgress(written);
    if (done) PostDone();
    return 1;
}

}  // namespace kelpa
