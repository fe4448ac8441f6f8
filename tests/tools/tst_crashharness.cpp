#include "../support/FuzzSeed.h"
#include "LoggerRun.h"

#include "ReadingsTable.h"
#include "TableError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <random>

// Every reading a program has shown or printed is in its table after the next start, whenever a
// `kill -9` comes and however slow the disk's syncs are: the window (through a host that prints
// each row its grid has shown) and velmar-log (its own output), with saves going on, killed while
// the journal is being made, at any moment of a run of saves, and during the save of a clean
// end. No reading is kept twice.
class CrashHarnessTest : public QObject {
    Q_OBJECT

    // The numbers of the complete lines a killed program wrote; a line cut by the kill is not one
    // it printed.
    static QList<int> printedNumbers(const QByteArray& out) {
        QList<int> numbers;
        const qsizetype end = out.lastIndexOf('\n');
        for (const QByteArray& line : out.left(end + 1).split('\n')) {
            bool ok = false;
            const int no = line.split('\t').value(0).trimmed().toInt(&ok);
            if (ok)
                numbers << no;
        }
        return numbers;
    }

    // The numbers the next start finds: the table's, with the journal's readings taken in.
    static QList<int> keptNumbers(const QString& tablePath) {
        QList<int> numbers;
        if (!QFileInfo::exists(tablePath))
            return numbers;
        ReadingsTable table;
        table.setTableName(tablePath);
        table.open();
        table.adoptJournal();
        for (qsizetype row = 0; row < table.recordCount(); ++row)
            numbers << table.text(row, table.fieldIndex(u"No")).toInt();
        return numbers;
    }

private slots:
    void everyReadingShownIsKeptAfterAKill_data() {
        QTest::addColumn<bool>("window");
        QTest::addColumn<int>("syncMs");     // each fsync and fdatasync takes this long
        QTest::addColumn<int>("endAtMs");    // a clean end is asked for then (0: none)
        QTest::addColumn<int>("killFromMs"); // the kill comes at a random moment between these
        QTest::addColumn<int>("killToMs");
        for (const bool window : {true, false}) {
            for (const int syncMs : {500, 3000}) {
                const QByteArray host = window ? "window" : "logger";
                const QByteArray disk = QByteArray::number(syncMs) + " ms syncs";
                QTest::newRow(host + ", " + disk + ", journal being made")
                    << window << syncMs << 0 << 300 << 2500;
                QTest::newRow(host + ", " + disk + ", saves under way")
                    << window << syncMs << 0 << 1500 << 7000;
                QTest::newRow(host + ", " + disk + ", clean end")
                    << window << syncMs << 2500 << 2500 << 2500 + 2 * syncMs;
            }
        }
    }

    void everyReadingShownIsKeptAfterAKill() {
        QFETCH(bool, window);
        QFETCH(int, syncMs);
        QFETCH(int, endAtMs);
        QFETCH(int, killFromMs);
        QFETCH(int, killToMs);
        std::mt19937_64 random(fuzzSeed() ^ qHash(QTest::currentDataTag()));
        const int killAtMs = std::uniform_int_distribution<int>(killFromMs, killToMs)(random);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // The table is there, as it is at every start but the first.
        {
            ReadingsTable table;
            table.setTableName(dir.filePath(QStringLiteral("Velmarbdb.DB")));
            table.openOrCreate();
        }
        const QString link = dir.filePath(QStringLiteral("com1"));
        Meter meter(link);
        QVERIFY(meter.ready());

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(VELMAR_SLOWSYNC_LIBRARY));
        env.insert(QStringLiteral("VELMAR_SYNC_DELAY_MS"), QString::number(syncMs));
        // A sanitized program would refuse a preloaded library ahead of its runtime.
        env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) +
                                                       QStringLiteral(":verify_asan_link_order=0"));
        env.insert(QStringLiteral("VELMAR_COM1"), link);
        env.insert(QStringLiteral("VELMAR_SAVE_EVERY_MS"), QStringLiteral("2000"));
        if (window && endAtMs > 0)
            env.insert(QStringLiteral("VELMAR_EXIT_AT_MS"), QString::number(endAtMs));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(dir.path());
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (window) {
            program.start(QStringLiteral(VELMAR_WINDOW_HOST), {});
        } else {
            program.start(logBinary(), {QStringLiteral("--port"), link, QStringLiteral("--table"),
                                        dir.filePath(QStringLiteral("Velmarbdb")),
                                        QStringLiteral("--save-every"), QStringLiteral("2"),
                                        QStringLiteral("--repeat"), QStringLiteral("keep")});
        }
        QVERIFY(program.waitForStarted());
        QElapsedTimer clock;
        clock.start();
        if (!window && endAtMs > 0) {
            QTest::qWait(endAtMs);
            ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        }
        QTest::qWait(std::max<qint64>(0, killAtMs - clock.elapsed()));
        if (program.state() != QProcess::NotRunning)
            ::kill(static_cast<pid_t>(program.processId()), SIGKILL);
        program.waitForFinished();

        const QList<int> printed = printedNumbers(program.readAllStandardOutput());
        QList<int> kept;
        try {
            kept = keptNumbers(dir.filePath(QStringLiteral("Velmarbdb.DB")));
        } catch (const TableError& error) {
            QFAIL(qPrintable(error.message() + replayNote()));
        }
        const QSet<int> keptSet(kept.begin(), kept.end());
        QVERIFY2(keptSet.size() == kept.size(),
                 qPrintable(QStringLiteral("a reading kept twice, killed at %1 ms%2")
                                .arg(killAtMs)
                                .arg(replayNote())));
        for (const int no : printed) {
            QVERIFY2(keptSet.contains(no),
                     qPrintable(QStringLiteral("reading %1 of %2 shown was lost, killed at %3 "
                                               "ms%4")
                                    .arg(no)
                                    .arg(printed.size())
                                    .arg(killAtMs)
                                    .arg(replayNote())));
        }
        qInfo("%lld readings shown, %lld kept, killed at %d ms",
              static_cast<long long>(printed.size()), static_cast<long long>(kept.size()),
              killAtMs);
    }
};

QTEST_GUILESS_MAIN(CrashHarnessTest)
#include "tst_crashharness.moc"
