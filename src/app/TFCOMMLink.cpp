// The conversation with the meter, as the window takes part in it: the timers' ticks, connect
// and disconnect, and the choice of port. The session does the work; the window shows its state.
#include "TFCOMM.h"
#include "TopRow.h"
#include "UserMessages.h"

#include "MainMenu.h"

void TFCOMM::Timer1Timer() {
    m_session.requestTick();
}

void TFCOMM::ConTimerTimer() {
    m_session.linkTick();
}

void TFCOMM::BTCon1Click() {
    if (m_session.isConnected())
        return;
    if (!m_session.connectLine()) {
        // A port that cannot be opened is said so, and the screen stays disconnected.
        m_messages->error(QStringLiteral("The port cannot be opened: %1.")
                              .arg(m_session.lastOpenError().describe()));
        return;
    }
    m_linkNotices.forget();
    showLinkHint();
    m_menu->showConnected(true);
    m_topRow->showConnected(true);
}

void TFCOMM::BtDiscon1Click() {
    m_menu->showConnected(false);
    m_session.disconnectLine();
    m_linkNotices.forget();
    showLinkHint();
    m_topRow->showConnected(false);
}

void TFCOMM::choosePort(int port) {
    // While connected, or waiting for a device that went away, the port panels do nothing, as
    // the ComSetup menu is disabled.
    if (!m_session.choosePort(port))
        return;
    m_menu->showPort(port);
    m_topRow->showPort(port);
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
