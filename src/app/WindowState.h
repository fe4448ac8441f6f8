#pragma once

#include <QString>

#include <cstdint>

// The state the window's handlers share, grouped by what it is about. Each group's start values
// are written once, here; start-up assigns fresh groups.

// How the dial divides its scale, handed over by the decoder for each main-display frame.
struct DialScaleState {
    static constexpr int kNormalScale = 80; // divisions of the function modes
    static constexpr int kWideScale = 100;  // frequency and duty modes

    bool WideScale = false;
    int DialScale = kNormalScale;
    int DialOffset = 0;
};

// The MIN/MAX alarm limits in counts. They start just beyond the largest four-digit count so that
// nothing trips before the user sets a limit.
struct LimitState {
    static constexpr float kMaxLimitStart = 8002.0f;
    static constexpr float kMinLimitStart = -8002.0f;

    float MaxLimit = kMaxLimitStart;
    float MinLimit = kMinLimitStart;
};

// The unit and range of the previous reading; a change of either restarts the peaks and the chart.
struct PreviousReading {
    // No decoded unit reads like this, so the first reading counts as a change of unit.
    static constexpr const char* kNoUnitYet = "113";

    QString PrevUnitText = QString::fromLatin1(kNoUnitYet);
    int PrevRangeCode = 0;
};

// What the chart does with the next point.
struct ChartState {
    bool FollowLastPage = true; // turn to the newest page as points arrive
};

// The key panels: the code of the key being held and the REL key's three-step state.
struct KeyState {
    std::uint8_t KeyBaseCode = 0;
    int RelPressState = 0;
};
