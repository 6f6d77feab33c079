// Shared fakes and builders of the tests: an in-memory profile, a clock that tests drive, a
// notice and an event receiver that record what they are given, and synthetic frames.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/profile.h"
#include "image/frame_buffer.h"
#include "platform/clock.h"
#include "platform/user_notice.h"
#include "processing/stream_events.h"

namespace kelpa::test {

// Polls `done` every millisecond for up to `timeoutMs` (waiting generously, not measuring);
// whether it came true.
template <class Done>
bool WaitUntil(Done done, int timeoutMs = 10000) {
    for (int waited = 0; waited < timeoutMs && !done(); ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

// A profile held in memory; installs itself for the life of the object.
class MemoryProfile final : public ProfileStore {
  public:
    MemoryProfile() { SetProfileStore(this); }
    ~MemoryProfile() override { SetProfileStore(nullptr); }

    int32_t GetInt(const char* section, const char* key, int32_t def) override;
    uint32_t GetString(const char* section, const char* key, const char* def, char* out,
                       uint32_t size) override;
    bool WriteString(const char* section, const char* key, const char* value) override;

    std::string Get(const std::string& key) const;
    void Set(const std::string& key, const std::string& value) {
        values_[Key("kelpa", key)] = value;
    }
    // Keys in the order they were written.
    const std::vector<std::string>& WriteOrder() const { return writeOrder_; }

  private:
    static std::string Key(const char* section, const std::string& key);
    std::map<std::string, std::string> values_;
    std::vector<std::string> writeOrder_;
};

// A clock that only moves when the test moves it; sleeping advances it.
class FakeClock final : public Clock {
  public:
    uint32_t TickMs() override { return now; }
    void SleepMs(uint32_t ms) override {
        sleeps.push_back(ms);
        now += ms;
        if (onSleep) onSleep();
    }
    uint32_t now = 1000;
    std::vector<uint32_t> sleeps;
    void (*onSleep)() = nullptr;
};

// A UserNotice that records every status text and warning it is given.
class RecordingNotice final : public UserNotice {
  public:
    void ShowStatus(const char* text) override { status.emplace_back(text); }
    void Warn(const char* text) override { warnings.emplace_back(text); }
    std::vector<std::string> status;
    std::vector<std::string> warnings;
};

// An event receiver that records every notification and acknowledges it at once, so that
// every post is seen (a window takes its time and sees only the latest).
class RecordingReceiver final : public StreamEventReceiver {
  public:
    void Notify(StreamEvents& source, StreamEvent kind) override {
        source.Acknowledge(kind);
        std::lock_guard lock(mutex_);
        events_.push_back(kind);
    }
    int Count(StreamEvent kind) const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count(events_.begin(), events_.end(), kind));
    }
    std::vector<StreamEvent> Events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<StreamEvent> events_;
};

// A 24-bit picture owned by the test.
struct TestPicture {
    TestPicture(int32_t width, int32_t height)
        : stride(Stride24(width)), w(width), h(height), bytes(size_t{stride} * height, 0) {}
    FrameBuffer Buffer() {
        return {.data = bytes.data(),
                .rowPad = static_cast<int32_t>(stride - 3 * w),
                .imageSize = stride * h,
                .width = w,
                .height = h,
                .stride = stride};
    }
    uint8_t* Pixel(int32_t x, int32_t y) { return bytes.data() + size_t{stride} * y + 3 * x; }
    void Fill(uint8_t b, uint8_t g, uint8_t r) {
        const uint8_t bgr[3] = {b, g, r};
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) std::memcpy(Pixel(x, y), bgr, 3);
    }
    void Randomize(uint32_t seed) {
        std::mt19937 rng(seed);
        for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    }

    uint32_t stride;
    int32_t w;
    int32_t h;
    std::vector<uint8_t> bytes;
};

}  // namespace kelpa::test
