#pragma once

#include "PeakTracking.h"

#include <QString>

// The MIN and MAX rows across frames. A change of unit or range starts them afresh from values
// that any reading passes, so the next reading takes both rows whatever its size: five-digit and
// frequency readings lie beyond the four-digit full scale of 8001 and would otherwise never
// replace the reset values. As before, the MIN row shows the reading taken at the change and the
// MAX row keeps its old text until the next frame.
class PeakTracker {
public:
    // Starts the peaks afresh for a reading whose text is `readingText`.
    static void restart(Peaks& peaks, const QString& readingText);

    // One frame's reading. Returns true when its unit or range differs from the previous frame's
    // (the trend chart starts afresh then).
    [[nodiscard]] bool track(float value, const QString& readingText, const QString& unitText,
                             int rangeCode);

    [[nodiscard]] const Peaks& peaks() const { return current; }
    [[nodiscard]] const QString& prevUnitText() const { return PrevUnitText; }
    [[nodiscard]] int prevRangeCode() const { return PrevRangeCode; }

private:
    Peaks current;
    // Never a real unit text, so that the first frame counts as a change.
    QString PrevUnitText = QStringLiteral("113");
    int PrevRangeCode = 0;
};
