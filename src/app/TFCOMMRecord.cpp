// Recording readings into the table of readings, as the window shows it: the grid's new row,
// saving, and the recording commands.
#include "LimitText.h"
#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "RecordingRow.h"
#include "TFCOMM.h"
#include "TableError.h"
#include "UserMessages.h"

#include "MainMenu.h"
#include "ReadingsGrid.h"
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

bool TFCOMM::saveReadings() {
    return writePending(true);
}

// A failed save the user asked for is the command's failure, shown once as such; one tried
// again while it waits for room fails quietly. What waits is said in the status place until a
// save succeeds.
bool TFCOMM::writePending(bool asked) {
    const bool waitedForRoom = m_session.pause().waitsForRoom();
    return pendingWritten(m_session.save(), asked, waitedForRoom);
}

void TFCOMM::writePendingInBackground(bool asked, std::function<void(bool)> then) {
    const bool waitedForRoom = m_session.pause().waitsForRoom();
    m_session.saveInBackground([this, asked, waitedForRoom, then = std::move(then)](
                                   const std::optional<TableProblem>& problem) {
        const bool written = pendingWritten(problem, asked, waitedForRoom);
        if (then)
            then(written);
    });
}

bool TFCOMM::pendingWritten(const std::optional<TableProblem>& problem, bool asked,
                            bool waitedForRoom) {
    if (problem) {
        if (asked)
            m_messages->error(problem->message);
        return false;
    }
    // A save the user asked for says so in its box; one that ended a wait where the wait was.
    m_recordingNotices.saved(waitedForRoom && !asked);
    return true;
}

// Each stored reading becomes the grid's selected row.
void TFCOMM::showStoredRow() {
    Data1->refresh();
    DBGrid1->selectLastRow();
}

void TFCOMM::TrecordTimer() {
    m_session.recordTick([this](const std::optional<TableProblem>& problem) {
        (void)pendingWritten(problem, false, true);
    });
}

void TFCOMM::RecordSITimeChange(const QString& text) {
    (void)m_session.setIntervalText(text);
}

bool TFCOMM::RecordSITimeKeyPress(const QKeyEvent& key) {
    // Only character keys are filtered; moving the cursor and deleting stay possible.
    const QString text = key.text();
    if (text.isEmpty() || key.key() == Qt::Key_Delete)
        return false;
    return !LimitText::acceptsCountKey(text.front());
}

bool TFCOMM::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && (watched == CONok || watched == CONokN))
        showLinkHint(); // and the picture shows it
    if (event->type() == QEvent::KeyPress &&
        (watched == m_recordingRow->intervalEdit() || watched == Maxrecord))
        return RecordSITimeKeyPress(static_cast<const QKeyEvent&>(*event));
    if (event->type() == QEvent::KeyPress && (watched == Setmax || watched == SetMin))
        return SetmaxKeyPress(static_cast<const QKeyEvent&>(*event));
    return QMainWindow::eventFilter(watched, event);
}

void TFCOMM::chooseRecordLimit(int item, qint32 limit) {
    m_session.setRecordLimit(limit);
    m_menu->showRecordLimit(item);
}

void TFCOMM::N10001Click() {
    chooseRecordLimit(0, 1000);
}

void TFCOMM::N50001Click() {
    chooseRecordLimit(1, 5000);
}

void TFCOMM::N100001Click() {
    chooseRecordLimit(2, 10000);
}

void TFCOMM::N500001Click() {
    chooseRecordLimit(3, 50000);
}

void TFCOMM::N1000001Click() {
    chooseRecordLimit(4, 100000);
}

void TFCOMM::limitessClick() {
    chooseRecordLimit(5, 10000000);
}

void TFCOMM::RecordNewClick() {
    m_messages->information(QStringLiteral(" Record deleted "));
    // A table that cannot be emptied ends the command: the readings and their numbering stay.
    try {
        m_session.emptyTable();
    } catch (const TableError& e) {
        m_messages->error(e.message());
        return;
    }
    Data1->reload();
}

void TFCOMM::RecordSaveClick() {
    // A table shown for viewing only never takes a reading, so nothing can have been saved.
    const ReadingsTable& table = m_session.readings();
    if (table.isOpen() && !table.readOnlyReason().isEmpty()) {
        m_messages->information(
            QStringLiteral("Nothing was saved: this table is shown for viewing only. %1")
                .arg(table.readOnlyReason()));
        return;
    }
    // The message comes after the write, so a failed write is never first reported as saved.
    writePendingInBackground(true, [this](bool written) {
        if (written)
            m_messages->information(QStringLiteral(
                "Record has saved, it will be there when you enter the application next time."));
    });
}
