#include "MqttClient.h"

#include <QFile>
#include <QSocketNotifier>

#include <mosquitto.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// The library's keep-alive work (a ping when nothing was sent for a while, a connection whose
// ping went unanswered dropped) needs calling well within the keep-alive, not more often.
constexpr int kMiscTickMs = 5000;
constexpr int kFirstRetryMs = 1000;
constexpr int kLongestRetryMs = 8000;
// How long the end of a client waits for a connect call still looking the host up. The lookup
// cannot be called off, and a logger's exit must not wait on a dead resolver; what the call
// later finds is let go by its own thread.
constexpr auto kLookupWaitAtEnd = std::chrono::milliseconds(1000);

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

// Shared by the client and the thread making the connect call. Whoever comes second frees the
// library object: the client once the call has returned, the thread when the client left first.
struct MqttClient::PendingConnect {
    std::mutex mutex;
    std::condition_variable returned;
    mosquitto* mosq = nullptr;
    QByteArray host;
    int port = 0;
    int keepAliveSeconds = 0;
    MqttClient* owner = nullptr; // null once the client no longer waits for the call
    bool done = false;
    int result = MOSQ_ERR_SUCCESS;
    int error = 0;    // errno after the call
    QString tlsError; // what the library logged of a TLS failure during the call
};

namespace {
// The attempt whose connect call runs on this thread, for the library's log.
thread_local MqttClient::PendingConnect* t_connecting = nullptr;
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
    if (m_pending) {
        // A call about to return is let finish here rather than run on into the program's end.
        std::unique_lock lock(m_pending->mutex);
        m_pending->returned.wait_for(lock, kLookupWaitAtEnd, [this] { return m_pending->done; });
    }
    abandonPending();
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
    // The callbacks learn who we are once the connect call is back on this thread.
    m_mosq = mosquitto_new(id.constData(), true, nullptr);
    if (!m_mosq)
        return QString::fromLocal8Bit(std::strerror(errno));
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::onDisconnect);
    mosquitto_publish_callback_set(m_mosq, &MqttClient::onPublish);
    mosquitto_message_callback_set(m_mosq, &MqttClient::onMessage);
    mosquitto_log_callback_set(m_mosq, &MqttClient::onLog);
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
        const QByteArray ca = QFile::encodeName(m_settings.caFile);
        const QByteArray cert = QFile::encodeName(m_settings.certFile);
        const QByteArray key = QFile::encodeName(m_settings.keyFile);
        if (m_settings.caFile.isEmpty())
            result = mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        // The library takes a client certificate only with a CA file or folder: without a CA
        // file, the system's folder.
        if (result == MOSQ_ERR_SUCCESS && (!ca.isEmpty() || !cert.isEmpty()))
            result = mosquitto_tls_set(m_mosq, ca.isEmpty() ? nullptr : ca.constData(),
                                       ca.isEmpty() ? "/etc/ssl/certs" : nullptr,
                                       cert.isEmpty() ? nullptr : cert.constData(),
                                       key.isEmpty() ? nullptr : key.constData(), nullptr);
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
    if (!m_running || m_pending)
        return;
    m_tlsError.clear();
    m_connack.reset();
    m_disconnected = false;
    if (const QString why = prepare(); !why.isEmpty()) {
        drop(why);
        return;
    }
    auto pending = std::make_shared<PendingConnect>();
    pending->mosq = std::exchange(m_mosq, nullptr);
    pending->host = m_settings.host.toUtf8();
    pending->port = m_settings.port;
    pending->keepAliveSeconds = m_settings.keepAliveSeconds;
    pending->owner = this;
    m_pending = pending;
    try {
        std::thread(&MqttClient::connectOffThread, std::move(pending)).detach();
    } catch (const std::system_error& error) {
        mosquitto_destroy(std::exchange(m_pending, nullptr)->mosq);
        drop(QStringLiteral("cannot start the connection: %1").arg(error.what()));
    }
}

void MqttClient::connectOffThread(std::shared_ptr<PendingConnect> pending) {
    // The name is handed on, not an address looked up here: a TLS connection checks the broker's
    // certificate against it.
    t_connecting = pending.get();
    const int result = mosquitto_connect_async(pending->mosq, pending->host.constData(),
                                               pending->port, pending->keepAliveSeconds);
    t_connecting = nullptr;
    const int error = errno;
    std::unique_lock lock(pending->mutex);
    if (!pending->owner) {
        lock.unlock();
        mosquitto_destroy(pending->mosq);
        return;
    }
    pending->result = result;
    pending->error = error;
    pending->done = true;
    pending->returned.notify_all();
    // Posted while the owner cannot go: it clears owner under this lock before it is destroyed,
    // and an event posted to an object that is then destroyed is dropped with it.
    QMetaObject::invokeMethod(
        pending->owner, [owner = pending->owner, pending] { owner->connectReturned(pending); },
        Qt::QueuedConnection);
}

