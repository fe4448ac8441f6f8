// Recording readings into the table of readings: notices and pauses said in the status place,
// saving, and the recording commands.
#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "StatusBriefs.h"
#include "StatusPlace.h"
#include "TFCOMM.h"
#include "TableError.h"
#include "UserMessages.h"

#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTime>

namespace {

// Causes of the status place: recording paused by the table, by the interval text, a save
// waiting for room and its end, and each kind of notice the table hands out.
const QString kPausedCause = QStringLiteral("recording");
const QString kIntervalCause = QStringLiteral("interval");
const QString kRoomCause = QStringLiteral("room");
const QString kRoomSavedCause = QStringLiteral("saved after waiting for room");

QString noticeCause(TableCause cause) {
    return QStringLiteral("table %1").arg(static_cast<int>(cause));
}

} // namespace

void TFCOMM::sayTableNotices() {
    for (const TableProblem& notice : TOrlanBDB->takeNotices()) {
        const QString cause = noticeCause(notice.cause);
        m_statusPlace->set(cause, notice.message, StatusBriefs::tableNotice(notice.cause));
        if (!m_tableNoticeCauses.contains(cause))
            m_tableNoticeCauses << cause;
    }
}

void TFCOMM::forgetTableNotices() {
    for (const QString& cause : std::as_const(m_tableNoticeCauses))
        m_statusPlace->clear(cause);
    m_tableNoticeCauses.clear();
}

void TFCOMM::pauseRecording(const TableProblem& problem, RecordingPause::Until until) {
    // Said once per cause: a reading that fails again for the same reason says nothing new.
    if (m_pause.pause(problem, until))
        showPause();
}

void TFCOMM::resumeRecording() {
    m_pause.resume();
    m_statusPlace->clear(kRoomSavedCause);
    showPause();
}

void TFCOMM::showPause() {
    if (const std::optional<TableProblem>& problem = m_pause.problem())
        m_statusPlace->set(kPausedCause, RecordingPause::text(*problem),
                           StatusBriefs::recordingPaused(*problem));
    else
        m_statusPlace->clear(kPausedCause);
    if (const std::optional<TableProblem>& room = m_pause.roomProblem()) {
        m_statusPlace->clear(kRoomSavedCause);
        m_statusPlace->set(kRoomCause, RecordingPause::roomText(*room),
                           StatusBriefs::saveWaitsForRoom());
    } else {
        m_statusPlace->clear(kRoomCause);
    }
}

bool TFCOMM::saveReadings() {
    if (!TOrlanBDB->isOpen()) {
        m_messages->error(QStringLiteral("No table of readings is open."));
        return false;
    }
    return writePending(true);
}

// A failed save the user asked for is the command's failure, shown once as such; one tried
// again while it waits for room fails quietly. What waits is said in the status place until a
// save succeeds.
bool TFCOMM::writePending(bool asked) {
    if (const std::optional<TableProblem> problem = TOrlanBDB->save()) {
        if (asked)
            m_messages->error(problem->message);
        pauseRecording(*problem,
                       RecordingPause::untilFor(problem->cause, RecordingPause::During::Saving));
        sayTableNotices();
        return false;
    }
    const bool waitedForRoom = m_pause.waitsForRoom();
    m_pause.resumeAfterSave();
    showPause();
    // A save the user asked for says so in its box; one that ended a wait says so where the
    // wait was said.
    if (waitedForRoom && !asked)
        m_statusPlace->set(kRoomSavedCause,
                           QStringLiteral("Saved when room returned: the readings recorded while "
                                          "the save waited are in the table."),
                           StatusBriefs::savedWhenRoomReturned());
    else
        m_statusPlace->clear(kRoomSavedCause);
    // The journal was written afresh: a failure said before is over, or is said again now.
    m_statusPlace->clear(noticeCause(TableCause::JournalUnwritable));
    sayTableNotices();
    return true;
}

