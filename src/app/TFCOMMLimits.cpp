// The MIN/MAX limits: the two edits with their check boxes, the alarm against them, and the peak
// rows.
#include "TFCOMM.h"

#include "AlarmLimits.h"
#include "DialPanel.h"
#include "LimitText.h"
#include "LimitsPanel.h"
#include "PeakTracker.h"
#include "UserMessages.h"

#include <QKeyEvent>
#include <QLineEdit>

void TFCOMM::SetmaxExit() {
    setLimitFrom(Setmax->text(), limitState.MaxLimit);
}

void TFCOMM::SetMinExit() {
    setLimitFrom(SetMin->text(), limitState.MinLimit);
}

// A text that is not a whole number leaves the limit and the dial as they were.
void TFCOMM::setLimitFrom(const QString& text, float& limit) {
    const LimitText::Result parsed = LimitText::parse(text);
    if (!parsed.value) {
        m_messages->error(parsed.error);
        return;
    }
    limit = static_cast<float>(*parsed.value);
    KDsetup(0);
}

bool TFCOMM::SetmaxKeyPress(const QKeyEvent& key) {
    // Only character keys are filtered; moving the cursor and deleting stay possible.
    const QString text = key.text();
    if (text.isEmpty() || key.key() == Qt::Key_Delete)
        return false;
    return !LimitText::acceptsKey(text.front());
}

void TFCOMM::LimitAlarmTest() {
    const AlarmLimits armed{limits->isMaxArmed(), limitState.MaxLimit, limits->isMinArmed(),
                            limitState.MinLimit};
    const bool alarm = armed.exceededBy(reading.ReadingValue);
    if (alarm)
        m_messages->beep();
    dial->setAlarmShown(alarm);
}

void TFCOMM::TrackPeaks() {
    if (reading.UnitText != previous.PrevUnitText || reading.RangeCode != previous.PrevRangeCode) {
        BtNewClick();
        PeakTracker::restart(peaks, reading.ReadingText);
        previous.PrevUnitText = reading.UnitText;
    } else {
        updatePeaks(peaks, reading.ReadingValue, reading.ReadingText);
    }
    previous.PrevRangeCode = reading.RangeCode;
    limits->showPeaks(peaks.PeakMinText, peaks.PeakMaxText, reading.UnitText);
}