void MqttClient::connectReturned(const std::shared_ptr<PendingConnect>& pending) {
    if (pending != m_pending)
        return; // abandoned after the call returned; its object is already freed
    m_pending.reset();
    m_mosq = pending->mosq;
    mosquitto_user_data_set(m_mosq, this);
    if (pending->result != MOSQ_ERR_SUCCESS) {
        m_tlsError = pending->tlsError;
        errno = pending->error;
        drop(errorText(pending->result));
        return;
    }
    m_answerTimer.start(m_settings.answerTimeoutMs);
    settle(MOSQ_ERR_SUCCESS);
}

void MqttClient::abandonPending() {
    const std::shared_ptr<PendingConnect> pending = std::exchange(m_pending, nullptr);
    if (!pending)
        return;
    std::unique_lock lock(pending->mutex);
    pending->owner = nullptr;
    if (pending->done) {
        lock.unlock();
        mosquitto_destroy(pending->mosq);
    }
}

void MqttClient::stop() {
    m_running = false;
    m_retryTimer.stop();
    m_answerTimer.stop();
    m_miscTimer.stop();
    abandonPending();
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

void MqttClient::onConnect(mosquitto*, void* self, int code) {
    if (self)
        static_cast<MqttClient*>(self)->m_connack = code;
}

void MqttClient::onDisconnect(mosquitto*, void* self, int) {
    if (self)
        static_cast<MqttClient*>(self)->m_disconnected = true;
}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    if (self && message && message->topic)
        static_cast<MqttClient*>(self)->m_received.push_back(
            {QByteArray(message->topic),
             QByteArray(static_cast<const char*>(message->payload), message->payloadlen)});
}

bool MqttClient::subscribe(const QByteArray& topic) {
    if (!m_mosq || !m_connected)
        return false;
    const int result = mosquitto_subscribe(m_mosq, nullptr, topic.constData(), 1);
    if (result != MOSQ_ERR_SUCCESS) {
        settle(result);
        return false;
    }
    followSocket();
    return true;
}

void MqttClient::onPublish(mosquitto*, void* self, int messageId) {
    if (self)
        static_cast<MqttClient*>(self)->m_acks.push_back(messageId);
}

void MqttClient::onLog(mosquitto* mosq, void* self, int level, const char* text) {
    // The library says a TLS failure only in its log, as OpenSSL's error string; why a
    // certificate failed (expired, another host, an unknown authority) is the verification
    // result of the connection, still open while the library logs.
    if (level != MOSQ_LOG_ERR || std::strncmp(text, "OpenSSL Error", 13) != 0)
        return;
    // On the connect call's thread the library passes itself, not the client, and the note goes
    // to the attempt, which the client reads once the call has returned.
    QString* note = t_connecting ? &t_connecting->tlsError
                    : self       ? &static_cast<MqttClient*>(self)->m_tlsError
                                 : nullptr;
    if (!note || !note->isEmpty())
        return;
    const auto* ssl = static_cast<const SSL*>(mosquitto_ssl_get(mosq));
    const long verified = ssl ? SSL_get_verify_result(ssl) : X509_V_OK;
    if (verified == X509_V_ERR_UNSPECIFIED) {
        // The library's own check of the host name fails the verification without a reason.
        *note = QStringLiteral("the broker's certificate is not for the host asked for");
    } else if (verified != X509_V_OK) {
        *note = QStringLiteral("the broker's certificate failed verification: %1")
                    .arg(QString::fromUtf8(X509_verify_cert_error_string(verified)));
    } else {
        // "OpenSSL Error[0]: error:0A00010B:SSL routines::wrong version number": the last part.
        *note = QStringLiteral("TLS failed: %1")
                    .arg(QString::fromUtf8(text).section(u':', -1).trimmed());
    }
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
    for (const auto& [topic, payload] : std::exchange(m_received, {}))
        emit received(topic, payload);
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

void MqttClient::drop(const QString& given) {
    const bool wasRunning = m_running;
    QString why = std::exchange(m_tlsError, QString());
    const bool tls = !why.isEmpty() || given == errorText(MOSQ_ERR_TLS);
    if (why.isEmpty())
        why = given;
    m_connected = false;
    m_answerTimer.stop();
    release();
    ++m_failures;
    if (!wasRunning)
        return;
    if (tls)
        emit tlsFailed(why);
    if (!m_running)
        return; // a listener stopped us
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
