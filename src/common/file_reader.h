// Base of the program's line-oriented file readers: opens a file in byte mode (carriage
// returns stay in the lines), owns the line buffer and drives the subclass's ParseLines.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace kelpa {

class FileReader {
  public:
    // Characters per read, the terminator included.
    static constexpr uint32_t kLineBufferSize = 1024;
    // Reader states.
    static constexpr int32_t kStateOpen = 2;
    static constexpr int32_t kStateFailed = -1;
    static constexpr int32_t kStateNoMemory = -14;

    FileReader() = default;
    virtual ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Reads the whole file through ParseLines. Returns true when it was parsed to the end;
    // after a failed parse "Parsing error. <path>" goes to the program log (unless switched
    // off). Without an open file nothing is read or logged.
    virtual bool Run();
    // Fixed answers that tell a reader from a writer among the program's file objects.
    virtual bool IsWriter() const { return false; }
    virtual bool IsReader() const { return true; }
    // Called when Open could not open the file; readers that must report it override this.
    virtual void OnOpenFailed() {}

    // Builds directory/name and opens it for reading. Directories and unreadable files fail.
    bool Open(const char* directory, const char* name);

    int32_t State() const { return state_; }
    const std::string& Path() const { return path_; }
    bool IsOpen() const { return stream_ != nullptr; }
    void SetLogParseFailure(bool enabled) { logParseFailure_ = enabled; }

  protected:
    enum class ReadResult { kLine, kEnd, kError };

    // Parses the open file from its current position; false stops with a failure.
    virtual bool ParseLines() = 0;

    // Reads the next line into the line buffer: at most kLineBufferSize - 1 characters, ending
    // after the first line feed; a longer physical line comes back in several pieces. `length`
    // counts every byte read, NUL bytes included; the text is terminated behind them.
    ReadResult ReadLine(char*& line, size_t& length);
    void SetState(int32_t state) { state_ = state; }

  private:
    struct FileCloser {
        void operator()(std::FILE* stream) const { std::fclose(stream); }
    };

    int32_t state_ = kStateOpen;
    std::string path_;
    std::unique_ptr<std::FILE, FileCloser> stream_;
    uint32_t lineBufferSize_ = kLineBufferSize;
    std::unique_ptr<char[]> lineBuffer_;
    bool logParseFailure_ = true;
};

}  // namespace kelpa
