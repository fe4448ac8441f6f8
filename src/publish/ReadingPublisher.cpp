#include "ReadingPublisher.h"

#include "DiscoveryMessage.h"
#include "ReadingMessage.h"

#include <QDateTime>

#include <algorithm>
#include <cstdio>

namespace {

const QByteArray kOnline = QByteArrayLiteral("online");
const QByteArray kOffline = QByteArrayLiteral("offline");

MqttClient::Settings clientSettings(const PublishConfig& config) {
    MqttClient::Settings s;
    s.host = config.host;
    s.port = config.port;
    s.tls = config.tls;
    s.caFile = config.caFile;
    s.certFile = config.certFile;
    s.keyFile = config.keyFile;
    s.user = config.user;
    s.password = config.password;
    s.clientId =
        config.clientId.isEmpty() ? QStringLiteral("velmar-") + config.meterId : config.clientId;
    s.willTopic = config.topic("status");
    s.willPayload = kOffline;
    return s;
}

QString readingsText(std::size_t n) {
    return n == 1 ? QStringLiteral("1 reading") : QStringLiteral("%1 readings").arg(n);
}

} // namespace

ReadingPublisher::ReadingPublisher(PublishConfig config, QString path, WallClock wallClock,
                                   QObject* parent, std::size_t memoryBound)
    : QObject(parent), m_config(std::move(config)),
      m_readingTopic(m_config.topic("reading").toUtf8()),
      m_statusTopic(m_config.topic("status").toUtf8()),
      m_healthTopic(m_config.topic("health").toUtf8()),
      m_meterTopic(m_config.topic("meter").toUtf8()),
      m_formerDiscoveryTopic(DiscoveryMessage::formerTopic(m_config).toUtf8()),
      m_homeAssistantStatusTopic((m_config.discoveryPrefix + QStringLiteral("/status")).toUtf8()),
      m_client(clientSettings(m_config)), m_queue(std::move(path), memoryBound, m_readingTopic),
      m_wallClock(std::move(wallClock)) {
    connect(&m_client, &MqttClient::connected, this, &ReadingPublisher::onConnected);
    connect(&m_client, &MqttClient::lost, this, &ReadingPublisher::onLost);
    connect(&m_client, &MqttClient::acknowledged, this, &ReadingPublisher::onAcknowledged);
    connect(&m_client, &MqttClient::refused, this, [this](int, const QString& why) {
        refuseAtStart(QStringLiteral("the broker %1 refused the connection: %2")
                          .arg(m_config.brokerText(), why));
    });
    connect(&m_client, &MqttClient::tlsFailed, this, [this](const QString& why) {
        refuseAtStart(QStringLiteral("the broker %1: %2").arg(m_config.brokerText(), why));
    });
    // Home Assistant says "online" on its status topic when it starts: it learns every sensor
    // again, as the retained messages may be gone.
    connect(&m_client, &MqttClient::received, this,
            [this](const QByteArray& topic, const QByteArray& payload) {
                if (topic == m_homeAssistantStatusTopic && payload == kOnline) {
                    for (const Discovered& sensor : m_discovered)
                        publishDiscovery(sensor);
                }
            });
    connect(&m_healthTimer, &QTimer::timeout, this, &ReadingPublisher::healthTick);
    connect(&m_positionTimer, &QTimer::timeout, this, &ReadingPublisher::positionTick);
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, &ReadingPublisher::finishClose);
    m_status = [](const QString& line) { std::fprintf(stderr, "%s\n", qPrintable(line)); };
}

ReadingPublisher::~ReadingPublisher() = default;

void ReadingPublisher::start() {
    say(QStringLiteral("publishing to %1 under %2")
            .arg(m_config.brokerText(), m_config.topic("#").chopped(2)));
    // What a killed run left unacknowledged goes before this run's readings.
    m_queue.resumeLeft();
    sayNotices();
    m_healthTimer.start(kHealthEveryMs);
    m_positionTimer.start(kPositionEveryMs);
    // The first health message goes with the first connection, not a minute later.
    healthTick();
    m_client.start();
}

