// The HFD history of the focusing plot and its y axis.
#include "view/hfd_history.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelpa {
namespace {

// Stream times beyond this (about 30 years) are not times; it keeps the slot number exact.
constexpr double kLongestSeconds = 1e9;
constexpr double kShortestScale = 0.5;  // px from the bottom to the top of the axis
constexpr double kWantedSteps = 4.0;

// The smallest of 1, 2 and 5 times a power of ten that is at least `raw` (> 0).
double RoundStep(double raw) {
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double mantissa : {1.0, 2.0, 5.0}) {
        // A little slack so that 0.2 computed as 0.19999... stays 0.2.
        if (mantissa * power >= raw * (1.0 - 1e-9)) return mantissa * power;
    }
    return 10.0 * power;
}

}  // namespace

void HfdHistory::Add(double timeSeconds, bool valid, float hfd) {
    if (!std::isfinite(timeSeconds) || std::fabs(timeSeconds) > kLongestSeconds) return;
    const auto slot = static_cast<int64_t>(std::floor(timeSeconds / kHfdSlotSeconds));
    const bool counted = valid && std::isfinite(hfd) && hfd >= 0.0f;
    if (size_ > 0) {
        Slot& newest = slots_[(first_ + size_ - 1) % kHfdSlotCount];
        if (slot < newest.slot) {
            Clear();
        } else if (slot == newest.slot) {
            if (counted) {
                newest.sum += hfd;
                ++newest.count;
            }
            return;
        }
    }
    if (size_ == kHfdSlotCount) {
        first_ = (first_ + 1) % kHfdSlotCount;
        --size_;
    }
    slots_[(first_ + size_) % kHfdSlotCount] = {slot, counted ? double{hfd} : 0.0,
                                                counted ? 1u : 0u};
    ++size_;
}

void HfdHistory::Clear() {
    first_ = 0;
    size_ = 0;
}

HfdSample HfdHistory::At(size_t index) const {
    const Slot& s = SlotAt(index);
    HfdSample sample;
    sample.slot = s.slot;
    sample.valid = s.count > 0;
    if (sample.valid) sample.hfd = static_cast<float>(s.sum / s.count);
    return sample;
}

size_t HfdHistory::FirstInSpan() const {
    if (size_ == 0) return 0;
    const int64_t oldest = SlotAt(size_ - 1).slot - static_cast<int64_t>(kHfdSlotCount) + 1;
    size_t index = 0;
    while (index < size_ && SlotAt(index).slot < oldest) ++index;
    return index;
}

bool HfdHistory::JoinsPrevious(size_t index) const {
    if (index == 0 || index >= size_) return false;
    const Slot& before = SlotAt(index - 1);
    const Slot& slot = SlotAt(index);
    return before.count > 0 && slot.count > 0 &&
           static_cast<double>(slot.slot - before.slot) * kHfdSlotSeconds <= kHfdJoinSeconds;
}

HfdScale ScaleHfd(const HfdHistory& history) {
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (size_t i = history.FirstInSpan(); i < history.Size(); ++i) {
        const HfdSample sample = history.At(i);
        if (!sample.valid) continue;
        low = std::min(low, double{sample.hfd});
        high = std::max(high, double{sample.hfd});
    }
    HfdScale scale;
    if (!(low <= high)) return scale;
    if (high - low < kShortestScale) {
        const double middle = (low + high) / 2.0;
        low = middle - kShortestScale / 2.0;
        high = middle + kShortestScale / 2.0;
        // Kept as tall when it would pass below 0.
        if (low < 0.0) {
            high -= low;
            low = 0.0;
        }
    }
    const double step = RoundStep((high - low) / kWantedSteps);
    // The slack keeps a value that is a whole number of steps from growing a step.
    double bottom = std::floor(low / step + 1e-6) * step;
    const double top = std::ceil(high / step - 1e-6) * step;
    bottom = std::max(bottom, 0.0);
    scale.any = true;
    scale.low = static_cast<float>(bottom);
    scale.high = static_cast<float>(top);
    scale.step = static_cast<float>(step);
    scale.steps = std::max(static_cast<int32_t>(std::lround((top - bottom) / step)), 1);
    scale.decimals = step >= 1.0 ? 0 : 1;
    return scale;
}

}  // namespace kelpa
