// Passes the status texts and warnings of the graphs and the device list on to the front end,
// and keeps the last one, which is the reason when an operation fails.
#pragma once

#include <string>

#include "platform/user_notice.h"

namespace kelpa {

class NoticeRelay final : public UserNotice {
  public:
    void SetTarget(UserNotice* target) { target_ = target; }

    void ShowStatus(const char* text) override {
        last_ = text;
        if (target_ != nullptr) target_->ShowStatus(text);
    }
    void Warn(const char* text) override {
        last_ = text;
        if (target_ != nullptr) target_->Warn(text);
    }

    const std::string& Last() const { return last_; }
    void Forget() { last_.clear(); }

  private:
    UserNotice* target_ = nullptr;
    std::string last_;
};

}  // namespace kelpa
