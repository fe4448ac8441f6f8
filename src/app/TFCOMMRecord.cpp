// Recording readings into the table of readings, the table's commands and its grid.
#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "TFCOMM.h"
#include "TableError.h"
#include "UserMessages.h"

#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTime>

void TFCOMM::openReadingsTable() {
    // A fresh machine has no table yet: it starts as an empty one.
    TOrlanBDB->openOrCreate();
    Data1->reload();
}

bool TFCOMM::closeReadingsTable() {
    if (TOrlanBDB->isOpen() && TOrlanBDB->pendingCount() > 0 &&
        m_messages->askYesNo(QStringLiteral("Save the recorded readings before closing?")) &&
        !saveReadings())
        return false;
    TOrlanBDB->close();
    Data1->reload();
    return true;
}

bool TFCOMM::saveReadings() {
    if (!TOrlanBDB->isOpen()) {
        m_messages->error(QStringLiteral("No table of readings is open."));
        return false;
    }
    try {
        TOrlanBDB->applyUpdates();
    } catch (const TableError& e) {
        m_messages->error(e.message());
        return false;
    }
    return true;
}

void TFCOMM::INDataToTable() {
    // Without an open table there is nothing to record into; start-up has said why.
    if (!TOrlanBDB->isOpen())
        return;
    const Recording::Filters filters{RepeatSet->isChecked(), RecordSI->isChecked(),
                                     RecordSITime->text()};
    switch (Recording::offer(recording, reading, filters)) {
    case Recording::Verdict::Store:
        break;
    case Recording::Verdict::BadInterval:
        m_messages->error(invalidIntegerMessage(RecordSITime->text()));
        return;
    default:
        return;
    }
    const ReadingRecord record = Recording::recordOf(recording, reading, QTime::currentTime());
    try {
        TOrlanBDB->append(record);
    } catch (const TableError& e) {
        m_messages->error(e.message());
        return;
    }
    Recording::stored(recording);
    Data1->refresh();
    // Each stored reading becomes the grid's selected row.
    DBGrid1->selectRow(Data1->rowCount() - 1);
}

void TFCOMM::TrecordTimer() {
    Recording::tick(recording, RecordSI->isChecked());
}

void TFCOMM::RecordSITimeChange(const QString& text) {
    const std::optional<qint32> interval = intervalFromText(text);
    if (!interval) {
        m_messages->error(invalidIntegerMessage(text));
        return;
    }
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
    try {
        if (TOrlanBDB->isOpen() && TOrlanBDB->recordCount() > 0)
            TOrlanBDB->empty();
    } catch (const TableError& e) {
        m_messages->error(e.message());
    }
    Data1->reload();
    recording.NextRecordNo = 1;
    recording.RecordedCount = 0;
}

void TFCOMM::RecordSaveClick() {
    // The message comes after the write, so a failed write is never first reported as saved.
    if (saveReadings())
        m_messages->information(QStringLiteral(
            "Record has saved, it will be there when you enter the application next time."));
}
