// The guide log: with the guide on and the GuideLog setting on, every guide measurement becomes
// one line of a CSV file in the user's data folder ($XDG_DATA_HOME/kelpa/), enough to judge a
// mount's tracking and periodic error afterwards:
//
//   time_utc,star_x,star_y,dx,dy,hfd,snr
//   2024-05-01T21:03:04.123Z,812.250,604.500,1.250,-0.500,3.410,52.30
//
// Times are UTC with milliseconds; positions are picture pixels, dx and dy the offset from the
// guide reference. A frame without a star gives a line with only its time; a star too faint to
// measure leaves hfd and snr empty. Numbers never depend on the locale.
//
// Each guide session (the guide switched on, or the first measurement after the log was switched
// on) starts a new file named after its first measurement's UTC time, "guide-YYYYMMDD-HHMMSS.csv"
// ("-2", "-3", ... when that name is taken; no file is overwritten).
//
// The streaming thread never touches the disk: measurements go into a fixed ring that a writer
// thread of the log empties every kWriteIntervalMs into a buffered file. A full ring drops
// measurements (counted); a write failure switches the log off, keeps the reason and posts
// kGuideLog. Switching the log or the guide off writes out every line recorded before.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "common/settings_table.h"
#include "processing/guide_record.h"
#include "processing/stream_events.h"

namespace kelpa {

struct GuideLogSettings {
    bool log = false;  // GuideLog
    friend bool operator==(const GuideLogSettings&, const GuideLogSettings&) = default;
};

const SettingsTableOf<GuideLogSettings>& GuideLogSettingsTable();
GuideLogSettings LoadGuideLogSettings();
bool SaveGuideLogSettings(const GuideLogSettings& settings);

inline constexpr const char* kGuideLogHeader = "time_utc,star_x,star_y,dx,dy,hfd,snr";

// One CSV line (no line end) for a measurement taken at `utcMs` milliseconds since 1970.
std::string GuideLogLine(int64_t utcMs, const GuideMeasurement& m);

// "guide-YYYYMMDD-HHMMSS.csv" for a session whose first measurement is at `utcMs`.
std::string GuideLogFileName(int64_t utcMs);

class GuideLog final : public GuideRecorder {
  public:
    // Measurements the ring holds for the writer: minutes at the frame rates a guide camera runs.
    static constexpr size_t kCapacity = 8192;
    static constexpr uint32_t kWriteIntervalMs = 250;
    // Milliseconds since 1970 (UTC); tests give their own.
    using UtcClock = int64_t (*)();

    explicit GuideLog(UtcClock clock = nullptr);
    ~GuideLog() override;
    GuideLog(const GuideLog&) = delete;
    GuideLog& operator=(const GuideLog&) = delete;

    // --- GUI thread ---------------------------------------------------------------------------
    // Where the files go (UserDataDirectory()/kelpa after construction). Takes effect with the
    // next file.
    void SetDirectory(const std::string& directory);
    // The clock that stamps measurements (nullptr: the system's); set while the log is off.
    void SetUtcClock(UtcClock clock);
    // Receives kGuideLog on a write failure (nullptr: nobody).
    void SetEvents(StreamEvents* events) { events_.store(events); }
    // On: the writer starts and the next measurement opens a file. Off: everything recorded is
    // written, the file closed and the writer stopped. Switching on again clears a failure.
    void SetEnabled(bool on);
    bool Enabled() const { return enabled_.load(); }
    // Waits until every measurement recorded so far is in the file (the file stays open).
    void Flush();
    // The reason the log stopped ("" while it works).
    std::string FailureText() const;
    // The file of the current (or last) session ("" before the first).
    std::string CurrentPath() const;
    uint64_t LinesWritten() const { return linesWritten_.load(); }
    uint64_t Dropped() const { return dropped_.load(); }

    // --- GuideRecorder ------------------------------------------------------------------------
    bool Recording() const override { return enabled_.load() && !failed_.load(); }
    void GuideMeasured(const GuideMeasurement& measurement) override;
    void GuideSwitched(bool on) override;

  private:
    struct Entry {
        int64_t utcMs = 0;
        bool endsSession = false;  // a marker: close the file after the lines before it
        GuideMeasurement measurement;
    };

    // One producer at a time (the engine calls under its chainLock), one consumer (the writer).
    bool Push(const Entry& entry);
    void WriterLoop();
    // Writer thread: writes what the ring holds; false after a failure.
    bool Drain();
    bool OpenSession(int64_t utcMs);
    void CloseSession();
    void Fail(const std::string& reason);

    UtcClock clock_;
    std::unique_ptr<Entry[]> ring_;  // allocated when the log is first switched on
    std::atomic<uint64_t> head_{0};  // next slot to write (producer)
    std::atomic<uint64_t> tail_{0};  // next slot to read (writer)
    std::atomic<bool> enabled_{false};
    std::atomic<bool> failed_{false};
    std::atomic<bool> endPending_{false};  // a session end that found the ring full
    std::atomic<uint64_t> linesWritten_{0};
    std::atomic<uint64_t> dropped_{0};
    std::atomic<StreamEvents*> events_{nullptr};

    // Guarded by mutex_: the writer's wake-ups, flush requests and texts for the GUI thread.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable drained_;
    bool stop_ = false;
    uint64_t flushTarget_ = 0;
    uint64_t drainedTo_ = 0;
    std::string directory_;
    std::string path_;
    std::string failure_;
    std::thread writer_;

    // Writer thread only.
    FILE* file_ = nullptr;
    std::string sessionPath_;
};

}  // namespace kelpa
