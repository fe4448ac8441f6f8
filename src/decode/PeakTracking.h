#pragma once

#include <QString>

// The lowest and highest reading since the unit or the range last changed.
struct Peaks {
    // Just inside the four-digit counts, so that the first reading after a reset takes both.
    static constexpr float kPeakMaxStart = -8001.0f;
    static constexpr float kPeakMinStart = 8001.0f;

    float PeakMax = kPeakMaxStart;
    float PeakMin = kPeakMinStart;
    QString PeakMaxText;
    QString PeakMinText;
};

// Equal values take the newer text.
inline void updatePeaks(Peaks& peaks, float value, const QString& readingText) {
    if (value >= peaks.PeakMax) {
        peaks.PeakMaxText = readingText;
        peaks.PeakMax = value;
    }
    if (value <= peaks.PeakMin) {
        peaks.PeakMinText = readingText;
        peaks.PeakMin = value;
    }
}
