// A log file of its own for one task (the configuration parser keeps one for each file it
// reads). It is written into the log directory when one is set (see SetLogDirectory), else
// beside the path it is given. The file is deleted again when nothing was written into it. One
// thread uses a side log at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/log.h"

namespace kelpa {

class SideLog {
  public:
    SideLog() = default;
    ~SideLog();
    SideLog(const SideLog&) = delete;
    SideLog& operator=(const SideLog&) = delete;

    // Closes any previous file and opens directory/name with its extension replaced by
    // `extension`, truncating it; with a log directory set, the file of that name in the log
    // directory. Without a name, the previous file's path is used with the new
    // extension. No flag is defined yet; pass 0. Returns false when there is no name and no
    // previous path, when the path cannot be built or when the file cannot be opened.
    bool Open(const char* directory, const char* name, const char* extension, uint32_t flags);

    // Writes one line of at most 199 characters, adding a line end unless the text already
    // ends in "\n" or "\r". Lines of only white space are dropped.
    void Printf(const char* format, ...) KELPA_PRINTF(2, 3);

    // Closes the file, deletes it when nothing was written, forgets its path. Returns whether
    // anything was written.
    bool Close();

    bool IsOpen() const { return stream_ != nullptr; }
    const std::string& Path() const { return path_; }
    int32_t BytesWritten() const { return bytesWritten_; }

  private:
    std::FILE* stream_ = nullptr;
    std::string path_;
    int32_t bytesWritten_ = 0;
};

}  // namespace kelpa
