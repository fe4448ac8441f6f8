#include "CrashJournal.h"
#include "ReadingsTable.h"
#include "SyncWorker.h"

#include "../support/FileSizeLimit.h"
#include "../support/JournaledReadings.h"
#include "../support/SlowSync.h"
#include "DamagedTable.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using damaged::reading;

// Saves whose syncs wait on the sync worker: readings recorded meanwhile are neither written by
// the save that runs nor lost by it, saves follow one another, and a failed save leaves every
// pending reading in the journal, in order.
class BackgroundSaveTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    SyncWorker worker;

    QString tablePath() const { return dir.filePath(QStringLiteral("Velmarbdb.DB")); }

    void openTable(ReadingsTable& table) {
        table.setSyncWorker(&worker);
        table.setTableName(tablePath());
        table.openOrCreate();
    }

    static QStringList numbers(const ReadingsTable& table) {
        QStringList out;
        for (qsizetype row = 0; row < table.recordCount(); ++row)
            out << table.text(row, table.fieldIndex(u"No"));
        return out;
    }

    // What the next start finds if the process died now: the files as the kernel holds them,
    // copied aside and opened there, the journal's readings adopted.
    QStringList afterACrash() const {
        QTemporaryDir copy;
        copy.setAutoRemove(true);
        const QDir from(dir.path());
        for (const QString& name : from.entryList(QDir::Files | QDir::Hidden))
            QFile::copy(from.filePath(name), QDir(copy.path()).filePath(name));
        ReadingsTable next;
        next.setTableName(QDir(copy.path()).filePath(QStringLiteral("Velmarbdb.DB")));
        next.open();
        next.adoptJournal();
        return numbers(next);
    }

private slots:
    void init() {
        QVERIFY(dir.isValid());
        const QDir folder(dir.path());
        for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden))
            QFile::remove(folder.filePath(name));
        SlowSync::release();
    }

    void cleanup() { SlowSync::release(); }

    void readingsDuringASaveWaitForTheNextSave() {
        ReadingsTable table;
        openTable(table);
        for (int no = 1; no <= 3; ++no)
            table.append(reading(no));
        worker.finish();

        // Let go before the table waits for its save, should a check fail while held.
        const auto letGo = qScopeGuard([] { SlowSync::release(); });
        SlowSync::hold();
        QStringList said;
        table.saveInBackground([&](const std::optional<TableProblem>& problem) {
            said << (problem ? problem->message : QStringLiteral("first saved"));
        });
        QVERIFY(SlowSync::waitForWaiting(1));
        QVERIFY(table.isSaving());
        table.append(reading(4));
        table.append(reading(5));
        QCOMPARE(numbers(table), QStringList({"1", "2", "3", "4", "5"}));
        QCOMPARE(table.pendingCount(), 5);
        table.saveInBackground([&](const std::optional<TableProblem>& problem) {
            said << (problem ? problem->message : QStringLiteral("second saved"));
        });
        QVERIFY(said.isEmpty());
        SlowSync::release();
        worker.finish();

        QCOMPARE(said, QStringList({"first saved", "second saved"}));
        QCOMPARE(table.pendingCount(), 0);
        QCOMPARE(journaledReadings(table), 0u);
        table.close();
        ReadingsTable again;
        again.setTableName(tablePath());
        again.open();
        QCOMPARE(numbers(again), QStringList({"1", "2", "3", "4", "5"}));
        QVERIFY(!again.journalFound());
    }

    // Every reading recorded is in the kernel at once, whichever sync is still waiting: the
    // journal's creation, a save's, or the journal's own.
    void aCrashAtAnyMomentKeepsEveryReading_data() {
        QTest::addColumn<bool>("saving");
        QTest::newRow("while the journal is created") << false;
        QTest::newRow("during a save") << true;
    }

    void aCrashAtAnyMomentKeepsEveryReading() {
        QFETCH(bool, saving);
        ReadingsTable table;
        // Let go before the table waits for its syncs, should a check fail while held.
        const auto letGo = qScopeGuard([] { SlowSync::release(); });
        SlowSync::hold();
        openTable(table);
        QStringList recorded;
        for (int no = 1; no <= 3; ++no) {
            table.append(reading(no));
            recorded << QString::number(no);
        }
        QCOMPARE(afterACrash(), recorded);
        if (saving) {
            table.saveInBackground([](const std::optional<TableProblem>&) {});
            QVERIFY(SlowSync::waitForWaiting(1));
            for (int no = 4; no <= 5; ++no) {
                table.append(reading(no));
                recorded << QString::number(no);
                QCOMPARE(afterACrash(), recorded);
            }
        }
        SlowSync::release();
        worker.finish();
        QCOMPARE(afterACrash(), recorded);
    }

    // The file may not grow: the save fails, the journal it would have replaced stays, and the
    // reading recorded meanwhile joins it behind the others.
    void aFailedSaveKeepsEveryReadingJournaled() {
        ReadingsTable table;
        openTable(table);
        table.append(reading(1));
        table.append(reading(2));
        worker.finish();
        std::optional<TableProblem> outcome;
        {
            const FileSizeLimit limit(QFileInfo(tablePath()).size());
            table.saveInBackground([&](const std::optional<TableProblem>& problem) {
                outcome = problem.value_or(TableProblem{TableCause::Other, "saved"});
            });
            table.append(reading(3));
            worker.finish();
        }
        QVERIFY(outcome);
        QCOMPARE(outcome->cause, TableCause::DiskFull);
        QCOMPARE(table.pendingCount(), 3);
        QCOMPARE(numbers(table), QStringList({"1", "2", "3"}));
        const CrashJournal::Found found =
            CrashJournal::read(CrashJournal::pathFor(tablePath()), table.journalIdentity());
        QCOMPARE(found.kind, CrashJournal::Found::Kind::Ours);
        QCOMPARE(found.contents.baseCount, qint64(0));
        QCOMPARE(found.contents.entries.size(), std::size_t(3));
        QCOMPARE(table.takeNotices().size(), std::size_t(0));

        // Room again: the next save writes all three and lets the journal go.
        table.saveInBackground(
            [&](const std::optional<TableProblem>& problem) { outcome = problem; });
        worker.finish();
        QVERIFY(!outcome);
        QCOMPARE(table.pendingCount(), 0);
        QCOMPARE(journaledReadings(table), 0u);
    }
};

QTEST_GUILESS_MAIN(BackgroundSaveTest)
#include "tst_backgroundsave.moc"
