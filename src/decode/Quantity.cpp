#include "Quantity.h"

#include <algorithm>
#include <array>

namespace {

struct Row {
    Quantity quantity;
    const char* id;
    const char* name;
    const char16_t* unit;
};

constexpr std::array kRows{
    Row{Quantity::None, "", "", u""},
    Row{Quantity::DcVoltage, "dc_voltage", "DC voltage", u"V"},
    Row{Quantity::AcVoltage, "ac_voltage", "AC voltage", u"V"},
    Row{Quantity::DcCurrent, "dc_current", "DC current", u"A"},
    Row{Quantity::AcCurrent, "ac_current", "AC current", u"A"},
    Row{Quantity::Resistance, "resistance", "Resistance", u"\u03A9"},
    Row{Quantity::Conductance, "conductance", "Conductance", u"S"},
    Row{Quantity::Capacitance, "capacitance", "Capacitance", u"F"},
    Row{Quantity::Frequency, "frequency", "Frequency", u"Hz"},
    Row{Quantity::DutyCycle, "duty_cycle", "Duty cycle", u"%"},
    Row{Quantity::Diode, "diode", "Diode voltage", u"V"},
};

const Row& rowOf(Quantity quantity) {
    return kRows[static_cast<std::size_t>(quantity)];
}

// The unit text without the marks that carry no unit: the special resistance annunciator's
// "&" and its spaces, and the diode symbol.
QString bareUnit(const QString& unitText) {
    QString unit;
    for (const QChar c : unitText) {
        if (c != u'&' && c != u' ' && c != u')')
            unit += c;
    }
    return unit;
}

// The power of ten of the prefix that begins a bare unit, and the unit after it.
int exponentOf(const QString& bare, QString& unit) {
    unit = bare;
    if (bare.size() < 2)
        return 0;
    int exponent = 0;
    switch (bare[0].unicode()) {
    case u'k':
        exponent = 3;
        break;
    case u'M':
        exponent = 6;
        break;
    case u'm':
        exponent = -3;
        break;
    case u'u':
    case u'+':
        exponent = -6;
        break;
    case u'n':
        exponent = -9;
        break;
    default:
        return 0;
    }
    unit = bare.mid(1);
    return exponent;
}

} // namespace

namespace Quantities {

Quantity of(const QString& unitText, const QString& acDcText) {
    if (unitText.contains(u')'))
        return Quantity::Diode;
    QString unit;
    (void)exponentOf(bareUnit(unitText), unit);
    const bool ac = acDcText == u"AC";
    if (unit == u"V")
        return ac ? Quantity::AcVoltage : Quantity::DcVoltage;
    if (unit == u"A")
        return ac ? Quantity::AcCurrent : Quantity::DcCurrent;
    if (unit == u"*")
        return Quantity::Resistance;
    if (unit == u"S")
        return Quantity::Conductance;
    if (unit == u"F")
        return Quantity::Capacitance;
    if (unit == u"Hz")
        return Quantity::Frequency;
    if (unit == u"%")
        return Quantity::DutyCycle;
    return Quantity::None;
}

BaseValue baseValueOf(const QString& readingText, const QString& unitText,
                      const QString& acDcText) {
    BaseValue base;
    base.quantity = of(unitText, acDcText);
    QString unit;
    const int exponent = exponentOf(bareUnit(unitText), unit);
    QStringView text(readingText);
    const bool negative = text.startsWith(u'-');
    if (negative)
        text = text.mid(1);
    // The digits alone, and how many of them stand before the point.
    QString digits;
    qsizetype whole = -1;
    for (const QChar c : text) {
        if (c == u'.' && whole < 0)
            whole = digits.size();
        else if (c >= u'0' && c <= u'9')
            digits += c;
        else
            return base; // overload ("0.L") or no number
    }
    if (digits.isEmpty())
        return base;
    if (whole < 0)
        whole = digits.size();
    base.precision = int(digits.size() - whole) - exponent;
    whole += exponent;
    if (whole > digits.size())
        digits += QString(whole - digits.size(), u'0');
    if (whole < 1) {
        digits.prepend(QString(1 - whole, u'0'));
        whole = 1;
    }
    qsizetype first = 0;
    while (first + 1 < whole && digits[first] == u'0')
        ++first;
    QString value = negative ? QStringLiteral("-") : QString();
    value += QStringView(digits).mid(first, whole - first);
    if (whole < digits.size()) {
        value += u'.';
        value += QStringView(digits).mid(whole);
    }
    base.precision = std::max(base.precision, 0);
    if (base.quantity != Quantity::None)
        base.value = value;
    return base;
}

QString idOf(Quantity quantity) {
    return QLatin1String(rowOf(quantity).id);
}

QString nameOf(Quantity quantity) {
    return QLatin1String(rowOf(quantity).name);
}

QString baseUnitOf(Quantity quantity) {
    return QString::fromUtf16(rowOf(quantity).unit);
}

} // namespace Quantities
