// The capture writer's SER and FITS files: the UTC time of each frame, one FITS file per frame,
// and the one SER file of a run, written as "name.ser.part" and given its name when the run
// ends.
//
// Why a ".part" name: a SER file is written for as long as the run lasts, so it cannot appear
// under its name only once complete as a BMP or FITS picture does. Under ".part" it is plainly
// unfinished; only a finished file (every frame counted, the trailer of times written) takes the
// ".ser" name, without replacing anything. A run cut short by a crash or a power cut leaves the
// ".part" file, whose header still counts exactly the frames it holds: renamed, any SER reader
// takes it (without frame times). When the run ends on a full disk the frame that did not fit
// is cut off; the file gets its name when the trailer still fits and keeps ".part" otherwise.
// A ".part" file is the user's data: the start of a run never removes one.
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "common/log.h"
#include "video/capture_writer.h"

namespace kelpa {
namespace {

constexpr char kPartSuffix[] = ".part";

// The local time's offset from UTC at a moment, in 100 ns ticks.
int64_t LocalOffsetTicks(UnixTimeNs utcNs) {
    const auto seconds = static_cast<time_t>(utcNs / 1000000000);
    std::tm local{};
    if (!localtime_r(&seconds, &local)) return 0;
    return static_cast<int64_t>(local.tm_gmtoff) * 10000000;
}

bool ValidPicture(const CapturePicture& picture) {
    const FrameBuffer* fb = picture.buffer;
    return fb && fb->data && fb->width > 0 && fb->height > 0 &&
           fb->stride >= static_cast<uint32_t>(fb->width) * 3;
}

}  // namespace

UnixTimeNs SystemUtcNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

UnixTimeNs CaptureWriter::FrameUtc(double sampleTime) {
    if (!std::isfinite(sampleTime) || std::fabs(sampleTime) > 1e9) {
        // No usable stream time: the clock's time, after the last frame's.
        const UnixTimeNs now = utcClock_();
        lastUtc_ = clockStarted_ && now <= lastUtc_ ? lastUtc_ + 1 : now;
        return lastUtc_;
    }
    if (!clockStarted_ || sampleTime < lastSample_) {
        const UnixTimeNs now = utcClock_();
        clockUtc_ = clockStarted_ && now <= lastUtc_ ? lastUtc_ + 1 : now;
        clockSample_ = sampleTime;
        clockStarted_ = true;
    }
    lastSample_ = sampleTime;
    lastUtc_ = clockUtc_ + std::llround((sampleTime - clockSample_) * 1e9);
    return lastUtc_;
}

int CaptureWriter::WriteFitsFrame(double sampleTime, const CapturePicture& picture) {
    FitsFrameInfo info;
    info.utcNs = FrameUtc(sampleTime);
    info.instrument = runInstrument_;
    info.observer = runObserver_;
    info.telescope = runTelescope_;
    info.exposureSeconds = exposureSeconds_.load();
    if (!fits_.Encode(picture, info)) {
        Fail(0, fits_.ErrorText());
        return -1;
    }
    const std::span<const uint8_t> pieces[] = {fits_.Bytes()};
    if (const int error = WriteAndPlace(pieces); error != 0) {
        Fail(error, nullptr);
        return -1;
    }
    RememberPlaced();
    return FrameWritten();
}

int CaptureWriter::WriteSerFrame(double sampleTime, double fps, const CapturePicture& picture) {
    if (!ValidPicture(picture)) {
        Fail(0, "an empty picture cannot be saved in a SER file");
        return -1;
    }
    const UnixTimeNs utc = FrameUtc(sampleTime);
    // A file holds pictures of one size and kind: another one starts the next file.
    if (ser_.IsOpen() && !ser_.Takes(picture)) {
        if (const int error = CloseSerFile(); error != 0) {
            Fail(error, nullptr);
            return -1;
        }
    }
    if (!ser_.IsOpen()) {
        {
            std::lock_guard lock(nameLock_);
            BuildNamesLocked(sampleTime, fps);
        }
        if (const int error = OpenSerFile(picture, utc); error != 0) {
            Fail(error, nullptr);
            return -1;
        }
    }
    if (const int error = ser_.Append(picture, SerTicksFromUnixNs(utc)); error != 0) {
        Fail(error, nullptr);
        return -1;
    }
    return FrameWritten();
}

int CaptureWriter::OpenSerFile(const CapturePicture& picture, UnixTimeNs startUtc) {
    SerRunInfo info;
    info.width = picture.buffer->width;
    info.height = picture.buffer->height;
    info.colour = SerColourOf(picture);
    info.observer = runObserver_;
    info.instrument = runInstrument_;
    info.telescope = runTelescope_;
    info.startUtcTicks = SerTicksFromUnixNs(startUtc);
    info.startLocalTicks = info.startUtcTicks + LocalOffsetTicks(startUtc);
    const uint32_t expected = captureCount.load();
    // A ".part" file of an earlier run stays: this run's file takes the next free suffix.
    int error = EEXIST;
    for (uint32_t suffix = 0; error == EEXIST && suffix <= kMaxNameSuffix; ++suffix) {
        if (suffix == 0) {
            std::memcpy(serPath_, capturePath_, sizeof capturePath_);
        } else if (!SuffixedName(capturePath_, extensionAt_, suffix, serPath_, sizeof serPath_)) {
            return ENAMETOOLONG;
        }
        const int written =
            std::snprintf(serPartPath_, sizeof serPartPath_, "%s%s", serPath_, kPartSuffix);
        if (written < 0 || static_cast<size_t>(written) >= sizeof serPartPath_) {
            return ENAMETOOLONG;
        }
        error = ser_.Create(serPartPath_, info, expected);
    }
    serExtensionAt_ = extensionAt_ + (std::strlen(serPath_) - std::strlen(capturePath_));
    return error;
}

int CaptureWriter::CloseSerFile() {
    if (!ser_.IsOpen()) return 0;
    const uint32_t frames = ser_.FrameCount();
    const int finished = ser_.Finish();
    char reason[128];
    if (frames == 0) {
        // Only a first frame that failed leaves a file without frames; nothing to keep.
        ::unlink(serPartPath_);
        return finished;
    }
    if (finished != 0) {
        LogPrintf("The capture file %s keeps its %u frame(s) without their times: %s", serPartPath_,
                  frames, SystemReason(finished, reason, sizeof reason));
        return finished;
    }
    const int placed =
        PlaceCaptureFile(serPartPath_, serPath_, serExtensionAt_, placedPath_, sizeof placedPath_);
    if (placed != 0) {
        LogPrintf("The capture file %s with its %u frame(s) cannot take its name: %s", serPartPath_,
                  frames, SystemReason(placed, reason, sizeof reason));
        return placed;
    }
    RememberPlaced();
    return 0;
}

}  // namespace kelpa
