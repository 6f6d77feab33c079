// The process log: lazy opening through the installed opener, one locked and flushed line per
// call, the size cap, and the directory of the program's logs.
#include "common/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>
#include <thread>

#include "common/log_detail.h"

namespace kelpa {
namespace {

struct LogState {
    // Guards everything below it: one whole line, including the lazy open, at a time.
    std::mutex mutex;
    LogSecondSink secondSink = nullptr;
    std::FILE* stream = nullptr;
    uint32_t bytesWritten = 0;
    // Read without the lock by IsLogEnabled, IsMainThread and LogPrintf's early exit. A
    // default thread id matches no thread.
    std::atomic<LogOpener> opener{nullptr};
    std::atomic<std::thread::id> mainThread{};
};

LogState& Log() {
    static LogState state;
    return state;
}

// The log directory has its own lock: the opener reads it while the log lock is held.
struct DirectoryState {
    std::mutex mutex;
    std::string directory;
};

DirectoryState& Directory() {
    static DirectoryState state;
    return state;
}

uint32_t SaturatingAdd(uint32_t total, uint32_t amount) {
    const uint32_t room = std::numeric_limits<uint32_t>::max() - total;
    return amount > room ? std::numeric_limits<uint32_t>::max() : total + amount;
}

// Formats the text into `text` when a second sink wants it; returns its length or a
// negative value when formatting failed.
KELPA_PRINTF(2, 0) int FormatText(std::string& text, const char* format, va_list args) {
    va_list sizing;
    va_copy(sizing, args);
    const int count = std::vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    if (count <= 0) return count;
    text.resize(static_cast<size_t>(count));
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    return count;
}

// Writes one line (text and line end) into the open stream; returns the characters of the
// text. Called with the log lock held.
KELPA_PRINTF(3, 0)
int WriteFormatted(LogState& log, std::string& text, const char* format, va_list args) {
    int count = 0;
    if (log.secondSink) {
        count = FormatText(text, format, args);
        if (count > 0) std::fwrite(text.data(), 1, text.size(), log.stream);
    } else {
        count = std::vfprintf(log.stream, format, args);
    }
    if (count <= 0) return count;
    std::fputc('\n', log.stream);
    log.bytesWritten = SaturatingAdd(log.bytesWritten, static_cast<uint32_t>(count) + 1);
    return count;
}

KELPA_PRINTF(1, 0) void WriteLine(const char* format, va_list args) {
    LogState& log = Log();
    std::lock_guard lock(log.mutex);
    try {
        const LogOpener opener = log.opener.load();
        if (!opener) return;
        if (!log.stream) {
            log.stream = opener();
            if (!log.stream) return;  // the next line tries again
            // A fresh stream is a fresh (truncated) file: the cap counts from zero again.
            log.bytesWritten = 0;
        }
        if (log.bytesWritten > detail::kLogByteCap) return;
        std::string text;
        const int count = WriteFormatted(log, text, format, args);
        // Flushed at once, so the log is complete up to its last line if the process dies.
        std::fflush(log.stream);
        if (count > 0 && log.secondSink) log.secondSink(text.c_str());
    } catch (...) {
        // Logging never raises to its caller; the line is lost.
    }
}

void CloseStream(LogState& log) {
    if (log.stream) std::fclose(log.stream);
    log.stream = nullptr;
}

}  // namespace

int clibInit(LogSecondSink secondSink, LogOpener opener) {
    LogState& log = Log();
    std::lock_guard lock(log.mutex);
    LogOpener expected = nullptr;
    if (opener) log.opener.compare_exchange_strong(expected, opener);
    if (secondSink && !log.secondSink) log.secondSink = secondSink;
    std::thread::id unset{};
    log.mainThread.compare_exchange_strong(unset, std::this_thread::get_id());
    return 0;
}

void SetLogOpener(LogOpener opener) {
    Log().opener.store(opener);
}

bool IsLogEnabled() {
    return Log().opener.load() != nullptr;
}

bool IsMainThread() {
    return Log().mainThread.load() == std::this_thread::get_id();
}

void LogPrintf(const char* format, ...) {
    if (!format) {
        LogState& log = Log();
        std::lock_guard lock(log.mutex);
        CloseStream(log);
        return;
    }
    if (!Log().opener.load()) return;
    va_list args;
    va_start(args, format);
    WriteLine(format, args);
    va_end(args);
}

void SetLogDirectory(const char* directory) {
    DirectoryState& state = Directory();
    std::lock_guard lock(state.mutex);
    state.directory = directory ? directory : "";
    if (!state.directory.empty() && state.directory.back() != '/') state.directory += '/';
}

std::string LogDirectory() {
    DirectoryState& state = Directory();
    std::lock_guard lock(state.mutex);
    return state.directory;
}

namespace detail {

uint32_t LogBytesWritten() {
    LogState& log = Log();
    std::lock_guard lock(log.mutex);
    return log.bytesWritten;
}

void SetLogBytesWritten(uint32_t bytes) {
    LogState& log = Log();
    std::lock_guard lock(log.mutex);
    log.bytesWritten = bytes;
}

void ResetLogState() {
    LogState& log = Log();
    std::lock_guard lock(log.mutex);
    CloseStream(log);
    log.opener.store(nullptr);
    log.secondSink = nullptr;
    log.bytesWritten = 0;
    log.mainThread.store(std::thread::id());
    SetLogDirectory(nullptr);
}

}  // namespace detail
}  // namespace kelpa
