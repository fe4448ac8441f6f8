// Recording readings into the table of readings, as the window shows it: the grid's new row,
// the table's notices in the status place, saving, and the recording commands.
#include "LimitText.h"
#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "RecordingRow.h"
#include "StatusPlace.h"
#include "TFCOMM.h"
#include "TableError.h"
#include "UserMessages.h"

#include "ReadingsGrid.h"
#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

// Each kind of notice the table hands out is said in its own place in the status line.
QString noticeCause(TableCause cause) {
    return QStringLiteral("table %1").arg(static_cast<int>(cause));
}

} // namespace

void TFCOMM::sayTableNotice(const TableProblem& notice) {
    const QString cause = noticeCause(notice.cause);
    m_statusPlace->set(cause, notice.message);
    if (!m_tableNoticeCauses.contains(cause))
        m_tableNoticeCauses << cause;
}

void TFCOMM::forgetTableNotices() {
    for (const QString& cause : std::as_const(m_tableNoticeCauses))
        m_statusPlace->clear(cause);
    m_tableNoticeCauses.clear();
}

// A failed save is the command's failure, shown once as such; recording then waits, said in
// the status place, until a save succeeds.
bool TFCOMM::saveReadings() {
    if (const std::optional<TableProblem> problem = m_session.save()) {
        m_messages->error(problem->message);
        return false;
    }
    // The journal was written afresh: a failure said before is over, or is said again now.
    m_statusPlace->clear(noticeCause(TableCause::JournalUnwritable));
    return true;
}

// Each stored reading becomes the grid's selected row.
void TFCOMM::showStoredRow() {
    Data1->refresh();
    DBGrid1->selectLastRow();
}

void TFCOMM::TrecordTimer() {
    m_session.recordTick();
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

void TFCOMM::chooseRecordLimit(QAction* item, qint32 limit) {
    m_session.setRecordLimit(limit);
    for (QAction* a : {N10001, N50001, N100001, N500001, N1000001, limitess})
        a->setChecked(a == item);
}

void TFCOMM::N10001Click() {
    chooseRecordLimit(N10001, 1000);
}

void TFCOMM::N50001Click() {
    chooseRecordLimit(N50001, 5000);
}

void TFCOMM::N100001Click() {
    chooseRecordLimit(N100001, 10000);
}

void TFCOMM::N500001Click() {
    chooseRecordLimit(N500001, 50000);
}

void TFCOMM::N1000001Click() {
    chooseRecordLimit(N1000001, 100000);
}

void TFCOMM::limitessClick() {
    chooseRecordLimit(limitess, 10000000);
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
    // The message comes after the write, so a failed write is never first reported as saved.
    if (saveReadings())
        m_messages->information(QStringLiteral(
            "Record has saved, it will be there when you enter the application next time."));
}
