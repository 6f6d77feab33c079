// Test helper: routes the process log to /dev/null and keeps a copy of every line, so tests
// can check what was logged.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "common/log.h"

namespace kelpa::testing {

class CapturedLog {
  public:
    // Installs the capture (once per process) and forgets the lines seen so far.
    static void Start() {
        static std::once_flag installed;
        std::call_once(installed,
                       [] { clibInit(&Sink, [] { return std::fopen("/dev/null", "w"); }); });
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

    static std::vector<std::string> Lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  private:
    static void Sink(const char* line) {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    }
    static inline std::mutex mutex_;
    static inline std::vector<std::string> lines_;
};

}  // namespace kelpa::testing
