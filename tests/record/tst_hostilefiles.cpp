// Another user of a shared folder plants links and FIFOs at the names the program creates or
// opens beside a table; the program must neither write another user's file through them, nor
// hang, nor eat memory, and must say what it refused.
#include "DataFileExport.h"
#include "ReadingsTable.h"
#include "SaveHook.h"
#include "TableError.h"

#include "../support/OtherUser.h"
#include "DamagedTable.h"
#include "PxlibTable.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <sys/file.h>
#include <sys/resource.h>

using namespace damaged;

namespace {

const QByteArray kPrecious = QByteArrayLiteral("the third user's own words, not to be touched\n");

int countMatching(const QString& folder, const QString& pattern) {
    const QRegularExpression re(pattern);
    int n = 0;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System))
        n += re.match(name).hasMatch() ? 1 : 0;
    return n;
}

bool anyNoticeContains(const std::vector<TableProblem>& notices, const QString& words) {
    return std::any_of(notices.begin(), notices.end(),
                       [&](const TableProblem& p) { return p.message.contains(words); });
}

} // namespace

class HostileFilesTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root;
    QString m_shared; // a sticky world-writable folder, as /tmp
    QString m_table;
    QString m_victim;

    QString shared(const QString& name) const { return m_shared + QLatin1Char('/') + name; }

