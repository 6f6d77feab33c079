// The user's profile as an INI file ("[kelpa]", "[quill]"). Reads use a cached parse of the file
// that is refreshed when the file changes on disk; every write re-reads the file under a lock,
// changes one line and replaces the file atomically, so two running copies never lose each
// other's keys and an interrupted write leaves the old profile intact.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "common/profile.h"
#include "platform/ini_document.h"

namespace kelpa {

class IniProfileStore final : public ProfileStore {
  public:
    // Profiles larger than this are not ours: they are neither read nor replaced.
    static constexpr size_t kMaxFileBytes = 16u << 20;

    explicit IniProfileStore(std::string path);

    // $KELPA_PROFILE if set, else $XDG_CONFIG_HOME/kelpa/kelpa.ini, else
    // ~/.config/kelpa/kelpa.ini; "kelpa.ini" in the current directory without a home.
    static std::string DefaultProfilePath();

    // Safe to call from any thread; calls are serialised.
    int32_t GetInt(const char* section, const char* key, int32_t def) override;
    uint32_t GetString(const char* section, const char* key, const char* def, char* out,
                       uint32_t size) override;
    bool WriteString(const char* section, const char* key, const char* value) override;

    // Read-only: writes (and removals) go to an in-memory overlay that later reads see; the
    // file is never touched.
    void SetReadOnly(bool readOnly);
    // Reads of this key return `value` instead of the stored one; a null value ends the
    // override.
    void SetOverride(const char* section, const char* key, const char* value);

    // Reads the file when it changed and says whether its settings can be used: true for a
    // readable profile and for a missing one (which reads as empty); false, with the reason,
    // for a directory, a FIFO or other non-file, a file over kMaxFileBytes or one that cannot
    // be read. Such a profile reads as empty; the first failure is logged.
    bool CheckReadable(std::string* reason);
    // Whether anything exists under the profile's path.
    bool Exists() const;

    const std::string& path() const { return path_; }
    // The lock file beside the profile and the temporary file a write is prepared in.
    std::string LockPath() const { return path_ + ".lock"; }
    std::string TempPath() const { return path_ + ".tmp"; }

    // Test hook: runs after the temporary file is complete, before it replaces the profile.
    void SetBeforeReplaceHook(std::function<void()> hook);

    // Reads the whole integer as the 32-bit word written by "%d" or "%u": optional blanks and
    // sign, then decimal digits, wrapped to 32 bits; no digits gives 0.
    static int32_t ParseProfileInt(const std::string& text);

  private:
    struct FileStamp {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec mtime{};
        bool operator==(const FileStamp& other) const;
    };
    using OverlayMap = std::map<std::string, std::optional<std::string>>;

    static std::string OverlayKey(const char* section, const char* key);
    // The value a reader sees, or nullopt; caller holds mutex_.
    std::optional<std::string> LookUpLocked(const char* section, const char* key);
    // Brings cache_ up to date with the file; an unreadable file reads as empty.
    void RefreshLocked();
    void ReadFailedLocked(int error);
    bool WriteFileLocked(const char* section, const char* key, const char* value);
    bool ReplaceFile(const std::string& text, const struct stat* old);
    void ReportFailure(const char* what, int error);

    std::mutex mutex_;
    const std::string path_;
    IniDocument cache_;
    FileStamp stamp_;
    bool cacheValid_ = false;
    bool readOnly_ = false;
    OverlayMap overlay_;    // read-only writes; nullopt marks a removed key
    OverlayMap overrides_;  // values that win over everything else
    bool failureLogged_ = false;
    int readError_ = 0;  // of the last read: 0 (a missing file included) or the errno
    bool readFailureLogged_ = false;
    std::function<void()> beforeReplace_;
};

}  // namespace kelpa
