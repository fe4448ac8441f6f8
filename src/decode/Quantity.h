#pragma once

#include <QString>

#include <optional>

// What a reading measures, told from its unit and AC/DC as the display shows them, so that a
// series keeps one quantity in one unit whatever range or function the meter is in.
enum class Quantity {
    None, // a function that lights no unit
    DcVoltage,
    AcVoltage,
    DcCurrent,
    AcCurrent,
    Resistance,
    Conductance, // the resistance function's nS range
    Capacitance,
    Frequency,
    DutyCycle,
    Diode,
};

// A reading's value in its quantity's base unit (V, not mV; Ω, not kΩ), written from the
// display's digits so that it is exactly what the meter shows.
struct BaseValue {
    Quantity quantity = Quantity::None;
    // A decimal number ("0.01234", "-1234", "12340000"); nothing in overload or without a unit.
    std::optional<QString> value;
    // Digits after the point in the base unit: the display's resolution.
    int precision = 0;
};

namespace Quantities {

// The quantity of a unit text in the display font ("k*", ")V", "mV") with AC/DC ("AC", "DC" or
// empty).
[[nodiscard]] Quantity of(const QString& unitText, const QString& acDcText);
// The reading text ("012.34", "-0.L") moved into the base unit.
[[nodiscard]] BaseValue baseValueOf(const QString& readingText, const QString& unitText,
                                    const QString& acDcText);

// "dc_voltage": fit for ids and topic levels; empty for None.
[[nodiscard]] QString idOf(Quantity quantity);
// "DC voltage".
[[nodiscard]] QString nameOf(Quantity quantity);
// "V", "A", "Ω", "S", "F", "Hz", "%"; empty for None.
[[nodiscard]] QString baseUnitOf(Quantity quantity);

} // namespace Quantities
