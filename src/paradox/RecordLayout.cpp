#include "RecordLayout.h"

#include "ParadoxError.h"

#include <QDate>
#include <QLocale>

#include <bit>
#include <cstring>
#include <limits>

namespace {

// Paradox stores integers big-endian with the sign bit inverted, so that all-zero bytes are free
// to mean "null"; doubles are stored so that their bytes sort like their values.
quint64 readBigEndian(const char* bytes, int size) {
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

void writeBigEndian(char* bytes, int size, quint64 value) {
    for (int i = size - 1; i >= 0; --i) {
        bytes[i] = static_cast<char>(value & 0xFF);
        value >>= 8;
    }
}

bool isNull(const char* bytes, int size) {
    for (int i = 0; i < size; ++i) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

// Integers of 1, 2 or 4 bytes; the caller has ruled out null.
qint64 decodeInteger(const char* bytes, int size) {
    const int bits = size * 8;
    const quint64 raw = readBigEndian(bytes, size) ^ (quint64{1} << (bits - 1));
    const qint64 sign = qint64{1} << (bits - 1);
    return static_cast<qint64>(raw & ((quint64{1} << bits) - 1)) - ((raw & sign) ? (sign << 1) : 0);
}

void encodeInteger(char* bytes, int size, qint64 value) {
    const int bits = size * 8;
    const quint64 mask = (quint64{1} << bits) - 1;
    writeBigEndian(bytes, size, (static_cast<quint64>(value) & mask) ^ (quint64{1} << (bits - 1)));
}

double decodeDouble(const char* bytes) {
    quint64 raw = readBigEndian(bytes, 8);
    constexpr quint64 kSign = quint64{1} << 63;
    raw = (raw & kSign) ? (raw & ~kSign) : ~raw;
    return std::bit_cast<double>(raw);
}

void encodeDouble(char* bytes, double value) {
    quint64 raw = std::bit_cast<quint64>(value);
    constexpr quint64 kSign = quint64{1} << 63;
    raw = (raw & kSign) ? ~raw : (raw | kSign);
    writeBigEndian(bytes, 8, raw);
}

// Day numbers count from 1 January of the year 1; QDate counts Julian days.
constexpr qint64 kJulianDayOfDayZero = 1721425;
constexpr qint64 kMsPerDay = 86'400'000;

// The date part that a date-time holding only a time of day carries.
const QDate& timeOnlyDate() {
    static const QDate date(1899, 12, 30);
    return date;
}

QString timeOfDayText(qint64 ms) {
    if (ms < 0 || ms >= kMsPerDay)
        return QString::number(ms);
    const qint64 seconds = ms / 1000;
    return QString::asprintf("%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                             static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
}

QString timestampText(double ms) {
    const auto whole = static_cast<qint64>(ms);
    const qint64 days = whole / kMsPerDay;
    const QDate date = QDate::fromJulianDay(days + kJulianDayOfDayZero);
    QString time = timeOfDayText(whole - days * kMsPerDay);
    if (date == timeOnlyDate())
        return time;
    return date.toString(Qt::ISODate) + QLatin1Char(' ') + time;
}

QString numberText(double value) {
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

} // namespace

namespace {

// The bytes a field of each type takes; text() decodes exactly that many, so a table that says
// otherwise is refused before any record of it is read. Blob fields are never decoded and keep
// a leader of ten bytes.
bool sizeSuitsType(FieldType type, int size) {
    switch (type) {
    case FieldType::Alpha:
    case FieldType::Bytes:
        return size >= 1 && size <= 255;
    case FieldType::Short:
        return size == 2;
    case FieldType::Date:
    case FieldType::Long:
    case FieldType::Time:
    case FieldType::AutoIncrement:
        return size == 4;
    case FieldType::Currency:
    case FieldType::Number:
    case FieldType::Timestamp:
        return size == 8;
    case FieldType::Logical:
        return size == 1;
    case FieldType::Bcd:
        return size == 17;
    case FieldType::Memo:
    case FieldType::Blob:
    case FieldType::FormattedMemo:
    case FieldType::Ole:
    case FieldType::Graphic:
        return size >= 10 && size <= 255;
    }
    return false;
}

bool isKnownType(FieldType type) {
    // Every type sizeSuitsType() names; a byte outside them is damage.
    return sizeSuitsType(type, 1) || sizeSuitsType(type, 2) || sizeSuitsType(type, 4) ||
           sizeSuitsType(type, 8) || sizeSuitsType(type, 10) || sizeSuitsType(type, 17);
}

} // namespace

RecordLayout::RecordLayout(const std::vector<FieldDefinition>& fields, int codePage)
    : m_codePage(codePage) {
    m_fields.reserve(fields.size());
    for (const FieldDefinition& field : fields) {
        if (!isKnownType(field.type)) {
            throw ParadoxError(QStringLiteral("Field '%1' has a type this program does not know "
                                              "(%2).")
                                   .arg(field.name)
                                   .arg(static_cast<int>(field.type)));
        }
        if (!sizeSuitsType(field.type, field.size)) {
            throw ParadoxError(QStringLiteral("Field '%1' has %2 bytes, which does not suit its "
                                              "type.")
                                   .arg(field.name)
                                   .arg(field.size));
        }
        m_fields.push_back({field.name, field.type, field.size, m_recordSize, field.digits});
        m_recordSize += field.size;
    }
}

RecordLayout RecordLayout::readings() {
    return RecordLayout({{QStringLiteral("No"), FieldType::Long, 4},
                         {QStringLiteral("Time"), FieldType::Time, 4},
                         {QStringLiteral("DC/AC"), FieldType::Alpha, 5},
                         {QStringLiteral("Value"), FieldType::Alpha, 10},
                         {QStringLiteral("Unit"), FieldType::Alpha, 10},
                         {QStringLiteral("AUTO"), FieldType::Alpha, 4},
                         {QStringLiteral("Nval"), FieldType::Number, 8}},
                        CodePage::kWindowsWestern);
}

int RecordLayout::indexOf(QStringView name) const {
    for (int i = 0; i < fieldCount(); ++i) {
        if (name.compare(m_fields[i].name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool RecordLayout::hasBlobFields() const {
    for (const TableField& f : m_fields) {
        switch (f.type) {
        case FieldType::Memo:
        case FieldType::Blob:
        case FieldType::FormattedMemo:
        case FieldType::Ole:
        case FieldType::Graphic:
            return true;
        default:
            break;
        }
    }
    return false;
}

QString RecordLayout::text(const char* record, int field) const {
    const TableField& f = m_fields[field];
    const char* bytes = record + f.offset;
    if (isNull(bytes, f.size))
        return {};
    switch (f.type) {
    case FieldType::Alpha: {
        const void* end = std::memchr(bytes, 0, f.size);
        const auto length = end ? static_cast<const char*>(end) - bytes : f.size;
        return m_codePage.decode(bytes, length);
    }
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoIncrement:
        return QString::number(decodeInteger(bytes, f.size));
    case FieldType::Number:
    case FieldType::Currency:
        return numberText(decodeDouble(bytes));
    case FieldType::Time:
        return timeOfDayText(decodeInteger(bytes, 4));
    case FieldType::Date:
        return QDate::fromJulianDay(decodeInteger(bytes, 4) + kJulianDayOfDayZero)
            .toString(Qt::ISODate);
    case FieldType::Timestamp:
        return timestampText(decodeDouble(bytes));
    case FieldType::Logical:
        return (bytes[0] & 0x7F) ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return {};
    }
}

void RecordLayout::setText(char* record, int field, QStringView text) const {
    const TableField& f = m_fields[field];
    if (f.type != FieldType::Alpha)
        throwTypeMismatch(field, QStringLiteral("a text"));
    const std::optional<QByteArray> bytes =
        text.contains(QChar(0)) ? std::nullopt : m_codePage.encode(text);
    if (!bytes) {
        throw ParadoxError(
            QStringLiteral("The text '%1' for field '%2' holds characters that code page %3 "
                           "cannot store.")
                .arg(text, f.name)
                .arg(m_codePage.number()),
            ParadoxCause::ValueDoesNotFit);
    }
    if (bytes->size() > f.size) {
        throw ParadoxError(QStringLiteral("The text '%1' is too long for field '%2', which holds "
                                          "at most %3 characters.")
                               .arg(text, f.name)
                               .arg(f.size),
                           ParadoxCause::ValueDoesNotFit);
    }
    char* target = record + f.offset;
    std::memset(target, 0, f.size);
    std::memcpy(target, bytes->constData(), bytes->size());
}

void RecordLayout::setInteger(char* record, int field, qint32 value) const {
    const TableField& f = m_fields[field];
    char* target = record + f.offset;
    switch (f.type) {
    case FieldType::Long:
    case FieldType::AutoIncrement:
    case FieldType::Short: {
        // The lowest value of each width is stored as all zeros, which reads back as null.
        const qint64 limit = f.type == FieldType::Short ? std::numeric_limits<qint16>::max()
                                                        : std::numeric_limits<qint32>::max();
        if (value < -limit || value > limit) {
            throw ParadoxError(QStringLiteral("The value %1 is out of range for field '%2'.")
                                   .arg(value)
                                   .arg(f.name),
                               ParadoxCause::ValueDoesNotFit);
        }
        encodeInteger(target, f.size, value);
        return;
    }
    case FieldType::Number:
    case FieldType::Currency:
        encodeDouble(target, value);
        return;
    default:
        throwTypeMismatch(field, QStringLiteral("a whole number"));
    }
}

void RecordLayout::setNumber(char* record, int field, double value) const {
    const TableField& f = m_fields[field];
    if (f.type != FieldType::Number && f.type != FieldType::Currency)
        throwTypeMismatch(field, QStringLiteral("a floating-point number"));
    encodeDouble(record + f.offset, value);
}

void RecordLayout::setTimeOfDay(char* record, int field, qint32 msSinceMidnight) const {
    const TableField& f = m_fields[field];
    if (msSinceMidnight < 0 || msSinceMidnight >= kMsPerDay) {
        throw ParadoxError(QStringLiteral("%1 ms is not a time of day (field '%2').")
                               .arg(msSinceMidnight)
                               .arg(f.name),
                           ParadoxCause::ValueDoesNotFit);
    }
    char* target = record + f.offset;
    if (f.type == FieldType::Time) {
        encodeInteger(target, 4, msSinceMidnight);
        return;
    }
    if (f.type == FieldType::Timestamp) {
        const qint64 days = timeOnlyDate().toJulianDay() - kJulianDayOfDayZero;
        encodeDouble(target, static_cast<double>(days * kMsPerDay + msSinceMidnight));
        return;
    }
    throwTypeMismatch(field, QStringLiteral("a time of day"));
}

void RecordLayout::throwTypeMismatch(int field, const QString& what) const {
    throw ParadoxError(QStringLiteral("Field '%1' cannot hold %2.").arg(m_fields[field].name, what),
                       ParadoxCause::ValueDoesNotFit);
}
