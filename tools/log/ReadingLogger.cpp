#include "ReadingLogger.h"

#include "CaptureWriter.h"
#include "CapturingSerialBackend.h"
#include "PosixSerialBackend.h"
#include "ReadingMessage.h"
#include "RunDuration.h"
#include "TCommPortDriver.h"
#include "TableError.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QTime>

#include <cerrno>
#include <cstdio>
#include <limits>

namespace {

// The fields recording writes; a table without one of them is not a table of readings.
constexpr const char16_t* kFields[] = {u"No",   u"Time", u"DC/AC", u"Value",
                                       u"Unit", u"AUTO", u"Nval"};

// The receive poll for the meters that answer requests, and the sampling timer.
constexpr int kRequestTickMs = 100;
constexpr int kRecordTickMs = 1000;
constexpr int kHealthEveryMs = 60 * 1000;

// Opens the capture file the options name; when it cannot be written the options keep the
// reason in its place, which openPort() says.
std::shared_ptr<CaptureWriter> openCapture(LogOptions& options) {
    if (options.capturePath.isEmpty())
        return nullptr;
    std::string why;
    std::shared_ptr<CaptureWriter> capture =
        CaptureWriter::open(options.capturePath.toLocal8Bit().constData(), why);
    if (!capture)
        options.capturePath = QString::fromStdString(why);
    return capture;
}

// The line read once per request tick rather than twice: with no display to keep fresh, a third
// of the wake-ups is worth saving on a machine that logs all night. An answer takes about 12 ms
// on the line, so it is whole by the next tick; the session's stale bound follows the poll.
MeterSession::Setup setupFor(MeterSession::Setup setup, const LogOptions& options,
                             const std::shared_ptr<CaptureWriter>& capture) {
    if (const MeterProfile* model = MeterProfile::named(options.model))
        setup.model = *model;
    if (!setup.line) {
        setup.line = std::make_unique<PosixSerialBackend>();
        if (capture)
            setup.line = std::make_unique<CapturingSerialBackend>(std::move(setup.line), capture);
    }
    setup.receivePollMs = kRequestTickMs;
    return setup;
}

bool writeStdout(const std::string& line) {
    if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() ||
        std::fputc('\n', stdout) == EOF || std::fflush(stdout) != 0) {
        clearerr(stdout);
        return errno != EPIPE;
    }
    return true;
}

QString readings(qsizetype n) {
    return n == 1 ? QStringLiteral("1 reading") : QStringLiteral("%1 readings").arg(n);
}

