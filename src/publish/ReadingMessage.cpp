#include "ReadingMessage.h"

#include "JsonText.h"
#include "Quantity.h"

#include <cmath>

namespace ReadingMessage {

QString isoTime(const QDateTime& at) {
    // By hand rather than through a format string or QDateTime's own date and time, each of
    // which asks the time zone again: the zone is asked once, for the offset, at a tenth of
    // the cost per reading.
    const int offset = at.offsetFromUtc();
    const qint64 local = at.toMSecsSinceEpoch() + qint64(offset) * 1000;
    constexpr qint64 kDayMs = 86'400'000;
    const qint64 days = local >= 0 ? local / kDayMs : (local - kDayMs + 1) / kDayMs;
    const qint64 ms = local - days * kDayMs;
    // Days since 1970-01-01 to a civil date (proleptic Gregorian), after H. Hinnant.
    const qint64 z = days + 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const qint64 day = doy - (153 * mp + 2) / 5 + 1;
    const qint64 month = mp < 10 ? mp + 3 : mp - 9;
    const qint64 year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    char text[32];
    char* cursor = text;
    const auto digits = [&cursor](qint64 value, int count) {
        for (int i = count - 1; i >= 0; --i, value /= 10)
            cursor[i] = char('0' + value % 10);
        cursor += count;
    };
    const auto put = [&cursor](char c) { *cursor++ = c; };
    digits(year, 4);
    put('-');
    digits(month, 2);
    put('-');
    digits(day, 2);
    put('T');
    digits(ms / 3'600'000, 2);
    put(':');
    digits(ms / 60'000 % 60, 2);
    put(':');
    digits(ms / 1000 % 60, 2);
    put('.');
    digits(ms % 1000, 3);
    put(offset < 0 ? '-' : '+');
    digits(minutes / 60, 2);
    put(':');
    digits(minutes % 60, 2);
    return QString::fromLatin1(text, cursor - text);
}

bool isOverload(const QString& readingText) {
    return readingText.contains(u'L');
}

std::string readingNumber(const QString& readingText) {
    if (isOverload(readingText))
        return "null";
    QStringView digits(readingText);
    const bool negative = digits.startsWith(u'-');
    if (negative)
        digits = digits.mid(1);
    bool point = false;
    bool any = false;
    for (const QChar c : digits) {
        if (c == u'.' && !point) {
            point = true;
        } else if (c.isDigit() && c.unicode() < 0x80) {
            any = true;
        } else {
            return "null";
        }
    }
    if (!any || digits.startsWith(u'.') || digits.endsWith(u'.'))
        return "null";
    // JSON allows no leading zeros: keep one before the point or as the whole number.
    qsizetype first = 0;
    while (first + 1 < digits.size() && digits[first] == u'0' && digits[first + 1] != u'.')
        ++first;
    std::string out = negative ? "-" : "";
    out += digits.mid(first).toLatin1().toStdString();
    return out;
}

QString unitOf(const QString& unitText) {
    QString unit;
    for (const QChar c : unitText) {
        if (c == u'*')
            unit += QChar(0x03A9); // Ω
        else if (c == u'+' || c == u'u')
            unit += QChar(0x00B5); // µ
        else if (c != u')' && c != u'&' && c != u' ')
            unit += c;
    }
    return unit;
}

QByteArray of(const StoredReading& stored) {
    const Reading& r = stored.reading;
    std::string out;
    out.reserve(384); // the whole message, without growing on the way
    out += '{';
    JsonText::appendField(out, "at", isoTime(stored.at));
    JsonText::appendField(out, "run", stored.run);
    JsonText::appendField(out, "no", stored.no);
    JsonText::appendName(out, "reading");
    out += readingNumber(r.ReadingText);
    JsonText::appendField(out, "text", r.ReadingText);
    JsonText::appendName(out, "count");
    // A whole count, as the display's digits always give, is written as an integer: a tenth of
    // the cost of formatting a double.
    const double nval = stored.record.nval;
    if (nval == std::trunc(nval) && std::abs(nval) < 1e15)
        out += std::to_string(static_cast<long long>(nval));
    else
        out += QByteArray::number(nval, 'g', 9).toStdString();
    JsonText::appendField(out, "unit", unitOf(r.UnitText));
    // Where AC or DC does not apply, a subscriber finds no value rather than an empty text.
    if (r.AcDcText.isEmpty()) {
        JsonText::appendName(out, "acdc");
        out += "null";
    } else {
        JsonText::appendField(out, "acdc", r.AcDcText);
    }
    JsonText::appendField(out, "range", r.RangeText);
    JsonText::appendBool(out, "overload", isOverload(r.ReadingText));
    const BaseValue base = Quantities::baseValueOf(r.ReadingText, r.UnitText, r.AcDcText);
    if (base.quantity == Quantity::None) {
        out += R"(,"quantity":null,"base_value":null,"base_unit":null)";
    } else {
        JsonText::appendField(out, "quantity", Quantities::idOf(base.quantity));
        JsonText::appendName(out, "base_value");
        out += base.value ? base.value->toStdString() : std::string("null");
        JsonText::appendField(out, "base_unit", Quantities::baseUnitOf(base.quantity));
    }
    out += '}';
    return QByteArray(out.data(), qsizetype(out.size()));
}

} // namespace ReadingMessage
