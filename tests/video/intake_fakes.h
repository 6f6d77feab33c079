// A fake media graph control for the intake tests: it records its calls.
#pragma once

#include <string>
#include <vector>

#include "video/media_graph.h"

namespace kelpa::test {

class FakeMediaControl final : public MediaControl {
  public:
    MediaResult Run() override { return Record("run", runResult); }
    MediaResult Pause() override { return Record("pause", MediaResult::kDone); }
    MediaResult Stop() override { return Record("stop", MediaResult::kDone); }
    MediaResult StopWhenReady() override { return Record("stopWhenReady", MediaResult::kDone); }
    MediaResult GetState(uint32_t, int32_t* state) override {
        *state = reportedState;
        return Record("getState", MediaResult::kDone);
    }
    MediaResult Record(const char* call, MediaResult result) {
        calls.push_back(call);
        return result;
    }

    std::vector<std::string> calls;
    MediaResult runResult = MediaResult::kDone;
    int32_t reportedState = kStateStopped;
};

}  // namespace kelpa::test
