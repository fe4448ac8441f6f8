#include "PublishConfig.h"

#include <QFile>
#include <QSysInfo>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int kMqttPort = 1883;
constexpr int kMqttsPort = 8883;
constexpr qsizetype kLongestMeterId = 64;

bool safeForId(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u'_';
}

// A character as a user can read it back in one line: control characters by their code.
QString shown(QChar c) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F)
        return QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    if (c == QChar::ReplacementCharacter || c.isSurrogate())
        return QStringLiteral("a byte that is not UTF-8");
    return u'\'' + QString(c) + u'\'';
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
    return QStringLiteral("%1/%2/%3").arg(topicPrefix, meterId, QLatin1String(leaf));
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
    for (const QChar c : id) {
        if (!safeForId(c))
            return QStringLiteral("%1 is not taken: letters A to Z, digits, '-' and '_' only, so "
                                  "that the id is one topic level and no two ids share one")
                .arg(shown(c));
    }
    if (id.size() > kLongestMeterId)
        return QStringLiteral("it is longer than %1 characters").arg(kLongestMeterId);
    return {};
}

QString defaultMeterId(const QString& hostName, const QString& port) {
    QString host = hostName.section(u'.', 0, 0);
    QString device = port.section(u'/', -1);
    for (QString* part : {&host, &device}) {
        for (QChar& c : *part) {
            if (!safeForId(c))
                c = u'_';
        }
    }
    if (device.isEmpty())
        device = QStringLiteral("meter");
    return (host.isEmpty() ? device : host + u'-' + device).left(kLongestMeterId);
}

QString topicPrefixProblem(const QString& prefix) {
    if (prefix.isEmpty() || prefix.startsWith(u'/') || prefix.endsWith(u'/') ||
        prefix.contains(QStringLiteral("//")))
        return QStringLiteral("expected one or more topic levels such as lab/meters");
    for (const QChar c : prefix) {
        if (c == u'+' || c == u'#' || c.unicode() < 0x20 || c.unicode() == 0x7F ||
            c == QChar::ReplacementCharacter || c.isSurrogate())
            return QStringLiteral("%1 is not taken in a topic").arg(shown(c));
    }
    return {};
}

namespace {

// The first line of the password file; nothing, with error set, when it cannot be read.
std::optional<QString> passwordFrom(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("--mqtt-password-file '%1': %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray line = file.readLine(4096);
    QByteArray password = line;
    while (password.endsWith('\n') || password.endsWith('\r'))
        password.chop(1);
    if (password.isEmpty()) {
        error =
            QStringLiteral("--mqtt-password-file '%1': the first line holds no password").arg(path);
        return std::nullopt;
    }
    return QString::fromUtf8(password);
}

bool checkPrefixes(const PublishRequest& request, PublishConfig& config, QString& error) {
    const std::pair<const QString*, QString*> prefixes[] = {
        {&request.topicPrefix, &config.topicPrefix},
        {&request.discoveryPrefix, &config.discoveryPrefix}};
    const char* names[] = {"--mqtt-topic", "--mqtt-discovery-prefix"};
    for (int i = 0; i < 2; ++i) {
        if (prefixes[i].first->isEmpty())
            continue;
        if (const QString problem = topicPrefixProblem(*prefixes[i].first); !problem.isEmpty()) {
            error = QStringLiteral("%1 '%2': %3")
                        .arg(QLatin1String(names[i]), *prefixes[i].first, problem);
            return false;
        }
        *prefixes[i].second = *prefixes[i].first;
    }
    return true;
}

bool checkTls(const PublishRequest& request, const PublishConfig& config, QString& error) {
    const char* tlsOnly = !request.caFile.isEmpty()     ? "--mqtt-ca"
                          : !request.certFile.isEmpty() ? "--mqtt-cert"
                          : !request.keyFile.isEmpty()  ? "--mqtt-key"
                                                        : nullptr;
    if (tlsOnly && !config.tls) {
        error = QStringLiteral("%1 is for mqtts:// brokers; '%2' is not one")
                    .arg(QLatin1String(tlsOnly), request.url);
        return false;
    }
    if (request.certFile.isEmpty() != request.keyFile.isEmpty()) {
        error = QStringLiteral("--mqtt-cert and --mqtt-key go together");
        return false;
    }
    for (const QString* file : {&request.certFile, &request.keyFile}) {
        if (!file->isEmpty() && !QFile(*file).open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read '%1'").arg(*file);
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<PublishConfig> publishConfigOf(const PublishRequest& request, QString& error) {
    PublishConfig config;
    if (!parseUrl(request.url, config, error) || !checkTls(request, config, error) ||
        !checkPrefixes(request, config, error))
        return std::nullopt;
    if (request.password && !request.passwordFile.isEmpty()) {
        error = QStringLiteral("VELMAR_MQTT_PASSWORD and --mqtt-password-file are both given: "
                               "give one");
        return std::nullopt;
    }
    std::optional<QString> password = request.password;
    if (!request.passwordFile.isEmpty()) {
        password = passwordFrom(request.passwordFile, error);
        if (!password)
            return std::nullopt;
    }
    if (password && request.user.isEmpty()) {
        error = QStringLiteral("a password is given but --mqtt-user is not: a password goes "
                               "with a user");
        return std::nullopt;
    }
    if (!request.meterId.isEmpty()) {
        if (const QString problem = meterIdProblem(request.meterId); !problem.isEmpty()) {
            error = QStringLiteral("--meter-id '%1': %2").arg(request.meterId, problem);
            return std::nullopt;
        }
    }
    config.caFile = request.caFile;
    config.certFile = request.certFile;
    config.keyFile = request.keyFile;
    config.user = request.user;
    config.password = password.value_or(QString());
    config.meterId = request.meterId.isEmpty() ? defaultMeterId(request.hostName, request.port)
                                               : request.meterId;
    config.clientId =
        request.clientId.isEmpty() ? QStringLiteral("velmar-") + config.meterId : request.clientId;
    config.discovery = request.discovery;
    config.retainReadings = request.retainReadings;
    error = caFileProblem(config);
    if (!error.isEmpty())
        return std::nullopt;
    return config;
}

QString caFileProblem(const PublishConfig& config) {
    if (config.caFile.isEmpty())
        return {};
    QFile ca(config.caFile);
    if (!ca.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the CA file '%1': %2")
            .arg(config.caFile, ca.errorString());
    // Read whole (CA files are small; a bundle is a few hundred kilobytes) and looked into: one
    // that holds no certificate would fail every connection later with no reason given.
    constexpr qint64 kLargestCaFile = 16 * 1024 * 1024;
    const QByteArray text = ca.read(kLargestCaFile);
    if (text.isEmpty())
        return QStringLiteral("cannot read the CA file '%1': %2")
            .arg(config.caFile, ca.atEnd() ? QStringLiteral("it is empty") : ca.errorString());
    if (!text.contains("-----BEGIN CERTIFICATE-----") &&
        !text.contains("-----BEGIN TRUSTED CERTIFICATE-----"))
        return QStringLiteral("the CA file '%1' holds no certificate (expected PEM: "
                              "-----BEGIN CERTIFICATE-----)")
            .arg(config.caFile);
    return {};
}

std::optional<PublishConfig> publishConfigOfProcess(PublishRequest request, const QString& port,
                                                    QString& error) {
    if (qEnvironmentVariableIsSet("VELMAR_MQTT_PASSWORD"))
        request.password = qEnvironmentVariable("VELMAR_MQTT_PASSWORD");
    request.port = port;
    request.hostName = QSysInfo::machineHostName();
    return publishConfigOf(request, error);
}
