#pragma once

#include <QString>

#include <stdexcept>

class ParadoxError;

// What went wrong with the table of readings, as a key the window can say once per kind (and
// clear when it ends) rather than once per reading. The table engine's own failures come in
// under the table's words (TableError(const ParadoxError&)).
enum class TableCause {
    Other,
    NotOpen,
    ReadOnly,          // the table opened for viewing only; readOnlyReason() says why
    FieldMissing,      // the table has no field of a name recording writes
    ValueDoesNotFit,   // a reading's value does not suit its field
    DiskFull,          // no room on the disk (or past the file-size limit) for a save
    WriteFailed,       // any other failed write of the table file
    JournalUnwritable, // the pending readings cannot be kept beside the table; memory holds them
    JournalKept,       // pending readings of an earlier run stay in their file, not offered
    JournalSetAside,   // a damaged or another table's journal was kept under another name
    LeftoverRemoved,   // files a save or an export cut short left behind were removed
    LeftoverKept,      // a file left by a save cut short holds readings; it was kept, visible
    SaveFinished,      // a save cut short by a crash was finished on opening
};

// A failure, or a notice, as a value: the cause and a sentence for the user.
struct TableProblem {
    TableCause cause = TableCause::Other;
    QString message;
};

// A failure of the table of readings. Its message is written for the user: the window shows it
// as it stands in the standard error box, or once per cause where it shows lasting conditions.
class TableError : public std::runtime_error {
public:
    explicit TableError(const QString& message, TableCause cause = TableCause::Other)
        : std::runtime_error(message.toStdString()), m_problem{cause, message} {}
    // The engine's failure in the table's words: a full disk, a failed write or a value that
    // does not fit keep their cause, a damaged file and the rest are Other.
    explicit TableError(const ParadoxError& engine);

    [[nodiscard]] const QString& message() const { return m_problem.message; }
    [[nodiscard]] TableCause cause() const { return m_problem.cause; }
    [[nodiscard]] const TableProblem& problem() const { return m_problem; }

private:
    TableProblem m_problem;
};
