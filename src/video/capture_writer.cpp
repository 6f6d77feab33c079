// The capture writer's settings, run control and the writing of one frame as a BMP file.
#include "video/capture_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/profile.h"
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

// Writes everything, going on after partial writes; false on an error or a write that makes
// no progress (a full disk, the file size limit).
bool WriteAll(int fd, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
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

std::string DefaultCaptureDirectory() {
    const std::string home = HomeDirectory();
    if (home.empty()) return TempCaptureDirectory();
    return (home == "/" ? std::string() : home) + "/Pictures/kelpa/";
}

// A stored directory is used when it exists or can be created with its parents.
bool UsableDirectory(const char* dir) {
    const size_t n = std::strlen(dir);
    return n > 0 && n <= kMaxCaptureDirLen && MakeDirectories(dir);
}

}  // namespace

int FormatCaptureProgress(char* out, size_t size, uint32_t capturedCount) {
    return std::snprintf(out, size, "Capturing in progress +%u", capturedCount);
}

int FormatCaptureDone(char* out, size_t size, uint32_t capturedBefore, uint32_t capturedCount) {
    return std::snprintf(out, size, "Capturing %u (+%u) frame(s)", capturedBefore + capturedCount,
                         capturedCount);
}

CaptureWriter::CaptureWriter(StreamEvents* events) : events_(events) {
    // Unique per process and writer, so two writers never share a temporary file.
    static std::atomic<uint32_t> instances{0};
    std::snprintf(tempSuffix_, sizeof tempSuffix_, ".kelpa-capture-%ld-%u.tmp",
                  static_cast<long>(::getpid()), instances.fetch_add(1));
    bmpFileHeader_[0] = 'B';
    bmpFileHeader_[1] = 'M';
    PutLE32(bmpFileHeader_ + 10, kBmpHeadersSize);

    GetProfileStringA(kProfileSection, "CapFormat", kDefaultCaptureTemplate, captureTemplate_,
                      sizeof captureTemplate_);
    const std::string fallback = DefaultCaptureDirectory();
    GetProfileStringA(kProfileSection, "CapWorkDir", fallback.c_str(), captureDir_,
                      sizeof captureDir_);
    // A missing directory is created (a fresh machine has no ~/Pictures); one that cannot be
    // used (a file in the way, no rights, too long) gives way to the temporary directory.
    if (!UsableDirectory(captureDir_)) CopyText(captureDir_, TempCaptureDirectory());
    {
        std::lock_guard lock(nameLock_);
        if (!SetCaptureDirectoryLocked(nullptr)) ParseTemplateLocked();
    }
    captureFrameDelay.store(
        static_cast<uint32_t>(GetProfileIntA(kProfileSection, "CapFramesDelay", 0)));
    captureCountdown.store(0);
    captureCount.store(static_cast<uint32_t>(GetProfileIntA(kProfileSection, "CapCount", 1)));
}

bool CaptureWriter::SaveSettings() const {
    bool ok = true;
    if (captureDir_[0] != '\0') {
        ok = WriteProfileStringA(kProfileSection, "CapWorkDir", captureDir_) && ok;
    }
    if (captureTemplate_[0] != '\0') {
        ok = WriteProfileStringA(kProfileSection, "CapFormat", captureTemplate_) && ok;
    }
    char number[16];
    std::snprintf(number, sizeof number, "%u", captureFrameDelay.load());
    ok = WriteProfileStringA(kProfileSection, "CapFramesDelay", number) && ok;
    std::snprintf(number, sizeof number, "%u", captureCount.load());
    ok = WriteProfileStringA(kProfileSection, "CapCount", number) && ok;
    return ok;
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
    const bool wasOn = capturing.load();
    if (wasOn && notice) {
        FormatCaptureDone(text, sizeof text, capturedBefore, capturedCount.load());
        notice->ShowStatus(text);
    }
    if (!wasOn) {
        // The counters are reset before the run is switched on, so the streaming thread never
        // sees a new run with the old run's count.
        const uint32_t last = capturedCount.load();
        if (last <= UINT32_MAX - capturedBefore) capturedBefore += last;
        capturedCount.store(0);
        captureCountdown.store(0);
    }
    // The opposite of what was seen: a run that ended meanwhile is not started again by a stop.
    capturing.exchange(!wasOn);
    if (notice && !wasOn) {
        FormatCaptureProgress(text, sizeof text, 0);
        notice->ShowStatus(text);
    }
    return !wasOn;
}

