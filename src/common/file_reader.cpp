// Opening, line reading and the run loop shared by the program's file readers.
#include "common/file_reader.h"

#include <sys/stat.h>

#include <new>

#include "common/log.h"
#include "common/make_path.h"

namespace kelpa {

FileReader::~FileReader() = default;

bool FileReader::Open(const char* directory, const char* name) {
    stream_.reset();
    if (!MakePath(path_, directory, name)) {
        OnOpenFailed();
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> stream(std::fopen(path_.c_str(), "rb"));
    // fopen accepts a directory for reading; it only fails at the first read.
    struct stat info {};
    if (!stream || fstat(fileno(stream.get()), &info) != 0 || S_ISDIR(info.st_mode)) {
        OnOpenFailed();
        return false;
    }
    stream_ = std::move(stream);
    state_ = kStateOpen;
    return true;
}

bool FileReader::Run() {
    if (!stream_) return false;
    if (!lineBuffer_) {
        try {
            lineBuffer_ = std::make_unique<char[]>(lineBufferSize_);
        } catch (const std::bad_alloc&) {
            state_ = kStateNoMemory;
            return false;
        }
    }
    const bool parsed = ParseLines();
    if (parsed && state_ == kStateOpen) return true;
    if (logParseFailure_) LogPrintf("Parsing error. %s", path_.c_str());
    return parsed;
}

FileReader::ReadResult FileReader::ReadLine(char*& line, size_t& length) {
    std::FILE* stream = stream_.get();
    char* buffer = lineBuffer_.get();
    length = 0;
    while (length + 1 < lineBufferSize_) {
        const int c = std::getc(stream);
        if (c == EOF) break;
        buffer[length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buffer[length] = '\0';
    line = buffer;
    if (length > 0) return ReadResult::kLine;
    return std::ferror(stream) ? ReadResult::kError : ReadResult::kEnd;
}

}  // namespace kelpa