void ReadingPublisher::refuseAtStart(const QString& line) {
    if (m_everConnected)
        return; // said as a loss, and tried again: it worked before
    // A setting is wrong, and trying again will not mend it: no attempt follows.
    m_client.stop();
    emit refusedAtStart(line);
}

void ReadingPublisher::setMeterAvailable(bool available) {
    if (m_meterAvailable == available)
        return;
    m_meterAvailable = available;
    publishMeterAvailable();
}

void ReadingPublisher::publishMeterAvailable() {
    if (m_client.isConnected())
        (void)m_client.publish(m_meterTopic, m_meterAvailable ? kOnline : kOffline, true);
}

void ReadingPublisher::publishDiscovery(const Discovered& sensor) {
    if (!m_client.isConnected())
        return; // sent at the connection, before any reading
    (void)m_client.publish(DiscoveryMessage::topic(m_config, sensor.quantity).toUtf8(),
                           DiscoveryMessage::of(m_config, sensor.quantity, sensor.precision), true);
}

void ReadingPublisher::publish(const StoredReading& stored) {
    if (m_closing)
        return;
    if (m_config.discovery)
        discover(stored.reading);
    m_queue.push({QueuedMessage::Kind::Reading, ReadingMessage::of(stored)});
    sayNotices();
    send();
}

void ReadingPublisher::discover(const Reading& reading) {
    const Quantity quantity = Quantities::of(reading.UnitText, reading.AcDcText);
    if (quantity == Quantity::None || quantity == m_lastQuantity)
        return;
    m_lastQuantity = quantity;
    const auto seen =
        std::find_if(m_discovered.begin(), m_discovered.end(),
                     [quantity](const Discovered& d) { return d.quantity == quantity; });
    if (seen != m_discovered.end())
        return;
    // Shown with the resolution of the range it was first seen in: a hint to Home Assistant's
    // display only, which a later range does not change.
    const int precision =
        Quantities::baseValueOf(reading.ReadingText, reading.UnitText, reading.AcDcText).precision;
    m_discovered.push_back({quantity, precision});
    publishDiscovery(m_discovered.back());
}

const QByteArray& ReadingPublisher::topicOf(const QueuedMessage& message) const {
    return message.kind == QueuedMessage::Kind::Discovery ? m_formerDiscoveryTopic : m_readingTopic;
}

void ReadingPublisher::send() {
    while (m_client.isConnected() && m_inFlight.size() < kInFlight &&
           m_inFlight.size() < m_queue.inMemory()) {
        const QueuedMessage& message = m_queue.at(m_inFlight.size());
        // An older version's discovery message left in its queue would bring back the one
        // sensor of every unit: it is sent empty, which removes that sensor.
        const bool former = message.kind == QueuedMessage::Kind::Discovery;
        const std::optional<int> id =
            m_client.publish(topicOf(message), former ? QByteArray() : message.payload,
                             former || m_config.retainReadings);
        if (!id)
            return; // the connection went; the loss is handled and the rest waits
        m_inFlight.push_back(*id);
    }
}

void ReadingPublisher::onConnected() {
    say(QStringLiteral("connected to the broker %1%2")
            .arg(m_config.brokerText(),
                 m_queue.empty()
                     ? QString()
                     : QStringLiteral("; sending %1 queued").arg(readingsText(m_queue.size()))));
    m_everConnected = true;
    m_sayLost = true;
    // A new connection starts from a fresh session: what was in flight goes again, in order.
    m_inFlight.clear();
    m_ackedOutOfOrder.clear();
    (void)m_client.publish(m_statusTopic, kOnline, true);
    publishMeterAvailable();
    // A broker that lost its retained messages, or a Home Assistant that started afresh, learns
    // every sensor again before the readings.
    if (m_config.discovery) {
        (void)m_client.subscribe(m_homeAssistantStatusTopic);
        if (!std::exchange(m_formerRemoved, true))
            (void)m_client.publish(m_formerDiscoveryTopic, QByteArray(), true);
    }
    for (const Discovered& sensor : m_discovered)
        publishDiscovery(sensor);
    if (m_healthWaiting)
        publishHealth();
    send();
}

