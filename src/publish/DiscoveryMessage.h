#pragma once

#include "PublishConfig.h"
#include "Quantity.h"

#include <QByteArray>
#include <QString>

// The retained messages by which Home Assistant finds the meter: one sensor for each quantity,
// with one unit and device class for life, so that a range or function change never changes a
// sensor's unit and its long-term statistics go on. Each sensor takes its value from the shared
// reading topic, only from readings of its quantity, and is available while both the logger and
// the meter are.
namespace DiscoveryMessage {

// "<discovery prefix>/sensor/velmar_<meter>_<quantity>/config".
[[nodiscard]] QString topic(const PublishConfig& config, Quantity quantity);
// The sensor of a quantity, its value shown with precision digits after the point.
[[nodiscard]] QByteArray of(const PublishConfig& config, Quantity quantity, int precision);
// Home Assistant's device class for a quantity ("voltage" for DC and AC voltage), or empty
// where it has none (resistance, capacitance, duty cycle).
[[nodiscard]] QString deviceClassOf(Quantity quantity);
// The single sensor that older versions published for every unit, before one per quantity.
[[nodiscard]] QString formerTopic(const PublishConfig& config);

} // namespace DiscoveryMessage
