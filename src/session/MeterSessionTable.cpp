// The recording side of the session: the decision to store each reading, the table of readings
// with its journal, and recording's pause while the table cannot take readings.
#include "MeterSession.h"

#include "ReadingsTable.h"
#include "SyncWorker.h"

void MeterSession::setRecordFilters(bool repeat, bool interval) {
    m_filters.repeat = repeat;
    m_filters.interval = interval;
}

bool MeterSession::setIntervalText(const QString& text) {
    m_filters.intervalText = text;
    const std::optional<qint32> interval = intervalFromText(text);
    if (!interval) {
        emit intervalRefused(text);
        return false;
    }
    emit intervalAccepted();
    m_recording.RecordCountdown = *interval;
    return true;
}

void MeterSession::recordTick(
    std::function<void(const std::optional<TableProblem>& problem)> retried) {
    Recording::tick(m_recording, m_filters.interval);
    if (!m_table.isOpen())
        return;
    m_table.syncJournal();
    sayTableNotices();
    if (m_pause.waitsForRoom())
        (void)trySaveInBackground(
            [retried = std::move(retried)](const std::optional<TableProblem>& problem) {
                if (retried)
                    retried(problem);
            });
}

bool MeterSession::trySaveInBackground(SaveDone done) {
    if (saving() || (m_pause.waitsForRoom() && !m_table.hasRoomForSave()))
        return false;
    saveInBackground(std::move(done));
    return true;
}

// Without an open table, or with one that cannot take readings, recording waits; the pause was
// said when it began.
bool MeterSession::offerToRecording(const Reading& reading) {
    if (!m_table.isOpen() || m_pause.holdsReadings())
        return false;
    switch (Recording::offer(m_recording, reading, m_filters)) {
    case Recording::Verdict::Store:
        break;
    case Recording::Verdict::BadInterval:
        emit intervalRefused(m_filters.intervalText);
        return false;
    default:
        return false;
    }
    const QDateTime at = wallNow();
    const ReadingRecord record = Recording::recordOf(m_recording, reading, at.time());
    if (const std::optional<TableProblem> problem = m_table.record(record)) {
        pauseRecording(*problem,
                       RecordingPause::untilFor(problem->cause, RecordingPause::During::Recording));
        sayTableNotices();
        emit readingRefused(*problem, classifyTableFailure(problem->cause));
        return false;
    }
    if (m_pause.resumeAfterReading())
        emit pauseChanged(); // the reading went in: what failed before is gone
    Recording::stored(m_recording);
    sayTableNotices();
    emit readingStored(StoredReading{m_runId, record.no, at, reading, record});
    return true;
}

void MeterSession::pauseRecording(const TableProblem& problem, RecordingPause::Until until) {
    // Said once per cause: a reading that fails again for the same reason says nothing new.
    if (m_pause.pause(problem, until))
        emit pauseChanged();
}

void MeterSession::resumeRecording() {
    m_pause.resume();
    emit pauseChanged();
}

void MeterSession::sayTableNotices() {
    for (const TableProblem& notice : m_table.takeNotices())
        emit tableNotice(notice);
}

void MeterSession::tableChanged() {
    emit tableReplaced();
    resumeRecording();
    if (const std::optional<TableProblem> problem = m_table.recordingProblem())
        pauseRecording(*problem, RecordingPause::Until::TableChange);
    sayTableNotices();
}

void MeterSession::openDefaultTable() {
    try {
        m_table.openOrCreate();
    } catch (const TableError&) {
        tableChanged();
        throw;
    }
    tableChanged();
}

void MeterSession::openTable(const QString& path) {
    m_table.close();
    m_table.setTableName(path);
    try {
        m_table.open();
    } catch (const TableError&) {
        m_table.close();
        tableChanged();
        throw;
    }
    tableChanged();
}

