#include "PublishOptions.h"

#include <algorithm>
#include <iterator>

namespace {

// The broker's options that take a value: where each goes and what it expects. --mqtt first:
// the others go with it.
struct MqttOption {
    const char* name;
    QString PublishRequest::*field;
    const char* wanted;
};
const MqttOption kMqttOptions[] = {
    {"--mqtt", &PublishRequest::url, "a broker's URL such as mqtt://localhost"},
    {"--mqtt-ca", &PublishRequest::caFile, "a CA certificate file"},
    {"--mqtt-cert", &PublishRequest::certFile, "a client certificate file"},
    {"--mqtt-key", &PublishRequest::keyFile, "the client certificate's key file"},
    {"--mqtt-user", &PublishRequest::user, "a user name"},
    {"--mqtt-password-file", &PublishRequest::passwordFile, "a file holding the password"},
    {"--mqtt-client-id", &PublishRequest::clientId, "a client id"},
    {"--mqtt-topic", &PublishRequest::topicPrefix, "a topic prefix such as lab/meters"},
    {"--mqtt-discovery-prefix", &PublishRequest::discoveryPrefix, "a topic prefix"},
    {"--meter-id", &PublishRequest::meterId, "a name for the meter in the topics"},
};

const MqttOption* optionNamed(const QString& name) {
    const auto* found = std::find_if(std::begin(kMqttOptions), std::end(kMqttOptions),
                                     [&name](const MqttOption& o) { return name == o.name; });
    return found == std::end(kMqttOptions) ? nullptr : found;
}

} // namespace

bool isPublishOption(const QString& name) {
    return optionNamed(name) != nullptr;
}

bool isPublishSwitch(const QString& name) {
    return name == u"--mqtt-discovery" || name == u"--mqtt-retain";
}

bool applyPublishSwitch(PublishRequest& request, const QString& name) {
    if (!isPublishSwitch(name))
        return false;
    (name == u"--mqtt-retain" ? request.retainReadings : request.discovery) = true;
    return true;
}

std::optional<bool> applyPublishOption(PublishRequest& request, const QString& name,
                                       const QString& value, QString& error) {
    const MqttOption* option = optionNamed(name);
    if (!option)
        return std::nullopt;
    if (value.isEmpty()) {
        error =
            QStringLiteral("%1 '%2': expected %3").arg(name, value, QLatin1String(option->wanted));
        return false;
    }
    request.*option->field = value;
    return true;
}

QString publishOptionsProblem(const PublishRequest& request) {
    const bool others =
        request.discovery || request.retainReadings ||
        std::any_of(std::begin(kMqttOptions) + 1, std::end(kMqttOptions),
                    [&request](const MqttOption& o) { return !(request.*o.field).isEmpty(); });
    if (request.url.isEmpty() && others)
        return QStringLiteral("the --mqtt-... options and --meter-id go with --mqtt");
    return {};
}

QString publishUsage() {
    return QStringLiteral(
        R"(  --mqtt URL         also publish each stored reading to an MQTT broker:
                     mqtt://host[:port] (default port 1883) or mqtts://host[:port]
                     (8883), to <topic>/<meter>/reading, QoS 1
  --mqtt-topic T     the topics' prefix, one or more levels (default velmar)
  --meter-id ID      the meter's name in the topics: letters A to Z, digits, -
                     and _ (default: <host>-<port>, such as lab1-ttyUSB0)
  --mqtt-client-id C the client id the broker knows this run by (default
                     velmar-<meter id>)
  --mqtt-user USER   log in to the broker as USER; the password is read from the
                     environment variable VELMAR_MQTT_PASSWORD or from the first
                     line of --mqtt-password-file FILE, never from the command line
  --mqtt-password-file FILE
                     the password, for --mqtt-user
  --mqtt-ca FILE     the CA certificate(s) of an mqtts:// broker, PEM (default:
                     the system's certificate authorities)
  --mqtt-cert FILE   a client certificate for an mqtts:// broker, PEM, with
  --mqtt-key FILE    its key
  --mqtt-retain      the broker keeps the last reading for a new subscriber
  --mqtt-discovery   also publish retained Home Assistant discovery messages: one
                     sensor for each quantity the meter shows
  --mqtt-discovery-prefix P
                     Home Assistant's discovery prefix (default homeassistant)
)");
}
