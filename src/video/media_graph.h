// The small interfaces through which a video controller drives its media graph: run control,
// seeking and graph events. The GStreamer layer implements them on a pipeline and its bus;
// tests implement them with fakes. Results follow the platform's convention: 0 success,
// 1 "nothing to do", negative (high bit set) an error code.
#pragma once

#include <cstdint>
#include <string>

namespace kelpa {

inline constexpr int32_t kResultOk = 0;
inline constexpr int32_t kResultFalse = 1;
inline constexpr int32_t kErrorNotImplemented = static_cast<int32_t>(0x80004001);
inline constexpr int32_t kErrorNoInterface = static_cast<int32_t>(0x80004002);
inline constexpr int32_t kErrorPointer = static_cast<int32_t>(0x80004003);
inline constexpr int32_t kErrorFail = static_cast<int32_t>(0x80004005);
inline constexpr int32_t kErrorUnexpected = static_cast<int32_t>(0x8000FFFF);
// GetState could not finish within its time-out (the graph is still changing state).
inline constexpr int32_t kStateIntermediate = 0x00040237;

inline constexpr bool Succeeded(int32_t result) {
    return result >= 0;
}

// Run states of a graph, also the controller's `playState`.
inline constexpr int32_t kStateStopped = 0;
inline constexpr int32_t kStatePaused = 1;
inline constexpr int32_t kStateRunning = 2;

// Graph event codes.
inline constexpr int32_t kEventComplete = 1;
inline constexpr int32_t kEventUserAbort = 2;

class MediaControl {
  public:
    virtual ~MediaControl() = default;
    virtual int32_t Run() = 0;
    virtual int32_t Pause() = 0;
    virtual int32_t Stop() = 0;
    // Stops once any pending data has been handled (a paused graph shows its frame first).
    virtual int32_t StopWhenReady() = 0;
    // Waits up to timeoutMs for a state change to finish and reports the state.
    virtual int32_t GetState(uint32_t timeoutMs, int32_t* state) = 0;
};

// Seeking time formats.
enum class TimeFormat : uint32_t { kNone = 0, kMediaTime = 1, kFrame = 2 };

class MediaSeeking {
  public:
    virtual ~MediaSeeking() = default;
    virtual bool IsFormatSupported(TimeFormat format) = 0;
    virtual int32_t SetTimeFormat(TimeFormat format) = 0;
    // Durations and positions are in the current time format (media time: 100 ns units).
    virtual int32_t GetDuration(int64_t* duration) = 0;
    virtual int32_t GetCurrentPosition(int64_t* position) = 0;
    // Moves the current position; the stop position stays.
    virtual int32_t SetPositionAbsolute(int64_t position) = 0;
    // Converts between formats (kMediaTime <-> kFrame).
    virtual int32_t ConvertTimeFormat(int64_t* target, TimeFormat targetFormat, int64_t source,
                                      TimeFormat sourceFormat) = 0;
};

class GraphEventSource {
  public:
    virtual ~GraphEventSource() = default;
    // Takes the next pending event without waiting; false when none is left.
    virtual bool NextEvent(int32_t* code) = 0;
    // What went wrong, for an abort event that a failure caused ("" when nothing did).
    virtual std::string LastError() const { return {}; }
};

}  // namespace kelpa
