// The guide log's lines, its ring and its writer thread (guide_log.h).
#include "video/guide_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <ctime>

#include "common/log.h"
#include "common/profile.h"
#include "platform/program_paths.h"

namespace kelpa {
namespace {

constexpr std::array kSettings = {
    FlagSetting("GuideLog", false, SettingField<&GuideLogSettings::log>()),
};
static_assert(AllFieldsOf<GuideLogSettings>(kSettings));
constexpr std::array kWriteOrder = WriteOrderOf(kSettings, std::array<const char*, 1>{"GuideLog"});
constexpr SettingsTableOf<GuideLogSettings> kTable{
    {"guide log", kProfileSection, kSettings, kWriteOrder}};

// Takes of a session's file name before giving up ("-2" ... "-99").
constexpr int kNameTries = 99;
constexpr size_t kFileBufferBytes = 64 * 1024;

int64_t SystemUtcMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Seconds and milliseconds of a time, milliseconds always 0 ... 999 (times before 1970 too).
void SplitMs(int64_t utcMs, std::time_t* seconds, int* ms) {
    int64_t s = utcMs / 1000;
    int64_t rest = utcMs % 1000;
    if (rest < 0) {
        rest += 1000;
        --s;
    }
    *seconds = static_cast<std::time_t>(s);
    *ms = static_cast<int>(rest);
}

// A number with `decimals` places, '.' as the point whatever the locale.
void AppendNumber(std::string& out, float value, int decimals) {
    char text[48];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (error == std::errc()) out.append(text, end);
}

}  // namespace

const SettingsTableOf<GuideLogSettings>& GuideLogSettingsTable() {
    return kTable;
}

GuideLogSettings LoadGuideLogSettings() {
    return LoadSettings(kTable);
}

bool SaveGuideLogSettings(const GuideLogSettings& settings) {
    return SaveSettings(kTable, settings) == static_cast<int>(kWriteOrder.size());
}

std::string GuideLogLine(int64_t utcMs, const GuideMeasurement& m) {
    std::time_t seconds;
    int ms;
    SplitMs(utcMs, &seconds, &ms);
    std::tm t{};
    gmtime_r(&seconds, &t);
    char time[96];
    std::snprintf(time, sizeof time, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, ms);
    std::string line = time;
    line += ',';
    if (m.star) {
        AppendNumber(line, m.x, 3);
        line += ',';
        AppendNumber(line, m.y, 3);
        line += ',';
        AppendNumber(line, m.dx, 3);
        line += ',';
        AppendNumber(line, m.dy, 3);
        line += ',';
        if (m.metrics) {
            AppendNumber(line, m.hfd, 3);
            line += ',';
            AppendNumber(line, m.snr, 2);
        } else {
            line += ',';
        }
    } else {
        line += ",,,,,";
    }
    return line;
}

std::string GuideLogFileName(int64_t utcMs) {
    std::time_t seconds;
    int ms;
    SplitMs(utcMs, &seconds, &ms);
    std::tm t{};
    gmtime_r(&seconds, &t);
    char name[96];
    std::snprintf(name, sizeof name, "guide-%04d%02d%02d-%02d%02d%02d.csv", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return name;
}

GuideLog::GuideLog(UtcClock clock) : clock_(clock != nullptr ? clock : &SystemUtcMs) {
    const std::string data = UserDataDirectory();
    if (!data.empty()) directory_ = (data == "/" ? "" : data) + "/kelpa";
}

GuideLog::~GuideLog() {
    SetEnabled(false);
}

void GuideLog::SetUtcClock(UtcClock clock) {
    clock_ = clock != nullptr ? clock : &SystemUtcMs;
}

void GuideLog::SetDirectory(const std::string& directory) {
    std::lock_guard lock(mutex_);
    directory_ = directory;
}

std::string GuideLog::FailureText() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

std::string GuideLog::CurrentPath() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void GuideLog::SetEnabled(bool on) {
    if (on) {
        if (enabled_.load()) return;
        if (!ring_) ring_.reset(new Entry[kCapacity]);
        // Nobody records while the log is off, so entries left from before (a measurement that
        // raced the switch) are dropped here, before the writer starts.
        tail_.store(head_.load());
        {
            std::lock_guard lock(mutex_);
            failure_.clear();
            stop_ = false;
            flushTarget_ = drainedTo_ = head_.load();
        }
        failed_.store(false);
        writer_ = std::thread([this] { WriterLoop(); });
        enabled_.store(true);
        return;
    }
    if (!enabled_.exchange(false) && !writer_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (writer_.joinable()) writer_.join();
}

void GuideLog::Flush() {
    std::unique_lock lock(mutex_);
    if (!writer_.joinable()) return;
    flushTarget_ = head_.load(std::memory_order_acquire);
    wake_.notify_all();
    drained_.wait(lock, [this] { return drainedTo_ >= flushTarget_ || stop_; });
}

bool GuideLog::Push(const Entry& entry) {
    const uint64_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) >= kCapacity) return false;
    ring_[head % kCapacity] = entry;
    head_.store(head + 1, std::memory_order_release);
    return true;
}

void GuideLog::GuideMeasured(const GuideMeasurement& measurement) {
    if (!Recording()) return;
    Entry entry;
    entry.utcMs = clock_();
    entry.measurement = measurement;
    if (!Push(entry)) dropped_.fetch_add(1, std::memory_order_relaxed);
}

void GuideLog::GuideSwitched(bool on) {
    // Switched on, the next measurement opens a file anyway; switched off, the file is closed
    // after the lines recorded before.
    if (on || !enabled_.load()) return;
    Entry marker;
    marker.endsSession = true;
    if (!Push(marker)) endPending_.store(true);
    wake_.notify_all();
}

void GuideLog::WriterLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, std::chrono::milliseconds(kWriteIntervalMs),
                       [this] { return stop_ || flushTarget_ > drainedTo_; });
        const bool stopping = stop_;
        {
            lock.unlock();
            const uint64_t target = head_.load(std::memory_order_acquire);
            const bool ok = Drain();
            if (!ok || stopping) CloseSession();
            lock.lock();
            drainedTo_ = ok ? target : UINT64_MAX;
        }
        drained_.notify_all();
        if (stopping) return;
    }
}

