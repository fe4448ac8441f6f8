#include "ReadingMessage.h"

#include "JsonText.h"

#include <QLocale>

namespace ReadingMessage {

QString isoTime(const QDateTime& at) {
    const int offset = at.offsetFromUtc();
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    return QLocale::c().toString(at, QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz")) +
           QStringLiteral("%1%2:%3")
               .arg(QChar(offset < 0 ? u'-' : u'+'))
               .arg(minutes / 60, 2, 10, QChar(u'0'))
               .arg(minutes % 60, 2, 10, QChar(u'0'));
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
    std::string out = "{";
    JsonText::appendField(out, "at", isoTime(stored.at));
    JsonText::appendField(out, "run", stored.run);
    JsonText::appendField(out, "no", stored.no);
    JsonText::appendName(out, "reading");
    out += readingNumber(r.ReadingText);
    JsonText::appendField(out, "text", r.ReadingText);
    JsonText::appendField(out, "unit", unitOf(r.UnitText));
    JsonText::appendField(out, "acdc", r.AcDcText);
    JsonText::appendField(out, "range", r.RangeText);
    JsonText::appendBool(out, "overload", isOverload(r.ReadingText));
    out += '}';
    return QByteArray(out.data(), qsizetype(out.size()));
}

} // namespace ReadingMessage
