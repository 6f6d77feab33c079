// Fakes shared by the capture writer tests: a profile store in memory, recorders for posted
// messages and user notices, and environment variables set for one test.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/clib/profile.h"
#include "platform/message_target.h"
#include "platform/user_notice.h"

namespace kelpa::testing {

// Holds the "kelpa" section only, which is all the capture writer uses.
class FakeProfile : public ProfileStore {
  public:
    FakeProfile() { SetProfileStore(this); }
    ~FakeProfile() override { SetProfileStore(nullptr); }

    int32_t GetInt(const char*, const char* key, int32_t def) override {
        return values.count(key) ? std::atoi(values[key].c_str()) : def;
    }
    uint32_t GetString(const char*, const char* key, const char* def, char* out,
                       uint32_t size) override {
        const std::string text = values.count(key) ? values[key] : def;
        const size_t n = text.copy(out, size - 1);
        out[n] = '\0';
        return static_cast<uint32_t>(n);
    }
    bool WriteString(const char*, const char* key, const char* value) override {
        if (value) values[key] = value;
        return value != nullptr;
    }
    std::map<std::string, std::string> values;
};

// Records posted messages; reserved up front so that recording allocates nothing.
class RecordingTarget : public MessageTarget {
  public:
    RecordingTarget() { posts.reserve(256); }
    void Post(uint32_t message) override { posts.push_back(message); }
    std::vector<uint32_t> posts;
};

class RecordingNotice : public UserNotice {
  public:
    void ShowStatus(const char* text) override { status.emplace_back(text); }
    void Warn(const char*) override {}
    void CheckMenuItem(uint32_t id, bool checked) override { checks.emplace_back(id, checked); }
    std::vector<std::string> status;
    std::vector<std::pair<uint32_t, bool>> checks;
};

// Sets an environment variable until the end of the scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace kelpa::testing
