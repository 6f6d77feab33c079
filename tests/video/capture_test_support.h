// Recorders shared by the capture writer and intake tests: posted messages and user notices.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/message_target.h"
#include "platform/user_notice.h"

namespace kelpa::testing {

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
    void Warn(const char* text) override { warnings.emplace_back(text); }
    void CheckMenuItem(uint32_t id, bool checked) override { checks.emplace_back(id, checked); }
    std::vector<std::string> status;
    std::vector<std::string> warnings;
    std::vector<std::pair<uint32_t, bool>> checks;
};

}  // namespace kelpa::testing
