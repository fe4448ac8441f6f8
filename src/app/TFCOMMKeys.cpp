// The meter's front-panel keys, operated from the window's key panels.
#include "BevelPanel.h"
#include "TFCOMM.h"
#include "TopRow.h"

#include <QTimer>

void TFCOMM::BtSetMouseDown(BevelPanel* sender) {
    const int key = m_topRow->keyIndexOf(sender);
    if (key < 0)
        return;
    m_topRow->showPressed(sender);
    m_session.pressKey(static_cast<MeterKey>(key));
    // TdownB runs while a key is held, counting from the first press; starting it again would
    // restart it. Whether the press was long the session tells from the press and release times.
    if (!TdownB->isActive())
        TdownB->start();
}

void TFCOMM::BtSetMouseUp(BevelPanel*) {
    m_topRow->showAllReleased();
    TdownB->stop();
    m_session.releaseKey();
}

void TFCOMM::TdownBTimer() {
    TdownB->stop();
}
