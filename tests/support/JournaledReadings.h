#pragma once

#include "CrashJournal.h"
#include "ReadingsTable.h"

#include <cstddef>

// The readings the open table's journal holds; none when there is no journal.
inline std::size_t journaledReadings(const ReadingsTable& table) {
    return CrashJournal::read(CrashJournal::pathFor(table.filePath()), table.journalIdentity())
        .contents.entries.size();
}
