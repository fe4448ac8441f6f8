// The conversation with the meter: request cycle, frame reception and dispatch, the link
// picture, connect and disconnect, and the choice of port.
#include "BevelPanel.h"
#include "DialPanel.h"
#include "MltDigits.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"
#include "UserMessages.h"

#include <QAction>
#include <QMenu>

// Never waits for the line: a request it has no room for is skipped and counted (the next tick
// asks again), a key code is kept for the next tick. A closed port sends nothing.
void TFCOMM::WriteTo232(std::uint8_t b) {
    (void)m_requestWriter.write(b);
}

void TFCOMM::Timer1Timer() {
    m_requestWriter.flushKeys();
    if (const auto request = requestCycle.step())
        WriteTo232(*request);
}

void TFCOMM::VelmarCDRData(TCommPortDriver*, const std::uint8_t* data, qint32 size) {
    if (size > 0)
        m_frameCutter.feed(data, static_cast<std::size_t>(size), m_linkClock());
}

// Only whole frames of a known kind reach the decoders: a frame that lost a byte would otherwise
// become a stored wrong reading. Every line is traced and counted.
void TFCOMM::dispatchFrame(const QString& frameHex) {
    Memo1.append(frameHex);
    const qint64 now = m_linkClock();
    switch (linkHealth.countLine(frameHex, now)) {
    case LineVerdict::MainDisplay:
        m_lastFrameMs = now;
        FrameHex = frameHex;
        LcdDisplayVelmarCD(1);
        return;
    case LineVerdict::BarGraph:
        m_lastFrameMs = now;
        FrameHex = frameHex;
        MltDigits = mltDigitsOf(frameHex);
        LcdDisplayVelmarCDMlt(1);
        return;
    case LineVerdict::TooShort:
    case LineVerdict::UnknownKind:
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
    const qint64 now = m_linkClock();
    m_frameCutter.expire(now);
    showLinkHealth(now);
}

void TFCOMM::BTCon1Click() {
    if (COMM2->IsConnected())
        return;
    m_frameCutter.reset();
    m_requestWriter.clear();
    if (!COMM2->Connect()) {
        // A port that cannot be opened is said so, and the screen stays disconnected.
        m_messages->error(QStringLiteral("The port cannot be opened: %1.")
                              .arg(COMM2->lastOpenError().describe()));
        return;
    }
    startLinkHealth();
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
    endLinkHealth();
    COMM2->Disconnect();
    m_frameCutter.reset();
    m_requestWriter.clear();
    BTCon->show();
    BtDiscon->hide();
}

void TFCOMM::choosePort(int port) {
    // While connected the open port stays, so the choice would show a port that is not the one
    // in use; the port panels do nothing then, as the ComSetup menu is disabled. That holds too
    // while the window waits for a device that went away to come back.
    if (COMM2->IsConnected() || m_linkInUse)
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
