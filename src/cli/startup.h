// The start-up steps that both the windowed program and the headless run take, in their order:
// program directory, common library and log, processor report, the byte-clamping table, the
// profile, the media graph and "kcommon.cfg"; and their undoing at exit.
#pragma once

#include <memory>
#include <string>

#include "platform/ini_profile.h"

namespace kelpa {

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

    // Returns 0 on success, else the process exit code, with the reason in `error`.
    int Run(const StartupOptions& options, std::string* error);

    IniProfileStore* Profile() const { return profile_.get(); }

  private:
    std::unique_ptr<IniProfileStore> profile_;
    bool clipTable_ = false;
};

}  // namespace kelpa