void writeStderr(const QString& line) {
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

ReadingLogger::ReadingLogger(LogOptions options, QObject* parent, MeterSession::Setup setup)
    : QObject(parent), m_options(std::move(options)), m_capture(openCapture(m_options)),
      m_session(setupFor(std::move(setup), m_options, m_capture)), m_output(writeStdout),
      m_status(writeStderr) {
    bindSession();
    // A sync may take seconds on a slow or busy disk; the meter goes on being asked meanwhile.
    m_session.syncInBackground();
    connect(&m_requestTimer, &QTimer::timeout, this, &ReadingLogger::requestTick);
    connect(&m_recordTimer, &QTimer::timeout, this, &ReadingLogger::recordTick);
    connect(&m_saveTimer, &QTimer::timeout, this, &ReadingLogger::saveTick);
    connect(&m_healthTimer, &QTimer::timeout, this, &ReadingLogger::healthTick);
}

void ReadingLogger::bindSession() {
    // No key is ever sent, so the REL key's state stays off, as the window starts it. Each
    // reading the options let in is offered: the interval always counts down.
    m_session.setRecordFilters(m_options.skipRepeats, true);
    (void)m_session.setIntervalText(QString::number(m_options.intervalSeconds));
    m_session.setRecordLimit(m_options.limit.value_or(std::numeric_limits<qint32>::max()));
    connect(&m_session, &MeterSession::mainFrame, this, [this](const FrameResult&) {
        ++m_mainReadings;
        if (!m_finished && m_options.count && m_mainReadings >= *m_options.count)
            finish(kDone, QStringLiteral("%1 readings taken").arg(m_mainReadings));
    });
    connect(&m_session, &MeterSession::readingStored, this, &ReadingLogger::onStored);
    connect(&m_session, &MeterSession::readingRefused, this, &ReadingLogger::onRefused);
    connect(&m_session, &MeterSession::tableNotice, this, &ReadingLogger::sayNotice);
    // A full disk is waited out as the window waits it out.
    connect(&m_session, &MeterSession::roomWaitBegan, this, [this](const TableProblem& problem) {
        say(QStringLiteral("the save waits for room: %1; readings go on being recorded and are "
                           "saved when there is room")
                .arg(problem.message));
    });
    connect(&m_session, &MeterSession::roomAgain, this,
            [this] { say(QStringLiteral("there is room again")); });
    connect(&m_session, &MeterSession::deviceGone, this,
            [this](const QString& port, const QString& device) {
                say(QStringLiteral("link lost: %1 (%2) went away; waiting for it to come back")
                        .arg(port, device));
            });
    connect(&m_session, &MeterSession::deviceBack, this,
            [this](const QString& port, const QString& device) {
                say(QStringLiteral("link regained: %1 (%2) is open again").arg(port, device));
            });
    connect(&m_session, &MeterSession::silenceBegan, this, [this](qint64) {
        say(QStringLiteral("no answer from the meter for %1 s; still asking")
                .arg(m_session.model().silentAfterMs / 1000));
    });
    connect(&m_session, &MeterSession::silenceEnded, this,
            [this] { say(QStringLiteral("the meter answers again")); });
}

// Work still waiting on the disk ends first, while everything its outcome is said on lives.
ReadingLogger::~ReadingLogger() {
    m_session.finishSyncs();
}

std::optional<int> ReadingLogger::start() {
    if (auto code = openPort())
        return code;
    if (auto code = openTable())
        return code;
    startTimers();
    return std::nullopt;
}

std::optional<int> ReadingLogger::fail(int code, const QString& text) {
    m_status(QStringLiteral("velmar-log: ") + text);
    return code;
}

std::optional<int> ReadingLogger::openPort() {
    if (!m_options.capturePath.isEmpty() && !m_capture)
        return fail(kCannotOpen,
                    QStringLiteral("cannot write the capture file: %1").arg(m_options.capturePath));
    if (m_options.port.startsWith(u'/'))
        m_session.chooseDevice(m_options.port);
    else
        (void)m_session.choosePort(m_options.port.mid(3).toInt());
    if (!m_session.connectLine()) {
        const PortOpenError& why = m_session.lastOpenError();
        return fail(kCannotOpen, QStringLiteral("cannot open the port %1: %2")
                                     .arg(why.portName == why.device
                                              ? why.device
                                              : QStringLiteral("%1 (%2)").arg(
                                                    why.portName, why.device.isEmpty()
                                                                      ? QStringLiteral("no device")
                                                                      : why.device),
                                          why.text));
    }
    const QString device = m_session.openDevice();
    say(QStringLiteral("port %1 opened at %2 baud")
            .arg(device == m_options.port ? device
                                          : QStringLiteral("%1 (%2)").arg(m_options.port, device))
            .arg(TCommPortDriver::baudRateOf(m_session.model().speed)));
    return std::nullopt;
}

std::optional<int> ReadingLogger::openTable() {
    const bool existed = QFileInfo::exists(m_options.table) ||
                         QFileInfo::exists(m_options.table + QStringLiteral(".DB"));
    m_session.setDefaultTableName(m_options.table);
    const ReadingsTable& table = m_session.readings();
    try {
        m_session.openDefaultTable();
    } catch (const TableError& error) {
        return fail(kCannotOpen, error.message());
    }
    if (!table.readOnlyReason().isEmpty())
        return fail(kCannotOpen, table.readOnlyReason());
    for (const char16_t* field : kFields) {
        if (table.fieldIndex(field) < 0)
            return fail(kCannotOpen, QStringLiteral("the table '%1' has no field '%2': it is not "
                                                    "a table of readings")
                                         .arg(table.filePath(), QString::fromUtf16(field)));
    }
    say(QStringLiteral("table %1 %2, %3 records")
            .arg(table.filePath(), existed ? QStringLiteral("opened") : QStringLiteral("created"))
            .arg(table.recordCount()));
    adoptJournal();
    if (!save() && !m_session.pause().waitsForRoom())
        return fail(kCannotWrite, unwrittenLine().mid(QStringLiteral("velmar-log: ").size()));
    return std::nullopt;
}

// Nobody is there to be asked, so readings an earlier run left unsaved are always taken back.
void ReadingLogger::adoptJournal() {
    const ReadingsTable& table = m_session.readings();
    const std::optional<ReadingsTable::JournalFound> found = table.journalFound();
    if (!found)
        return;
    m_session.adoptJournal();
    say(QStringLiteral("added %1 readings recorded from %2 that an earlier run did not save "
                       "(found in %3); numbering goes on at %4")
            .arg(found->count)
            .arg(QLocale::c().toString(found->firstRecorded, QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                 CrashJournal::pathFor(table.filePath()))
            .arg(m_session.recording().NextRecordNo));
}

void ReadingLogger::startTimers() {
    m_requestTimer.start(m_session.model().linkTickMs);
    m_recordTimer.start(kRecordTickMs);
    m_saveTimer.start(m_options.saveEverySeconds * 1000);
    m_healthTimer.start(kHealthEveryMs);
    m_startedMs = m_session.now();
}

void ReadingLogger::receive(const std::uint8_t* data, std::size_t size) {
    if (!m_finished)
        m_session.receive(data, size);
}

void ReadingLogger::requestTick() {
    if (m_finished)
        return;
    // The run's end is looked for here: a timer of the run's length could not hold 25 days.
    if (m_options.durationMs &&
        RunDuration::isOver(m_startedMs, *m_options.durationMs, m_session.now())) {
        finish(kDone, QStringLiteral("the run's duration is over"));
        return;
    }
    m_session.linkTick();
    if (m_session.model().needsRequestTick())
        m_session.requestTick();
}

void ReadingLogger::onStored(const StoredReading& stored) {
    if (m_finished)
        return;
    print(stored);
    const RecordingState& recording = m_session.recording();
    if (recording.RecordedCount >= recording.RecordLimit)
        finish(kDone, QStringLiteral("the record limit of %1 readings is reached")
                          .arg(recording.RecordLimit));
}

// A value that does not fit is said and the next reading tries; a table that cannot take
// readings ends the run.
void ReadingLogger::onRefused(const TableProblem& problem, TableFailure failure) {
    if (failure == TableFailure::ThisReading) {
        say(QStringLiteral("reading not stored: %1").arg(problem.message));
        return;
    }
    finish(kCannotWrite,
           QStringLiteral("the table cannot take a reading: %1").arg(problem.message));
}

void ReadingLogger::print(const StoredReading& stored) {
    if (m_outputClosed)
        return;
    std::string line;
    if (m_options.format == LogOptions::Format::Jsonl) {
        // The same object the broker is sent.
        line = ReadingMessage::of(stored).toStdString();
    } else {
        const ReadingsTable& table = m_session.readings();
        const qsizetype row = table.recordCount() - 1;
        QStringList fields;
        for (int i = 0; i < table.fieldCount(); ++i)
            fields << table.text(row, i);
        line = fields.join(u'\t').toStdString();
    }
    if (m_output(line))
        return;
    m_outputClosed = true;
    finish(kDone, QStringLiteral("standard output is closed"));
}

void ReadingLogger::recordTick() {
    if (m_finished)
        return;
    m_session.recordTick(
        savedTo(m_session.readings().recordCount() - m_session.readings().pendingCount()));
    if (m_capture && !m_capture->ok() && !std::exchange(m_captureFailureSaid, true))
        say(QStringLiteral("the capture stopped: %1")
                .arg(QString::fromStdString(m_capture->error())));
}

// The save waits on the disk off this thread; a tick that comes while one waits leaves it be.
void ReadingLogger::saveTick() {
    const ReadingsTable& table = m_session.readings();
    if (m_finished || !table.isOpen() || table.pendingCount() == 0)
        return;
    (void)m_session.trySaveInBackground(savedTo(table.recordCount() - table.pendingCount()));
}

// A save the session waited for: a full disk is waited out, any other failure ends the run.
MeterSession::SaveDone ReadingLogger::savedTo(qsizetype inFileBefore) {
    return [this, inFileBefore](const std::optional<TableProblem>& problem) {
        if (!saved(problem, inFileBefore) && !m_session.pause().waitsForRoom())
            finish(kCannotWrite, QString());
    };
}

void ReadingLogger::healthTick() {
    QString line = m_session.healthSummary();
    if (LinkHealth::isNote(line))
        line = line.mid(1).trimmed();
    say(line);
}

bool ReadingLogger::save() {
    const ReadingsTable& table = m_session.readings();
    if (!table.isOpen() || table.pendingCount() == 0)
        return true;
    return saved(m_session.save(), table.recordCount() - table.pendingCount());
}

bool ReadingLogger::saved(const std::optional<TableProblem>& problem, qsizetype inFileBefore) {
    const ReadingsTable& table = m_session.readings();
    if (problem) {
        m_saveError = problem->message;
        return false;
    }
    m_saveError.clear();
    m_journalLost = false;
    // Readings that came while the save waited on the disk stay pending for the next one.
    const qsizetype inFile = table.recordCount() - table.pendingCount();
    say(QStringLiteral("saved %1, %2 in the table")
            .arg(readings(inFile - inFileBefore))
            .arg(inFile));
    return true;
}

QString ReadingLogger::unwrittenLine() const {
    const ReadingsTable& table = m_session.readings();
    const QString kept =
        m_journalLost ? QStringLiteral("they could not be kept in the journal either, and each "
                                       "was printed on standard output")
                      : QStringLiteral("they stay in %1, which the next run adds")
                            .arg(CrashJournal::pathFor(table.filePath()));
    return QStringLiteral("velmar-log: cannot write the table: %1; %2 readings are not in it: %3")
        .arg(m_saveError)
        .arg(table.pendingCount())
        .arg(kept);
}

void ReadingLogger::finish(int code, const QString& why) {
    if (m_finished)
        return;
    // A save still waiting on the disk ends first and is said first, as it began first; one
    // that failed ends the run itself.
    m_session.finishSyncs();
    if (m_finished)
        return;
    m_finished = true;
    for (QTimer* timer : {&m_requestTimer, &m_recordTimer, &m_saveTimer, &m_healthTimer})
        timer->stop();
    m_session.stopWatching();
    if (!why.isEmpty())
        say(QStringLiteral("stopping: %1").arg(why));
    int exitCode = code;
    // A save that failed just now is not tried again at once, unless it waits for room, which
    // may have come back since; any other end saves what it can.
    if ((!m_saveError.isEmpty() && !m_session.pause().waitsForRoom()) || !save()) {
        exitCode = kCannotWrite;
        // The table is left open, not closed: closing would drop the journal.
        m_status(unwrittenLine());
    } else {
        m_session.closeTable();
    }
    m_session.disconnectLine();
    QMetaObject::invokeMethod(
        this, [this, exitCode] { emit finished(exitCode); }, Qt::QueuedConnection);
}

void ReadingLogger::sayNotice(const TableProblem& notice) {
    if (notice.cause == TableCause::JournalUnwritable)
        m_journalLost = true;
    say(notice.message);
}

void ReadingLogger::say(const QString& text) {
    m_status(m_session.wallNow().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss ")) + text);
}
