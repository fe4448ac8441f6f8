#include "../support/Fixtures.h"
#include "DataFileExport.h"
#include "DataFileKind.h"
#include "ParadoxFile.h"
#include "ReadingsTable.h"
#include "TableChain.h"
#include "TableExport.h"
#include "TableSnapshot.h"
#include "TextExport.h"

#include "../support/FileSizeLimit.h"
#include "PxlibTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const QByteArray kHeading = "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n";

ReadingRecord reading(qint32 no, const QString& value, const QString& unit = QStringLiteral("mV"),
                      const QString& acDc = QStringLiteral("DC")) {
    return {no,
            9 * 3'600'000 + 5 * 60'000 + no * 1000 + 250,
            acDc,
            value,
            unit,
            QStringLiteral("AUTO"),
            value.toDouble()};
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QString fixture(const QString& name) {
    return QDir(QStringLiteral(VELMAR_PARADOX_FIXTURES)).filePath(name);
}

} // namespace

// Saving the table of readings as text or as a new table: the bytes, the choice between the two,
// and what a refused, failed or cancelled save leaves behind.
class DataExportTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ReadingsTable> m_table;

    QString path(const QString& name) const { return m_dir->filePath(name); }

    // Two saved readings and one pending, the way recording leaves a table between saves.
    void recordThree() {
        m_table->append(reading(1, QStringLiteral("-12.345")));
        m_table->append(
            reading(2, QStringLiteral("0.000"), QStringLiteral("k*"), QStringLiteral("AC")));
        m_table->applyUpdates();
        m_table->append(reading(3, QStringLiteral("OL"), QStringLiteral("+A"), QString()));
    }

    QStringList filesInDir() const {
        return QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_table = std::make_unique<ReadingsTable>();
        m_table->setTableName(path(QStringLiteral("Velmarbdb.DB")));
        m_table->openOrCreate();
    }

    void cleanup() {
        m_table.reset();
        m_dir.reset();
    }

    void extensionDecidesTextOrTable_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("table");
        QTest::newRow("spreadsheet name") << "out.xls" << false;
        QTest::newRow("text name") << "out.txt" << false;
        QTest::newRow("no extension") << "out" << false;
        QTest::newRow("table name in capitals") << "OUT.DB" << true;
        QTest::newRow("table name in lower case") << "out.db" << true;
        QTest::newRow("table name in mixed case") << "out.Db" << true;
        QTest::newRow("db inside a folder name only") << "x.db/out" << false;
    }
    void extensionDecidesTextOrTable() {
        QFETCH(QString, name);
        QFETCH(bool, table);
        QCOMPARE(dataFileKindFor(name) == DataFileKind::Table, table);
    }

    void textNamesGetTheSameTabSeparatedBytes_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow(".xls") << "readings.xls";
        QTest::newRow(".txt") << "readings.txt";
        QTest::newRow("none") << "readings";
    }
    void textNamesGetTheSameTabSeparatedBytes() {
        QFETCH(QString, name);
        recordThree();
        const ExportResult result = DataFileExport::save(*m_table, path(name));
        QCOMPARE(result.status, ExportResult::Status::Saved);
        QCOMPARE(result.message,
                 QStringLiteral("save table to specified file: %1 Scuss!").arg(path(name)));
        // The pending third reading is there; units keep the display font's characters.
        const QByteArray expected = kHeading + "1\t09:05:01\tDC\t-12.345\tmV\tAUTO\r\n"
                                               "2\t09:05:02\tAC\t0.000\tk*\tAUTO\r\n"
                                               "3\t09:05:03\t\tOL\t+A\tAUTO\r\n";
        QCOMPARE(fileBytes(path(name)), expected);
    }

    void emptyTableGivesTheHeadingLineOnly() {
        QVERIFY(DataFileExport::save(*m_table, path("empty.txt")).status ==
                ExportResult::Status::Saved);
        QCOMPARE(fileBytes(path("empty.txt")), kHeading);
    }

    void textKeepsTheTablesOwnBytes() {
        // "µ" is one byte (0xB5) in the table's code page and goes out as that byte.
        m_table->append(reading(1, QStringLiteral("1.0"), QString(QChar(0xB5)) + u'A'));
        const auto text = TextExport::build(TableSnapshot::of(*m_table));
        QVERIFY(text.has_value());
        QCOMPARE(text->mid(kHeading.size()), QByteArray("1\t09:05:01\tDC\t1.0\t\xB5"
                                                        "A\tAUTO\r\n"));
    }

    void tableExportReadsBackWholeAndTakesNewRecords_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("upper case") << "COPY.DB";
        QTest::newRow("lower case") << "copy.db";
    }
    void tableExportReadsBackWholeAndTakesNewRecords() {
        QFETCH(QString, name);
        recordThree();
        const ExportResult result = DataFileExport::save(*m_table, path(name));
        QCOMPARE(result.status, ExportResult::Status::Saved);
        QVERIFY(result.message.isEmpty());

        const PxlibTable byPxlib = PxlibTable::read(path(name));
        QCOMPARE(byPxlib.recordCount, 3);
        QVERIFY(!byPxlib.keyed);
        ReadingsTable copy;
        copy.setTableName(path(name));
        copy.open();
        QCOMPARE(copy.recordCount(), 3);
        QCOMPARE(copy.fieldCount(), m_table->fieldCount());
        for (int row = 0; row < 3; ++row) {
            for (int field = 0; field < copy.fieldCount(); ++field) {
                QCOMPARE(copy.fieldName(field), m_table->fieldName(field));
                QCOMPARE(copy.text(row, field), m_table->text(row, field));
            }
        }
        QCOMPARE(byPxlib.rows[1][byPxlib.fieldIndex("Unit")].toString(), QStringLiteral("k*"));
        QCOMPARE(byPxlib.rows[2][byPxlib.fieldIndex("No")].toLongLong(), 3);

        QVERIFY(copy.readOnlyReason().isEmpty());
        copy.append(reading(4, QStringLiteral("5.5")));
        copy.applyUpdates();
        copy.close();
        copy.open();
        QCOMPARE(copy.recordCount(), 4);
        QCOMPARE(copy.text(3, copy.fieldIndex(u"Value")), QStringLiteral("5.5"));
    }

    void savingOntoTheOpenTableIsRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("as a table") << "Velmarbdb.DB";
        QTest::newRow("through a link, as text") << "link.xls";
    }
    void savingOntoTheOpenTableIsRefused() {
        QFETCH(QString, name);
        QVERIFY(QFile::link(m_table->filePath(), path("link.xls")));
        recordThree();
        const QByteArray before = fileBytes(m_table->filePath());
        const ExportResult result = DataFileExport::save(*m_table, path(name));
        QCOMPARE(result.status, ExportResult::Status::Failed);
        QVERIFY(result.message.startsWith(
            QStringLiteral("Could not save table to specified file: %1").arg(path(name))));
        QVERIFY(result.message.contains(QStringLiteral("is the table of readings that is open")));
        QCOMPARE(fileBytes(m_table->filePath()), before);
        QCOMPARE(m_table->pendingCount(), 1);
    }

    void writeProtectedTargetIsLeftAlone_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("text") << "old.txt";
        QTest::newRow("table") << "old.db";
    }
    void writeProtectedTargetIsLeftAlone() {
        QFETCH(QString, name);
        writeFile(path(name), "keep me");
        QVERIFY(::chmod(QFile::encodeName(path(name)).constData(), 0444) == 0);
        recordThree();
        const ExportResult result = DataFileExport::save(*m_table, path(name));
        QCOMPARE(result.status, ExportResult::Status::Failed);
        QVERIFY(result.message.contains(QStringLiteral("write-protected")));
        QCOMPARE(fileBytes(path(name)), QByteArray("keep me"));
    }

    void replacingKeepsTheOldFilesPermissions() {
        writeFile(path("shared.txt"), "old");
        QVERIFY(::chmod(QFile::encodeName(path("shared.txt")).constData(), 0640) == 0);
        QCOMPARE(DataFileExport::save(*m_table, path("shared.txt")).status,
                 ExportResult::Status::Saved);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path("shared.txt")).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t{0640});
        QCOMPARE(fileBytes(path("shared.txt")), kHeading);
    }

    void failureHalfWayLeavesTheTargetAsItWas_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("text") << "big.txt";
        QTest::newRow("table") << "big.db";
    }
    void failureHalfWayLeavesTheTargetAsItWas() {
        QFETCH(QString, name);
        for (qint32 no = 1; no <= 2000; ++no)
            m_table->append(reading(no, QStringLiteral("1.000")));
        writeFile(path(name), "previous contents");
        const QStringList before = filesInDir();
        ExportResult result;
        {
            const FileSizeLimit limit(4096); // the disk fills after 4 KiB
            result = DataFileExport::save(*m_table, path(name));
        }
        QCOMPARE(result.status, ExportResult::Status::Failed);
        QVERIFY(result.message.startsWith(
            QStringLiteral("Could not save table to specified file: %1\n").arg(path(name))));
        QCOMPARE(fileBytes(path(name)), QByteArray("previous contents"));
        QCOMPARE(filesInDir(), before); // no partial file beside it
    }

    void missingFieldWritesNothing() {
        VELMAR_REQUIRE_FIXTURE(fixture("time.db"));
        QVERIFY(QFile::copy(fixture("time.db"), path("time.db")));
        ReadingsTable other;
        other.setTableName(path("time.db"));
        other.open();
        const ExportResult result = DataFileExport::save(other, path("out.txt"));
        QCOMPARE(result.status, ExportResult::Status::Failed);
        QVERIFY(result.message.contains(QStringLiteral("Field 'No' not found")));
        QVERIFY(!QFile::exists(path("out.txt")));
    }

    void cancelledExportLeavesNoFile_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("text") << "long.txt";
        QTest::newRow("table") << "long.db";
    }
    void cancelledExportLeavesNoFile() {
        QFETCH(QString, name);
        for (qint32 no = 1; no <= 30000; ++no)
            m_table->append(reading(no, QStringLiteral("2.5")));
        QVERIFY(isLongWork(m_table->recordCount()));
        const QStringList before = filesInDir();
        int calls = 0;
        const ExportResult result = DataFileExport::save(
            *m_table, path(name), [&calls](qsizetype, qsizetype) { return ++calls < 3; });
        QCOMPARE(result.status, ExportResult::Status::Cancelled);
        QCOMPARE(calls, 3);
        QCOMPARE(filesInDir(), before);
    }

    void exportCoversTheTableAsItWasWhenItStarted() {
        for (qint32 no = 1; no <= 10000; ++no)
            m_table->append(reading(no, QStringLiteral("2.5")));
        qsizetype lastDone = -1;
        qsizetype reportedTotal = 0;
        // Recording goes on while the progress bar lets events through.
        const ExportResult result =
            DataFileExport::save(*m_table, path("during.db"), [&](qsizetype done, qsizetype total) {
                m_table->append(reading(static_cast<qint32>(20000 + done), QStringLiteral("9")));
                [&] { QVERIFY(done > lastDone); }();
                lastDone = done;
                reportedTotal = total;
                return true;
            });
        QCOMPARE(result.status, ExportResult::Status::Saved);
        QCOMPARE(reportedTotal, 10000);
        QCOMPARE(lastDone, 10000);
        QVERIFY(m_table->recordCount() > 10000);
        QCOMPARE(PxlibTable::read(path("during.db"), 0).recordCount, 10000);
    }

    // The copy lays out its blocks itself; pxlib's record-by-record path is the reference. Counts
    // around a block's capacity decide where the layout could go wrong.
    void tableCopyMatchesPxlibsOwnLayout_data() {
        QTest::addColumn<int>("records");
        const RecordLayout layout = RecordLayout::readings();
        const int perBlock = (2048 - TableChain::kBlockHeaderSize) / layout.recordSize();
        for (const int n : {0, 1, perBlock - 1, perBlock, perBlock + 1, 3 * perBlock, 70'000})
            QTest::addRow("%d", n) << n;
    }
    void tableCopyMatchesPxlibsOwnLayout() {
        QFETCH(int, records);
        for (qint32 no = 1; no <= records; ++no)
            m_table->append(reading(no % 40'000, QString::number(no % 977)));
        const TableSnapshot snapshot = TableSnapshot::of(*m_table);
        const std::optional<std::vector<char>> fast =
            TableExport::build(snapshot, QStringLiteral("copy.db"));
        QVERIFY(fast.has_value());
        const std::vector<char> reference =
            ParadoxFile::build(snapshot.layout, snapshot.records, QStringLiteral("copy.db"));
        QCOMPARE(fast->size(), reference.size());
        const TableChain chain = TableChain::read(*fast);
        QVERIFY2(chain.isWhole(), qPrintable(chain.problem()));
        QCOMPARE(chain.recordCount(), records);
        // Header and every record alike. Left out: the header's copies of memory addresses
        // (of the table name, the field list and each field name) and the time of writing; the
        // unused tail of a block is nobody's business.
        const auto fields = static_cast<std::size_t>(snapshot.layout.fieldCount());
        const std::size_t namePointers = 0x78 + 2 * fields;
        const std::pair<std::size_t, std::size_t> unstable[] = {
            {0x30, 0x38}, {0x60, 0x64}, {namePointers, namePointers + 4 + 4 * fields}};
        QStringList differing;
        for (std::size_t i = 0; i < static_cast<std::size_t>(chain.headerSize()); ++i) {
            const bool skipped = std::any_of(std::begin(unstable), std::end(unstable),
                                             [i](auto r) { return i >= r.first && i < r.second; });
            if (!skipped && (*fast)[i] != reference[i])
                differing << QString::number(i, 16);
        }
        QVERIFY2(differing.isEmpty(), qPrintable(differing.join(',')));
        qsizetype row = 0;
        for (const TableChain::Block& block : chain.blocks()) {
            const std::size_t at = chain.blockOffset(block.number);
            const std::size_t used = TableChain::kBlockHeaderSize +
                                     static_cast<std::size_t>(block.count * chain.recordSize());
            QVERIFY(std::equal(fast->begin() + static_cast<std::ptrdiff_t>(at),
                               fast->begin() + static_cast<std::ptrdiff_t>(at + used),
                               reference.begin() + static_cast<std::ptrdiff_t>(at)));
            row += block.count;
        }
        QCOMPARE(row, records);
    }

    void fixtureTablesCopyAsUnkeyedTables_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("copies");
        QTest::newRow("time of day, code page 850") << "time.db" << true;
        QTest::newRow("keyed, auto-increment") << "long.db" << true;
        QTest::newRow("date and time") << "date5.db" << true;
        QTest::newRow("Paradox 7 number") << "DECIMAL.DB" << true;
        QTest::newRow("memo field") << "CUSTOMER.DB" << false;
    }
    void fixtureTablesCopyAsUnkeyedTables() {
        QFETCH(QString, file);
        QFETCH(bool, copies);
        VELMAR_REQUIRE_FIXTURE(fixture(file));
        QVERIFY(QFile::copy(fixture(file), path(file)));
        ReadingsTable source;
        source.setTableName(path(file));
        source.open();
        const ExportResult result = DataFileExport::save(source, path("copy.db"));
        if (!copies) {
            QCOMPARE(result.status, ExportResult::Status::Failed);
            QVERIFY(result.message.contains(QStringLiteral("memo or binary")));
            QVERIFY(!QFile::exists(path("copy.db")));
            return;
        }
        QCOMPARE(result.status, ExportResult::Status::Saved);
        const PxlibTable original = PxlibTable::read(path(file));
        const PxlibTable copy = PxlibTable::read(path("copy.db"));
        QVERIFY(!copy.keyed);
        QCOMPARE(copy.codePage, original.codePage);
        QCOMPARE(copy.rows, original.rows);
        ReadingsTable reopened;
        reopened.setTableName(path("copy.db"));
        reopened.open();
        QVERIFY(reopened.readOnlyReason().isEmpty());
    }
};

QTEST_GUILESS_MAIN(DataExportTest)
#include "tst_dataexport.moc"
