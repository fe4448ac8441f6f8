// Opening the table of readings, at start-up and when another is chosen, and what the window
// says and asks about the table that opened.
#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "TFCOMM.h"
#include "TableError.h"
#include "UserMessages.h"

#include <QHeaderView>
#include <QTableView>

#include <new>

namespace {

// Widest a column of another program's table starts, so that a long text field leaves room for
// the others.
constexpr int kWidestForeignColumn = 150;

// Opens the table at path; the reason it could not be opened, or empty.
QString openTable(ReadingsTable& table, const QString& path) {
    try {
        table.setTableName(path);
        table.open();
        return {};
    } catch (const TableError& e) {
        table.close();
        return e.message();
    } catch (const std::bad_alloc&) {
        table.close();
        return QStringLiteral("Could not open the table '%1': not enough memory.").arg(path);
    }
}

} // namespace

void TFCOMM::openReadingsTable() {
    forgetTableNotices();
    // A fresh machine has no table yet: it starts as an empty one.
    try {
        TOrlanBDB->openOrCreate();
    } catch (const TableError&) {
        Data1->reload();
        sayWhatTheTableKnows();
        throw; // start-up shows the failure
    }
    Data1->reload();
    sayWhatTheTableKnows();
}

bool TFCOMM::openTableWithNotices(const QString& path) {
    forgetTableNotices();
    // The path is opened as chosen: where case matters, another spelling is another file.
    const QString previous = TOrlanBDB->isOpen() ? TOrlanBDB->filePath() : QString();
    TOrlanBDB->close();
    QString failure = openTable(*TOrlanBDB, path);
    if (!failure.isEmpty() && !previous.isEmpty()) {
        // Recording goes on into the table that was open before.
        const QString again = openTable(*TOrlanBDB, previous);
        failure += again.isEmpty() ? QStringLiteral("\nThe table '%1' stays open.").arg(previous)
                                   : QLatin1Char('\n') + again;
    }
    showTableInGrid();
    sayWhatTheTableKnows();
    if (!failure.isEmpty())
        m_messages->error(failure);
    offerFoundReadings();
    return failure.isEmpty();
}

// Said once, when the table opens (or is emptied): why it cannot take readings, if it cannot,
// and what it found on opening. Recording waits without a word per reading.
void TFCOMM::sayWhatTheTableKnows() {
    resumeRecording();
    if (const std::optional<TableProblem> problem = TOrlanBDB->recordingProblem())
        pauseRecording(*problem, RecordingPause::Until::TableChange);
    sayTableNotices();
}

void TFCOMM::offerFoundReadings() {
    if (!TOrlanBDB->isOpen())
        return;
    const std::optional<ReadingsTable::JournalFound> found = TOrlanBDB->journalFound();
    if (!found)
        return;
    if (!m_messages->askYesNo(found->question())) {
        TOrlanBDB->dropJournal();
        sayTableNotices();
        return;
    }
    TOrlanBDB->adoptJournal();
    // Numbering goes on after the adopted readings, and never back over numbers given since.
    Recording::continueAfter(recording, found->lastNo);
    Data1->reload();
    DBGrid1->selectRow(Data1->rowCount() - 1);
    sayTableNotices();
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
    // Cancel (also Escape and the box's own close) keeps the window and every reading; No drops
    // the pending readings, and close() their journal with them.
    if (TOrlanBDB->isOpen() && TOrlanBDB->pendingCount() > 0) {
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
    TOrlanBDB->close();
    Data1->reload();
    return true;
}
