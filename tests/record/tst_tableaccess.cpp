#include "../support/SmallDisk.h"

#include "ReadingsTable.h"
#include "TableError.h"

#include "DamagedTable.h"
#include "PxlibTable.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

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

    void fullDiskReportsTheSaveAndKeepsThePendingReadings() {
        const QString folder = m_dir.filePath(QStringLiteral("small"));
        QVERIFY(QDir().mkpath(folder));
        const SmallDisk disk(folder, "256k");
        if (!disk.mounted())
            QSKIP(qPrintable(QStringLiteral("A small tmpfs cannot be mounted here (%1), so a "
                                            "full disk cannot be made.")
                                 .arg(disk.why())));
        const QString path = folder + QStringLiteral("/Velmarbdb.DB");
        ReadingsTable table;
        table.setTableName(path);
        table.openOrCreate();
        for (int no = 1; no <= 50; ++no)
            table.append(reading(no));
        table.applyUpdates();
        const QByteArray saved = bytesOf(path);
        // Fill what is left of the disk.
        const QString filler = folder + QStringLiteral("/filler");
        {
            QFile file(filler);
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QByteArray chunk(4096, 'x');
            while (file.write(chunk) == chunk.size() && file.flush()) {
            }
        }
        for (int no = 51; no <= 400; ++no)
            table.append(reading(no));
        const std::optional<TableProblem> problem = table.save();
        QVERIFY(problem.has_value());
        QCOMPARE(problem->cause, TableCause::DiskFull);
        QVERIFY2(problem->message.contains(path), qPrintable(problem->message));
        QCOMPARE(table.pendingCount(), 350);
        QCOMPARE(bytesOf(path).left(saved.size()), saved);
        QCOMPARE(PxlibTable::read(path).recordCount, 50);

        QVERIFY(QFile::remove(filler));
        QVERIFY(!table.save().has_value());
        QCOMPARE(table.pendingCount(), 0);
        QCOMPARE(PxlibTable::read(path).recordCount, 400);
    }

    void readOnlyMountReportsTheSaveAndKeepsThePendingReadings() {
        const QString folder = m_dir.filePath(QStringLiteral("mount"));
        QVERIFY(QDir().mkpath(folder));
        const SmallDisk disk(folder, "1m");
        if (!disk.mounted())
            QSKIP(qPrintable(QStringLiteral("A tmpfs cannot be mounted here (%1), so no folder "
                                            "can be made read-only for root.")
                                 .arg(disk.why())));
        const QString path = folder + QStringLiteral("/Velmarbdb.DB");
        ReadingsTable table;
        table.setTableName(path);
        table.openOrCreate();
        table.append(reading(1));
        table.applyUpdates();
        table.append(reading(2));
        if (!disk.remount(true)) {
            QSKIP(qPrintable(QStringLiteral("The mount cannot turn read-only while the table and "
                                            "its journal are open for writing (%1); a table "
                                            "found on a read-only mount is tested on its own.")
                                 .arg(QString::fromLocal8Bit(std::strerror(errno)))));
        }

        const std::optional<TableProblem> problem = table.save();
        QVERIFY(problem.has_value());
        QVERIFY2(problem->message.contains(path), qPrintable(problem->message));
        QCOMPARE(table.pendingCount(), 1);
        QVERIFY(disk.remount(false));
        QVERIFY(!table.save().has_value());
        QCOMPARE(PxlibTable::read(path).recordCount, 2);
    }

    void tableOnAReadOnlyMountOpensForViewing() {
        const QString folder = m_dir.filePath(QStringLiteral("mount"));
        QVERIFY(QDir().mkpath(folder));
        const SmallDisk disk(folder, "1m");
        if (!disk.mounted())
            QSKIP(qPrintable(QStringLiteral("A tmpfs cannot be mounted here (%1), so no folder "
                                            "can be made read-only for root.")
                                 .arg(disk.why())));
        const QString path = folder + QStringLiteral("/Velmarbdb.DB");
        writeTable(path, 2);
        QVERIFY(disk.remount(true));
        ReadingsTable table;
        table.setTableName(path);
        table.open();
        QCOMPARE(table.recordCount(), 2);
        QVERIFY2(table.readOnlyReason().contains(QStringLiteral("read-only")),
                 qPrintable(table.readOnlyReason()));
        const std::optional<TableProblem> problem = table.record(reading(3));
        QVERIFY(problem.has_value());
        QCOMPARE(problem->cause, TableCause::ReadOnly);
        table.close();
        QVERIFY(disk.remount(false));
    }
};

QTEST_GUILESS_MAIN(TableAccessTest)
#include "tst_tableaccess.moc"
