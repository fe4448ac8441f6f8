// Publishing what the window stores to an MQTT broker: the same SessionPublisher the logger
// plugs onto its session, following the table (its queue lies beside it), its lines said on the
// status place.
#include "SessionPublisher.h"
#include "StatusBriefs.h"
#include "StatusPlace.h"
#include "TFCOMM.h"

namespace {

const QString kBrokerCause = QStringLiteral("broker");

} // namespace

void TFCOMM::setPublishing(const PublishConfig& config) {
    m_publishConfig = config;
    followTableWithPublisher();
}

void TFCOMM::followTableWithPublisher() {
    if (!m_publishConfig)
        return;
    const ReadingsTable& table = m_session.readings();
    const QString path = table.isOpen() ? table.filePath() : QString();
    if (m_publisher && path == m_publishedTable)
        return;
    closePublisher([] {});
    m_publishedTable = path;
    if (path.isEmpty())
        return;
    m_publisher = std::make_unique<SessionPublisher>(m_session, *m_publishConfig);
    m_publisher->setStatus([this](const QString& line) { sayBrokerLine(line); });
    connect(m_publisher.get(), &SessionPublisher::refusedAtStart, this, [this](const QString& why) {
        m_statusPlace->set(kBrokerCause, why, StatusBriefs::brokerRefused());
        closePublisher([] {});
    });
    m_publisher->start();
}

void TFCOMM::closePublisher(const std::function<void()>& then) {
    if (!m_publisher) {
        then();
        return;
    }
    // The publisher ends on its own, within its wait; what the broker has not taken stays in the
    // queue file for the next start.
    SessionPublisher* closing = m_publisher.release();
    closing->setParent(this);
    connect(closing, &SessionPublisher::closed, this, [closing, then] {
        closing->deleteLater();
        then();
    });
    closing->close(SessionPublisher::kCloseWaitMs);
}

void TFCOMM::sayBrokerLine(const QString& line) {
    // The lines carry their time and "mqtt: "; the status place shows a few words of the lasting
    // ones and clears them once the broker takes readings again.
    if (line.contains(u"connected to the broker")) {
        m_statusPlace->clear(kBrokerCause);
    } else if (line.contains(u"; trying again")) {
        m_statusPlace->set(kBrokerCause, line, StatusBriefs::brokerAway());
    } else if (!line.contains(u"mqtt: publishing to ")) {
        m_statusPlace->set(kBrokerCause, line);
    }
}
