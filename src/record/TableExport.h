#pragma once

#include "LongWork.h"
#include "TableSnapshot.h"

#include <QString>

#include <optional>
#include <vector>

// A table of readings copied as the bytes of a new Paradox table: the same fields, every record
// in table order, and no primary index. Numbers repeat after Record/New or after another table
// is opened, so No cannot serve as a key, and a keyed copy could not be recorded into here.
class TableExport {
public:
    // Empty when progress asked to stop. Throws TableError when the table cannot be copied.
    [[nodiscard]] static std::optional<std::vector<char>>
    build(const TableSnapshot& table, const QString& tableName,
          const ProgressCallback& progress = {});
};
