#include "LimitBand.h"

#include <algorithm>
#include <cmath>

namespace {

// Limits come from 32-bit texts, so half of one always fits; the clamp keeps a float limit set
// some other way from overflowing.
long long half(float limit) {
    const double h = std::clamp(static_cast<double>(limit) * 0.5, -1e15, 1e15);
    return static_cast<long long>(std::nearbyint(h));
}

} // namespace

LimitBand::LimitBand(const AlarmLimits& limits, bool fiveDigit)
    : maxArmed(limits.maxArmed), minArmed(limits.minArmed), maxHalf(half(limits.MaxLimit)),
      minHalf(half(limits.MinLimit)), stepWorth(fiveDigit ? 100 : 10) {}

bool LimitBand::isRed(int step) const {
    const long long value = static_cast<long long>(step - kSteps / 2) * stepWorth;
    return (maxArmed && value > maxHalf) || (minArmed && value < minHalf);
}
