// velmar-log as built, against velmar-sim on a pseudo-terminal: what it stores, how it stops,
// what a killed run leaves, its exit codes, and a capture played back into it. Runs poll for
// their outcome with generous bounds; nothing depends on how fast a loaded machine is.
#include "../support/PtyPair.h"
#include "CaptureReader.h"
#include "FrameCutter.h"
#include "Fs9721Meter.h"
#include "LineVerdict.h"
#include "LoggerRun.h"
#include "MainFrameDecoder.h"
#include "ReadingsTable.h"
#include "Recording.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <fstream>
#include <functional>

namespace {

// The fields every row is compared by; Time is when the reading was stored, so it differs.
const QStringList kComparedFields{"No", "DC/AC", "Value", "Unit", "AUTO", "Nval"};

struct Row {
    QStringList fields; // in the order of kComparedFields
    bool operator==(const Row&) const = default;
};

QList<Row> rowsOf(const ReadingsTable& table) {
    QList<Row> rows;
    for (qsizetype r = 0; r < table.recordCount(); ++r) {
        Row row;
        for (const QString& field : kComparedFields)
            row.fields << table.text(r, table.fieldIndex(field));
        rows << row;
    }
    return rows;
}

QList<Row> tableRows(const QString& path) {
    ReadingsTable table;
    table.setTableName(path);
    table.open();
    return rowsOf(table);
}

// The bytes a capture received, in order, into the cutter, which drops an unfinished line as
// velmar-log's does: it polls every 100 ms, so a frame whose pieces came up to two polls apart on
// a loaded machine is one frame to it, not a stale line and a fragment.
void feedReceived(const QString& capturePath, FrameCutter& cutter) {
    cutter.setStaleAfterMs(FrameCutter::staleAfterForPoll(100));
    std::ifstream in(capturePath.toStdString());
    CaptureReader reader(in);
    while (const std::optional<CaptureEvent> event = reader.next()) {
        if (event->direction == CaptureDirection::Received)
            cutter.feed(event->bytes.data(), event->bytes.size(), event->timeMs);
    }
}

// What the recording rules store for the frames a capture received, with the logger's filters:
// repeat filter on, no interval.
QList<Row> rowsTheRulesStore(const QString& capturePath) {
    RecordingState state;
    ReadingsTable shape; // formats the rows as the table's text forms them
    const QString scratch = QDir::temp().filePath(
        QStringLiteral("velmar-log-rules-%1.DB").arg(QCoreApplication::applicationPid()));
    QFile::remove(scratch);
    shape.setTableName(scratch);
    shape.openOrCreate();
    FrameCutter cutter([&](const QString& frameHex) {
        if (lineVerdictOf(frameHex) != LineVerdict::MainDisplay)
            return;
        const Reading reading = MainFrameDecoder::readingOf(MainFrameDecoder::decode(frameHex, 0));
        if (Recording::offer(state, reading, {true, true, QStringLiteral("0")}) !=
            Recording::Verdict::Store)
            return;
        shape.append(Recording::recordOf(state, reading, QTime(0, 0)));
        Recording::stored(state);
    });
    feedReceived(capturePath, cutter);
    const QList<Row> rows = rowsOf(shape);
    shape.close();
    QFile::remove(scratch);
    return rows;
}

int mainFramesIn(const QString& capturePath) {
    int frames = 0;
    FrameCutter cutter([&](const QString& frameHex) {
        frames += lineVerdictOf(frameHex) == LineVerdict::MainDisplay;
    });
    feedReceived(capturePath, cutter);
    return frames;
}

// Starts the logger, waits until it has printed `lines` readings, then sends it `signal`.
Run signalledRun(const QStringList& args, int lines, int signal) {
    QProcess process;
    process.start(logBinary(), args);
    QStringList out;
    (void)QTest::qWaitFor(
        [&] {
            out += linesOf(process.readAllStandardOutput());
            return out.size() >= lines || process.state() == QProcess::NotRunning;
        },
        kRunTimeoutMs);
    // A run that has ended already has no process id: kill(0) would signal this test itself.
    if (const qint64 pid = process.processId(); pid > 0)
        ::kill(static_cast<pid_t>(pid), signal);
    process.waitForFinished(kRunTimeoutMs);
    Run run;
    run.exitCode = process.exitCode();
    run.status = process.exitStatus();
    run.out = out + linesOf(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// A new table of readings with no record in it; its size.
qint64 emptyTable(const QString& path) {
    ReadingsTable created;
    created.setTableName(path);
    created.openOrCreate();
    created.close();
    return QFileInfo(path).size();
}

// Starts the logger on a disk that is full once a file reaches `size` bytes: a write past it fails
// as on a full disk (no SIGXFSZ). A hard limit above `size` lets the test give room back.
void startOnFullDisk(QProcess& process, qint64 size, rlim_t hardLimit, const QStringList& args) {
    process.setChildProcessModifier([size, hardLimit] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{rlim_t(size), hardLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    process.start(logBinary(), args);
}

} // namespace

class TestVelmarLog : public QObject {
    Q_OBJECT

private slots:
    void tableHoldsWhatTheRecordingRulesStoreForTheFramesReceived();
    void sigtermSavesEveryStoredReadingAndExitsZero();
    void aKilledRunLeavesAJournalThatTheNextRunAdds();
    void portOrTableThatCannotBeOpenedEndsWithCodeTwo_data();
    void portOrTableThatCannotBeOpenedEndsWithCodeTwo();
    void badArgumentsEndWithCodeOne_data();
    void badArgumentsEndWithCodeOne();
    void aRunLongerThanAnIntOfMillisecondsKeepsRunning();
    void aTableNameThatIsNoFileIsRefusedAndNothingIsCreated_data();
    void aTableNameThatIsNoFileIsRefusedAndNothingIsCreated();
    void aShortDurationEndsTheRunByItself();
    void aTableThatCannotGrowEndsWithCodeThreeAndKeepsItsReadings();
    void aFullDiskIsWaitedOutAndItsReadingsSavedWhenRoomReturns();
    void aCaptureReplayedIntoTheLoggerGivesTheSameTable();
    void anFs9721MeterIsRecordedAsTheSimulatorMeantIt_data();
    void anFs9721MeterIsRecordedAsTheSimulatorMeantIt();

private:
    QTemporaryDir m_dir;
};

void TestVelmarLog::tableHoldsWhatTheRecordingRulesStoreForTheFramesReceived() {
    QVERIFY(m_dir.isValid());
    const QString link = m_dir.filePath("rules-meter");
    Meter meter(link, {"--drift", "5"});
    QVERIFY(meter.ready());
    const QString table = m_dir.filePath("rules.DB");
    const QString capture = m_dir.filePath("rules.cap");
    const Run run = runLogger({"--port", link, "--table", table, "--count", "8", "--capture",
                               capture, "--format", "jsonl"});
    QVERIFY2(run.exitCode == 0 && run.status == QProcess::NormalExit, qPrintable(run.err));

    QCOMPARE(mainFramesIn(capture), 8);
    const QList<Row> stored = tableRows(table);
    QCOMPARE(stored, rowsTheRulesStore(capture));
    QVERIFY(stored.size() >= 2); // a drifting meter changes between readings
    // One line per stored reading, numbered as the table is (its fields: tst_readingjson).
    QCOMPARE(run.out.size(), stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QJsonObject line = QJsonDocument::fromJson(run.out[i].toUtf8()).object();
        QCOMPARE(QString::number(line.value(QStringLiteral("no")).toInt()), stored[i].fields[0]);
        QCOMPARE(line.value(QStringLiteral("text")).toString(), stored[i].fields[2]);
    }
}

void TestVelmarLog::sigtermSavesEveryStoredReadingAndExitsZero() {
    const QString link = m_dir.filePath("term-meter");
    Meter meter(link, {"--drift", "5"});
    QVERIFY(meter.ready());
    const QString table = m_dir.filePath("term.DB");
    const Run run = signalledRun(
        {"--port", link, "--table", table, "--repeat", "keep", "--save-every", "3600"}, 3, SIGTERM);
    QVERIFY2(run.exitCode == 0 && run.status == QProcess::NormalExit, qPrintable(run.err));
    QVERIFY(run.out.size() >= 3);
    const QList<Row> rows = tableRows(table);
    QCOMPARE(rows.size(), run.out.size());
    for (qsizetype i = 0; i < rows.size(); ++i)
        QCOMPARE(run.out[i].section(u'\t', 0, 0), rows[i].fields[0]);
    QVERIFY(!QFileInfo::exists(m_dir.filePath(".term.DB.pending")));
    QVERIFY2(run.err.contains("stopping: SIGTERM"), qPrintable(run.err));
}

void TestVelmarLog::aKilledRunLeavesAJournalThatTheNextRunAdds() {
    const QString link = m_dir.filePath("kill-meter");
    Meter meter(link, {"--drift", "5"});
    QVERIFY(meter.ready());
    const QString table = m_dir.filePath("kill.DB");
    const QStringList args{"--port",   link,   "--table",      table,
                           "--repeat", "keep", "--save-every", "3600"};
    const Run killed = signalledRun(args, 3, SIGKILL);
    QCOMPARE(killed.status, QProcess::CrashExit);
    QVERIFY(QFileInfo::exists(m_dir.filePath(".kill.DB.pending")));
    QCOMPARE(tableRows(table).size(), 0);

    const Run next = runLogger(args + QStringList{"--count", "2"});
    QVERIFY2(next.exitCode == 0, qPrintable(next.err));
    // Every reading it printed was in the journal; a kill between journal and print may add one.
    const QRegularExpressionMatch added =
        QRegularExpression(QStringLiteral("added (\\d+) readings")).match(next.err);
    QVERIFY2(added.hasMatch(), qPrintable(next.err));
    const qsizetype adopted = added.captured(1).toInt();
    QVERIFY(adopted >= killed.out.size() && adopted <= killed.out.size() + 1);
    const QList<Row> rows = tableRows(table);
    QCOMPARE(rows.size(), adopted + next.out.size());
    // The killed run's readings first, as it printed them; numbering goes on after them.
    for (qsizetype i = 0; i < rows.size(); ++i)
        QCOMPARE(rows[i].fields[0], QString::number(i + 1));
    for (qsizetype i = 0; i < killed.out.size(); ++i)
        QCOMPARE(killed.out[i].section(u'\t', 3, 3), rows[i].fields[2]);
    QVERIFY(!QFileInfo::exists(m_dir.filePath(".kill.DB.pending")));
}

void TestVelmarLog::portOrTableThatCannotBeOpenedEndsWithCodeTwo_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("said");
    QTest::newRow("missing port") << "missing-port"
                                  << "absent";
    QTest::newRow("busy port") << "busy-port"
                               << "busy";
    QTest::newRow("read-only table") << "read-only-table"
                                     << "read-only";
    QTest::newRow("damaged table") << "damaged-table"
                                   << "table";
    QTest::newRow("table of another shape") << "other-table"
                                            << "no field";
}

void TestVelmarLog::portOrTableThatCannotBeOpenedEndsWithCodeTwo() {
    QFETCH(QString, what);
    QFETCH(QString, said);
    PtyPair line;
    QVERIFY(line.ok());
    QString port = line.slavePath();
    const QString table = m_dir.filePath(what + ".DB");
    QFile::remove(table);
    int lockFd = -1;
    if (what == "missing-port")
        port = m_dir.filePath("no-such-tty");
    if (what == "busy-port") {
        lockFd = ::open(qPrintable(port), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(lockFd >= 0 && ::flock(lockFd, LOCK_EX | LOCK_NB) == 0);
    }
    if (what == "read-only-table") {
        emptyTable(table);
        QVERIFY(QFile::setPermissions(table, QFile::ReadOwner | QFile::ReadGroup));
    }
    if (what == "damaged-table") {
        QFile file(table);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(3000, '\x5A'));
    }
    if (what == "other-table") {
        // A Paradox table, but not of readings: copying one without its fields is not possible
        // through the program, so a table of readings with a field renamed in its header.
        emptyTable(table);
        QFile file(table);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        const qsizetype at = bytes.indexOf(QByteArray("Nval\0", 5));
        QVERIFY(at > 0);
        bytes.replace(at, 4, "Nvax");
        file.seek(0);
        file.write(bytes);
    }
    const QByteArray before = QFileInfo::exists(table) ? [&] {
        QFile f(table);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }()
                                                       : QByteArray();
    const Run run = runLogger({"--port", port, "--table", table, "--duration", "30"});
    if (lockFd >= 0)
        ::close(lockFd);
    QCOMPARE(run.exitCode, 2);
    const QStringList errLines = run.err.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(!errLines.isEmpty() && errLines.last().startsWith("velmar-log: ") &&
                 errLines.last().contains(said, Qt::CaseInsensitive),
             qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    // Nothing is left behind: no table made for a port that cannot open, no table changed.
    if (what.endsWith("port"))
        QVERIFY(!QFileInfo::exists(table));
    else {
        QFile after(table);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
    }
}

void TestVelmarLog::badArgumentsEndWithCodeOne_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("said");
    QTest::newRow("no table") << QStringList{"--port", "COM1"} << "--table";
    QTest::newRow("port not a name or path")
        << QStringList{"--port", "ttyUSB0", "--table", "t"} << "--port";
    QTest::newRow("interval not a number")
        << QStringList{"--port", "COM1", "--table", "t", "--interval", "10x"} << "--interval";
    QTest::newRow("duration of nothing")
        << QStringList{"--port", "COM1", "--table", "t", "--duration", "0"} << "--duration";
    QTest::newRow("duration longer than a run can be kept")
        << QStringList{"--port", "COM1", "--table", "t", "--duration", "999999999h"} << "longest";
    QTest::newRow("unknown format")
        << QStringList{"--port", "COM1", "--table", "t", "--format", "csv"} << "--format";
    QTest::newRow("unknown option")
        << QStringList{"--port", "COM1", "--table", "t", "--fast", "1"} << "--fast";
    QTest::newRow("option without value") << QStringList{"--port", "COM1", "--table"} << "--table";
    QTest::newRow("broker settings without a broker")
        << QStringList{"--port", "COM1", "--table", "t", "--mqtt-discovery"} << "go with --mqtt";
    QTest::newRow("empty broker user")
        << QStringList{"--port", "COM1", "--table", "t", "--mqtt", "mqtt://h", "--mqtt-user", ""}
        << "--mqtt-user";
}

void TestVelmarLog::badArgumentsEndWithCodeOne() {
    QFETCH(QStringList, args);
    QFETCH(QString, said);
    const Run run = runLogger(args);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith("velmar-log: ") && run.err.contains(said) &&
                 run.err.count(u'\n') == 1,
             qPrintable(run.err));
}

void TestVelmarLog::aTableNameThatIsNoFileIsRefusedAndNothingIsCreated_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("notCreated");
    const QString folder = m_dir.filePath("a-folder");
    QVERIFY(QDir().mkpath(folder));
    const QString fifo = m_dir.filePath("a-fifo");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0 || errno == EEXIST);
    const QString linkToFolder = m_dir.filePath("link-to-folder");
    QVERIFY(QFile::link(folder, linkToFolder) || QFileInfo(linkToFolder).isSymLink());
    QTest::newRow("the root folder") << "/"
                                     << "folder"
                                     << "/.DB";
    QTest::newRow("a device") << "/dev/null"
                              << "device"
                              << "/dev/null.DB";
    QTest::newRow("a folder") << folder << "folder" << folder + ".DB";
    QTest::newRow("a folder with its separator") << folder + "/"
                                                 << "folder" << folder + "/.DB";
    QTest::newRow("a name ending in a separator that does not exist yet")
        << m_dir.filePath("new-folder/") << "separator" << m_dir.filePath("new-folder/.DB");
    QTest::newRow("the current folder") << "."
                                        << "folder"
                                        << "..DB";
    QTest::newRow("a FIFO") << fifo << "FIFO" << fifo + ".DB";
    QTest::newRow("a link to a folder") << linkToFolder << "folder" << linkToFolder + ".DB";
}

