#include "cli/startup.h"

#include <csignal>

#include "common/cfg_parser.h"
#include "common/cpu_info.h"
#include "common/log.h"
#include "common/profile.h"
#include "platform/program_paths.h"
#include "video/convert.h"
#include "media/media_init.h"

namespace kelpa {

int Startup::Run(const StartupOptions& options, std::string* error) {
    SetProgramDirectory(ExecutableDirectory().c_str());
    if (clibInit(nullptr, &OpenProgramLog) != 0) {
        *error = "Can`t init common lib...";
        return 1;
    }
    LogCpuInfo();
    if (!InitClipTable()) {
        *error = "Can`t alloc 1024 memory for clip array";
        LogClose();
        return -1;
    }
    clipTable_ = true;
    // A capture that passes the file-size limit must end its run, not kill the program.
    std::signal(SIGXFSZ, SIG_IGN);

    profile_ = std::make_unique<IniProfileStore>(
        options.profilePath.empty() ? IniProfileStore::DefaultProfilePath() : options.profilePath);
    profile_->SetReadOnly(options.readOnlyProfile);
    SetProfileStore(profile_.get());

    std::string mediaError;
    if (!InitMedia(&mediaError)) {
        *error = "Could not initialise the media graph: " + mediaError;
        LogPrintf("%s", error->c_str());
        return 1;
    }
    LoadConfig(ProgramDirectory(), "kcommon.cfg");
    return 0;
}

Startup::~Startup() {
    SetProfileStore(nullptr);
    profile_.reset();
    if (clipTable_) FreeClipTable();
    LogClose();
}

}  // namespace kelpa
