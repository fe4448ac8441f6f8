#include "record/ReadingsTable.h"

#include "DamagedTable.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace damaged;

class CrashJournalTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        for (const QString& name : QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(m_dir.filePath(name));
        m_path = m_dir.filePath(QStringLiteral("Velmarbdb.DB"));
    }

    void readingsRecordedBeforeAKillAreKeptBesideTheTable() {
        const pid_t child = fork();
        if (child == 0) {
            ReadingsTable table;
            table.setTableName(m_path);
            table.openOrCreate();
            for (int no = 1; no <= 3; ++no)
                table.append(reading(no));
            ::raise(SIGKILL);
        }
        int status = 0;
        waitpid(child, &status, 0);
        const QFileInfo journal(m_dir.filePath(QStringLiteral(".Velmarbdb.DB.pending")));
        QEXPECT_FAIL("", "pending readings live only in memory", Abort);
        QVERIFY(journal.exists() && journal.size() > 3 * kRecordSize);
    }

    void leftoverCopyOfASaveIsRemovedWhenTheTableHoldsItsReadings() {
        writeTable(m_path, 3);
        const QString copy = m_dir.filePath(QStringLiteral(".Velmarbdb.DB.4242-0.tmp"));
        QVERIFY(QFile::copy(m_path, copy));
        ReadingsTable table;
        table.setTableName(m_path);
        table.open();
        QEXPECT_FAIL("", "nothing removes what a save cut short leaves", Abort);
        QVERIFY(!QFileInfo::exists(copy));
    }
};

QTEST_GUILESS_MAIN(CrashJournalTest)
#include "tst_crashjournal.moc"
