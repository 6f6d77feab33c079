// IniProfileStore: cached reads, locked read-modify-replace writes.
#include "platform/ini_profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "common/log.h"
#include "platform/program_paths.h"
#include "platform/unique_fd.h"

namespace kelpa {
namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Error codes of a profile that is there but not a file we read: the name is taken by something
// else (a FIFO, a device), or the file is larger than kMaxFileBytes.
constexpr int kNotRegular = EINVAL;
constexpr int kTooLarge = EFBIG;

// Reads the whole profile. Returns 0, ENOENT for a missing file (empty text), or the error.
int ReadProfileFile(const std::string& path, std::string* text, struct stat* st) {
    text->clear();
    // O_NONBLOCK: a FIFO under the profile's name must not hold the program up in open(); the
    // flag changes nothing for the regular files that are read.
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) return errno;
    if (fstat(fd.get(), st) != 0) return errno;
    if (S_ISDIR(st->st_mode)) return EISDIR;
    if (!S_ISREG(st->st_mode)) return kNotRegular;
    if (static_cast<uint64_t>(st->st_size) > IniProfileStore::kMaxFileBytes) return kTooLarge;
    char chunk[8192];
    for (;;) {
        const ssize_t n = read(fd.get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        if (text->size() + static_cast<size_t>(n) > IniProfileStore::kMaxFileBytes) {
            return kTooLarge;
        }
        text->append(chunk, static_cast<size_t>(n));
    }
}

std::string DescribeReadError(int error) {
    switch (error) {
        case EISDIR:
            return "it is a directory";
        case kNotRegular:
            return "it is not a regular file";
        case kTooLarge:
            return "it is larger than " + std::to_string(IniProfileStore::kMaxFileBytes >> 20) +
                   " MiB";
        default:
            return std::generic_category().message(error);
    }
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool LockExclusive(int fd) {
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

}  // namespace

bool IniProfileStore::FileStamp::operator==(const FileStamp& other) const {
    return exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && mtime.tv_sec == other.mtime.tv_sec &&
           mtime.tv_nsec == other.mtime.tv_nsec;
}

IniProfileStore::IniProfileStore(std::string path) : path_(std::move(path)) {}

std::string IniProfileStore::DefaultProfilePath() {
    const char* explicitPath = std::getenv("KELPA_PROFILE");
    if (explicitPath && explicitPath[0] != '\0') return explicitPath;
    const std::string config = ConfigDirectory();
    if (config.empty()) return "kelpa.ini";
    return config + "/kelpa/kelpa.ini";
}

int32_t IniProfileStore::ParseProfileInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    uint32_t value = 0;  // unsigned arithmetic wraps, which is exactly the 32-bit word wanted
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

std::string IniProfileStore::OverlayKey(const char* section, const char* key) {
    std::string joined;
    for (const char* p = section; *p; ++p) joined += LowerAscii(*p);
    joined += '\n';  // cannot occur in a valid name
    for (const char* p = key; *p; ++p) joined += LowerAscii(*p);
    return joined;
}

void IniProfileStore::RefreshLocked() {
    struct stat st {};
    FileStamp now;
    if (stat(path_.c_str(), &st) == 0) {
        now = {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    } else if (errno != ENOENT && errno != ENOTDIR) {  // either way nothing is there
        ReadFailedLocked(errno);
        return;
    }
    if (cacheValid_ && now == stamp_) return;
    std::string text;
    const int err = now.exists ? ReadProfileFile(path_, &text, &st) : ENOENT;
    if (err != 0 && err != ENOENT) {
        ReadFailedLocked(err);
        return;
    }
    readError_ = 0;
    cache_ = IniDocument::Parse(text);
    stamp_ = err == 0 ? FileStamp{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim} : FileStamp{};
    cacheValid_ = true;
}

void IniProfileStore::ReadFailedLocked(int error) {
    // Reads as empty, and is tried again on the next read.
    cache_ = IniDocument();
    cacheValid_ = false;
    readError_ = error;
    if (readFailureLogged_) return;
    readFailureLogged_ = true;
    LogPrintf("Can`t read the profile %s: %s", path_.c_str(), DescribeReadError(error).c_str());
}

bool IniProfileStore::CheckReadable(std::string* reason) {
    std::lock_guard lock(mutex_);
    RefreshLocked();
    if (readError_ == 0) return true;
    if (reason) *reason = DescribeReadError(readError_);
    return false;
}

bool IniProfileStore::Exists() const {
    struct stat st {};
    return stat(path_.c_str(), &st) == 0;
}

std::optional<std::string> IniProfileStore::LookUpLocked(const char* section, const char* key) {
    const std::string joined = OverlayKey(section, key);
    if (auto it = overrides_.find(joined); it != overrides_.end()) return it->second;
    if (auto it = overlay_.find(joined); it != overlay_.end()) return it->second;
    RefreshLocked();
    if (const std::string* value = cache_.Find(section, key)) return *value;
    return std::nullopt;
}

int32_t IniProfileStore::GetInt(const char* section, const char* key, int32_t def) {
    if (!section || !key) return def;
    std::lock_guard lock(mutex_);
    const std::optional<std::string> value = LookUpLocked(section, key);
    return value ? ParseProfileInt(*value) : def;
}

uint32_t IniProfileStore::GetString(const char* section, const char* key, const char* def,
                                    char* out, uint32_t size) {
    if (!out || size == 0) return 0;
    std::optional<std::string> value;
    if (section && key) {
        std::lock_guard lock(mutex_);
        value = LookUpLocked(section, key);
    }
    const char* text = value ? value->c_str() : (def ? def : "");
    const size_t n = std::min<size_t>(std::strlen(text), size - 1);
    std::memcpy(out, text, n);
    out[n] = '\0';
    return static_cast<uint32_t>(n);
}

bool IniProfileStore::WriteString(const char* section, const char* key, const char* value) {
    if (!section || !key || !IniDocument::IsValidSectionName(section) ||
        !IniDocument::IsValidKeyName(key) || (value && !IniDocument::IsValidValue(value))) {
        return false;
    }
    std::lock_guard lock(mutex_);
    if (readOnly_) {
        overlay_[OverlayKey(section, key)] =
            value ? std::optional<std::string>(value) : std::nullopt;
        return true;
    }
    overlay_.erase(OverlayKey(section, key));  // left from an earlier read-only spell
    return WriteFileLocked(section, key, value);
}

bool IniProfileStore::WriteFileLocked(const char* section, const char* key, const char* value) {
    if (!MakeDirectories(ParentDirectory(path_))) {
        ReportFailure("create the directory of", errno);
        return false;
    }
    // The profile is replaced by rename on every write, so the lock lives in a file of its own.
    UniqueFd lockFd(open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!lockFd.valid() || !LockExclusive(lockFd.get())) {
        ReportFailure("lock", errno);
        return false;
    }
    // Another copy may have written since our last read: start from what is on disk now.
    std::string text;
    struct stat st {};
    const int err = ReadProfileFile(path_, &text, &st);
    if (err != 0 && err != ENOENT) {
        ReportFailure("read", err);  // replacing a file we cannot read would lose its keys
        return false;
    }
    IniDocument doc = IniDocument::Parse(text);
    const IniDocument::SetResult result = doc.Set(section, key, value);
    if (result == IniDocument::SetResult::kInvalid) return false;
    if (result == IniDocument::SetResult::kChanged &&
        !ReplaceFile(doc.Serialize(), err == 0 ? &st : nullptr)) {
        return false;
    }
    struct stat now {};
    if (stat(path_.c_str(), &now) == 0) {
        cache_ = std::move(doc);
        stamp_ = {true, now.st_dev, now.st_ino, now.st_size, now.st_mtim};
        cacheValid_ = true;
    } else {
        cacheValid_ = false;  // nothing on disk (a removal from a missing file): re-read later
    }
    return true;
}

bool IniProfileStore::ReplaceFile(const std::string& text, const struct stat* old) {
    const std::string temp = TempPath();
    // A temporary file left by an interrupted write is stale: we hold the lock.
    if (unlink(temp.c_str()) != 0 && errno != ENOENT) {
        ReportFailure("clear the temporary file of", errno);
        return false;
    }
    UniqueFd fd(open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid()) {
        ReportFailure("create the temporary file of", errno);
        return false;
    }
    const bool written = (!old || fchmod(fd.get(), old->st_mode & 07777) == 0) &&
                         WriteAll(fd.get(), text) && fsync(fd.get()) == 0;
    const int writeError = errno;
    if (!written || close(fd.Release()) != 0) {
        ReportFailure("write", written ? errno : writeError);
        unlink(temp.c_str());
        return false;
    }
    if (beforeReplace_) beforeReplace_();
    if (rename(temp.c_str(), path_.c_str()) != 0) {
        ReportFailure("replace", errno);
        unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; the new profile is in place even if this fails.
    UniqueFd dir(open(ParentDirectory(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) fsync(dir.get());
    return true;
}

void IniProfileStore::ReportFailure(const char* what, int error) {
    if (failureLogged_) return;
    failureLogged_ = true;
    LogPrintf("Can`t %s the profile %s: %s", what, path_.c_str(), DescribeReadError(error).c_str());
}

void IniProfileStore::SetReadOnly(bool readOnly) {
    std::lock_guard lock(mutex_);
    readOnly_ = readOnly;
}

void IniProfileStore::SetOverride(const char* section, const char* key, const char* value) {
    if (!section || !key) return;
    std::lock_guard lock(mutex_);
    if (value) {
        overrides_[OverlayKey(section, key)] = std::string(value);
    } else {
        overrides_.erase(OverlayKey(section, key));
    }
}

void IniProfileStore::SetBeforeReplaceHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    beforeReplace_ = std::move(hook);
}

}  // namespace kelpa
