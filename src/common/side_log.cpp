// Side logs: short formatted lines into a file of their own, which vanishes when left empty.
#include "common/side_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "common/make_path.h"

namespace kelpa {
namespace {

// Characters per line, the terminator included.
constexpr size_t kLineBufferSize = 200;
constexpr int32_t kByteCap = 0x40000000;

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsAllWhiteSpace(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (!IsWhiteSpace(text[i])) return false;
    }
    return true;
}

}  // namespace

SideLog::~SideLog() {
    Close();
}

bool SideLog::Open(const char* directory, const char* name, const char* extension,
                   [[maybe_unused]] uint32_t flags) {
    // Without a name (or given this log's own path) the previous path is the base; keep it
    // before Close forgets it.
    if (name == path_.c_str()) name = nullptr;
    const std::string previous = path_;
    Close();
    bytesWritten_ = 0;
    if (!name) {
        if (previous.empty()) return false;
        name = previous.c_str();
    }
    std::string path;
    if (!MakePath(path, directory, name, extension)) return false;
    // Logs belong in the log directory, whatever folder the task's own file came from.
    const std::string logDirectory = LogDirectory();
    if (!logDirectory.empty()) {
        const std::string fileName = path.substr(path.rfind('/') + 1);
        if (!MakePath(path, logDirectory.c_str(), fileName.c_str())) return false;
    }
    stream_ = std::fopen(path.c_str(), "w");
    if (!stream_) return false;
    path_ = std::move(path);
    return true;
}

void SideLog::Printf(const char* format, ...) {
    if (!format || !stream_ || bytesWritten_ > kByteCap) return;
    char line[kLineBufferSize];
    va_list args;
    va_start(args, format);
    const int formatted = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (formatted <= 0) return;
    // vsnprintf cuts a longer text to the buffer less its terminator; a formatted NUL ends
    // the line early.
    const size_t length = std::strlen(line);
    if (length == 0 || IsAllWhiteSpace(line, length)) return;
    const char last = line[length - 1];
    const bool ended = last == '\n' || last == '\r';
    const int written = std::fprintf(stream_, ended ? "%s" : "%s\n", line);
    if (written > 0) {
        const int32_t room = std::numeric_limits<int32_t>::max() - bytesWritten_;
        bytesWritten_ =
            written > room ? std::numeric_limits<int32_t>::max() : bytesWritten_ + written;
    }
    std::fflush(stream_);
}

bool SideLog::Close() {
    bool wrote = false;
    if (stream_) {
        wrote = bytesWritten_ > 0;
        std::fclose(stream_);
        stream_ = nullptr;
        if (!wrote) std::remove(path_.c_str());
    }
    path_.clear();
    return wrote;
}

}  // namespace kelpa
