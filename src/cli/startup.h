// The start-up steps that both the windowed program and the headless run take, in their order:
// the log folder, common library and log, processor report, the byte-clamping table, the
// profile, the media graph and "kcommon.cfg"; and their undoing at exit.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ini_profile.h"

namespace kelpa {

inline constexpr const char* kCommonConfigName = "kcommon.cfg";
inline constexpr const char* kWindowConfigName = "kelpa.cfg";

struct StartupOptions {
    std::string profilePath;  // empty: the user's profile
    bool readOnlyProfile = false;
};

class Startup {
  public:
    Startup() = default;
    ~Startup();
    Startup(const Startup&) = delete;
    Startup& operator=(const Startup&) = delete;

    // The log folder, the common library and the log: 0 on success, else the process exit
    // code (1), with the reason in `error`. Run does it first when it was not done before.
    int OpenLog(std::string* error);
    // Returns 0 on success, else the process exit code, with the reason in `error`: 1 when the
    // log or the media graph cannot start, -1 without the byte-clamping table.
    int Run(const StartupOptions& options, std::string* error);

    IniProfileStore* Profile() const { return profile_.get(); }
    // Problems the user should read that did not stop the start (already in the log when it
    // could be written): a log folder that cannot be created, a profile that cannot be read.
    const std::vector<std::string>& Warnings() const { return warnings_; }

  private:
    void CheckProfile(bool explicitProfile);

    std::unique_ptr<IniProfileStore> profile_;
    std::vector<std::string> warnings_;
    bool logOpen_ = false;
    bool clipTable_ = false;
};

}  // namespace kelpa