size_t CaptureWriter::LastCapturePath(char* out, size_t size) const {
    if (!out || size == 0) return 0;
    std::lock_guard lock(nameLock_);
    const size_t n = std::min(std::strlen(lastCapturePath_), size - 1);
    std::memcpy(out, lastCapturePath_, n);
    out[n] = '\0';
    return n;
}

void CaptureWriter::EndRun(const char* failure) {
    capturing.store(false);
    StreamEvents* events = events_.load();
    if (events == nullptr) return;
    CaptureReport report;
    report.capturedCount = capturedCount.load();
    report.failed = failure != nullptr;
    if (failure != nullptr) std::snprintf(report.failure, sizeof report.failure, "%s", failure);
    events->PostCaptureDone(report);
}

bool CaptureWriter::WriteFile(int fd, const FrameBuffer& picture, const BitmapInfoHeader& info) {
    PutLE32(bmpFileHeader_ + 2, picture.imageSize + kBmpHeadersSize);
    SerialiseInfoHeader(info, infoBytes_);
    return WriteAll(fd, bmpFileHeader_, sizeof bmpFileHeader_) &&
           WriteAll(fd, infoBytes_, sizeof infoBytes_) &&
           WriteAll(fd, picture.data, picture.imageSize);
}

int CaptureWriter::CaptureFrame(double sampleTime, double fps, const FrameBuffer& picture,
                                const BitmapInfoHeader& info) {
    if (!capturing.load()) return 0;
    uint32_t left = captureCountdown.load();
    while (left != 0 && !captureCountdown.compare_exchange_weak(left, left - 1)) {
    }
    if (left != 0) return 0;
    if (const uint32_t delay = captureFrameDelay.load(); delay != 0) captureCountdown.store(delay);
    if (!PictureMatchesHeader(picture, info)) return 0;
    {
        std::lock_guard lock(nameLock_);
        BuildNamesLocked(sampleTime, fps);
    }

    // O_EXCL: never write through a link someone placed under the temporary name. A leftover
    // of our own is removed once.
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
    UniqueFd fd(::open(tempPath_, kFlags, 0666));
    if (!fd.valid() && errno == EEXIST && ::unlink(tempPath_) == 0) {
        fd.Reset(::open(tempPath_, kFlags, 0666));
    }
    if (!fd.valid()) return 0;  // cannot create: this frame is lost, the run goes on

    errno = 0;
    bool ok = WriteFile(fd.get(), picture, info);
    if (::close(fd.Release()) != 0 && errno != EINTR) ok = false;
    if (!ok) {
        // A write that made no progress without an error code is a full disk.
        const int error = errno != 0 ? errno : ENOSPC;
        ::unlink(tempPath_);  // an incomplete file never appears under a picture's name
        char reason[128];
        char failure[kCaptureFailureSize];
        std::snprintf(failure, sizeof failure, "Capture stopped: %s could not be written (%s)",
                      capturePath_, strerror_r(error, reason, sizeof reason));
        EndRun(failure);
        return -1;
    }
    if (::rename(tempPath_, capturePath_) != 0) {
        ::unlink(tempPath_);
        return 0;
    }
    {
        std::lock_guard lock(nameLock_);
        std::memcpy(lastCapturePath_, capturePath_, sizeof lastCapturePath_);
    }
    const uint32_t written = capturedCount.fetch_add(1) + 1;
    const uint32_t wanted = captureCount.load();
    const bool done = written >= wanted;
    if (done) capturing.store(false);
    if (written % 4 == 0 || wanted < 4) {
        if (StreamEvents* events = events_.load()) events->PostCaptureProgress(written);
    }
    if (done) EndRun(nullptr);
    return 1;
}

}  // namespace kelpa
