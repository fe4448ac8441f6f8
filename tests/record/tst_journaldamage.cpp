// Journals of pending readings damaged the way a bad sector, a stray write or another table's
// file would damage them: every entry whose check holds is recovered, none is lost without a
// message, and a journal that could not be read whole is kept aside, never overwritten.
#include "ReadingsTable.h"
#include "TableError.h"

#include "DamagedTable.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace damaged;

namespace {

constexpr int kPending = 4;
constexpr int kEntrySize = 8 + kRecordSize + 4; // moment, record, check

// In a child: a table with one saved reading and kPending more recorded, then killed.
void recordAndDie(const QString& path) {
    const pid_t child = fork();
    if (child == 0) {
        ReadingsTable table;
        table.setTableName(path);
        table.openOrCreate();
        table.append(reading(1));
        table.applyUpdates();
        for (int no = 2; no <= 1 + kPending; ++no)
            table.append(reading(no));
        ::raise(SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

quint32 crc32(const char* data, qsizetype size) {
    quint32 crc = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i) {
        crc ^= static_cast<unsigned char>(data[i]);
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFu;
}

// Thousands of journals are written and synced: memory-backed when the system has such a folder.
QString scratchTemplate() {
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString base = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    return base + QStringLiteral("/tst_journaldamage-XXXXXX");
}

struct Opened {
    QList<int> found; // numbers of the readings offered
    std::vector<TableProblem> notices;
};

Opened openAndAdopt(const QString& path) {
    Opened opened;
    ReadingsTable table;
    table.setTableName(path);
    table.open();
    opened.notices = table.takeNotices();
    if (!table.journalFound())
        return opened;
    table.adoptJournal();
    for (qsizetype row = 1; row < table.recordCount(); ++row)
        opened.found << table.text(row, table.fieldIndex(u"No")).toInt();
    table.dropJournal();
    return opened;
}

// The files in folder whose bytes are exactly bytes.
QStringList holding(const QString& folder, const QByteArray& bytes) {
    QStringList names;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (bytesOf(dir.filePath(name)) == bytes)
            names << name;
    }
    return names;
}

} // namespace

// How much a process that reads a huge journal may hold resident. Under the address sanitizer
// freed blocks stay resident in its quarantine (256 MB by default), so the bound there allows for
// it; still well under what reading the file whole would take.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kResidentBoundKb = 480 * 1024;
#else
constexpr long kResidentBoundKb = 200 * 1024;
#endif

class JournalDamageTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir{scratchTemplate()};
    QString m_table;
    QString m_journal;
    QByteArray m_tableBytes;
    QByteArray m_journalBytes;

    void clearFolder() {
        for (const QString& name : QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(m_dir.filePath(name));
    }

    // The table and journal as the kill left them.
    void restore(const QByteArray& journal) {
        clearFolder();
        putBytes(m_table, m_tableBytes);
        putBytes(m_journal, journal);
    }

    [[nodiscard]] qsizetype headerSize() const {
        return m_journalBytes.size() - qsizetype{kPending} * kEntrySize;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_table = m_dir.filePath(QStringLiteral("Velmarbdb.DB"));
        m_journal = m_dir.filePath(QStringLiteral(".Velmarbdb.DB.pending"));
        recordAndDie(m_table);
        m_tableBytes = bytesOf(m_table);
        m_journalBytes = bytesOf(m_journal);
        QVERIFY(headerSize() >= 32);
        QCOMPARE(openAndAdopt(m_table).found, QList<int>({2, 3, 4, 5}));
    }

    // Each bit of the journal flipped in turn. A flipped bit in an entry costs that entry and
    // no other; one in the header costs none (the table's own record size stands in). Either
    // way the user is told, and the journal as found is kept aside untouched.
    void everyBitFlippedInTurnCostsAtMostItsOwnEntryAndIsSaid() {
        for (qsizetype bit = 0; bit < m_journalBytes.size() * 8; ++bit) {
            QByteArray flipped = m_journalBytes;
            flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
            restore(flipped);
            const Opened opened = openAndAdopt(m_table);

            QList<int> expected{2, 3, 4, 5};
            const qsizetype at = bit / 8;
            if (at >= headerSize())
                expected.removeAt((at - headerSize()) / kEntrySize);
            const QByteArray where = QByteArray("bit ") + QByteArray::number(bit);
            QVERIFY2(opened.found == expected, where.constData());
            QVERIFY2(!opened.notices.empty(), where.constData());
            QVERIFY2(holding(m_dir.path(), flipped)
                         .contains(QStringLiteral(".Velmarbdb.DB.pending.damaged-1")),
                     where.constData());
        }
    }

    // A journal of another table with the same fields is neither offered nor destroyed.
    void journalOfAnotherTableIsRefusedAndKept() {
        clearFolder();
        recordAndDie(m_dir.filePath(QStringLiteral("Other.DB")));
        const QByteArray theirs = bytesOf(m_dir.filePath(QStringLiteral(".Other.DB.pending")));
        QCOMPARE(theirs.size(), m_journalBytes.size());
        restore(theirs);

        const Opened opened = openAndAdopt(m_table);
        QVERIFY(opened.found.isEmpty());
        QVERIFY(!opened.notices.empty());
        QVERIFY2(opened.notices.front().message.contains(QStringLiteral("Other.DB")),
                 qPrintable(opened.notices.front().message));
        {
            ReadingsTable table; // recording goes on, with a journal of its own
            table.setTableName(m_table);
            table.open();
            table.append(reading(2));
            table.applyUpdates();
        }
        QCOMPARE(holding(m_dir.path(), theirs).size(), 1);
    }

    // A journal of a version this program does not know (a newer program's) is read as far as
    // its entries check, and kept aside rather than overwritten by the next reading.
    void journalOfAnUnknownVersionIsReadAndKeptAside() {
        QByteArray unknown = m_journalBytes;
        putLe32(unknown, 8, 99);
        putLe32(unknown, headerSize() - 4, crc32(unknown.constData(), headerSize() - 4));
        restore(unknown);
        const Opened opened = openAndAdopt(m_table);
        QCOMPARE(opened.found, QList<int>({2, 3, 4, 5}));
        QVERIFY(!opened.notices.empty());
        QCOMPARE(holding(m_dir.path(), unknown), QStringList{".Velmarbdb.DB.pending.damaged-1"});
    }

    // Journals of the previous format, which a user may have pending after an upgrade.
    void journalOfThePreviousFormatIsStillAdopted() {
        QByteArray old(32, '\0');
        old.replace(0, 8, "VELMPEND");
        putLe32(old, 8, 1);
        putLe32(old, 12, kRecordSize);
        putLe32(old, 16, 1);
        putLe32(old, 20, 0);
        putLe32(old, 24, 0);
        putLe32(old, 28, crc32(old.constData(), 28));
        old += m_journalBytes.mid(headerSize());
        restore(old);
        const Opened opened = openAndAdopt(m_table);
        QCOMPARE(opened.found, QList<int>({2, 3, 4, 5}));
        QVERIFY(opened.notices.empty());
    }

    // A huge journal (here 512 MB of holes) is read in bounded memory, and kept aside.
    void hugeJournalIsReadInBoundedMemoryAndKeptAside() {
        restore({});
        QVERIFY(QFile::resize(m_journal, qint64{512} * 1024 * 1024));
        const int status = runBounded(
            [&] {
                const Opened opened = openAndAdopt(m_table);
                struct rusage usage {};
                ::getrusage(RUSAGE_SELF, &usage);
                if (usage.ru_maxrss > kResidentBoundKb)
                    return 2;
                return opened.notices.empty() ? 3 : 0;
            },
            120);
        QCOMPARE(status, 0);
        QCOMPARE(
            QFileInfo(m_dir.filePath(QStringLiteral(".Velmarbdb.DB.pending.damaged-1"))).size(),
            qint64{512} * 1024 * 1024);
    }
};

QTEST_GUILESS_MAIN(JournalDamageTest)
#include "tst_journaldamage.moc"
