#include "processing/level_plan.h"

#include <algorithm>
#include <limits>

namespace kelpa {
namespace {

constexpr int64_t kBigOffset = int64_t{1} << 30;

struct Bounds {
    int64_t qCap;    // the quotient at which the level reaches 256 (0: every level is above 255)
    int64_t nCap;    // the numerator of that quotient
    uint64_t aStar;  // the first word whose numerator reaches nCap
};

// Null when the formula is outside what a lane plan can cover at all.
bool ComputeBounds(const LevelFormula& f, Bounds& b) {
    if (f.amp < 0 || f.amp > std::numeric_limits<int32_t>::max()) return false;
    if (f.divisor < 1 || f.divisor >= (int64_t{1} << 24)) return false;
    if (f.half < 0 || f.half > kBigOffset) return false;
    if (f.offset < -kBigOffset || f.offset > kBigOffset) return false;
    b.qCap = std::max<int64_t>(256 - f.offset, 0);
    b.nCap = b.qCap * f.divisor;
    const int64_t k = b.nCap - f.half;
    if (k <= 0) {
        b.aStar = 0;
    } else if (f.amp == 0) {
        b.aStar = std::numeric_limits<uint64_t>::max();
    } else {
        b.aStar = static_cast<uint64_t>((128 * k + f.amp - 1) / f.amp);
    }
    return true;
}

// The smallest s whose multiplier m = ceil(2^(16+s) / d) still fits 16 bits and divides every
// numerator up to nMax exactly: with e = m * d - 2^(16+s), floor(n * m / 2^(16+s)) = floor(n / d)
// holds for all n <= nMax when e * nMax < 2^(16+s).
bool FindMultiplier16(int64_t d, int64_t nMax, uint16_t& m, int32_t& s) {
    for (int32_t shift = 0; shift < 32; ++shift) {
        const int64_t scale = int64_t{1} << (16 + shift);
        const int64_t mult = (scale + d - 1) / d;
        if (mult > 65535) return false;
        const int64_t e = mult * d - scale;
        if (e * nMax < scale) {
            m = static_cast<uint16_t>(mult);
            s = shift;
            return true;
        }
    }
    return false;
}

}  // namespace

LevelPlan16 PlanLevels16(const LevelFormula& f, uint64_t maxSum) {
    LevelPlan16 p;
    Bounds b;
    if (!ComputeBounds(f, b) || f.amp > 65535 || f.half > 65535) return p;
    const uint64_t aClamp = std::min(b.aStar, maxSum);
    if (aClamp > 65535) return p;
    const int64_t tMax = (static_cast<int64_t>(aClamp) * f.amp >> 7) + f.half;
    if (tMax > 65535) return p;
    const int64_t nMax = std::min(tMax, b.nCap);

    p.aClamp = static_cast<uint16_t>(aClamp);
    p.half = static_cast<uint16_t>(f.half);
    p.nClamp = static_cast<uint16_t>(std::min<int64_t>(b.nCap, 65535));
    if (f.amp == 128) {
        p.ampIs128 = true;
    } else {
        // A * amp >> 7 = mulhi(A << a, amp << (9 - a)) when both factors fit 16 bits.
        bool found = false;
        for (int32_t a = 0; a <= 9 && !found; ++a) {
            if ((aClamp << a) <= 65535 && (f.amp << (9 - a)) <= 65535) {
                p.shiftA = a;
                p.ampMul = static_cast<uint16_t>(f.amp << (9 - a));
                found = true;
            }
        }
        if (!found) return p;
    }

    const int64_t d = f.divisor;
    p.divisor = static_cast<int32_t>(d);
    if (d == 1) {
        p.divide = LevelPlan16::Divide::kNone;
    } else if ((d & (d - 1)) == 0) {
        p.divide = LevelPlan16::Divide::kShift;
        while ((int64_t{1} << p.divShift) < d) ++p.divShift;
    } else {
        p.divide = LevelPlan16::Divide::kMultiply;
        if (!FindMultiplier16(d, nMax, p.divMul, p.divShift)) return p;
    }
    const int64_t qMax = nMax / d;
    if (f.offset < -32768 || qMax + f.offset > 32767) return p;
    p.offset = static_cast<int16_t>(f.offset);
    p.simple = aClamp == maxSum && tMax < b.nCap && f.offset == 0 && qMax <= 255;
    p.valid = true;
    return p;
}

LevelPlan32 PlanLevels32(const LevelFormula& f, uint64_t maxSum) {
    LevelPlan32 p;
    Bounds b;
    if (!ComputeBounds(f, b)) return p;
    const uint64_t aClamp =
        std::min({b.aStar, maxSum, uint64_t{std::numeric_limits<uint32_t>::max()}});
    // The product A * amp must stay a non-negative 32-bit number.
    if (static_cast<uint64_t>(f.amp) * aClamp > uint64_t{std::numeric_limits<int32_t>::max()}) {
        return p;
    }
    const int64_t tMax = (static_cast<int64_t>(aClamp) * f.amp >> 7) + f.half;
    const int64_t nMax = std::min(tMax, b.nCap);
    // Exact as a float, and a quotient small enough that one correction step suffices.
    if (nMax >= (int64_t{1} << 24) || nMax / f.divisor >= (int64_t{1} << 22)) return p;
    p.aClamp = static_cast<uint32_t>(aClamp);
    p.amp = static_cast<int32_t>(f.amp);
    p.half = static_cast<int32_t>(f.half);
    p.nClamp = static_cast<int32_t>(std::min<int64_t>(b.nCap, std::numeric_limits<int32_t>::max()));
    p.divisor = static_cast<int32_t>(f.divisor);
    p.recip = 1.0f / static_cast<float>(f.divisor);
    p.offset = static_cast<int32_t>(f.offset);
    p.valid = true;
    return p;
}

int32_t EvaluatePlan16(const LevelPlan16& p, uint32_t a) {
    const uint32_t clamped = std::min<uint32_t>(a, p.aClamp);
    const uint32_t t = p.ampIs128 ? clamped : ((clamped << p.shiftA) * uint32_t{p.ampMul}) >> 16;
    const uint32_t n = std::min<uint32_t>(t + p.half, p.nClamp);
    uint32_t q = n;
    if (p.divide == LevelPlan16::Divide::kShift) q = n >> p.divShift;
    if (p.divide == LevelPlan16::Divide::kMultiply) q = ((n * p.divMul) >> 16) >> p.divShift;
    return static_cast<int16_t>(static_cast<int16_t>(q) + p.offset);
}

int32_t EvaluatePlan32(const LevelPlan32& p, uint32_t a) {
    const int32_t clamped = static_cast<int32_t>(std::min(a, p.aClamp));
    const int32_t t = (clamped * p.amp) >> 7;
    const int32_t n = std::min(t + p.half, p.nClamp);
    int32_t q = n;
    if (p.divisor != 1) {
        q = static_cast<int32_t>(static_cast<float>(n) * p.recip);
        const int32_t r = n - q * p.divisor;
        q += (r < 0 ? -1 : 0) + (r >= p.divisor ? 1 : 0);
    }
    return q + p.offset;
}

AverageDivider PlanAverage(int64_t weight) {
    AverageDivider d;
    if (weight < 1 || 255 * weight >= (int64_t{1} << 24)) return d;
    d.half = static_cast<int32_t>(weight / 2);
    d.aClamp = static_cast<uint32_t>(255 * weight - d.half);
    d.divisor = static_cast<int32_t>(weight);
    d.recip = 1.0f / static_cast<float>(weight);
    d.valid = true;
    return d;
}

}  // namespace kelpa
