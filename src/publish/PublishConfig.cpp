#include "PublishConfig.h"

#include <QFile>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int kMqttPort = 1883;
constexpr int kMqttsPort = 8883;
constexpr const char* kPrefix = "velmar";

// Characters that a topic level must not hold: the separator, the wildcards and NUL.
bool unfitForLevel(QChar c) {
    return c == u'/' || c == u'+' || c == u'#' || c == QChar(0);
}

bool parseUrl(const QString& text, PublishConfig& config, QString& error) {
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"mqtt" && scheme != u"mqtts")) {
        error = QStringLiteral("--mqtt '%1': expected mqtt://host[:port] or mqtts://host[:port]")
                    .arg(text);
        return false;
    }
    if (!url.userInfo().isEmpty()) {
        error = QStringLiteral("--mqtt '%1': give the user with --mqtt-user and the password in "
                               "VELMAR_MQTT_PASSWORD, not in the URL")
                    .arg(url.toDisplayString(QUrl::RemoveUserInfo));
        return false;
    }
    if (url.host().isEmpty() || (!url.path().isEmpty() && url.path() != u"/") || url.hasQuery() ||
        url.hasFragment()) {
        error = QStringLiteral("--mqtt '%1': expected mqtt://host[:port] or mqtts://host[:port], "
                               "nothing after the port")
                    .arg(text);
        return false;
    }
    config.tls = scheme == u"mqtts";
    config.host = url.host();
    config.port = url.port(config.tls ? kMqttsPort : kMqttPort);
    if (config.port <= 0) {
        error = QStringLiteral("--mqtt '%1': the port must be 1 to 65535").arg(text);
        return false;
    }
    return true;
}

} // namespace

QString PublishConfig::topic(const char* leaf) const {
    return QStringLiteral("%1/%2/%3").arg(QLatin1String(kPrefix), meterId, QLatin1String(leaf));
}

QString PublishConfig::brokerText() const {
    const QString shown = host.contains(u':') ? u'[' + host + u']' : host;
    return QStringLiteral("%1://%2:%3")
        .arg(tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"), shown)
        .arg(port);
}

QString meterIdProblem(const QString& id) {
    if (id.isEmpty())
        return QStringLiteral("it is empty");
    if (std::any_of(id.begin(), id.end(), unfitForLevel))
        return QStringLiteral("it holds '/', '+', '#' or NUL, which a topic level cannot");
    if (id.toUtf8().size() > 256)
        return QStringLiteral("it is longer than 256 bytes");
    return {};
}

QString meterIdForPort(const QString& port) {
    QString id = port.section(u'/', -1);
    for (QChar& c : id) {
        if (unfitForLevel(c) || c.isSpace())
            c = u'_';
    }
    return id.isEmpty() ? QStringLiteral("meter") : id;
}

std::optional<PublishConfig> publishConfigOf(const PublishRequest& request, QString& error) {
    PublishConfig config;
    if (!parseUrl(request.url, config, error))
        return std::nullopt;
    if (!request.caFile.isEmpty() && !config.tls) {
        error =
            QStringLiteral("--mqtt-ca is for mqtts:// brokers; '%1' is not one").arg(request.url);
        return std::nullopt;
    }
    if (request.password && request.user.isEmpty()) {
        error = QStringLiteral("VELMAR_MQTT_PASSWORD is set but --mqtt-user is not: a password "
                               "goes with a user");
        return std::nullopt;
    }
    if (!request.meterId.isEmpty()) {
        if (const QString problem = meterIdProblem(request.meterId); !problem.isEmpty()) {
            error = QStringLiteral("--meter-id '%1': %2").arg(request.meterId, problem);
            return std::nullopt;
        }
    }
    config.caFile = request.caFile;
    config.user = request.user;
    config.password = request.password.value_or(QString());
    config.meterId = request.meterId.isEmpty() ? meterIdForPort(request.port) : request.meterId;
    config.discovery = request.discovery;
    return config;
}

QString caFileProblem(const PublishConfig& config) {
    if (config.caFile.isEmpty())
        return {};
    QFile ca(config.caFile);
    if (!ca.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the CA file '%1': %2")
            .arg(config.caFile, ca.errorString());
    char byte = 0;
    if (ca.read(&byte, 1) != 1)
        return QStringLiteral("cannot read the CA file '%1': %2")
            .arg(config.caFile, ca.atEnd() ? QStringLiteral("it is empty") : ca.errorString());
    return {};
}