// A table name must name a table file: a folder, a device or a FIFO would become "<name>.DB"
// beside it, or hang the open, so each is refused as a bad argument before the port is opened.
void TestVelmarLog::aTableNameThatIsNoFileIsRefusedAndNothingIsCreated() {
    QFETCH(QString, table);
    QFETCH(QString, said);
    QFETCH(QString, notCreated);
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(logBinary(), {"--port", m_dir.filePath("no-such-port"), "--table", table});
    QVERIFY(process.waitForFinished(kRunTimeoutMs));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(err.startsWith("velmar-log: --table '" + table + "'") && err.contains(said) &&
                 err.count(u'\n') == 1,
             qPrintable(err));
    QVERIFY(!QFileInfo::exists(QDir(m_dir.path()).absoluteFilePath(notCreated)));
}

// 4294968 s (49.7 days) is more milliseconds than an int holds; the run must not end early.
void TestVelmarLog::aRunLongerThanAnIntOfMillisecondsKeepsRunning() {
    const QString link = m_dir.filePath("long-meter");
    Meter meter(link, {"--drift", "5"});
    QVERIFY(meter.ready());
    const QString table = m_dir.filePath("long.DB");
    const Run run = signalledRun(
        {"--port", link, "--table", table, "--repeat", "keep", "--duration", "4294968"}, 6,
        SIGTERM);
    QVERIFY2(run.exitCode == 0 && run.status == QProcess::NormalExit, qPrintable(run.err));
    QVERIFY2(run.out.size() >= 6, qPrintable(run.err + meter.state()));
    QVERIFY2(run.err.contains("stopping: SIGTERM") && !run.err.contains("duration"),
             qPrintable(run.err));
}

