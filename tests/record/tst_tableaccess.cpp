#include "record/ReadingsTable.h"
#include "record/TableError.h"

#include "DamagedTable.h"
#include "PxlibTable.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace damaged;

// Who may change a table: the file's own write permission decides, for every user, root too.
class TableAccessTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;

    static mode_t modeOf(const QString& path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("Velmarbdb.DB"));
        QFile::remove(m_path);
    }

    void fileWithoutWriteBitsOpensForViewingOnly_data() {
        QTest::addColumn<uint>("mode");
        QTest::newRow("read for all") << 0444u;
        QTest::newRow("read for the owner") << 0400u;
        QTest::newRow("read and execute") << 0555u;
    }

    void fileWithoutWriteBitsOpensForViewingOnly() {
        QFETCH(uint, mode);
        writeTable(m_path, 3);
        QVERIFY(::chmod(QFile::encodeName(m_path).constData(), mode) == 0);
        const QByteArray before = bytesOf(m_path);

        ReadingsTable table;
        table.setTableName(m_path);
        table.open();
        QCOMPARE(table.recordCount(), 3);
        QVERIFY2(table.readOnlyReason().contains(QStringLiteral("read-only")) &&
                     table.readOnlyReason().contains(m_path),
                 qPrintable(table.readOnlyReason()));
        QVERIFY_THROWS_EXCEPTION(TableError, table.append(reading(4)));
        QVERIFY_THROWS_EXCEPTION(TableError, table.empty());
        table.applyUpdates();
        table.close();

        QCOMPARE(bytesOf(m_path), before);
        QCOMPARE(modeOf(m_path), mode_t(mode));
    }

    void fileWithAWriteBitStaysWritable_data() {
        QTest::addColumn<uint>("mode");
        QTest::newRow("owner may write") << 0644u;
        QTest::newRow("only the group may write") << 0464u;
    }

    void fileWithAWriteBitStaysWritable() {
        QFETCH(uint, mode);
        writeTable(m_path, 3);
        QVERIFY(::chmod(QFile::encodeName(m_path).constData(), mode) == 0);
        if (::geteuid() != 0 && (mode & 0200) == 0)
            QSKIP("Only root may write through a group write bit of a file it owns.");

        ReadingsTable table;
        table.setTableName(m_path);
        table.open();
        QCOMPARE(table.readOnlyReason(), QString());
        table.append(reading(4));
        table.applyUpdates();
        table.close();
        QCOMPARE(PxlibTable::read(m_path).recordCount, 4);
        QCOMPARE(modeOf(m_path), mode_t(mode));
    }
};

QTEST_GUILESS_MAIN(TableAccessTest)
#include "tst_tableaccess.moc"
