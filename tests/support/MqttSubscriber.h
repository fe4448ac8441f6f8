#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTest>

#include <mosquitto.h>

#include <mutex>
#include <utility>

// A subscriber with a persistent session (QoS 1, clean session off, a fixed id), so that what is
// published while it is away or the broker restarts reaches it when it is back. libmosquitto's
// own thread runs it and reconnects it; the test reads what arrived.
class MqttSubscriber {
public:
    struct Message {
        QString topic;
        QByteArray payload;
        bool retained = false;
    };

    MqttSubscriber(int port, const QString& topic, const QString& id = QStringLiteral("test-sub"))
        : m_topic(topic.toUtf8()) {
        mosquitto_lib_init();
        m_mosq = mosquitto_new(id.toUtf8().constData(), false, this);
        mosquitto_connect_callback_set(m_mosq, [](mosquitto* m, void* self, int code) {
            if (code == 0)
                mosquitto_subscribe(m, nullptr,
                                    static_cast<MqttSubscriber*>(self)->m_topic.constData(), 1);
        });
        mosquitto_subscribe_callback_set(m_mosq, [](mosquitto*, void* self, int, int, const int*) {
            auto* me = static_cast<MqttSubscriber*>(self);
            std::lock_guard lock(me->m_mutex);
            ++me->m_subscriptions;
        });
        mosquitto_message_callback_set(m_mosq, [](mosquitto*, void* self,
                                                  const mosquitto_message* m) {
            auto* me = static_cast<MqttSubscriber*>(self);
            std::lock_guard lock(me->m_mutex);
            me->m_messages.append({QString::fromUtf8(m->topic),
                                   QByteArray(static_cast<const char*>(m->payload), m->payloadlen),
                                   m->retain});
        });
        mosquitto_reconnect_delay_set(m_mosq, 1, 2, false);
        mosquitto_connect_async(m_mosq, "127.0.0.1", port, 20);
        mosquitto_loop_start(m_mosq);
    }
    ~MqttSubscriber() {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, false);
        mosquitto_destroy(m_mosq);
    }

    // True once the broker confirmed the subscription.
    [[nodiscard]] bool waitSubscribed(int timeoutMs = 20'000) {
        return QTest::qWaitFor(
            [this] {
                std::lock_guard lock(m_mutex);
                return m_subscriptions > 0;
            },
            timeoutMs);
    }

    // Publishes as another client would, QoS 1.
    void publish(const QByteArray& topic, const QByteArray& payload) {
        mosquitto_publish(m_mosq, nullptr, topic.constData(), int(payload.size()),
                          payload.constData(), 1, false);
    }

    [[nodiscard]] QList<Message> messages() {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    [[nodiscard]] QList<Message> messagesOn(const QString& topic) {
        QList<Message> on;
        for (const Message& m : messages())
            if (m.topic == topic)
                on << m;
        return on;
    }

private:
    QByteArray m_topic;
    mosquitto* m_mosq = nullptr;
    std::mutex m_mutex;
    QList<Message> m_messages;
    int m_subscriptions = 0;
};
