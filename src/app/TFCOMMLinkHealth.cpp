// What the window does when the line misbehaves, and what it tells the user about the line.
#include "DeviceWatcher.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"

#include <chrono>

void TFCOMM::bindLink() {
    m_linkClock = [] {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    };
}

void TFCOMM::setLinkClock(LinkClock clock) {
    m_linkClock = std::move(clock);
}

qint32 TFCOMM::tryWriteByte(std::uint8_t byte) {
    return COMM2 ? COMM2->TrySendBytes(&byte, 1) : -1;
}

void TFCOMM::LinkWatchTimer() {}

void TFCOMM::HealthTimerTimer() {}
