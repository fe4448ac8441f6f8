#pragma once

#include "CrashJournal.h"
#include "TableError.h"

#include <QString>

#include <vector>

class RecordStore;

// Files an earlier run left beside a table when a crash cut a save short: new copies of the
// table being written (".<table file>.<process>-<n>.tmp"). A copy holds nothing the table lacks
// when each record it holds is the table's record at the same place or, past the table's end,
// the journal's pending reading at that place; such a copy is removed. Any other copy is kept
// under a visible name the user can open, and said in a notice.
class SaveLeftovers {
public:
    [[nodiscard]] static std::vector<TableProblem>
    handle(const QString& tablePath, const RecordStore& records,
           const std::vector<CrashJournal::Entry>& journal);
};
