#include "SessionPublisher.h"

#include "LinkHealth.h"
#include "MeterSession.h"
#include "PublishQueue.h"

SessionPublisher::SessionPublisher(MeterSession& session, PublishConfig config, QObject* parent)
    : QObject(parent), m_session(session), m_config(std::move(config)) {}

SessionPublisher::~SessionPublisher() = default;

void SessionPublisher::setStatus(ReadingPublisher::StatusSink sink) {
    m_status = std::move(sink);
    if (m_publisher && m_status)
        m_publisher->setStatus(m_status);
}

void SessionPublisher::start() {
    if (m_publisher || m_closed)
        return;
    m_publisher = std::make_unique<ReadingPublisher>(
        m_config, PublishQueue::pathFor(m_session.readings().filePath()),
        [this] { return m_session.wallNow(); });
    ReadingPublisher* publisher = m_publisher.get();
    if (m_status)
        publisher->setStatus(m_status);
    publisher->setHealthSource(
        [this] { return countsOf(m_session.linkHealth(), m_session.now()); });
    connect(&m_session, &MeterSession::readingStored, publisher, &ReadingPublisher::publish);
    // The meter answers while frames come and its line is there.
    connect(&m_session, &MeterSession::mainFrame, publisher,
            [publisher] { publisher->setMeterAvailable(true); });
    connect(&m_session, &MeterSession::silenceBegan, publisher,
            [publisher] { publisher->setMeterAvailable(false); });
    connect(&m_session, &MeterSession::deviceGone, publisher,
            [publisher] { publisher->setMeterAvailable(false); });
    connect(publisher, &ReadingPublisher::refusedAtStart, this, &SessionPublisher::refusedAtStart);
    connect(publisher, &ReadingPublisher::closed, this, [this] {
        m_closed = true;
        emit closed();
    });
    publisher->start();
}

void SessionPublisher::close(int waitMs) {
    if (m_closed)
        return;
    if (!m_publisher) {
        m_closed = true;
        emit closed();
        return;
    }
    m_publisher->close(waitMs);
}

HealthCounts SessionPublisher::countsOf(const LinkHealth& health, qint64 nowMs) {
    HealthCounts c;
    c.requestsSent = health.requestsSent();
    c.requestsSkipped = health.requestsSkipped();
    c.mainFrames = health.mainFrames();
    c.barFrames = health.barFrames();
    c.staleLines = health.staleLines();
    c.shortLines = health.shortLines();
    c.unknownLines = health.unknownLines();
    c.reconnects = health.reconnects();
    c.longestMainGapMs = health.longestMainGapMs(nowMs);
    return c;
}