void TestVelmarLog::aShortDurationEndsTheRunByItself() {
    const QString link = m_dir.filePath("short-meter");
    Meter meter(link, {"--drift", "5"});
    QVERIFY(meter.ready());
    QElapsedTimer clock;
    clock.start();
    const Run run = runLogger({"--port", link, "--table", m_dir.filePath("short.DB"), "--repeat",
                               "keep", "--duration", "2"});
    QVERIFY2(run.exitCode == 0 && run.status == QProcess::NormalExit, qPrintable(run.err));
    QVERIFY2(run.err.contains("stopping: the run's duration is over"), qPrintable(run.err));
    QVERIFY(clock.elapsed() >= 2000);
    QVERIFY(!run.out.isEmpty());
}

void TestVelmarLog::aTableThatCannotGrowEndsWithCodeThreeAndKeepsItsReadings() {
    const QString link = m_dir.filePath("full-meter");
    Meter meter(link, {"--drift", "5"});
    QVERIFY(meter.ready());
    const QString table = m_dir.filePath("full.DB");
    // The disk is full at the table's present size: its first new block cannot be written, and
    // the run ends before there is room.
    const qint64 size = emptyTable(table);
    QProcess process;
    startOnFullDisk(process, size, rlim_t(size),
                    {"--port", link, "--table", table, "--repeat", "keep", "--save-every", "2",
                     "--duration", "6"});
    QVERIFY(process.waitForFinished(kRunTimeoutMs));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    const QStringList out = linesOf(process.readAllStandardOutput());
    QCOMPARE(process.exitCode(), 3);
    QVERIFY2(err.contains("velmar-log: cannot write the table") && err.contains(".full.DB.pending"),
             qPrintable(err));
    QCOMPARE(QFileInfo(table).size(), size);
    QVERIFY(!out.isEmpty());

    // Once there is room, the next run adds every reading the full disk kept out.
    const Run next = runLogger({"--port", link, "--table", table, "--count", "1"});
    QVERIFY2(next.exitCode == 0, qPrintable(next.err));
    QVERIFY2(next.err.contains(QStringLiteral("added %1 readings").arg(out.size())),
             qPrintable(next.err));
    QCOMPARE(tableRows(table).size(), out.size() + next.out.size());
}

