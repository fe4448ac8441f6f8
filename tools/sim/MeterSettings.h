#pragma once

#include "MeterFunction.h"

#include <optional>

// What the meter shows besides the function's own reading (the Hz-% key's cycle).
enum class MeasureMode { Function, Frequency, Duty };

// The state the simulated meter starts in and the signal at its input.
struct MeterSettings {
    MeterFunction function = MeterFunction::DcVolts;
    std::optional<int> manualRange; // none: autorange
    MeasureMode mode = MeasureMode::Function;
    bool fiveDigit = false; // 80000-count display in function mode
    bool overload = false;  // always over range, whatever the input
    bool lowBattery = false;
    bool hold = false;
    bool recording = false;

    std::optional<double> fixedInput; // replaces the starting function's input
    double driftPercent = 0.5;        // amplitude of the slow drift around the input
    double driftPeriodSeconds = 30.0;
    double frequencyHz = 50.0;
    double dutyPercent = 50.0;
};