private slots:
    void init() {
        if (!otheruser::available())
            QSKIP("playing another user needs root (CI runs as root)");
        QVERIFY(m_root.isValid());
        QVERIFY(::chmod(QFile::encodeName(m_root.path()).constData(), 0755) == 0);
        m_shared = m_root.path() + QStringLiteral("/shared-") + QString::number(qrand32());
        QVERIFY(QDir().mkpath(m_shared));
        QVERIFY(otheruser::makeShared(m_shared));
        m_table = shared(QStringLiteral("Velmarbdb.DB"));
        m_victim = otheruser::victimFile(
            m_root.path() + QStringLiteral("/v-") + QString::number(qrand32()), kPrecious);
        QVERIFY(!m_victim.isEmpty());
    }

    // A link the attacker plants at the name the journal's replacement had, while the table is
    // open: the next readings and saves write the journal, never the victim's file.
    void linkAtTheJournalReplacementsOldNameLeadsNoWriteElsewhere() {
        writeTable(m_table, 2);
        const QString planted = shared(QStringLiteral(".Velmarbdb.DB.pending.new"));
        {
            ReadingsTable table;
            table.setTableName(m_table);
            table.open();
            QVERIFY(otheruser::plantLink(m_victim, planted));
            for (int no = 3; no <= 6; ++no)
                table.append(reading(no));
            table.applyUpdates();
            table.append(reading(7));
            QCOMPARE(bytesOf(m_victim), kPrecious);
            table.applyUpdates();
        }
        QCOMPARE(bytesOf(m_victim), kPrecious);
        QCOMPARE(PxlibTable::read(m_table).recordCount, 7);
        QVERIFY(QFileInfo(planted).isSymLink());
    }

    // Copies of a table being saved are created under names no one can guess: an attacker who
    // fills every name the old scheme would try cannot stop a save.
    void guessedNamesOfASavesCopiesDoNotStopIt() {
        writeTable(m_table, 3);
        const int status = runBounded([&] {
            for (int n = 0; n < 120; ++n) {
                const QString guess =
                    shared(QStringLiteral(".Velmarbdb.DB.%1-%2.tmp").arg(::getpid()).arg(n));
                if (!otheruser::plantLink(m_victim, guess))
                    return 3;
            }
            ReadingsTable table;
            table.setTableName(m_table);
            table.open();
            try {
                table.empty(); // writes a whole new file
            } catch (const TableError&) {
                return 1;
            }
            return 0;
        });
        QCOMPARE(status, 0);
        QCOMPARE(bytesOf(m_victim), kPrecious);
        QCOMPARE(PxlibTable::read(m_table).recordCount, 0);
    }

    // A FIFO, or a link to an endless device, at the journal's name or at a name a save leaves:
    // opening the table neither blocks nor grows without bound, and says what it refused.
    void fifosAndEndlessFilesAtOurNamesNeitherHangNorEatMemory_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fifo");
        QTest::newRow("FIFO as journal") << QStringLiteral(".Velmarbdb.DB.pending") << true;
        QTest::newRow("/dev/zero as journal") << QStringLiteral(".Velmarbdb.DB.pending") << false;
        QTest::newRow("FIFO as a save's copy") << QStringLiteral(".Velmarbdb.DB.77-1.tmp") << true;
        QTest::newRow("/dev/zero as a save's copy")
            << QStringLiteral(".Velmarbdb.DB.77-1.tmp") << false;
    }

    void fifosAndEndlessFilesAtOurNamesNeitherHangNorEatMemory() {
        QFETCH(QString, name);
        QFETCH(bool, fifo);
        writeTable(m_table, 2);
        QVERIFY(fifo ? otheruser::plantFifo(shared(name))
                     : otheruser::plantLink(QStringLiteral("/dev/zero"), shared(name)));
        const int status = runBounded(
            [&] {
                ReadingsTable table;
                table.setTableName(m_table);
                try {
                    table.open();
                    if (!anyNoticeContains(table.takeNotices(), name))
                        return 5;
                    table.append(reading(3));
                    table.applyUpdates();
                } catch (const TableError&) {
                    return 1;
                }
                struct rusage usage {};
                ::getrusage(RUSAGE_SELF, &usage);
                if (usage.ru_maxrss > 300 * 1024) // kilobytes
                    return 2;
                return table.recordCount() == 3 ? 0 : 4;
            },
            20);
        QCOMPARE(status, 0);
        QCOMPARE(PxlibTable::read(m_table).recordCount, 3);
        // Left as the attacker made it: not ours to remove.
        struct stat st {};
        QCOMPARE(::lstat(QFile::encodeName(shared(name)).constData(), &st), 0);
        QVERIFY(fifo ? S_ISFIFO(st.st_mode) : S_ISLNK(st.st_mode));
    }

    // Save data files onto a name where the attacker planted a link to the victim's file: refused
    // with a message, the victim untouched; a link of the user's own is still followed.
    void exportThroughAnotherUsersLinkIsRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("text") << QStringLiteral("readings.xls");
        QTest::newRow("table") << QStringLiteral("readings.db");
    }

    void exportThroughAnotherUsersLinkIsRefused() {
        QFETCH(QString, name);
        writeTable(m_table, 4);
        QVERIFY(otheruser::plantLink(m_victim, shared(name)));
        ReadingsTable table;
        table.setTableName(m_table);
        table.open();
        const ExportResult result = DataFileExport::save(table, shared(name));
        QCOMPARE(result.status, ExportResult::Status::Failed);
        QVERIFY2(result.message.contains(QStringLiteral("symbolic link")),
                 qPrintable(result.message));
        QVERIFY2(result.message.contains(QStringLiteral("another user")),
                 qPrintable(result.message));
        QCOMPARE(bytesOf(m_victim), kPrecious);
        QVERIFY(QFileInfo(shared(name)).isSymLink());
    }

    void exportThroughTheUsersOwnLinkReplacesItsTarget() {
        writeTable(m_table, 4);
        const QString own = shared(QStringLiteral("own.txt"));
        putBytes(own, "old");
        QVERIFY(QFile::link(own, shared(QStringLiteral("mine.xls"))));
        ReadingsTable table;
        table.setTableName(m_table);
        table.open();
        const ExportResult result = DataFileExport::save(table, shared(QStringLiteral("mine.xls")));
        QCOMPARE(result.status, ExportResult::Status::Saved);
        QVERIFY(bytesOf(own).startsWith("No\tTime"));
        QVERIFY(QFileInfo(shared(QStringLiteral("mine.xls"))).isSymLink());
    }

    // The table layer follows links by the same rule: a table name that the attacker made a
    // link to another user's table is not opened, so no reading is saved into it.
    void tableOpenedThroughAnotherUsersLinkIsRefused() {
        const QString theirs = QFileInfo(m_victim).absolutePath() + QStringLiteral("/theirs.DB");
        writeTable(theirs, 2);
        QVERIFY(::chown(QFile::encodeName(theirs).constData(), otheruser::kVictim,
                        otheruser::kVictim) == 0);
        const QByteArray before = bytesOf(theirs);
        QVERIFY(otheruser::plantLink(theirs, m_table));
        ReadingsTable table;
        table.setTableName(m_table);
        try {
            table.openOrCreate();
            QFAIL("the table was opened through another user's link");
        } catch (const TableError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("symbolic link")),
                     qPrintable(error.message()));
        }
        QCOMPARE(bytesOf(theirs), before);
    }

    // An export killed while it writes leaves its hidden copy; the next save into the folder
    // removes it and says so, but leaves a copy another process is still writing.
    void temporariesOfAKilledExportAreRemovedNextTimeUnlessHeld() {
        writeTable(m_table, 30);
        const pid_t child = fork();
        if (child == 0) {
            ReadingsTable table(SaveHook([](const char* at) {
                if (std::strcmp(at, "copy-written") == 0)
                    ::raise(SIGKILL);
            }));
            table.setTableName(m_table);
            table.open();
            (void)DataFileExport::save(table, shared(QStringLiteral("big.xls")));
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
        const QString leftover = QStringLiteral("^\\.big\\.xls\\..*tmp$");
        QCOMPARE(countMatching(m_shared, leftover), 1);

        // A copy that another export is writing right now, held as such a copy is held.
        const QString busyName =
            QDir(m_shared)
                .entryList({QStringLiteral(".big.xls.*")}, QDir::Files | QDir::Hidden)
                .first()
                .replace(QStringLiteral("big"), QStringLiteral("busy"));
        QFile busy(shared(busyName));
        QVERIFY(busy.open(QIODevice::WriteOnly));
        QCOMPARE(::flock(busy.handle(), LOCK_EX | LOCK_NB), 0);

        // The folder is used again when its table opens, or by the next export into it.
        ReadingsTable table;
        table.setTableName(m_table);
        table.open();
        QString said;
        for (const TableProblem& notice : table.takeNotices())
            said += notice.message;
        const ExportResult result = DataFileExport::save(table, shared(QStringLiteral("b.xls")));
        QCOMPARE(result.status, ExportResult::Status::Saved);
        said += result.message;
        QCOMPARE(countMatching(m_shared, leftover), 0);
        QVERIFY2(said.contains(QStringLiteral(".big.xls.")), qPrintable(said));
        QVERIFY(QFileInfo::exists(shared(busyName)));

        // A killed export into a folder without a table: the next export there says it.
        const QString other = m_root.path() + QStringLiteral("/exports");
        QVERIFY(QDir().mkpath(other));
        putBytes(other + QStringLiteral("/.old.txt.0123456789abcdef.export.tmp"), "cut short");
        const ExportResult next = DataFileExport::save(table, other + QStringLiteral("/new.txt"));
        QCOMPARE(next.status, ExportResult::Status::Saved);
        QVERIFY2(next.message.contains(QStringLiteral(".old.txt.")), qPrintable(next.message));
        QCOMPARE(countMatching(other, QStringLiteral("tmp$")), 0);
    }

private:
    static quint32 qrand32() {
        static quint32 n = 0;
        return ++n;
    }
};

QTEST_GUILESS_MAIN(HostileFilesTest)
#include "tst_hostilefiles.moc"
