#pragma once

#include "AlarmLimits.h"

// The band of 801 dots along the dial's scale, red where a reading would trip an armed limit.
// Step j stands where the needle of the normal scale stands for position j, that is for counts of
// (j - 400) * 20 (four-digit readings) or (j - 400) * 200 (five-digit readings); the step is
// compared with half the limit, as the needle halves the count.
class LimitBand {
public:
    static constexpr int kSteps = 800; // 801 dots, 0..800

    LimitBand(const AlarmLimits& limits, bool fiveDigit);

    [[nodiscard]] bool isRed(int step) const;

    bool operator==(const LimitBand&) const = default;

private:
    bool maxArmed = false;
    bool minArmed = false;
    long long maxHalf = 0; // half the limit, rounded halves to even
    long long minHalf = 0;
    int stepWorth = 10;
};
