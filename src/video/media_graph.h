// The small interfaces through which a video controller drives its media graph: run control,
// seeking and graph events. The GStreamer layer implements them on a pipeline and its bus;
// tests implement them with fakes.
#pragma once

#include <cstdint>
#include <string>

namespace kelpa {

// What an operation on a media graph did.
enum class MediaResult : uint8_t {
    kDone,
    kUnchanged,    // nothing to do: already in that state, or nothing to step
    kPending,      // the graph was still changing its state when the wait ended
    kNoGraph,      // there is no graph to act on
    kUnsupported,  // the format offered or connected is one the program cannot use
    kFailed,       // the media framework refused, or the graph could not be built
};

// Whether an operation went wrong (done, unchanged and pending did not).
constexpr bool Failed(MediaResult result) {
    return result == MediaResult::kNoGraph || result == MediaResult::kUnsupported ||
           result == MediaResult::kFailed;
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
    virtual MediaResult Run() = 0;
    virtual MediaResult Pause() = 0;
    virtual MediaResult Stop() = 0;
    // Stops once any pending data has been handled (a paused graph shows its frame first).
    virtual MediaResult StopWhenReady() = 0;
    // Waits up to timeoutMs for a state change to finish and reports the state.
    virtual MediaResult GetState(uint32_t timeoutMs, int32_t* state) = 0;
};

// Seeking time formats.
enum class TimeFormat : uint32_t { kNone = 0, kMediaTime = 1, kFrame = 2 };

class MediaSeeking {
  public:
    virtual ~MediaSeeking() = default;
    virtual bool IsFormatSupported(TimeFormat format) = 0;
    virtual MediaResult SetTimeFormat(TimeFormat format) = 0;
    // Durations and positions are in the current time format (media time: 100 ns units).
    virtual MediaResult GetDuration(int64_t* duration) = 0;
    virtual MediaResult GetCurrentPosition(int64_t* position) = 0;
    // Moves the current position; the stop position stays.
    virtual MediaResult SetPositionAbsolute(int64_t position) = 0;
    // Converts between formats (kMediaTime <-> kFrame).
    virtual MediaResult ConvertTimeFormat(int64_t* target, TimeFormat targetFormat, int64_t source,
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