namespace {

// Opens the table at path; the reason it could not be opened, or empty.
QString openAt(ReadingsTable& table, const QString& path) {
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

QString MeterSession::switchTable(const QString& path) {
    // The path is opened as chosen: where case matters, another spelling is another file.
    const QString previous = m_table.isOpen() ? m_table.filePath() : QString();
    m_table.close();
    QString failure = openAt(m_table, path);
    if (!failure.isEmpty() && !previous.isEmpty()) {
        // Recording goes on into the table that was open before.
        const QString again = openAt(m_table, previous);
        failure += again.isEmpty() ? QStringLiteral("\nThe table '%1' stays open.").arg(previous)
                                   : QLatin1Char('\n') + again;
    }
    tableChanged();
    return failure;
}

void MeterSession::closeTable() {
    m_table.close();
}

// A failed save is said by the host; recording then waits until a save succeeds, except that a
// full disk is waited out while readings go on (the host tries the save again).
std::optional<TableProblem> MeterSession::save() {
    if (!m_table.isOpen())
        return TableProblem{TableCause::NotOpen, QStringLiteral("No table of readings is open.")};
    return saved(m_table.save());
}

void MeterSession::syncInBackground() {
    if (!m_syncWorker) {
        m_syncWorker = std::make_unique<SyncWorker>();
        m_syncWorker->setAfterHandBack([this] { sayTableNotices(); });
    }
    m_table.setSyncWorker(m_syncWorker.get());
}

void MeterSession::saveInBackground(SaveDone done) {
    if (!m_table.isOpen()) {
        done(TableProblem{TableCause::NotOpen, QStringLiteral("No table of readings is open.")});
        return;
    }
    m_table.saveInBackground(
        [this, done = std::move(done)](const std::optional<TableProblem>& problem) {
            done(saved(problem));
            if (!writing())
                emit writingEnded();
        });
}

void MeterSession::writeExport(PreparedExport file, ExportDone done) {
    if (!m_syncWorker) {
        done(file.write());
        return;
    }
    auto prepared = std::make_shared<PreparedExport>(std::move(file));
    auto result = std::make_shared<ExportResult>();
    ++m_exportsWriting;
    m_syncWorker->run([prepared, result] { *result = prepared->write(); },
                      [this, result, done = std::move(done)] {
                          --m_exportsWriting;
                          done(*result);
                          if (!writing())
                              emit writingEnded();
                      });
}

void MeterSession::finishSyncs() {
    if (m_syncWorker)
        m_syncWorker->finish();
}

std::optional<TableProblem> MeterSession::saved(const std::optional<TableProblem>& problem) {
    const bool waitedForRoom = m_pause.waitsForRoom();
    if (problem) {
        pauseRecording(*problem,
                       RecordingPause::untilFor(problem->cause, RecordingPause::During::Saving));
        sayTableNotices();
        if (!waitedForRoom && m_pause.waitsForRoom())
            emit roomWaitBegan(*problem);
        return problem;
    }
    if (m_pause.resumeAfterSave())
        emit pauseChanged();
    sayTableNotices();
    if (waitedForRoom)
        emit roomAgain();
    return std::nullopt;
}

void MeterSession::emptyTable() {
    if (m_table.isOpen() && m_table.recordCount() > 0) {
        try {
            m_table.empty();
        } catch (const TableError&) {
            sayTableNotices();
            throw;
        }
    }
    m_recording.NextRecordNo = 1;
    m_recording.RecordedCount = 0;
    beginRun();
    tableChanged();
}

void MeterSession::adoptJournal() {
    const std::optional<ReadingsTable::JournalFound> found = m_table.journalFound();
    if (!found)
        return;
    m_table.adoptJournal();
    // Numbering goes on after the adopted readings, and never back over numbers given since.
    Recording::continueAfter(m_recording, found->lastNo);
    sayTableNotices();
}

void MeterSession::dropJournal() {
    m_table.dropJournal();
    sayTableNotices();
}
