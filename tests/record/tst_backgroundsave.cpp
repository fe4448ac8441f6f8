#include "CrashJournal.h"
#include "ReadingsTable.h"
#include "SyncWorker.h"

#include "../support/FileSizeLimit.h"
#include "../support/SlowSync.h"
#include "DamagedTable.h"

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

private slots:
    void init() {
        QVERIFY(dir.isValid());
        QFile::remove(tablePath());
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
        QVERIFY(!QFileInfo::exists(CrashJournal::pathFor(tablePath())));
        table.close();
        ReadingsTable again;
        again.setTableName(tablePath());
        again.open();
        QCOMPARE(numbers(again), QStringList({"1", "2", "3", "4", "5"}));
        QVERIFY(!again.journalFound());
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
        QVERIFY(!QFileInfo::exists(CrashJournal::pathFor(tablePath())));
    }
};

QTEST_GUILESS_MAIN(BackgroundSaveTest)
#include "tst_backgroundsave.moc"
