// A value handed from a writer to a reader where only the newest one matters (the latest
// statistics of a frame, the report of the last capture run). Three slots: the writer fills its
// own slot and swaps it into the middle; the reader swaps the middle out for its own. Neither
// side ever waits for the other, and the reader always gets one published value whole, never
// parts of two.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>

namespace kelpa {

template <typename T>
class LatestValue {
    static_assert(std::is_trivially_copyable_v<T>,
                  "the slots are copied while the other side runs");

  public:
    // Writer side: one thread at a time (callers on several threads serialise with a lock).
    void Publish(const T& value) {
        slots_[back_] = value;
        const uint8_t old = middle_.exchange(back_ | kFresh, std::memory_order_acq_rel);
        back_ = old & kIndexMask;
    }

    // Reader side: one thread. False (and `out` untouched) when nothing was published since the
    // last Take.
    bool Take(T* out) {
        if ((middle_.load(std::memory_order_acquire) & kFresh) == 0) return false;
        const uint8_t old = middle_.exchange(front_, std::memory_order_acq_rel);
        front_ = old & kIndexMask;
        *out = slots_[front_];
        return true;
    }

  private:
    static constexpr uint8_t kIndexMask = 3;
    static constexpr uint8_t kFresh = 4;

    T slots_[3]{};
    std::atomic<uint8_t> middle_{1};
    uint8_t back_ = 0;   // the writer's slot
    uint8_t front_ = 2;  // the reader's slot
};

}  // namespace kelpa