// A save that finds no room does not end the run: readings go on being recorded, the save is
// tried again once there is room, and when room returns every reading printed is in the table.
void TestVelmarLog::aFullDiskIsWaitedOutAndItsReadingsSavedWhenRoomReturns() {
    const QString link = m_dir.filePath("room-meter");
    Meter meter(link, {"--drift", "5"});
    QVERIFY(meter.ready());
    const QString table = m_dir.filePath("room.DB");
    // Full at the table's present size until the test gives room back (the hard limit allows it).
    const qint64 size = emptyTable(table);
    QProcess process;
    startOnFullDisk(process, size, RLIM_INFINITY,
                    {"--port", link, "--table", table, "--repeat", "keep", "--save-every", "1",
                     "--duration", "300"});
    QVERIFY(process.waitForStarted());
    QString err;
    QStringList out;
    const auto readUntil = [&](const std::function<bool()>& done) {
        return QTest::qWaitFor(
            [&] {
                err += QString::fromUtf8(process.readAllStandardError());
                out += linesOf(process.readAllStandardOutput());
                return done() || process.state() == QProcess::NotRunning;
            },
            kRunTimeoutMs);
    };
    (void)readUntil([&] { return err.contains("waits for room"); });
    QVERIFY2(err.contains("waits for room"), qPrintable(err));
    // Readings go on while the disk stays full, past several save ticks.
    const qsizetype atFirstWait = out.size();
    (void)readUntil([&] { return out.size() >= atFirstWait + 8; });
    QVERIFY2(process.state() == QProcess::Running, qPrintable(err));
    QVERIFY(out.size() >= atFirstWait + 8);
    QCOMPARE(QFileInfo(table).size(), size);

    rlimit room{RLIM_INFINITY, RLIM_INFINITY};
    QCOMPARE(::prlimit(pid_t(process.processId()), RLIMIT_FSIZE, &room, nullptr), 0);
    (void)readUntil([&] { return err.contains("room again"); });
    QVERIFY2(err.contains("room again"), qPrintable(err));
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(kRunTimeoutMs));
    err += QString::fromUtf8(process.readAllStandardError());
    out += linesOf(process.readAllStandardOutput());
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
             qPrintable(err));
    QCOMPARE(tableRows(table).size(), out.size());
}