void ReadingPublisher::onLost(const QString& why) {
    m_inFlight.clear();
    m_ackedOutOfOrder.clear();
    if (m_closing) {
        finishClose();
        return;
    }
    if (!std::exchange(m_sayLost, false))
        return;
    say(QStringLiteral("the broker %1 %2: %3; trying again, readings are queued")
            .arg(m_config.brokerText(),
                 m_everConnected ? QStringLiteral("is gone") : QStringLiteral("cannot be reached"),
                 why));
}

void ReadingPublisher::onAcknowledged(int messageId) {
    if (std::find(m_inFlight.begin(), m_inFlight.end(), messageId) == m_inFlight.end())
        return; // a status or health message, or one of an earlier connection
    m_ackedOutOfOrder.push_back(messageId);
    // The queue's front goes only once every message before it is acknowledged too.
    while (!m_inFlight.empty()) {
        const auto acked =
            std::find(m_ackedOutOfOrder.begin(), m_ackedOutOfOrder.end(), m_inFlight.front());
        if (acked == m_ackedOutOfOrder.end())
            break;
        m_ackedOutOfOrder.erase(acked);
        m_inFlight.pop_front();
        m_queue.pop();
    }
    sayNotices();
    if (m_closing && m_queue.empty()) {
        finishClose();
        return;
    }
    send();
}

void ReadingPublisher::healthTick() {
    if (!m_health)
        return;
    m_lastHealth = m_health();
    m_lastHealth.queued = qint64(m_queue.size());
    m_healthWaiting = true;
    if (m_client.isConnected())
        publishHealth();
}

void ReadingPublisher::positionTick() {
    m_queue.savePosition();
    sayNotices();
}

void ReadingPublisher::publishHealth() {
    if (m_client.publish(m_healthTopic, HealthMessage::of(m_lastHealth, m_wallClock()), true))
        m_healthWaiting = false;
}

void ReadingPublisher::close(int waitMs) {
    if (m_closing)
        return;
    m_closing = true;
    m_healthTimer.stop();
    m_positionTimer.stop();
    if (m_queue.empty() || !m_client.isConnected()) {
        finishClose();
        return;
    }
    m_closeTimer.start(waitMs);
}

void ReadingPublisher::finishClose() {
    if (std::exchange(m_closed, true))
        return;
    m_closeTimer.stop();
    if (m_client.isConnected())
        (void)m_client.publish(m_statusTopic, kOffline, true);
    m_client.stop();
    const std::size_t waiting = m_queue.size();
    const PublishQueue::Kept kept = m_queue.keepForNextStart();
    sayNotices();
    if (kept.messages > 0)
        say(QStringLiteral("%1 not acknowledged by the broker %2: kept for the next start in %3 "
                           "(the table has them)")
                .arg(readingsText(kept.readings), m_config.brokerText(), m_queue.path()));
    else if (waiting > 0)
        say(QStringLiteral("%1 not acknowledged by the broker %2 (the table has them)")
                .arg(readingsText(waiting), m_config.brokerText()));
    QMetaObject::invokeMethod(this, &ReadingPublisher::closed, Qt::QueuedConnection);
}

void ReadingPublisher::sayNotices() {
    for (const QString& notice : m_queue.takeNotices())
        say(notice);
}

void ReadingPublisher::say(const QString& text) {
    m_status(m_wallClock().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss ")) +
             QStringLiteral("mqtt: ") + text);
}
