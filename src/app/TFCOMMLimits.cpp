// The MIN/MAX limits: the two edits with their check boxes, handed to the session's alarm and
// shown in the dial's band.
#include "TFCOMM.h"

#include "AlarmLimits.h"
#include "LimitText.h"
#include "LimitsPanel.h"
#include "UserMessages.h"

#include <QKeyEvent>
#include <QLineEdit>

void TFCOMM::SetmaxExit() {
    const LimitText::Result parsed = LimitText::parse(Setmax->text());
    if (!parsed.value) {
        m_messages->error(parsed.error);
        return;
    }
    AlarmLimits next = m_session.alarmLimits();
    next.MaxLimit = static_cast<float>(*parsed.value);
    m_session.setAlarmLimits(next);
    KDsetup(0);
}

// A text that is not a whole number leaves the limit and the dial as they were.
void TFCOMM::SetMinExit() {
    const LimitText::Result parsed = LimitText::parse(SetMin->text());
    if (!parsed.value) {
        m_messages->error(parsed.error);
        return;
    }
    AlarmLimits next = m_session.alarmLimits();
    next.MinLimit = static_cast<float>(*parsed.value);
    m_session.setAlarmLimits(next);
    KDsetup(0);
}

// The check boxes arm the limits at once, whatever their edits hold.
void TFCOMM::applyLimits() {
    AlarmLimits next = m_session.alarmLimits();
    next.maxArmed = limits->isMaxArmed();
    next.minArmed = limits->isMinArmed();
    m_session.setAlarmLimits(next);
}

bool TFCOMM::SetmaxKeyPress(const QKeyEvent& key) {
    // Only character keys are filtered; moving the cursor and deleting stay possible.
    const QString text = key.text();
    if (text.isEmpty() || key.key() == Qt::Key_Delete)
        return false;
    return !LimitText::acceptsKey(text.front());
}
