#pragma once

#include "CrashJournal.h"
#include "TableError.h"

#include <QString>

#include <vector>

class RecordStore;

// Files an earlier run left beside a table or an export when a crash or a kill cut a save short:
// new copies of the table being written (".<table file>.<random>.tmp", and the older
// ".<table file>.<process>-<n>.tmp"), replacements of the journal (".<journal>.<random>.new"),
// and copies of an export (".<file>.<random>.export.tmp"). Each is held under an advisory lock
// while it is written, so one that no process holds is a leftover. A copy of the table holds
// nothing the table lacks when each record it holds is the table's record at the same place or,
// past the table's end, the journal's pending reading at that place; such a copy is removed. Any
// other copy is kept under a visible name the user can open. Whatever is removed or kept is said
// in a notice; a file at one of these names that is not a regular file of ours is left alone.
class SaveLeftovers {
public:
    [[nodiscard]] static std::vector<TableProblem>
    handle(const QString& tablePath, const RecordStore& records,
           const std::vector<CrashJournal::Entry>& journal);

    // Replacements of the journal at journalPath that a kill left: removed, since the journal
    // they were to replace still holds every reading (one from an older version of the program
    // takes the journal's place when there is none).
    [[nodiscard]] static std::vector<TableProblem>
    settleJournalReplacements(const QString& journalPath);

    // Copies of exports in folder that no process is writing any more: removed. Returns what
    // was removed, in words for the user (empty when nothing was).
    [[nodiscard]] static QString removeExportCopies(const QString& folder);

    // The name pattern of an export's copy beside its target.
    [[nodiscard]] static QString exportCopySuffix() { return QStringLiteral(".export.tmp"); }
};
