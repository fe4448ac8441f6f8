#include "PeakTracker.h"

#include <limits>

void PeakTracker::restart(Peaks& peaks, const QString& readingText) {
    peaks.PeakMinText = readingText;
    peaks.PeakMax = -std::numeric_limits<float>::infinity();
    peaks.PeakMin = std::numeric_limits<float>::infinity();
}

bool PeakTracker::track(float value, const QString& readingText, const QString& unitText,
                        int rangeCode) {
    const bool reset = unitText != PrevUnitText || rangeCode != PrevRangeCode;
    if (reset) {
        restart(current, readingText);
        PrevUnitText = unitText;
    } else {
        updatePeaks(current, value, readingText);
    }
    PrevRangeCode = rangeCode;
    return reset;
}