bool GuideLog::Drain() {
    uint64_t tail = tail_.load(std::memory_order_relaxed);
    const uint64_t head = head_.load(std::memory_order_acquire);
    std::string line;
    bool ok = !failed_.load();
    for (; tail < head; ++tail) {
        const Entry entry = ring_[tail % kCapacity];
        tail_.store(tail + 1, std::memory_order_release);
        if (!ok) continue;  // after a failure the ring is only emptied
        if (entry.endsSession) {
            CloseSession();
            continue;
        }
        if (file_ == nullptr && !OpenSession(entry.utcMs)) {
            ok = false;
            continue;
        }
        line = GuideLogLine(entry.utcMs, entry.measurement);
        line += '\n';
        if (std::fwrite(line.data(), 1, line.size(), file_) != line.size()) {
            Fail("cannot write " + sessionPath_ + ": " + std::strerror(errno));
            ok = false;
            continue;
        }
        linesWritten_.fetch_add(1, std::memory_order_relaxed);
    }
    if (ok && file_ != nullptr && std::fflush(file_) != 0) {
        Fail("cannot write " + sessionPath_ + ": " + std::strerror(errno));
        ok = false;
    }
    if (ok && endPending_.exchange(false)) CloseSession();
    return ok;
}

bool GuideLog::OpenSession(int64_t utcMs) {
    std::string directory;
    {
        std::lock_guard lock(mutex_);
        directory = directory_;
    }
    if (directory.empty()) {
        Fail("no data folder is known (set XDG_DATA_HOME or HOME)");
        return false;
    }
    if (!MakeDirectories(directory, 0755)) {
        Fail("cannot create " + directory + ": " + std::strerror(errno));
        return false;
    }
    const std::string base = GuideLogFileName(utcMs);
    const std::string stem = base.substr(0, base.size() - 4);  // without ".csv"
    std::string path;
    int fd = -1;
    for (int n = 1; n <= kNameTries && fd < 0; ++n) {
        path = directory + "/" + (n == 1 ? base : stem + "-" + std::to_string(n) + ".csv");
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        Fail("cannot create " + path + ": " + std::strerror(errno));
        return false;
    }
    file_ = ::fdopen(fd, "w");
    if (file_ == nullptr) {
        ::close(fd);
        Fail("cannot open " + path + ": " + std::strerror(errno));
        return false;
    }
    std::setvbuf(file_, nullptr, _IOFBF, kFileBufferBytes);
    {
        std::lock_guard lock(mutex_);
        path_ = path;
    }
    sessionPath_ = path;
    if (std::fprintf(file_, "%s\n", kGuideLogHeader) < 0) {
        Fail("cannot write " + path + ": " + std::strerror(errno));
        return false;
    }
    LogPrintf("Guide log %s started", path.c_str());
    return true;
}

void GuideLog::CloseSession() {
    if (file_ == nullptr) return;
    const bool flushed = std::fflush(file_) == 0;
    const int error = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closed) {
        Fail("cannot write " + sessionPath_ + ": " + std::strerror(flushed ? errno : error));
    }
}

void GuideLog::Fail(const std::string& reason) {
    if (failed_.exchange(true)) return;
    const std::string text = "Guide log stopped: " + reason;
    {
        std::lock_guard lock(mutex_);
        failure_ = text;
    }
    LogPrintf("%s", text.c_str());
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (StreamEvents* events = events_.load()) events->Post(StreamEvent::kGuideLog);
}

}  // namespace kelpa
