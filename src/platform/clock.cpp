#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace kelpa {
namespace {

class MonotonicClock final : public Clock {
  public:
    uint32_t TickMs() override { return GetTickMs(); }
    void SleepMs(uint32_t ms) override { kelpa::SleepMs(ms); }
};

}  // namespace

Clock& SystemClock() {
    static MonotonicClock clock;
    return clock;
}

uint32_t GetTickMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SleepMs(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace kelpa
