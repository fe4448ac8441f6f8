// Opening the table of readings, at start-up and when another is chosen, and what the window
// says and asks about the table that opened.
#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "TFCOMM.h"
#include "TableError.h"
#include "UserMessages.h"

#include "ReadingsGrid.h"
#include "StatusBriefs.h"
#include "StatusPlace.h"

void TFCOMM::openReadingsTable() {
    m_recordingNotices.forget();
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
    m_recordingNotices.forget();
    // The grid follows the table as soon as it has opened.
    const QString failure = m_session.switchTable(path);
    if (!failure.isEmpty())
        m_messages->error(failure);
    followTableWithPublisher();
    offerFoundReadings();
    return failure.isEmpty();
}

void TFCOMM::offerFoundReadings() {
    m_statusPlace->clear(QStringLiteral("journal-unanswered"));
    const ReadingsTable& table = m_session.readings();
    if (!table.isOpen())
        return;
    const std::optional<ReadingsTable::JournalFound> found = table.journalFound();
    if (!found)
        return;
    // Escape or the box's own close is no answer: the readings stay in their journal, to be
    // offered again at the next start, rather than being dropped by a key pressed in haste.
    switch (m_messages->askYesNoCancel(found->question())) {
    case UserMessages::Answer::Cancel:
        m_statusPlace->set(QStringLiteral("journal-unanswered"),
                           QStringLiteral("%1 of an earlier run stay in their journal; they are "
                                          "offered again at the next start.")
                               .arg(found->count == 1
                                        ? QStringLiteral("1 reading")
                                        : QStringLiteral("%1 readings").arg(found->count)),
                           StatusBriefs::journalUnanswered());
        return;
    case UserMessages::Answer::No:
        m_session.dropJournal();
        return;
    case UserMessages::Answer::Yes:
        break;
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
    // Cancel (also Escape and the box's own close) keeps the window and every reading; No drops
    // the pending readings, and close() their journal with them.
    const ReadingsTable& table = m_session.readings();
    if (table.isOpen() && table.pendingCount() > 0) {
        switch (m_messages->askYesNoCancel(
            QStringLiteral("Save the recorded readings before closing?"))) {
        case UserMessages::Answer::Cancel:
            return false;
        case UserMessages::Answer::Yes:
            if (!saveReadings())
                return false;
            break;
        case UserMessages::Answer::No:
            break;
        }
    }
    m_session.closeTable();
    Data1->reload();
    return true;
}
