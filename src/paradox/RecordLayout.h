#pragma once

#include "CodePage.h"

#include <QString>

#include <cstdint>
#include <vector>

// Paradox field types, numbered as the file format numbers them.
enum class FieldType : std::uint8_t {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    FormattedMemo = 0x0E,
    Ole = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoIncrement = 0x16,
    Bcd = 0x17,
    Bytes = 0x18,
};

// One field of a table's records: its name, type, and where its bytes lie in a record.
struct TableField {
    QString name;
    FieldType type = FieldType::Alpha;
    int size = 0;   // bytes in the record
    int offset = 0; // from the start of the record
    int digits = 0; // BCD fields only: digits after the decimal point
};

// The fields of a table's records and the conversions between a field's stored bytes and its
// values. Records are raw Paradox records; a record of zero bytes holds nothing but nulls.
// Setters throw ParadoxError with a text for the user when a value does not suit the field.
class RecordLayout {
public:
    struct FieldDefinition {
        QString name;
        FieldType type;
        int size;
        int digits = 0;
    };

    // Throws ParadoxError when a field's type is unknown or its size does not suit its type, so
    // that no field is ever decoded past its own bytes.
    RecordLayout(const std::vector<FieldDefinition>& fields, int codePage);

    // The fields a new table of readings is created with.
    [[nodiscard]] static RecordLayout readings();

    [[nodiscard]] int recordSize() const { return m_recordSize; }
    [[nodiscard]] int fieldCount() const { return static_cast<int>(m_fields.size()); }
    [[nodiscard]] const TableField& field(int index) const { return m_fields[index]; }
    [[nodiscard]] const CodePage& codePage() const { return m_codePage; }

    // Field names match without regard to case; -1 when no field has the name.
    [[nodiscard]] int indexOf(QStringView name) const;

    // Memo, binary and graphic fields keep their contents in a companion file this program does
    // not write, so tables with them are read but not changed.
    [[nodiscard]] bool hasBlobFields() const;

    // The field's text form: integers and numbers as plain decimals, a time of day as HH:MM:SS,
    // dates as yyyy-MM-dd, texts as stored; empty for a null value or a type without a text form.
    [[nodiscard]] QString text(const char* record, int field) const;

    void setText(char* record, int field, QStringView text) const;
    void setInteger(char* record, int field, qint32 value) const;
    void setNumber(char* record, int field, double value) const;
    void setTimeOfDay(char* record, int field, qint32 msSinceMidnight) const;

private:
    [[noreturn]] void throwTypeMismatch(int field, const QString& what) const;

    std::vector<TableField> m_fields;
    int m_recordSize = 0;
    CodePage m_codePage;
};
