// velmar-log as built, against velmar-sim on a pseudo-terminal: what it stores, how it stops,
// what a killed run leaves, its exit codes, and a capture played back into it. Runs poll for
// their outcome with generous bounds; nothing depends on how fast a loaded machine is.
#include "../support/PtyPair.h"
#include "CaptureReader.h"
#include "FrameCutter.h"
#include "LineVerdict.h"
#include "MainFrameDecoder.h"
#include "ReadingsTable.h"
#include "Recording.h"

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

#include <csignal>
#include <fstream>

namespace {

constexpr int kRunTimeoutMs = 120'000;
// The fields every row is compared by; Time is when the reading was stored, so it differs.
const QStringList kComparedFields{"No", "DC/AC", "Value", "Unit", "AUTO", "Nval"};

QString logBinary() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/velmar-log");
}

// velmar-sim serving a pseudo-terminal behind a link in dir, as long as the object lives.
class Meter {
public:
    Meter(const QString& link, const QStringList& extra = {}) : m_link(link) {
        // What the simulator says (a replay running out, a frame it could not deliver) belongs
        // in the test's log next to a failure.
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(VELMAR_SIM_BINARY),
                        QStringList{QStringLiteral("--link"), link} + extra);
    }
    ~Meter() {
        m_process.terminate();
        if (!m_process.waitForFinished(10'000))
            m_process.kill();
        m_process.waitForFinished();
    }
    [[nodiscard]] bool ready() {
        return m_process.waitForStarted() &&
               QTest::qWaitFor([this] { return QFileInfo::exists(m_link); }, 20'000);
    }

    // For a failing run's message: a simulator that ended under the logger explains a lost link.
    [[nodiscard]] QString state() {
        if (m_process.state() != QProcess::NotRunning)
            return QStringLiteral("velmar-sim still running");
        return m_process.exitStatus() == QProcess::CrashExit
                   ? QStringLiteral("velmar-sim crashed or was killed")
                   : QStringLiteral("velmar-sim exited with code %1").arg(m_process.exitCode());
    }

private:
    QString m_link;
    QProcess m_process;
};

struct Run {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QStringList out;
    QString err;
};

QStringList linesOf(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).split(u'\n', Qt::SkipEmptyParts);
}

Run runLogger(const QStringList& args) {
    QProcess process;
    process.start(logBinary(), args);
    Run run;
    if (!process.waitForFinished(kRunTimeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitCode();
    run.status = process.exitStatus();
    run.out = linesOf(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

struct Row {
    QStringList fields; // in the order of kComparedFields
    bool operator==(const Row&) const = default;
};

QList<Row> tableRows(const QString& path) {
    ReadingsTable table;
    table.setTableName(path);
    table.open();
    QList<Row> rows;
    for (qsizetype r = 0; r < table.recordCount(); ++r) {
        Row row;
        for (const QString& field : kComparedFields)
            row.fields << table.text(r, table.fieldIndex(field));
        rows << row;
    }
    return rows;
}

// What the recording rules store for the frames a capture received, with the logger's filters:
// repeat filter on, no interval.
QList<Row> rowsTheRulesStore(const QString& capturePath) {
    QList<Row> rows;
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
    std::ifstream in(capturePath.toStdString());
    CaptureReader reader(in);
    while (const std::optional<CaptureEvent> event = reader.next()) {
        if (event->direction == CaptureDirection::Received)
            cutter.feed(event->bytes.data(), event->bytes.size(), event->timeMs);
    }
    for (qsizetype r = 0; r < shape.recordCount(); ++r) {
        Row row;
        for (const QString& field : kComparedFields)
            row.fields << shape.text(r, shape.fieldIndex(field));
        rows << row;
    }
    shape.close();
    QFile::remove(scratch);
    return rows;
}

int mainFramesIn(const QString& capturePath) {
    int frames = 0;
    FrameCutter cutter([&](const QString& frameHex) {
        frames += lineVerdictOf(frameHex) == LineVerdict::MainDisplay;
    });
    std::ifstream in(capturePath.toStdString());
    CaptureReader reader(in);
    while (const std::optional<CaptureEvent> event = reader.next()) {
        if (event->direction == CaptureDirection::Received)
            cutter.feed(event->bytes.data(), event->bytes.size(), event->timeMs);
    }
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
    ::kill(static_cast<pid_t>(process.processId()), signal);
    process.waitForFinished(kRunTimeoutMs);
    Run run;
    run.exitCode = process.exitCode();
    run.status = process.exitStatus();
    run.out = out + linesOf(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
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
    void aTableThatCannotGrowEndsWithCodeThreeAndKeepsItsReadings();
    void aCaptureReplayedIntoTheLoggerGivesTheSameTable();

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
    // One line per stored reading, numbered as the table is, fields named as velmar-decode's.
    QCOMPARE(run.out.size(), stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QJsonObject line = QJsonDocument::fromJson(run.out[i].toUtf8()).object();
        QCOMPARE(QString::number(line.value(QStringLiteral("no")).toInt()), stored[i].fields[0]);
        QCOMPARE(line.value(QStringLiteral("text")).toString(), stored[i].fields[2]);
        QCOMPARE(line.value(QStringLiteral("unit")).toString(), stored[i].fields[3]);
        for (const char* name : {"time", "at", "reading", "value", "acdc", "range"})
            QVERIFY2(line.contains(QLatin1String(name)), name);
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
        ReadingsTable created;
        created.setTableName(table);
        created.openOrCreate();
        created.close();
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
        ReadingsTable created;
        created.setTableName(table);
        created.openOrCreate();
        created.close();
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

void TestVelmarLog::aTableThatCannotGrowEndsWithCodeThreeAndKeepsItsReadings() {
    const QString link = m_dir.filePath("full-meter");
    Meter meter(link, {"--drift", "5"});
    QVERIFY(meter.ready());
    const QString table = m_dir.filePath("full.DB");
    {
        ReadingsTable created;
        created.setTableName(table);
        created.openOrCreate();
    }
    // The disk is full at the table's present size: its first new block cannot be written.
    const qint64 size = QFileInfo(table).size();
    QProcess process;
    process.setChildProcessModifier([size] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{rlim_t(size), rlim_t(size)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    process.start(logBinary(), {"--port", link, "--table", table, "--repeat", "keep",
                                "--save-every", "2", "--duration", "60"});
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

QTEST_GUILESS_MAIN(TestVelmarLog)
#include "tst_velmarlog.moc"
