#include "DiscoveryMessage.h"

#include "JsonText.h"

namespace DiscoveryMessage {

namespace {

// Meter ids hold letters, digits, "-" and "_" only, so this id is the meter's alone.
QString deviceIdOf(const PublishConfig& config) {
    return QStringLiteral("velmar_") + config.meterId;
}

QString uniqueIdOf(const PublishConfig& config, Quantity quantity) {
    return deviceIdOf(config) + u'_' + Quantities::idOf(quantity);
}

} // namespace

QString topic(const PublishConfig& config, Quantity quantity) {
    return QStringLiteral("%1/sensor/%2/config")
        .arg(config.discoveryPrefix, uniqueIdOf(config, quantity));
}

QString formerTopic(const PublishConfig& config) {
    return QStringLiteral("%1/sensor/%2/config").arg(config.discoveryPrefix, deviceIdOf(config));
}

QString deviceClassOf(Quantity quantity) {
    switch (quantity) {
    case Quantity::DcVoltage:
    case Quantity::AcVoltage:
    case Quantity::Diode:
        return QStringLiteral("voltage");
    case Quantity::DcCurrent:
    case Quantity::AcCurrent:
        return QStringLiteral("current");
    case Quantity::Frequency:
        return QStringLiteral("frequency");
    default:
        return {};
    }
}

QByteArray of(const PublishConfig& config, Quantity quantity, int precision) {
    const QString id = uniqueIdOf(config, quantity);
    const QString quantityId = Quantities::idOf(quantity);
    std::string out = "{";
    // The quantity's name alone: Home Assistant puts the device's name before it.
    JsonText::appendField(out, "name", Quantities::nameOf(quantity));
    JsonText::appendField(out, "unique_id", id);
    // An entity id takes lower-case letters, digits and "_" only; Home Assistant numbers one
    // that is taken, so "-" and "_" may meet here without harm.
    JsonText::appendField(out, "default_entity_id",
                          QStringLiteral("sensor.") + id.toLower().replace(u'-', u'_'));
    JsonText::appendField(out, "state_topic", config.topic("reading"));
    // Readings of other quantities render empty, which Home Assistant ignores; an overload
    // renders "None", which it shows as unknown.
    JsonText::appendField(out, "value_template",
                          QStringLiteral("{% if value_json.quantity == '%1' %}"
                                         "{{ value_json.base_value }}{% endif %}")
                              .arg(quantityId));
    JsonText::appendField(out, "json_attributes_topic", config.topic("reading"));
    JsonText::appendField(out, "unit_of_measurement", Quantities::baseUnitOf(quantity));
    if (const QString deviceClass = deviceClassOf(quantity); !deviceClass.isEmpty())
        JsonText::appendField(out, "device_class", deviceClass);
    JsonText::appendField(out, "state_class", QStringLiteral("measurement"));
    JsonText::appendField(out, "suggested_display_precision", qint64(precision));
    JsonText::appendName(out, "availability");
    // The logger's status and whether the meter answers: either gone makes the sensor
    // unavailable.
    out += '[';
    for (const char* leaf : {"status", "meter"}) {
        std::string entry = "{";
        JsonText::appendField(entry, "topic", config.topic(leaf));
        out += entry;
        out += *leaf == 's' ? "}," : "}";
    }
    out += ']';
    JsonText::appendField(out, "availability_mode", QStringLiteral("all"));
    JsonText::appendName(out, "device");
    std::string device = "{";
    JsonText::appendName(device, "identifiers");
    device += '[';
    JsonText::appendString(device, deviceIdOf(config));
    device += ']';
    JsonText::appendField(device, "name", QStringLiteral("VelmarD %1").arg(config.meterId));
    JsonText::appendField(device, "model", QStringLiteral("VelmarD"));
    device += '}';
    out += device;
    out += '}';
    return QByteArray(out.data(), qsizetype(out.size()));
}

} // namespace DiscoveryMessage
