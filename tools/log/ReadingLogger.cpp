#include "ReadingLogger.h"

#include "CaptureWriter.h"
#include "CapturingSerialBackend.h"
#include "DeviceWatcher.h"
#include "FrameJson.h"
#include "MainFrameDecoder.h"
#include "PosixSerialBackend.h"
#include "RecordingPause.h"
#include "RunDuration.h"
#include "ReadingMessage.h"
#include "TableError.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QTime>

#include <cerrno>
#include <cstdio>
#include <limits>

namespace {

// The fields recording writes; a table without one of them is not a table of readings.
constexpr const char16_t* kFields[] = {u"No",   u"Time", u"DC/AC", u"Value",
                                       u"Unit", u"AUTO", u"Nval"};

// The window's receive poll and request cycle, and its sampling timer.
constexpr int kRequestTickMs = 100;
constexpr int kRecordTickMs = 1000;
constexpr int kHealthEveryMs = 60 * 1000;
// No key is ever sent, so the REL key's state stays off, as the window starts it.
constexpr int kRelOff = 0;

std::shared_ptr<CaptureWriter> openCapture(const QString& path, QString& error) {
    if (path.isEmpty())
        return nullptr;
    std::string why;
    std::shared_ptr<CaptureWriter> capture =
        CaptureWriter::open(path.toLocal8Bit().constData(), why);
    if (!capture)
        error = QString::fromStdString(why);
    return capture;
}

std::unique_ptr<SerialBackend> lineFor(const std::shared_ptr<CaptureWriter>& capture) {
    auto line = std::make_unique<PosixSerialBackend>();
    if (!capture)
        return line;
    return std::make_unique<CapturingSerialBackend>(std::move(line), capture);
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

// When the run started, and a random part so that two runs started in the same second differ:
// "20261207T151000-3f9a0c1e".
QString newRunId() {
    return QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("yyyyMMddThhmmss")) +
           QStringLiteral("-%1").arg(QRandomGenerator::system()->generate(), 8, 16, QChar(u'0'));
}

void writeStderr(const QString& line) {
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

ReadingLogger::ReadingLogger(LogOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_run(newRunId()),
      m_writer([this](std::uint8_t byte) { return m_port->TrySendBytes(&byte, 1); }, &m_health),
      m_cutter([this](const QString& frame) { onFrame(frame); }), m_output(writeStdout),
      m_status(writeStderr) {
    m_clock.start();
    QString captureError;
    m_capture = openCapture(m_options.capturePath, captureError);
    if (!captureError.isEmpty())
        m_options.capturePath = captureError; // said by openPort()
    m_port = std::make_unique<TCommPortDriver>(lineFor(m_capture));
    m_watcher = std::make_unique<DeviceWatcher>(*m_port);
    // The line is read once per request tick, so a frame cut by one read waits a whole tick for
    // its rest: the window's bound of two 50 ms polls would drop it as stale.
    m_cutter.setStaleAfterMs(FrameCutter::staleAfterForPoll(kRequestTickMs));
    m_cutter.setOnStaleLine([this](const QString&) { m_health.countStaleLine(); });
    m_port->setOnReceiveData([this](TCommPortDriver*, const std::uint8_t* data, qint32 size) {
        if (size > 0)
            receive(data, static_cast<std::size_t>(size));
    });
    connect(m_port.get(), &TCommPortDriver::deviceGone, this,
            [this](const QString& port, const QString& device) {
                m_cutter.reset();
                m_writer.clear();
                say(QStringLiteral("link lost: %1 (%2) went away; waiting for it to come back")
                        .arg(port, device));
            });
    connect(m_port.get(), &TCommPortDriver::deviceBack, this,
            [this](const QString& port, const QString& device) {
                m_health.countReconnect();
                m_lastAnswerMs = now();
                say(QStringLiteral("link regained: %1 (%2) is open again").arg(port, device));
            });
    connect(&m_requestTimer, &QTimer::timeout, this, &ReadingLogger::requestTick);
    connect(&m_recordTimer, &QTimer::timeout, this, &ReadingLogger::recordTick);
    connect(&m_saveTimer, &QTimer::timeout, this, &ReadingLogger::saveTick);
    connect(&m_healthTimer, &QTimer::timeout, this, &ReadingLogger::healthTick);
}

ReadingLogger::~ReadingLogger() = default;

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
        m_port->setDevicePath(m_options.port);
    else
        m_port->setComPort(static_cast<TComPortNumber>(pnCOM1 + m_options.port.mid(3).toInt() - 1));
    // The line as the window's model sets it.
    m_port->setComPortSpeed(br9600);
    m_port->setComPortDataBits(db8BITS);
    // Read the line once per request tick rather than twice: with no display to keep fresh,
    // a third of the wake-ups is worth saving on a machine that logs all night. An answer takes
    // about 12 ms on the line, so it is whole by the next tick; the cutter's stale bound follows.
    m_port->setComPortPollingDelay(kRequestTickMs);
    if (!m_port->Connect()) {
        const PortOpenError& why = m_port->lastOpenError();
        return fail(kCannotOpen, QStringLiteral("cannot open the port %1: %2")
                                     .arg(why.portName == why.device
                                              ? why.device
                                              : QStringLiteral("%1 (%2)").arg(
                                                    why.portName, why.device.isEmpty()
                                                                      ? QStringLiteral("no device")
                                                                      : why.device),
                                          why.text));
    }
    const QString device = m_port->openDevice();
    say(QStringLiteral("port %1 opened at 9600 baud")
            .arg(device == m_options.port ? device
                                          : QStringLiteral("%1 (%2)").arg(m_options.port, device)));
    return std::nullopt;
}

std::optional<int> ReadingLogger::openTable() {
    const bool existed = QFileInfo::exists(m_options.table) ||
                         QFileInfo::exists(m_options.table + QStringLiteral(".DB"));
    try {
        m_table.setTableName(m_options.table);
        m_table.openOrCreate();
    } catch (const TableError& error) {
        return fail(kCannotOpen, error.message());
    }
    if (!m_table.readOnlyReason().isEmpty())
        return fail(kCannotOpen, m_table.readOnlyReason());
    for (const char16_t* field : kFields) {
        if (m_table.fieldIndex(field) < 0)
            return fail(kCannotOpen, QStringLiteral("the table '%1' has no field '%2': it is not "
                                                    "a table of readings")
                                         .arg(m_table.filePath(), QString::fromUtf16(field)));
    }
    say(QStringLiteral("table %1 %2, %3 records")
            .arg(m_table.filePath(), existed ? QStringLiteral("opened") : QStringLiteral("created"))
            .arg(m_table.recordCount()));
    sayNotices();
    m_recording.RecordLimit = m_options.limit.value_or(std::numeric_limits<qint32>::max());
    adoptJournal();
    if (!save() && !m_waitingForRoom)
        return fail(kCannotWrite, unwrittenLine().mid(QStringLiteral("velmar-log: ").size()));
    return std::nullopt;
}

// Nobody is there to be asked, so readings an earlier run left unsaved are always taken back.
void ReadingLogger::adoptJournal() {
    const std::optional<ReadingsTable::JournalFound> found = m_table.journalFound();
    if (!found)
        return;
    m_table.adoptJournal();
    Recording::continueAfter(m_recording, found->lastNo);
    say(QStringLiteral("added %1 readings recorded from %2 that an earlier run did not save "
                       "(found in %3); numbering goes on at %4")
            .arg(found->count)
            .arg(QLocale::c().toString(found->firstRecorded, QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                 CrashJournal::pathFor(m_table.filePath()))
            .arg(m_recording.NextRecordNo));
}

void ReadingLogger::startTimers() {
    m_health.restart(now());
    m_lastAnswerMs = now();
    m_requestTimer.start(kRequestTickMs);
    m_recordTimer.start(kRecordTickMs);
    m_saveTimer.start(m_options.saveEverySeconds * 1000);
    m_healthTimer.start(kHealthEveryMs);
    m_startedMs = now();
}

void ReadingLogger::receive(const std::uint8_t* data, std::size_t size) {
    if (!m_finished)
        m_cutter.feed(data, size, now());
}

void ReadingLogger::requestTick() {
    if (m_finished)
        return;
    // The run's end is looked for here: a timer of the run's length could not hold 25 days.
    if (m_options.durationMs && RunDuration::isOver(m_startedMs, *m_options.durationMs, now())) {
        finish(kDone, QStringLiteral("the run's duration is over"));
        return;
    }
    (void)m_cutter.expire(now());
    m_writer.flushKeys();
    if (const auto request = m_cycle.step())
        (void)m_writer.sendRequest(*request);
}

void ReadingLogger::onFrame(const QString& frameHex) {
    if (m_finished)
        return;
    const LineVerdict verdict = m_health.countLine(frameHex, now());
    if (verdict != LineVerdict::MainDisplay && verdict != LineVerdict::BarGraph)
        return;
    m_lastAnswerMs = now();
    if (std::exchange(m_silent, false))
        say(QStringLiteral("the meter answers again"));
    if (verdict != LineVerdict::MainDisplay)
        return;
    offer(MainFrameDecoder::readingOf(MainFrameDecoder::decode(frameHex, kRelOff)));
    ++m_mainReadings;
    if (!m_finished && m_options.count && m_mainReadings >= *m_options.count)
        finish(kDone, QStringLiteral("%1 readings taken").arg(m_mainReadings));
}

void ReadingLogger::offer(const Reading& reading) {
    const Recording::Filters filters{m_options.skipRepeats, true,
                                     QString::number(m_options.intervalSeconds)};
    if (Recording::offer(m_recording, reading, filters) != Recording::Verdict::Store)
        return;
    const QDateTime at = QDateTime::currentDateTime();
    const ReadingRecord record = Recording::recordOf(m_recording, reading, at.time());
    if (const std::optional<TableProblem> problem = m_table.record(record)) {
        if (problem->cause != TableCause::ValueDoesNotFit) {
            finish(kCannotWrite,
                   QStringLiteral("the table cannot take a reading: %1").arg(problem->message));
            return;
        }
        say(QStringLiteral("reading not stored: %1").arg(problem->message));
        return;
    }
    Recording::stored(m_recording);
    const StoredReading stored{m_run, record.no, at, reading, record};
    print(stored);
    if (m_stored)
        m_stored(stored);
    sayNotices();
    if (m_recording.RecordedCount >= m_recording.RecordLimit)
        finish(kDone, QStringLiteral("the record limit of %1 readings is reached")
                          .arg(m_recording.RecordLimit));
}

void ReadingLogger::print(const StoredReading& stored) {
    if (m_outputClosed)
        return;
    const ReadingRecord& record = stored.record;
    const qsizetype row = m_table.recordCount() - 1;
    std::string line;
    if (m_options.format == LogOptions::Format::Jsonl) {
        line = FrameJson::storedLine({record.no, m_table.text(row, m_table.fieldIndex(u"Time")),
                                      record.value, record.nval, record.unit, record.acDc,
                                      record.range, ReadingMessage::isoTime(stored.at),
                                      ReadingMessage::readingNumber(record.value)});
    } else {
        QStringList fields;
        for (int i = 0; i < m_table.fieldCount(); ++i)
            fields << m_table.text(row, i);
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
    Recording::tick(m_recording, true);
    m_table.syncJournal();
    sayNotices();
    if (m_capture && !m_capture->ok() && !std::exchange(m_captureFailureSaid, true))
        say(QStringLiteral("the capture stopped: %1")
                .arg(QString::fromStdString(m_capture->error())));
    if (m_port->IsConnected() && !m_silent && now() - m_lastAnswerMs >= kSilentAfterMs) {
        m_silent = true;
        say(QStringLiteral("no answer from the meter for %1 s; still asking")
                .arg(kSilentAfterMs / 1000));
    }
}

void ReadingLogger::saveTick() {
    if (!m_finished && !save() && !m_waitingForRoom)
        finish(kCannotWrite, QString());
}

void ReadingLogger::healthTick() {
    QString line = m_health.summaryLine(now());
    if (LinkHealth::isNote(line))
        line = line.mid(1).trimmed();
    say(line);
}

bool ReadingLogger::save() {
    const qsizetype pending = m_table.pendingCount();
    if (!m_table.isOpen() || pending == 0)
        return true;
    if (const std::optional<TableProblem> problem = m_table.save()) {
        sayNotices();
        m_saveError = problem->message;
        // A full disk is waited out as the window waits it out; any other failure ends the run.
        const bool room =
            RecordingPause::untilFor(problem->cause, RecordingPause::During::Saving) ==
            RecordingPause::Until::Room;
        if (room && !m_waitingForRoom)
            say(QStringLiteral("the save waits for room: %1; readings go on being recorded and "
                               "are saved when there is room")
                    .arg(problem->message));
        m_waitingForRoom = room;
        return false;
    }
    if (std::exchange(m_waitingForRoom, false))
        say(QStringLiteral("there is room again"));
    m_saveError.clear();
    m_journalLost = false;
    say(QStringLiteral("saved %1, %2 in the table")
            .arg(readings(pending))
            .arg(m_table.recordCount()));
    sayNotices();
    return true;
}

QString ReadingLogger::unwrittenLine() const {
    const QString kept =
        m_journalLost ? QStringLiteral("they could not be kept in the journal either, and each "
                                       "was printed on standard output")
                      : QStringLiteral("they stay in %1, which the next run adds")
                            .arg(CrashJournal::pathFor(m_table.filePath()));
    return QStringLiteral("velmar-log: cannot write the table: %1; %2 readings are not in it: %3")
        .arg(m_saveError)
        .arg(m_table.pendingCount())
        .arg(kept);
}

void ReadingLogger::finish(int code, const QString& why) {
    if (m_finished)
        return;
    m_finished = true;
    for (QTimer* timer : {&m_requestTimer, &m_recordTimer, &m_saveTimer, &m_healthTimer})
        timer->stop();
    m_watcher->stop();
    if (!why.isEmpty())
        say(QStringLiteral("stopping: %1").arg(why));
    int exitCode = code;
    // A save that failed just now is not tried again at once, unless it waits for room, which
    // may have come back since; any other end saves what it can.
    if ((!m_saveError.isEmpty() && !m_waitingForRoom) || !save()) {
        exitCode = kCannotWrite;
        // The table is left open, not closed: closing would drop the journal.
        m_status(unwrittenLine());
    } else {
        m_table.close();
    }
    m_port->Disconnect();
    QMetaObject::invokeMethod(
        this, [this, exitCode] { emit finished(exitCode); }, Qt::QueuedConnection);
}

void ReadingLogger::sayNotices() {
    for (const TableProblem& notice : m_table.takeNotices()) {
        if (notice.cause == TableCause::JournalUnwritable)
            m_journalLost = true;
        say(notice.message);
    }
}

void ReadingLogger::say(const QString& text) {
    m_status(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss ")) + text);
}
