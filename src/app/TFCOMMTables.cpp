// Opening the table of readings, at start-up and when another is chosen, and what the window
// says and asks about the table that opened.
#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "TFCOMM.h"
#include "TableError.h"
#include "UserMessages.h"

#include "ReadingsGrid.h"

void TFCOMM::openReadingsTable() {
    forgetTableNotices();
    // A fresh machine has no table yet: it starts as an empty one. A failure is shown by
    // start-up after the grid has been emptied.
    try {
        m_session.openDefaultTable();
    } catch (const TableError&) {
        Data1->reload();
        throw;
    }
    Data1->reload();
}

bool TFCOMM::openTableWithNotices(const QString& path) {
    forgetTableNotices();
    const QString failure = m_session.switchTable(path);
    showTableInGrid();
    if (!failure.isEmpty())
        m_messages->error(failure);
    offerFoundReadings();
    return failure.isEmpty();
}

void TFCOMM::offerFoundReadings() {
    const ReadingsTable& table = m_session.table();
    if (!table.isOpen())
        return;
    const std::optional<ReadingsTable::JournalFound> found = table.journalFound();
    if (!found)
        return;
    if (!m_messages->askYesNo(found->question())) {
        m_session.dropJournal();
        return;
    }
    m_session.adoptJournal();
    Data1->reload();
    DBGrid1->selectLastRow();
}

void TFCOMM::showTableInGrid() {
    const bool wereReadings = Data1->showsReadingsColumns();
    if (wereReadings)
        DBGrid1->keepReadingsColumns();
    Data1->reload();
    DBGrid1->showColumns(Data1->showsReadingsColumns(), wereReadings);
    DBGrid1->selectLastRow();
}

bool TFCOMM::closeReadingsTable() {
    // No to the question drops the pending readings, and close() their journal with them.
    const ReadingsTable& table = m_session.table();
    if (table.isOpen() && table.pendingCount() > 0 &&
        m_messages->askYesNo(QStringLiteral("Save the recorded readings before closing?")) &&
        !saveReadings())
        return false;
    m_session.closeTable();
    Data1->reload();
    return true;
}
