#pragma once

#include "PublishConfig.h"

#include <QByteArray>
#include <QString>

// The retained message by which Home Assistant finds the meter as a sensor on its own: where the
// readings come from, which field is the value, its unit and what kind of quantity it is.
namespace DiscoveryMessage {

// "homeassistant/sensor/velmar_<meter>/config".
[[nodiscard]] QString topic(const PublishConfig& config);
// The sensor with the given unit (plain characters, as the reading message carries it).
[[nodiscard]] QByteArray of(const PublishConfig& config, const QString& unit);
// Home Assistant's device class for a unit ("voltage" for mV), or empty when it has none.
[[nodiscard]] QString deviceClassOf(const QString& unit);
// The meter id made fit for Home Assistant's ids: letters, digits, "_" and "-" only.
[[nodiscard]] QString objectIdOf(const QString& meterId);

} // namespace DiscoveryMessage
