#include "MqttClient.h"

#include <QFile>
#include <QSocketNotifier>

#include <mosquitto.h>

#include <cerrno>
#include <cstring>

namespace {

// The library's keep-alive work (a ping when nothing was sent for a while, a connection whose
// ping went unanswered dropped) needs calling well within the keep-alive, not more often.
constexpr int kMiscTickMs = 5000;
constexpr int kFirstRetryMs = 1000;
constexpr int kLongestRetryMs = 8000;

// The library is set up once per process, before the first client.
void initLibrary() {
    static const bool done = [] {
        mosquitto_lib_init();
        return true;
    }();
    (void)done;
}

QString errorText(int result) {
    if (result == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    QString text = QString::fromUtf8(mosquitto_strerror(result));
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

} // namespace

MqttClient::MqttClient(Settings settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)) {
    initLibrary();
    connect(&m_miscTimer, &QTimer::timeout, this, &MqttClient::onMiscTick);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &MqttClient::attempt);
    m_answerTimer.setSingleShot(true);
    connect(&m_answerTimer, &QTimer::timeout, this, [this] {
        drop(QStringLiteral("no answer from the broker within %1 s")
                 .arg(m_settings.answerTimeoutMs / 1000));
    });
}

MqttClient::~MqttClient() {
    release();
}

int MqttClient::retryDelayMs(int failures) {
    int delay = kFirstRetryMs;
    for (int i = 1; i < failures && delay < kLongestRetryMs; ++i)
        delay *= 2;
    return std::min(delay, kLongestRetryMs);
}

