// Opening the table of readings, at start-up and when another is chosen, and what the window
// says and asks about the table that opened.
#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "TFCOMM.h"
#include "TableError.h"
#include "UserMessages.h"

#include <QHeaderView>
#include <QTableView>

namespace {

// Widest a column of another program's table starts, so that a long text field leaves room for
// the others.
constexpr int kWidestForeignColumn = 150;

} // namespace

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
    DBGrid1->selectRow(Data1->rowCount() - 1);
}

void TFCOMM::showTableInGrid() {
    QHeaderView* header = DBGrid1->horizontalHeader();
    const bool wasReadings = Data1->showsReadingsColumns();
    if (wasReadings) {
        // The designed widths and the display-font columns come back with a table of readings.
        m_readingsColumnWidths.clear();
        m_readingsDelegates.clear();
        for (int c = 0; c < ReadingsTableModel::kColumns; ++c) {
            m_readingsColumnWidths.push_back(header->sectionSize(c));
            m_readingsDelegates.push_back(DBGrid1->itemDelegateForColumn(c));
        }
    }
    Data1->reload();
    if (Data1->showsReadingsColumns()) {
        for (int c = 0; c < ReadingsTableModel::kColumns && !wasReadings; ++c) {
            DBGrid1->setColumnWidth(c, m_readingsColumnWidths.at(static_cast<std::size_t>(c)));
            DBGrid1->setItemDelegateForColumn(c,
                                              m_readingsDelegates.at(static_cast<std::size_t>(c)));
        }
    } else {
        for (int c = 0; c < ReadingsTableModel::kColumns; ++c)
            DBGrid1->setItemDelegateForColumn(c, nullptr);
        DBGrid1->resizeColumnsToContents();
        for (int c = 0; c < Data1->columnCount(); ++c)
            DBGrid1->setColumnWidth(c, std::min(DBGrid1->columnWidth(c), kWidestForeignColumn));
    }
    if (Data1->rowCount() > 0)
        DBGrid1->selectRow(Data1->rowCount() - 1);
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
