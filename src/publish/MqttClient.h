#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QSocketNotifier;
struct mosquitto;
struct mosquitto_message;

// One connection to an MQTT broker through libmosquitto, driven by the Qt event loop through the
// library's socket: a notifier calls the library when the socket can be read or written and a
// timer lets it keep the connection alive, so that no call ever waits for the broker. Only the
// library's connect call runs on a thread of its own, because it looks the host name up with a
// lookup that a slow or dead resolver holds for seconds; the library object is that thread's
// alone until the call returns. A connection that fails, ends or goes unanswered is tried again
// after a growing pause; each attempt starts from a fresh library object, so the caller alone
// decides what is sent again and in which order.
class MqttClient : public QObject {
    Q_OBJECT
public:
    struct Settings {
        QString host;
        int port = 1883;
        bool tls = false;
        QString caFile;   // with tls; empty: the system's certificate authorities
        QString certFile; // with tls: the client's certificate and key; empty: none
        QString keyFile;
        QString user; // empty: no login
        QString password;
        QString clientId;
        QString willTopic; // empty: no will
        QByteArray willPayload;
        int keepAliveSeconds = 20;
        // An attempt that has no answer after this long is dropped and tried again.
        int answerTimeoutMs = 10'000;
    };

    explicit MqttClient(Settings settings, QObject* parent = nullptr);
    ~MqttClient() override;

    // Starts connecting, and keeps trying until stop().
    void start();
    // Says goodbye to the broker when connected (so that it does not send the will), and stops.
    void stop();

    [[nodiscard]] bool isConnected() const { return m_connected; }
    // Queues a QoS 1 message; its id, or nothing when not connected or the library refuses it.
    [[nodiscard]] std::optional<int> publish(const QByteArray& topic, const QByteArray& payload,
                                             bool retain);

    // Subscribes, QoS 1, while connected; received() brings what arrives.
    bool subscribe(const QByteArray& topic);

    // The pause before the next attempt after `failures` attempts in a row failed.
    [[nodiscard]] static int retryDelayMs(int failures);

signals:
    void connected();
    // The broker answered the attempt with a refusal (code from its CONNACK).
    void refused(int code, const QString& why);
    // The TLS handshake failed (the broker's certificate did not verify, or the port does not
    // speak TLS); lost() follows with the same reason.
    void tlsFailed(const QString& why);
    // An attempt failed or the connection ended; tried again after a pause.
    void lost(const QString& why);
    void acknowledged(int messageId);
    void received(const QByteArray& topic, const QByteArray& payload);

public:
    // Shared by the client and the thread making the connect call.
    struct PendingConnect;

private:
    static void onConnect(mosquitto*, void* self, int code);
    static void onDisconnect(mosquitto*, void* self, int code);
    static void onPublish(mosquitto*, void* self, int messageId);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void onLog(mosquitto* mosq, void* self, int level, const char* text);

    void attempt();
    // The connect call, with the attempt's library object, off this thread.
    static void connectOffThread(std::shared_ptr<PendingConnect> pending);
    void connectReturned(const std::shared_ptr<PendingConnect>& pending);
    // Leaves a connect call that has not returned to end on its own, and frees what it used.
    void abandonPending();
    [[nodiscard]] QString prepare(); // a fresh library object with the settings; error text
    void onReadable();
    void onWritable();
    void onMiscTick();
    // After every call into the library: handles what its callbacks said and follows its socket.
    void settle(int result);
    void drop(const QString& given);
    void followSocket();
    void release();

    Settings m_settings;
    mosquitto* m_mosq = nullptr;
    // The attempt whose connect call has not come back yet; m_mosq is null meanwhile.
    std::shared_ptr<PendingConnect> m_pending;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QTimer m_miscTimer;
    QTimer m_retryTimer;
    QTimer m_answerTimer;
    bool m_running = false;
    bool m_connected = false;
    int m_failures = 0;
    // Set by the library's callbacks, acted on once the library has returned.
    std::optional<int> m_connack;
    bool m_disconnected = false;
    std::vector<int> m_acks;
    std::vector<std::pair<QByteArray, QByteArray>> m_received; // topic and payload
    QString m_tlsError; // the attempt's TLS failure, as the library and OpenSSL told it
};
