#pragma once

#include "ReadingsTable.h"
#include "RecordLayout.h"
#include "RecordStore.h"

#include <QString>

// The records of the table of readings as they were when a command started: saved and pending
// alike, in table order. Readings recorded while the command runs lie beyond count and are left
// out; stored records never move, so the snapshot stays valid as long as the table is neither
// closed nor emptied.
struct TableSnapshot {
    const RecordLayout& layout;
    const RecordStore& records;
    qsizetype count;
    QString path; // the file the table was read from

    [[nodiscard]] static TableSnapshot of(const ReadingsTable& table) {
        return {table.layout(), table.records(), table.records().size(), table.filePath()};
    }
};