void TestVelmarLog::aCaptureReplayedIntoTheLoggerGivesTheSameTable() {
    const QString capture = m_dir.filePath("replay.cap");
    const QString original = m_dir.filePath("original.DB");
    {
        const QString link = m_dir.filePath("live-meter");
        Meter meter(link, {"--drift", "5"});
        QVERIFY(meter.ready());
        const Run run =
            runLogger({"--port", link, "--table", original, "--count", "6", "--capture", capture});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    }
    const QString link = m_dir.filePath("replay-meter");
    Meter replay(link, {"--replay", capture});
    QVERIFY(replay.ready());
    const QString replayed = m_dir.filePath("replayed.DB");
    const Run run = runLogger({"--port", link, "--table", replayed, "--count", "6"});
    QVERIFY2(run.exitCode == 0, qPrintable(replay.state() + u'\n' + run.err));
    const QList<Row> rows = tableRows(original);
    QVERIFY(!rows.isEmpty());
    QCOMPARE(tableRows(replayed), rows);
}

void TestVelmarLog::anFs9721MeterIsRecordedAsTheSimulatorMeantIt_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::newRow("clean line") << QStringList{};
    QTest::newRow("a byte lost now and then") << QStringList{"--faults"};
}

// Every reading stored is one the meter meant, in every function and range it steps through: a
// frame that lost a byte is dropped, never stored as another reading.
void TestVelmarLog::anFs9721MeterIsRecordedAsTheSimulatorMeantIt() {
    QFETCH(QStringList, simArgs);
    const QString link = m_dir.filePath("fs9721-meter");
    Meter meter(link, QStringList{"--model", "fs9721", "--period-ms", "80"} + simArgs);
    QVERIFY(meter.ready());
    QHash<QString, std::size_t> sceneOf; // "text|unit|AC/DC" -> scene
    const std::size_t pass = Fs9721Meter::framesPerPass();
    for (std::size_t n = 0; n < pass; ++n) {
        const Fs9721Meter::Meant m = Fs9721Meter::meantAt(n);
        sceneOf.insert(QString::fromStdString(m.text + '|' + m.unit + '|' + m.acDc),
                       n / Fs9721Meter::kFramesPerScene);
    }
    const QString table = m_dir.filePath(QStringLiteral("fs9721-%1.DB").arg(simArgs.size()));
    const Run run = runLogger({"--model", "fs9721", "--port", link, "--table", table, "--repeat",
                               "keep", "--count", QString::number(pass * 3 / 2)});
    QVERIFY2(run.exitCode == 0 && run.status == QProcess::NormalExit,
             qPrintable(run.err + meter.state()));

    QSet<std::size_t> scenes;
    for (const Row& row : tableRows(table)) {
        const QString key = row.fields[2] + u'|' + row.fields[3] + u'|' + row.fields[1];
        QVERIFY2(sceneOf.contains(key), qPrintable("not meant: " + key));
        scenes.insert(sceneOf.value(key));
    }
    QCOMPARE(std::size_t(scenes.size()), pass / Fs9721Meter::kFramesPerScene);
}

QTEST_GUILESS_MAIN(TestVelmarLog)
#include "tst_velmarlog.moc"
