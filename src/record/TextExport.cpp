#include "TextExport.h"

#include "TableError.h"

#include <array>
#include <cstring>

namespace {

constexpr std::array<const char*, 6> kColumns{"No", "Time", "DC/AC", "Value", "Unit", "AUTO"};

// Texts go out as the bytes the table stores, so that a character of the display font or of
// the table's code page reaches the file unchanged; other fields are written as their text
// form, which is plain ASCII.
void appendField(QByteArray& out, const RecordLayout& layout, const char* record, int field) {
    const TableField& f = layout.field(field);
    if (f.type != FieldType::Alpha) {
        out.append(layout.text(record, field).toLatin1());
        return;
    }
    const char* bytes = record + f.offset;
    const void* end = std::memchr(bytes, 0, static_cast<std::size_t>(f.size));
    out.append(bytes, end ? static_cast<const char*>(end) - bytes : f.size);
}

std::array<int, kColumns.size()> requireColumns(const TableSnapshot& table) {
    std::array<int, kColumns.size()> fields{};
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        fields[i] = table.layout.indexOf(QString::fromLatin1(kColumns[i]));
        if (fields[i] < 0) {
            throw TableError(QStringLiteral("Field '%1' not found in the table '%2'.")
                                 .arg(QLatin1String(kColumns[i]), table.path));
        }
    }
    return fields;
}

} // namespace

QByteArray TextExport::headingLine() {
    QByteArray line;
    for (const char* name : kColumns) {
        if (!line.isEmpty())
            line.append('\t');
        line.append(name);
    }
    return line.append("\r\n");
}

std::optional<QByteArray> TextExport::build(const TableSnapshot& table,
                                            const ProgressCallback& progress) {
    const auto fields = requireColumns(table);
    QByteArray out = headingLine();
    // A reading's line is some 40 bytes; reserving avoids copying a large export many times.
    out.reserve(out.size() + table.count * 48);
    ProgressTicker ticker(progress, table.count);
    for (qsizetype row = 0; row < table.count; ++row) {
        if (!ticker.step(row))
            return std::nullopt;
        const char* record = table.records.at(row);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0)
                out.append('\t');
            appendField(out, table.layout, record, fields[i]);
        }
        out.append("\r\n");
    }
    if (!ticker.finished())
        return std::nullopt;
    return out;
}