QString MqttClient::prepare() {
    release();
    const QByteArray id = m_settings.clientId.toUtf8();
    m_mosq = mosquitto_new(id.constData(), true, this);
    if (!m_mosq)
        return QString::fromLocal8Bit(std::strerror(errno));
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::onDisconnect);
    mosquitto_publish_callback_set(m_mosq, &MqttClient::onPublish);
    int result = MOSQ_ERR_SUCCESS;
    if (!m_settings.willTopic.isEmpty()) {
        const QByteArray topic = m_settings.willTopic.toUtf8();
        result = mosquitto_will_set(m_mosq, topic.constData(), int(m_settings.willPayload.size()),
                                    m_settings.willPayload.constData(), 1, true);
    }
    if (result == MOSQ_ERR_SUCCESS && !m_settings.user.isEmpty()) {
        const QByteArray user = m_settings.user.toUtf8();
        const QByteArray password = m_settings.password.toUtf8();
        result = mosquitto_username_pw_set(m_mosq, user.constData(),
                                           m_settings.password.isEmpty() ? nullptr
                                                                         : password.constData());
    }
    if (result == MOSQ_ERR_SUCCESS && m_settings.tls) {
        if (m_settings.caFile.isEmpty()) {
            result = mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        } else {
            const QByteArray ca = QFile::encodeName(m_settings.caFile);
            result = mosquitto_tls_set(m_mosq, ca.constData(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return result == MOSQ_ERR_SUCCESS ? QString() : errorText(result);
}

void MqttClient::start() {
    m_running = true;
    m_failures = 0;
    m_miscTimer.start(kMiscTickMs);
    attempt();
}

void MqttClient::attempt() {
    if (!m_running)
        return;
    m_connack.reset();
    m_disconnected = false;
    if (const QString why = prepare(); !why.isEmpty()) {
        drop(why);
        return;
    }
    const QByteArray host = m_settings.host.toUtf8();
    const int result = mosquitto_connect_async(m_mosq, host.constData(), m_settings.port,
                                               m_settings.keepAliveSeconds);
    if (result != MOSQ_ERR_SUCCESS) {
        drop(errorText(result));
        return;
    }
    m_answerTimer.start(m_settings.answerTimeoutMs);
    settle(MOSQ_ERR_SUCCESS);
}

void MqttClient::stop() {
    m_running = false;
    m_retryTimer.stop();
    m_answerTimer.stop();
    m_miscTimer.stop();
    if (m_mosq && m_connected) {
        mosquitto_disconnect(m_mosq);
        // The DISCONNECT is small and the socket takes it at once unless the broker stopped
        // reading; then the will says what happened, which is also true.
        (void)mosquitto_loop_write(m_mosq, 1);
    }
    m_connected = false;
    release();
}

std::optional<int> MqttClient::publish(const QByteArray& topic, const QByteArray& payload,
                                       bool retain) {
    if (!m_mosq || !m_connected)
        return std::nullopt;
    int id = 0;
    const int result = mosquitto_publish(m_mosq, &id, topic.constData(), int(payload.size()),
                                         payload.constData(), 1, retain);
    if (result != MOSQ_ERR_SUCCESS) {
        settle(result);
        return std::nullopt;
    }
    followSocket();
    return id;
}

bool MqttClient::hasUnsentBytes() const {
    return m_mosq && mosquitto_want_write(m_mosq);
}

void MqttClient::onConnect(mosquitto*, void* self, int code) {
    static_cast<MqttClient*>(self)->m_connack = code;
}

void MqttClient::onDisconnect(mosquitto*, void* self, int) {
    static_cast<MqttClient*>(self)->m_disconnected = true;
}

void MqttClient::onPublish(mosquitto*, void* self, int messageId) {
    static_cast<MqttClient*>(self)->m_acks.push_back(messageId);
}

void MqttClient::onReadable() {
    if (m_mosq)
        settle(mosquitto_loop_read(m_mosq, 1));
}

void MqttClient::onWritable() {
    if (m_mosq)
        settle(mosquitto_loop_write(m_mosq, 1));
}

void MqttClient::onMiscTick() {
    if (m_mosq)
        settle(mosquitto_loop_misc(m_mosq));
}

void MqttClient::settle(int result) {
    if (const std::optional<int> code = std::exchange(m_connack, std::nullopt)) {
        if (*code != 0) {
            const QString why = QString::fromUtf8(mosquitto_connack_string(*code));
            emit refused(*code, why);
            drop(QStringLiteral("refused: %1").arg(why));
            return;
        }
        m_answerTimer.stop();
        m_connected = true;
        m_failures = 0;
        emit connected();
    }
    for (const int id : std::exchange(m_acks, {}))
        emit acknowledged(id);
    if (!m_mosq)
        return; // a listener stopped us
    if (m_disconnected || (result != MOSQ_ERR_SUCCESS && result != MOSQ_ERR_CONN_PENDING)) {
        drop(m_disconnected && result == MOSQ_ERR_SUCCESS
                 ? QStringLiteral("the broker closed the connection")
                 : errorText(result));
        return;
    }
    followSocket();
}

void MqttClient::drop(const QString& why) {
    const bool wasRunning = m_running;
    m_connected = false;
    m_answerTimer.stop();
    release();
    ++m_failures;
    if (!wasRunning)
        return;
    emit lost(why);
    if (m_running)
        m_retryTimer.start(retryDelayMs(m_failures));
}

void MqttClient::followSocket() {
    const int fd = m_mosq ? mosquitto_socket(m_mosq) : -1;
    if (fd != m_fd) {
        m_readNotifier.reset();
        m_writeNotifier.reset();
        m_fd = fd;
        if (fd >= 0) {
            m_readNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            connect(m_readNotifier.get(), &QSocketNotifier::activated, this,
                    &MqttClient::onReadable);
            m_writeNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
            connect(m_writeNotifier.get(), &QSocketNotifier::activated, this,
                    &MqttClient::onWritable);
        }
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(mosquitto_want_write(m_mosq));
}

void MqttClient::release() {
    m_readNotifier.reset();
    m_writeNotifier.reset();
    m_fd = -1;
    if (m_mosq) {
        mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
    }
}
