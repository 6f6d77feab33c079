#include "cli/startup.h"

#include <cerrno>
#include <csignal>
#include <system_error>

#include "common/cfg_parser.h"
#include "common/cpu_info.h"
#include "common/log.h"
#include "common/profile.h"
#include "media/media_init.h"
#include "platform/program_log.h"
#include "platform/program_paths.h"
#include "video/convert.h"

namespace kelpa {

int Startup::OpenLog(std::string* error) {
    if (logOpen_) return 0;
    // Without a usable state folder the program runs without a log: writing one into the
    // program's or the current folder could land in files that are not ours.
    const std::string logDirectory = ProgramLogDirectory();
    const bool logDirectoryUsable = UseLogDirectory(logDirectory);
    const int logDirectoryError = errno;
    if (clibInit(nullptr, &OpenProgramLog) != 0) {
        *error = "Can`t init common lib...";
        return 1;
    }
    if (!logDirectoryUsable) {
        warnings_.push_back(logDirectory.empty()
                                ? "no log is written: neither $XDG_STATE_HOME nor a home folder "
                                  "is known"
                                : "no log is written: cannot create the folder '" + logDirectory +
                                      "': " + std::generic_category().message(logDirectoryError));
    }
    logOpen_ = true;
    return 0;
}

int Startup::Run(const StartupOptions& options, std::string* error) {
    if (const int code = OpenLog(error); code != 0) return code;
    LogCpuInfo();
    if (!InitClipTable()) {
        *error = "Can`t alloc 1024 memory for clip array";
        LogClose();
        return -1;
    }
    clipTable_ = true;
    // A capture that passes the file-size limit must end its run, not kill the program.
    std::signal(SIGXFSZ, SIG_IGN);

    const bool explicitProfile = !options.profilePath.empty();
    profile_ = std::make_unique<IniProfileStore>(
        explicitProfile ? options.profilePath : IniProfileStore::DefaultProfilePath());
    profile_->SetReadOnly(options.readOnlyProfile);
    SetProfileStore(profile_.get());
    CheckProfile(explicitProfile);

    std::string mediaError;
    if (!InitMedia(&mediaError)) {
        *error = "Could not initialise the media graph: " + mediaError;
        LogPrintf("%s", error->c_str());
        return 1;
    }
    const std::string configDirectory = FindConfigFile(kCommonConfigName, ConfigFileDirectories());
    if (!configDirectory.empty()) LoadConfig(configDirectory.c_str(), kCommonConfigName);
    return 0;
}

void Startup::CheckProfile(bool explicitProfile) {
    // The run goes on with the defaults; the user learns why the settings are not theirs.
    std::string reason;
    if (profile_->CheckReadable(&reason)) {
        if (!explicitProfile || profile_->Exists()) return;
        reason = "it does not exist";
    }
    const std::string text =
        "cannot read the profile '" + profile_->path() + "': " + reason + "; using the defaults";
    LogPrintf("%s", text.c_str());
    warnings_.push_back(text);
}

Startup::~Startup() {
    SetProfileStore(nullptr);
    profile_.reset();
    if (clipTable_) FreeClipTable();
    LogClose();
}

}  // namespace kelpa
