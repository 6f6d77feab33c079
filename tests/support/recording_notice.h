// A UserNotice that records every status text and warning it is given.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/user_notice.h"

namespace kelpa::test {

class RecordingNotice final : public UserNotice {
  public:
    void ShowStatus(const char* text) override { status.emplace_back(text); }
    void Warn(const char* text) override { warnings.emplace_back(text); }
    // Whether `text` was shown, as a status text or a warning.
    bool Showed(const std::string& text) const {
        const auto has = [&](const auto& v) {
            return std::find(v.begin(), v.end(), text) != v.end();
        };
        return has(status) || has(warnings);
    }
    std::vector<std::string> status;
    std::vector<std::string> warnings;
};

}  // namespace kelpa::test
