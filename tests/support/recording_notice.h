// A UserNotice that records every status text, warning and menu check it is given.
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
    void CheckMenuItem(uint32_t id, bool checked) override { checks.emplace_back(id, checked); }
    // Whether `text` was shown, as a status text or a warning.
    bool Showed(const std::string& text) const {
        const auto has = [&](const auto& v) {
            return std::find(v.begin(), v.end(), text) != v.end();
        };
        return has(status) || has(warnings);
    }
    std::vector<std::string> status;
    std::vector<std::string> warnings;
    std::vector<std::pair<uint32_t, bool>> checks;
};

}  // namespace kelpa::test
