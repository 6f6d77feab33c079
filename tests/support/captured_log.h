// Test helper: captures the process log as the program logged it, text by text.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "common/log.h"

namespace kelpa::testing {

class CapturedLog {
  public:
    // Makes a temporary file the log, empties it and forgets the texts seen so far. The first
    // call also records the calling thread as the main thread, as the program's start does.
    static void Start() {
        clibInit(&Sink, &Open);
        SetLogOpener(&Open);
        LogClose();  // the next line reopens the file, which empties it
        std::fclose(Open());
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

    // Every text logged since Start, without the line end the log adds.
    static std::vector<std::string> Lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    // How many texts logged since Start hold `text`.
    static int Count(const std::string& text) {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::ranges::count_if(
            lines_, [&](const std::string& line) { return line.find(text) != line.npos; }));
    }

  private:
    static void Sink(const char* line) {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    }
    static const std::string& Path() {
        static const std::string path =
            (std::filesystem::temp_directory_path() / ("kelpa-log-" + std::to_string(getpid())))
                .string();
        static const struct Remover {
            ~Remover() { std::remove(path.c_str()); }
        } remover;
        return path;
    }
    static std::FILE* Open() { return std::fopen(Path().c_str(), "w"); }

    static inline std::mutex mutex_;
    static inline std::vector<std::string> lines_;
};

}  // namespace kelpa::testing
