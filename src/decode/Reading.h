#pragma once

#include <QString>

// The decoded content of the latest main-display frame, overwritten by every such frame and read
// by the dial, the limits, recording and the chart.
struct Reading {
    float ReadingValue = 0.0f; // signed count in steps of the last digit, without the point
    QString ReadingText;       // the display as text, e.g. "-01.234" or "0.L"
    QString UnitText;          // unit and prefix in the display font's characters, e.g. "k*"
    QString AcDcText;          // "AC", "DC" or empty
    QString RangeText;         // "AUTO" or "MANU"
    int RangeCode = 0;
};
