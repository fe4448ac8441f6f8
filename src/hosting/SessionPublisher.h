#pragma once

#include "HealthMessage.h"
#include "PublishConfig.h"
#include "ReadingPublisher.h"

#include <QObject>
#include <QString>

#include <memory>

class LinkHealth;
class MeterSession;

// Publishes what one session stores, and its link health, to an MQTT broker: the piece a host
// plugs onto its session to publish, whatever else it does. It hears the session itself; the
// host only starts it once its table is open (the queue's file lies beside the table) and closes
// it at the end, waiting for the broker a while.
class SessionPublisher : public QObject {
    Q_OBJECT
public:
    // How long an end waits by default for the broker to take the readings still queued.
    static constexpr int kCloseWaitMs = 3000;

    SessionPublisher(MeterSession& session, PublishConfig config, QObject* parent = nullptr);
    ~SessionPublisher() override;

    // Where the publisher's lines go; standard error unless given.
    void setStatus(ReadingPublisher::StatusSink sink);
    // Connects to the broker; what the session stores from now on is published. The session's
    // table must be open.
    void start();
    // Sends what the broker takes within waitMs, then disconnects; closed() follows (at once
    // when nothing was started or nothing waits).
    void close(int waitMs = kCloseWaitMs);
    [[nodiscard]] bool isClosed() const { return m_closed; }
    // The publisher while started, for tests that look into its queue.
    [[nodiscard]] ReadingPublisher* publisher() const { return m_publisher.get(); }

    // The link's counts as the health message gives them, the longest gap up to nowMs.
    [[nodiscard]] static HealthCounts countsOf(const LinkHealth& health, qint64 nowMs);

signals:
    // The broker refused the first attempt (a wrong user, password or permission): the host
    // ends, as trying again will not mend it.
    void refusedAtStart(const QString& why);
    void closed();

private:
    MeterSession& m_session;
    PublishConfig m_config;
    ReadingPublisher::StatusSink m_status;
    std::unique_ptr<ReadingPublisher> m_publisher;
    bool m_closed = false;
};
