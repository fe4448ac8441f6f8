// The meter's front-panel keys, operated from the window's key panels.
#include "BevelPanel.h"
#include "KeyCommands.h"
#include "TFCOMM.h"

#include <QTimer>

void TFCOMM::BtSetMouseDown(BevelPanel* sender) {
    const std::pair<BevelPanel*, MeterKey> panelKeys[] = {
        {BtRange, MeterKey::Range},   {BtHz, MeterKey::Hz},         {BtHold, MeterKey::Hold},
        {BtRel, MeterKey::Rel},       {BtRecord, MeterKey::Record}, {BtPeak, MeterKey::Peak},
        {BtBuzzer, MeterKey::Buzzer}, {BtSel, MeterKey::Sel}};
    for (const auto& [panel, key] : panelKeys) {
        if (panel != sender)
            continue;
        m_keyBaseCode = longPressCode(key);
        panel->setBevels(BevelPanel::Bevel::Raised, BevelPanel::Bevel::Lowered);
        break;
    }
    if (sender == BtRel)
        m_session.pressRel();
    // Starting a running timer would restart it; the long press counts from the first press.
    if (!TdownB->isActive())
        TdownB->start();
}

void TFCOMM::BtSetMouseUp(BevelPanel*) {
    for (BevelPanel* panel : {BtPeak, BtRecord, BtRange, BtHold, BtSel, BtRel, BtHz})
        panel->setBevels(BevelPanel::Bevel::Lowered, BevelPanel::Bevel::Raised);
    const bool longPress = !TdownB->isActive();
    TdownB->stop();
    WriteTo232(keyCodeAtRelease(m_keyBaseCode, longPress));
}

void TFCOMM::TdownBTimer() {
    TdownB->stop();
}
