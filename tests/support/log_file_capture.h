// Test helper: sends the process log into a temporary file, so tests read back exactly what
// was written, line ends included.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/log.h"

namespace kelpa::testing {

class LogFileCapture {
  public:
    // Installs the file as the log (once per process) and empties it.
    static void Start() {
        static const int installed = clibInit(nullptr, &Open);
        (void)installed;
        LogClose();  // the next line reopens the file, which empties it
        std::fclose(Open());
    }

    // The log split at its line ends; empty lines are kept.
    static std::vector<std::string> Lines() {
        std::ifstream in(Path(), std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

  private:
    static const std::string& Path() {
        static const std::string path = "/tmp/kelpa-log-" + std::to_string(getpid());
        static const struct Remover {
            ~Remover() { std::remove(path.c_str()); }
        } remover;
        return path;
    }
    static std::FILE* Open() { return std::fopen(Path().c_str(), "w"); }
};

}  // namespace kelpa::testing
