#include "TableExport.h"

#include "ParadoxFile.h"
#include "TableError.h"

#include <new>

std::optional<std::vector<char>> TableExport::build(const TableSnapshot& table,
                                                    const QString& tableName,
                                                    const ProgressCallback& progress) {
    if (table.layout.hasBlobFields()) {
        throw TableError(QStringLiteral("The table '%1' has memo or binary fields, which this "
                                        "program cannot copy.")
                             .arg(table.path));
    }
    try {
        ParadoxFile file(table.layout, tableName, table.count);
        ProgressTicker ticker(progress, table.count);
        for (qsizetype row = 0; row < table.count; ++row) {
            if (!ticker.step(row))
                return std::nullopt;
            file.appendRecord(table.records.at(row));
        }
        if (!ticker.finished())
            return std::nullopt;
        return file.finish();
    } catch (const std::bad_alloc&) {
        throw TableError(
            QStringLiteral("Not enough memory to copy the table '%1'.").arg(table.path));
    }
}
