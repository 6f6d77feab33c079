// The guide star's half-flux diameter over the last few minutes, for the statistic window's
// focusing plot: a fixed ring of time slots, each the mean HFD of the measurements that fell in
// it, and the y axis that shows them. Plain data, no Qt; nothing is allocated after
// construction.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kelpa {

// The plot shows the last three minutes in half-second slots.
inline constexpr size_t kHfdSlotCount = 360;
inline constexpr double kHfdSpanSeconds = 180.0;
inline constexpr double kHfdSlotSeconds = kHfdSpanSeconds / kHfdSlotCount;
// Two kept slots further apart than this are not joined by the curve (the stream stood still,
// or nobody asked for statistics meanwhile).
inline constexpr double kHfdJoinSeconds = 10.0;

struct HfdSample {
    int64_t slot = 0;    // the time slot: the stream time over kHfdSlotSeconds, rounded down
    float hfd = 0.0f;    // px: the mean of the slot's valid measurements
    bool valid = false;  // false: no measurement in the slot had a star (a gap in the curve)
};

class HfdHistory {
  public:
    // One measurement at `timeSeconds` (the stream time of its frame). `valid` is false when the
    // guide found no star with metrics (or was off): the slot becomes a gap unless another
    // measurement in it is valid. A time before the newest slot (a seek, a file that starts
    // again) starts the history anew; a time that is not a finite number is ignored.
    void Add(double timeSeconds, bool valid, float hfd);
    void Clear();

    // Kept slots, oldest first; at most kHfdSlotCount.
    size_t Size() const { return size_; }
    HfdSample At(size_t index) const;
    // The first kept slot within the span that ends at the newest slot (Size() when none).
    size_t FirstInSpan() const;
    // Whether the curve joins slot `index` to the one before it: both valid and close in time.
    bool JoinsPrevious(size_t index) const;

  private:
    struct Slot {
        int64_t slot = 0;
        double sum = 0.0;    // of the valid measurements
        uint32_t count = 0;  // valid measurements
    };
    const Slot& SlotAt(size_t index) const { return slots_[(first_ + index) % kHfdSlotCount]; }

    std::array<Slot, kHfdSlotCount> slots_{};
    size_t first_ = 0;
    size_t size_ = 0;
};

// The y axis of the plot: from `low` to `high` in `steps` steps of `step` px, round numbers that
// hold every valid slot in the span, at least 0.5 px tall, never below 0.
struct HfdScale {
    bool any = false;  // a valid slot in the span; without one nothing is scaled
    float low = 0.0f;
    float high = 1.0f;
    float step = 0.5f;
    int32_t steps = 2;
    int32_t decimals = 1;  // for the axis labels
    friend bool operator==(const HfdScale&, const HfdScale&) = default;
};

HfdScale ScaleHfd(const HfdHistory& history);

}  // namespace kelpa
