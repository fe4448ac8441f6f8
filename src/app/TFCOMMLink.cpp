// The conversation with the meter: request cycle, frame reception and dispatch, the link
// picture, connect and disconnect, and the choice of port.
#include "BevelPanel.h"
#include "DialPanel.h"
#include "FrameKind.h"
#include "MltDigits.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"
#include "UserMessages.h"

#include <QAction>
#include <QMenu>

void TFCOMM::WriteTo232(std::uint8_t b) {
    // A closed port sends nothing; the meter's silence shows in the link picture.
    (void)COMM2->SendBytes(&b, 1);
}

void TFCOMM::Timer1Timer() {
    if (const auto request = requestCycle.step())
        WriteTo232(*request);
}

void TFCOMM::VelmarCDRData(TCommPortDriver*, const std::uint8_t* data, qint32 size) {
    if (size > 0)
        m_frameCutter.feed(data, static_cast<std::size_t>(size));
}

void TFCOMM::dispatchFrame(const QString& frameHex) {
    FrameHex = frameHex;
    Memo1.append(frameHex);
    switch (frameKindOf(frameHex)) {
    case FrameKind::MainDisplay:
        LcdDisplayVelmarCD(1);
        return;
    case FrameKind::BarGraph:
        MltDigits = mltDigitsOf(frameHex);
        LcdDisplayVelmarCDMlt(1);
        return;
    case FrameKind::Other:
        return;
    }
}

void TFCOMM::MarkLinkAlive() {
    linkIndicator.markAlive();
    dial->setLinked(true);
}

void TFCOMM::ConTimerTimer() {
    if (linkIndicator.tick())
        dial->setLinked(false);
}

void TFCOMM::BTCon1Click() {
    if (COMM2->IsConnected())
        return;
    m_frameCutter.reset();
    if (!COMM2->Connect()) {
        // A port that cannot be opened is said so, and the screen stays disconnected.
        m_messages->error(QStringLiteral("The port cannot be opened: %1.")
                              .arg(COMM2->lastOpenError().describe()));
        return;
    }
    ComSetup->setEnabled(false);
    START1->setChecked(true);
    START1->setEnabled(false);
    STOP1->setEnabled(true);
    STOP1->setChecked(false);
    BTCon->hide();
    BtDiscon->show();
}

void TFCOMM::BtDiscon1Click() {
    ComSetup->setEnabled(true);
    START1->setChecked(false);
    START1->setEnabled(true);
    STOP1->setEnabled(false);
    STOP1->setChecked(true);
    COMM2->Disconnect();
    m_frameCutter.reset();
    BTCon->show();
    BtDiscon->hide();
}

void TFCOMM::choosePort(int port) {
    // While connected the open port stays, so the choice would show a port that is not the one
    // in use; the port panels do nothing then, as the ComSetup menu is disabled.
    if (COMM2->IsConnected())
        return;
    QAction* entries[] = {COM11, COM21, COM31, COM41};
    BevelPanel* panels[] = {BtCOM1, BtCOM2, BtCOM3, BtCOM4};
    for (int i = 0; i < 4; ++i) {
        entries[i]->setChecked(i + 1 == port);
        panels[i]->setVisible(i + 1 == port);
    }
    COMM2->setComPort(static_cast<TComPortNumber>(pnCOM1 + port - 1));
}

void TFCOMM::COM11Click() {
    choosePort(1);
}

void TFCOMM::COM21Click() {
    choosePort(2);
}

void TFCOMM::COM31Click() {
    choosePort(3);
}

void TFCOMM::COM41Click() {
    choosePort(4);
}
