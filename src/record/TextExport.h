#pragma once

#include "LongWork.h"
#include "TableSnapshot.h"

#include <QByteArray>

#include <optional>

// The tab-separated text of a table of readings, for a spreadsheet or a text editor: a heading
// line, then one line per record with the fields No, Time, DC/AC, Value, Unit and AUTO, each
// line ended by CR LF. Texts keep the table's own 8-bit characters; nothing is quoted.
class TextExport {
public:
    // Empty when progress asked to stop. Throws TableError, before any byte is produced, when
    // the table lacks one of the fields.
    [[nodiscard]] static std::optional<QByteArray> build(const TableSnapshot& table,
                                                         const ProgressCallback& progress = {});

    [[nodiscard]] static QByteArray headingLine();
};
