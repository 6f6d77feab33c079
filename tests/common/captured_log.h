// Test helper: routes the process log to /dev/null and keeps a copy of every line, so tests
// can check what was logged.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "common/clib/log.h"

namespace kelpa::testing {

class CapturedLog {
  public:
    // Installs the capture (once per process) and forgets the lines seen so far.
    static void Start() {
        static const bool installed = [] {
            clibInit(&Sink, [] { return std::fopen("/dev/null", "w"); });
            return true;
        }();
        (void)installed;
        std::lock_guard lock(State().mutex);
        State().lines.clear();
    }

    static std::vector<std::string> Lines() {
        std::lock_guard lock(State().mutex);
        return State().lines;
    }

  private:
    struct Captured {
        std::mutex mutex;
        std::vector<std::string> lines;
    };
    static Captured& State() {
        static Captured state;
        return state;
    }
    static void Sink(const char* line) {
        std::lock_guard lock(State().mutex);
        State().lines.emplace_back(line);
    }
};

}  // namespace kelpa::testing
