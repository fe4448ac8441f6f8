#include "CrashJournal.h"
#include "ReadingsTable.h"
#include "SaveHook.h"
#include "TableError.h"

#include "../support/JournaledReadings.h"
#include "DamagedTable.h"
#include "PxlibTable.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace damaged;

namespace {

// 14 March 2026, 10:00 local time: the moment the child's readings are stamped with.
qint64 fixedMoment() {
    return QDateTime(QDate(2026, 3, 14), QTime(10, 0)).toMSecsSinceEpoch();
}

// In a child: saves `saved` readings, records `pending` more, and dies by SIGKILL, optionally at
// a named point of a save of everything.
void recordAndDie(const QString& path, int saved, int pending, const char* killAt = nullptr) {
    const pid_t child = fork();
    if (child == 0) {
        const char* stopAt = nullptr; // armed for the last save only
        ReadingsTable table(SaveHook([&stopAt](const char* at) {
            if (stopAt && std::strcmp(at, stopAt) == 0)
                ::raise(SIGKILL);
        }));
        table.setTableName(path);
        qint64 clock = fixedMoment();
        table.setClock([&clock] { return clock += 100; });
        table.openOrCreate();
        for (int no = 1; no <= saved + pending; ++no) {
            table.append(reading(no));
            if (no == saved)
                table.applyUpdates();
        }
        if (killAt) {
            stopAt = killAt;
            table.applyUpdates();
        }
        ::raise(SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

QStringList noColumn(const ReadingsTable& table) {
    QStringList numbers;
    for (qsizetype row = 0; row < table.recordCount(); ++row)
        numbers << table.text(row, table.fieldIndex(u"No"));
    return numbers;
}

QStringList numbersFrom(int first, int last) {
    QStringList numbers;
    for (int no = first; no <= last; ++no)
        numbers << QString::number(no);
    return numbers;
}

} // namespace

class CrashJournalTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_journal;

    void reopen(ReadingsTable& table) {
        table.setTableName(m_path);
        table.open();
    }

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        for (const QString& name : QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(m_dir.filePath(name));
        m_path = m_dir.filePath(QStringLiteral("Velmarbdb.DB"));
        m_journal = m_dir.filePath(QStringLiteral(".Velmarbdb.DB.pending"));
    }

    void readingsRecordedBeforeAKillAreOfferedAndAdoptedWithTheirNumbers() {
        recordAndDie(m_path, 5, 3);
        ReadingsTable table;
        reopen(table);
        QCOMPARE(table.recordCount(), 5);
        const std::optional<ReadingsTable::JournalFound> found = table.journalFound();
        QVERIFY(found.has_value());
        QCOMPARE(found->count, 3);
        QCOMPARE(found->firstRecorded.date(), QDate(2026, 3, 14));
        QCOMPARE(found->lastNo, std::optional<qint32>(8));
        QCOMPARE(found->question(),
                 QStringLiteral("3 readings recorded on %1 were not saved. Add them to the table?")
                     .arg(QLocale().toString(QDate(2026, 3, 14), QLocale::ShortFormat)));

        table.adoptJournal();
        QVERIFY(!table.journalFound());
        QCOMPARE(table.pendingCount(), 3);
        QCOMPARE(noColumn(table), numbersFrom(1, 8));
        QCOMPARE(table.text(7, table.fieldIndex(u"Value")), QStringLiteral("8"));
        table.applyUpdates();
        QCOMPARE(journaledReadings(table), 0u);
        QCOMPARE(PxlibTable::read(m_path).recordCount, 8);
    }

    void droppedReadingsAreGoneForGood() {
        recordAndDie(m_path, 2, 4);
        {
            ReadingsTable table;
            reopen(table);
            QVERIFY(table.journalFound().has_value());
            table.dropJournal();
            QVERIFY(!table.journalFound());
            QCOMPARE(table.pendingCount(), 0);
            QCOMPARE(journaledReadings(table), 0u);
        }
        ReadingsTable table;
        reopen(table);
        QVERIFY(!table.journalFound());
        QCOMPARE(table.recordCount(), 2);
    }

    void readingsRecordedWhileTheQuestionIsOpenAreKeptEitherWay_data() {
        QTest::addColumn<bool>("adopt");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }

    void readingsRecordedWhileTheQuestionIsOpenAreKeptEitherWay() {
        QFETCH(bool, adopt);
        recordAndDie(m_path, 1, 2);
        ReadingsTable table;
        reopen(table);
        table.append(reading(100));
        if (adopt)
            table.adoptJournal();
        else
            table.dropJournal();
        const QStringList expected =
            adopt ? QStringList{"1", "2", "3", "100"} : QStringList{"1", "100"};
        QCOMPARE(noColumn(table), expected);
        // A crash now still keeps every pending reading.
        const CrashJournal::Found kept = CrashJournal::read(m_journal, table.journalIdentity());
        QCOMPARE(kept.kind, CrashJournal::Found::Kind::Ours);
        QCOMPARE(qsizetype(kept.contents.entries.size()), table.pendingCount());
    }

    void journalGoesAwayWhenItsReadingsAreSavedOrDropped_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Record/Save") << 0;
        QTest::newRow("closing without saving") << 1;
        QTest::newRow("Record/New") << 2;
    }

    void journalGoesAwayWhenItsReadingsAreSavedOrDropped() {
        QFETCH(int, how);
        ReadingsTable table;
        table.setTableName(m_path);
        table.openOrCreate();
        table.append(reading(1));
        QCOMPARE(journaledReadings(table), 1u);
        if (how == 0)
            table.applyUpdates();
        else if (how == 2)
            table.empty();
        if (how == 1) {
            table.close();
            QVERIFY(!QFileInfo::exists(m_journal));
        } else {
            QCOMPARE(journaledReadings(table), 0u);
        }
    }

    void entryCutShortByTheKillIsLeftOut() {
        recordAndDie(m_path, 0, 3);
        QFile journal(m_journal);
        QVERIFY(journal.resize(journal.size() - 5));
        ReadingsTable table;
        reopen(table);
        QCOMPARE(table.journalFound().value().count, 2);
        table.adoptJournal();
        table.append(reading(3));
        table.applyUpdates();
        QCOMPARE(PxlibTable::read(m_path).recordCount, 3);
    }

    void readingsSavedJustBeforeTheKillAreNotOfferedAgain_data() {
        QTest::addColumn<QString>("point");
        QTest::newRow("after the header's sync") << "header-synced";
        QTest::newRow("between link and header") << "link-synced";
    }

    void readingsSavedJustBeforeTheKillAreNotOfferedAgain() {
        QFETCH(QString, point);
        recordAndDie(m_path, 50, 30, qPrintable(point));
        ReadingsTable table;
        reopen(table);
        QCOMPARE(table.readOnlyReason(), QString());
        QVERIFY(!table.journalFound());
        QCOMPARE(noColumn(table), numbersFrom(1, 80));
        QCOMPARE(journaledReadings(table), 0u);
        QCOMPARE(PxlibTable::read(m_path).recordCount, 80);
    }

    void journalThatCannotBeWrittenIsSaidOnceAndRecordingGoesOn() {
        QVERIFY(QDir().mkpath(m_journal)); // a folder where the journal would go
        ReadingsTable table;
        table.setTableName(m_path);
        table.openOrCreate();
        for (int no = 1; no <= 3; ++no)
            table.append(reading(no));
        const std::vector<TableProblem> notices = table.takeNotices();
        QCOMPARE(notices.size(), std::size_t{1});
        QCOMPARE(notices.front().cause, TableCause::JournalKept);
        QVERIFY(table.takeNotices().empty());
        QCOMPARE(table.pendingCount(), 3);
        table.applyUpdates();
        QCOMPARE(PxlibTable::read(m_path).recordCount, 3);
        QVERIFY(QDir().rmdir(m_journal));
    }

    void leftoverCopyOfASaveIsRemovedWhenTheTableHoldsItsReadings_data() {
        QTest::addColumn<int>("copied"); // readings in the copy
        QTest::addColumn<int>("cut");    // bytes cut from its end
        QTest::newRow("the table as it is") << 3 << 0;
        QTest::newRow("fewer readings") << 1 << 0;
        QTest::newRow("cut short in its header") << 3 << 4000;
        QTest::newRow("pending readings the journal holds") << 5 << 0;
    }

    void leftoverCopyOfASaveIsRemovedWhenTheTableHoldsItsReadings() {
        QFETCH(int, copied);
        QFETCH(int, cut);
        const QString copy = m_dir.filePath(QStringLiteral(".Velmarbdb.DB.4242-0.tmp"));
        recordAndDie(m_path, 3, 2);
        const QString building = m_dir.filePath(QStringLiteral("building"));
        writeTable(building, copied);
        QFile file(building + QStringLiteral(".DB"));
        QVERIFY(file.resize(std::max<qint64>(0, file.size() - cut)));
        QVERIFY(file.rename(copy));

        ReadingsTable table;
        reopen(table);
        QVERIFY(!QFileInfo::exists(copy));
        const std::vector<TableProblem> notices = table.takeNotices();
        QCOMPARE(notices.size(), std::size_t{1});
        QCOMPARE(notices.front().cause, TableCause::LeftoverRemoved);
        QVERIFY(notices.front().message.contains(copy));
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("Velmarbdb-recovered-1.DB"))));
        QCOMPARE(table.journalFound().value().count, 2);
    }

    void leftoverCopyWithReadingsTheTableLacksIsKeptInSight() {
        const QString copy = m_dir.filePath(QStringLiteral(".Velmarbdb.DB.4242-7.tmp"));
        writeTable(m_path, 3);
        writeTable(copy, 6);

        ReadingsTable table;
        reopen(table);
        const QString kept = m_dir.filePath(QStringLiteral("Velmarbdb-recovered-1.DB"));
        QVERIFY(!QFileInfo::exists(copy));
        QCOMPARE(PxlibTable::read(kept).recordCount, 6);
        const std::vector<TableProblem> notices = table.takeNotices();
        QCOMPARE(notices.size(), std::size_t{1});
        QCOMPARE(notices.front().cause, TableCause::LeftoverKept);
        QVERIFY(notices.front().message.contains(kept));
    }
};

QTEST_GUILESS_MAIN(CrashJournalTest)
#include "tst_crashjournal.moc"
