#include "RequestWriter.h"

#include "LinkHealth.h"
#include "RequestCycle.h"
#include "TCommPortDriver.h"

#include <utility>

RequestWriter::RequestWriter(TryWrite tryWrite, LinkHealth* health)
    : m_tryWrite(std::move(tryWrite)), m_health(health) {}

RequestWriter::RequestWriter(TCommPortDriver& port, LinkHealth* health)
    : RequestWriter([&port](std::uint8_t byte) { return port.TrySendBytes(&byte, 1); }, health) {}

bool RequestWriter::isRequest(std::uint8_t byte) {
    return byte == RequestCycle::kMainDisplayRequest || byte == RequestCycle::kBarGraphRequest;
}

RequestWriter::Outcome RequestWriter::write(std::uint8_t byte) {
    return isRequest(byte) ? sendRequest(byte) : sendKey(byte);
}

RequestWriter::Outcome RequestWriter::sendRequest(std::uint8_t request) {
    const qint32 taken = m_tryWrite(request);
    if (taken < 0)
        return Outcome::NotOpen;
    if (taken == 0) {
        if (m_health)
            m_health->countRequestSkipped();
        return Outcome::Skipped;
    }
    if (m_health)
        m_health->countRequestSent();
    return Outcome::Sent;
}

RequestWriter::Outcome RequestWriter::sendKey(std::uint8_t code) {
    if (!m_keys.empty()) {
        m_keys.push_back(code);
        flushKeys();
        return m_keys.empty() ? Outcome::Sent : Outcome::Kept;
    }
    const qint32 taken = m_tryWrite(code);
    if (taken < 0)
        return Outcome::NotOpen;
    if (taken > 0)
        return Outcome::Sent;
    m_keys.push_back(code);
    return Outcome::Kept;
}

void RequestWriter::flushKeys() {
    while (!m_keys.empty()) {
        const qint32 taken = m_tryWrite(m_keys.front());
        if (taken < 0) {
            m_keys.clear();
            return;
        }
        if (taken == 0)
            return;
        m_keys.pop_front();
    }
}
