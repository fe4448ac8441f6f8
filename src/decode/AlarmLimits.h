#pragma once

// The user's MIN and MAX alarm limits, in counts of the display (the digits without the point),
// each armed by its check box.
struct AlarmLimits {
    bool maxArmed = false; // SetMaxB
    float MaxLimit = 8002.0f;
    bool minArmed = false; // SetMinB
    float MinLimit = -8002.0f;

    // Both comparisons are strict: a reading equal to a limit is allowed.
    [[nodiscard]] bool exceededBy(float readingValue) const {
        return (maxArmed && readingValue > MaxLimit) || (minArmed && readingValue < MinLimit);
    }

    bool operator==(const AlarmLimits&) const = default;
};