void TFCOMM::INDataToTable() {
    // Without an open table, or with one that cannot take readings, recording waits; the
    // status place says why.
    if (!TOrlanBDB->isOpen() || m_pause.holdsReadings())
        return;
    const Recording::Filters filters{RepeatSet->isChecked(), RecordSI->isChecked(),
                                     RecordSITime->text()};
    switch (Recording::offer(recording, reading, filters)) {
    case Recording::Verdict::Store:
        break;
    case Recording::Verdict::BadInterval:
        // Said where it lasts, not once per reading; correcting the text resumes recording.
        m_statusPlace->set(kIntervalCause,
                           RecordingPause::text(invalidIntegerMessage(RecordSITime->text())),
                           StatusBriefs::intervalNotANumber());
        return;
    default:
        return;
    }
    const ReadingRecord record = Recording::recordOf(recording, reading, QTime::currentTime());
    if (const std::optional<TableProblem> problem = TOrlanBDB->record(record)) {
        pauseRecording(*problem,
                       RecordingPause::untilFor(problem->cause, RecordingPause::During::Recording));
        sayTableNotices();
        return;
    }
    if (m_pause.resumeAfterReading())
        showPause(); // the reading went in: what failed before is gone
    Recording::stored(recording);
    sayTableNotices();
    Data1->refresh();
    // Each stored reading becomes the grid's selected row.
    DBGrid1->selectRow(Data1->rowCount() - 1);
}

void TFCOMM::TrecordTimer() {
    Recording::tick(recording, RecordSI->isChecked());
    if (!TOrlanBDB->isOpen())
        return;
    // A save that waits for room tries again once a second, until there is room.
    if (m_pause.waitsForRoom())
        (void)writePending(false);
    TOrlanBDB->syncJournal();
    sayTableNotices();
}

void TFCOMM::RecordSITimeChange(const QString& text) {
    const std::optional<qint32> interval = intervalFromText(text);
    if (!interval) {
        m_statusPlace->set(kIntervalCause, RecordingPause::text(invalidIntegerMessage(text)),
                           StatusBriefs::intervalNotANumber());
        return;
    }
    m_statusPlace->clear(kIntervalCause);
    recording.RecordCountdown = *interval;
}

bool TFCOMM::RecordSITimeKeyPress(const QKeyEvent& key) {
    // Only character keys are filtered; moving the cursor and deleting stay possible.
    const QString text = key.text();
    if (text.isEmpty() || key.key() == Qt::Key_Backspace || key.key() == Qt::Key_Delete)
        return false;
    const QChar c = text.front();
    return !(c >= u'0' && c <= u'9');
}

bool TFCOMM::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && (watched == CONok || watched == CONokN))
        showLinkHint(m_linkClock()); // and the picture shows it
    if (event->type() == QEvent::KeyPress && (watched == RecordSITime || watched == Maxrecord))
        return RecordSITimeKeyPress(static_cast<const QKeyEvent&>(*event));
    if (event->type() == QEvent::KeyPress && (watched == Setmax || watched == SetMin))
        return SetmaxKeyPress(static_cast<const QKeyEvent&>(*event));
    return QMainWindow::eventFilter(watched, event);
}

void TFCOMM::chooseRecordLimit(QAction* item, qint32 limit) {
    recording.RecordLimit = limit;
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
    if (TOrlanBDB->isOpen() && TOrlanBDB->recordCount() > 0) {
        try {
            TOrlanBDB->empty();
        } catch (const TableError& e) {
            m_messages->error(e.message());
            sayTableNotices();
            return;
        }
    }
    Data1->reload();
    recording.NextRecordNo = 1;
    recording.RecordedCount = 0;
    sayWhatTheTableKnows();
}

void TFCOMM::RecordSaveClick() {
    // A table shown for viewing only never takes a reading, so nothing can have been saved.
    if (TOrlanBDB->isOpen() && !TOrlanBDB->readOnlyReason().isEmpty()) {
        m_messages->information(
            QStringLiteral("Nothing was saved: this table is shown for viewing only. %1")
                .arg(TOrlanBDB->readOnlyReason()));
        return;
    }
    // The message comes after the write, so a failed write is never first reported as saved.
    if (saveReadings())
        m_messages->information(QStringLiteral(
            "Record has saved, it will be there when you enter the application next time."));
}
