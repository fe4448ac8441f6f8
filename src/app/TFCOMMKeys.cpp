// The meter's front-panel keys, operated from the window's key panels.
#include "BevelPanel.h"
#include "KeyCommands.h"
#include "TFCOMM.h"
#include "TopRow.h"

#include <QTimer>

void TFCOMM::BtSetMouseDown(BevelPanel* sender) {
    const int key = m_topRow->keyIndexOf(sender);
    if (key >= 0) {
        m_keyBaseCode = longPressCode(static_cast<MeterKey>(key));
        m_topRow->showPressed(sender);
    }
    if (key == TopRow::kRelKey)
        m_session.pressRel();
    // Starting a running timer would restart it; the long press counts from the first press.
    if (!TdownB->isActive())
        TdownB->start();
}

void TFCOMM::BtSetMouseUp(BevelPanel*) {
    m_topRow->showAllReleased();
    const bool longPress = !TdownB->isActive();
    TdownB->stop();
    WriteTo232(keyCodeAtRelease(m_keyBaseCode, longPress));
}

void TFCOMM::TdownBTimer() {
    TdownB->stop();
}
