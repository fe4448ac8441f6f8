#include "DiscoveryMessage.h"

#include "JsonText.h"

#include <QStringList>

namespace DiscoveryMessage {

QString objectIdOf(const QString& meterId) {
    QString id = QStringLiteral("velmar_");
    for (const QChar c : meterId) {
        const bool plain = c.unicode() < 0x80 && (c.isLetterOrNumber() || c == u'_' || c == u'-');
        id += plain ? c : u'_';
    }
    return id;
}

QString topic(const PublishConfig& config) {
    return QStringLiteral("homeassistant/sensor/%1/config").arg(objectIdOf(config.meterId));
}

QString deviceClassOf(const QString& unit) {
    static const QStringList volts{"V", "mV"};
    static const QStringList amperes{"A", "mA"};
    static const QStringList hertz{"Hz", "kHz", "MHz"};
    if (volts.contains(unit))
        return QStringLiteral("voltage");
    if (amperes.contains(unit))
        return QStringLiteral("current");
    if (hertz.contains(unit))
        return QStringLiteral("frequency");
    return {};
}

QByteArray of(const PublishConfig& config, const QString& unit) {
    const QString id = objectIdOf(config.meterId);
    const QString name = QStringLiteral("VelmarD %1").arg(config.meterId);
    std::string out = "{";
    JsonText::appendField(out, "name", name);
    JsonText::appendField(out, "unique_id", id);
    JsonText::appendField(out, "object_id", id);
    JsonText::appendField(out, "state_topic", config.topic("reading"));
    JsonText::appendField(out, "value_template", QStringLiteral("{{ value_json.reading }}"));
    JsonText::appendField(out, "json_attributes_topic", config.topic("reading"));
    if (!unit.isEmpty())
        JsonText::appendField(out, "unit_of_measurement", unit);
    if (const QString deviceClass = deviceClassOf(unit); !deviceClass.isEmpty())
        JsonText::appendField(out, "device_class", deviceClass);
    JsonText::appendField(out, "state_class", QStringLiteral("measurement"));
    JsonText::appendField(out, "availability_topic", config.topic("status"));
    JsonText::appendField(out, "payload_available", QStringLiteral("online"));
    JsonText::appendField(out, "payload_not_available", QStringLiteral("offline"));
    JsonText::appendName(out, "device");
    std::string device = "{";
    JsonText::appendName(device, "identifiers");
    device += '[';
    JsonText::appendString(device, id);
    device += ']';
    JsonText::appendField(device, "name", name);
    JsonText::appendField(device, "model", QStringLiteral("VelmarD"));
    device += '}';
    out += device;
    out += '}';
    return QByteArray(out.data(), qsizetype(out.size()));
}

} // namespace DiscoveryMessage
