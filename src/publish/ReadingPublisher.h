#pragma once

#include "HealthMessage.h"
#include "MqttClient.h"
#include "PublishConfig.h"
#include "PublishQueue.h"
#include "Quantity.h"
#include "StoredReading.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

// Publishes every stored reading to the broker, QoS 1, in the order stored, and keeps each one
// until the broker has acknowledged it, so that a broker that is away or restarted, or a kill of
// the process, loses none: they wait in the queue (its file, the oldest in memory too) and go out
// in order when it is back; a reconnection sends again what was not acknowledged, and a start
// after a kill what was in flight and what was acknowledged since the queue file last noted it
// (at most a second's worth, or PublishQueue::kPositionEvery), so a subscriber may see a repeat,
// which its run and number let it drop. Readings a killed run left in the queue file, or an ended
// run kept there, go first, each with its own run and number. Beside the readings: the retained
// status
// ("online", with "offline" as the will and at a clean end), whether the meter answers (retained,
// as the host says it), the retained link health at the start and once a minute, and with
// discovery one Home Assistant sensor for each quantity shown, sent when the quantity first
// appears and again at every connection and whenever Home Assistant says it started.
class ReadingPublisher : public QObject {
    Q_OBJECT
public:
    using StatusSink = std::function<void(const QString& line)>;
    using HealthSource = std::function<HealthCounts()>;
    // The local date and time that stamps the health messages and the status lines.
    using WallClock = std::function<QDateTime()>;

    // Messages handed to the library and not yet acknowledged, at most.
    static constexpr std::size_t kInFlight = 32;
    static constexpr int kHealthEveryMs = 60 * 1000;
    // How often the queue file notes how far the broker has acknowledged: what a kill makes the
    // next start send again, beside what was in flight.
    static constexpr int kPositionEveryMs = 1000;

    ReadingPublisher(PublishConfig config, QString path, WallClock wallClock,
                     QObject* parent = nullptr,
                     std::size_t memoryBound = PublishQueue::kMemoryBound);
    ~ReadingPublisher() override;

    void setStatus(StatusSink sink) { m_status = std::move(sink); }
    void setHealthSource(HealthSource source) { m_health = std::move(source); }

    void start();
    void publish(const StoredReading& stored);
    // Whether the meter answers (its line is there and it is not silent), retained on
    // <topic>/<meter>/meter; false until the host says otherwise.
    void setMeterAvailable(bool available);
    // Sends what the broker takes within waitMs, then the retained "offline", and disconnects;
    // what it has not acknowledged is kept in the queue file for the next start. closed()
    // follows (at once when nothing waits).
    void close(int waitMs);

    void healthTick();
    void positionTick();
    [[nodiscard]] std::size_t queued() const { return m_queue.size(); }
    [[nodiscard]] bool isConnected() const { return m_client.isConnected(); }
    [[nodiscard]] const PublishQueue& queue() const { return m_queue; }

signals:
    // Before any connection succeeded the broker refused the login (bad user or password, not
    // authorised) or TLS failed (a certificate that does not verify, a port without TLS): a
    // setting is wrong, and trying again will not mend it. Nothing is tried after.
    void refusedAtStart(const QString& line);
    void closed();

private:
    // A sensor Home Assistant was told of, with the display precision of its first reading.
    struct Discovered {
        Quantity quantity;
        int precision;
    };

    void onConnected();
    void refuseAtStart(const QString& line);
    void discover(const Reading& reading);
    void publishDiscovery(const Discovered& sensor);
    void publishMeterAvailable();
    void onLost(const QString& why);
    void onAcknowledged(int messageId);
    void send(); // hands queued messages to the library, up to kInFlight
    void publishHealth();
    void finishClose();
    void sayNotices();
    void say(const QString& text);
    [[nodiscard]] const QByteArray& topicOf(const QueuedMessage& message) const;

    PublishConfig m_config;
    // Worked out once: each message names one of them.
    QByteArray m_readingTopic;
    QByteArray m_statusTopic;
    QByteArray m_healthTopic;
    QByteArray m_meterTopic;
    QByteArray m_formerDiscoveryTopic;
    QByteArray m_homeAssistantStatusTopic;
    MqttClient m_client;
    PublishQueue m_queue;
    // Ids of the messages handed to the library, oldest first: the queue's first entries.
    std::deque<int> m_inFlight;
    std::deque<int> m_ackedOutOfOrder;
    std::vector<Discovered> m_discovered;
    Quantity m_lastQuantity = Quantity::None;
    bool m_formerRemoved = false;
    bool m_meterAvailable = false;
    bool m_everConnected = false;
    bool m_sayLost = true; // the next loss is said; repeats while the broker is away are not
    bool m_closing = false;
    bool m_closed = false;
    HealthCounts m_lastHealth;
    bool m_healthWaiting = false; // a health message waits for a connection
    QTimer m_healthTimer;
    QTimer m_positionTimer;
    QTimer m_closeTimer;
    StatusSink m_status;
    HealthSource m_health;
    WallClock m_wallClock;
};
