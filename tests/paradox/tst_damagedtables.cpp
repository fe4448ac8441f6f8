#include "ReadingsTable.h"
#include "TableError.h"

#include "../record/DamagedTable.h"
#include "../record/PxlibTable.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace damaged;

namespace {

// Exit codes of the bounded child, so that a failure says which expectation broke.
enum Outcome { kAsExpected = 0, kOpenFailed, kNotReadOnly, kWrongReason, kWrongCount, kAppended };

// Opens the table at path and checks it shows `records` readings read-only with a reason that
// names the file and holds `word`; records < 0 means the open must be refused instead.
int openDamaged(const QString& path, const QString& word, int records) {
    ReadingsTable table;
    table.setTableName(path);
    try {
        table.open();
    } catch (const TableError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return records < 0 && error.message().contains(path) ? kAsExpected : kOpenFailed;
    }
    if (records < 0)
        return kOpenFailed;
    const QString reason = table.readOnlyReason();
    std::fprintf(stderr, "%s (%lld records)\n", qPrintable(reason),
                 static_cast<long long>(table.recordCount()));
    if (reason.isEmpty())
        return kNotReadOnly;
    if (!reason.contains(path) || !reason.contains(QStringLiteral("damaged")) ||
        !reason.contains(word, Qt::CaseInsensitive))
        return kWrongReason;
    if (table.recordCount() != records)
        return kWrongCount;
    try {
        table.append(reading(records + 1));
        return kAppended;
    } catch (const TableError&) {
    }
    return kAsExpected;
}

} // namespace

class DamagedTablesTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("Velmarbdb.DB"));
        QFile::remove(m_path);
    }

    // 200 readings lie in blocks 1 to 5: four of 45 and one of 20.
    void damagedTableOpensForViewingWithTheReasonAndNeverHangs_data() {
        QTest::addColumn<qsizetype>("offset");
        QTest::addColumn<int>("size");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("records"); // shown read-only; -1: refused

        QTest::newRow("chain loops back to an earlier block")
            << blockStart(3) << 2 << qint64{2} << "loops" << 135;
        QTest::newRow("block links to itself") << blockStart(1) << 2 << qint64{1} << "loops" << 45;
        QTest::newRow("next block beyond the end of the file")
            << blockStart(2) << 2 << qint64{40} << "beyond the end" << 90;
        QTest::newRow("first block beyond the end of the file")
            << qsizetype{0x0E} << 2 << qint64{9} << "beyond the end" << 0;
        QTest::newRow("block size not a whole number of records")
            << blockStart(3) + 4 << 2 << qint64{1981} << "block 3" << 155;
        QTest::newRow("block size larger than a block")
            << blockStart(3) + 4 << 2 << qint64{49 * kRecordSize} << "block 3" << 155;
        QTest::newRow("block size of a negative number of records")
            << blockStart(4) + 4 << 2 << qint64{0x8000} << "block 4" << 155;
        QTest::newRow("header counts more records than the blocks hold")
            << qsizetype{0x06} << 4 << qint64{201} << "header" << 200;
        QTest::newRow("header counts fewer records than the blocks hold")
            << qsizetype{0x06} << 4 << qint64{150} << "header" << 200;
        QTest::newRow("block size of zero KiB") << qsizetype{0x05} << 1 << qint64{0} << "" << -1;
        QTest::newRow("block size of 64 KiB") << qsizetype{0x05} << 1 << qint64{64} << "" << -1;
    }

    void damagedTableOpensForViewingWithTheReasonAndNeverHangs() {
        QFETCH(qsizetype, offset);
        QFETCH(int, size);
        QFETCH(qint64, value);
        QFETCH(QString, word);
        QFETCH(int, records);
        writeTable(m_path, 200);
        QByteArray bytes = bytesOf(m_path);
        if (size == 1)
            bytes[offset] = static_cast<char>(value);
        else if (size == 2)
            putLe16(bytes, offset, static_cast<int>(value));
        else
            putLe32(bytes, offset, value);
        putBytes(m_path, bytes);

        const int outcome = runBounded([&] { return openDamaged(m_path, word, records); });
        QCOMPARE(outcome, int(kAsExpected));
        QCOMPARE(bytesOf(m_path), bytes);
    }

    void damagedBlockSizeNeverShrinksTheTableOnSave() {
        writeTable(m_path, 20'000);
        QByteArray bytes = bytesOf(m_path);
        putLe16(bytes, blockStart(100) + 4, 60 * kRecordSize);
        putBytes(m_path, bytes);

        ReadingsTable table;
        table.setTableName(m_path);
        table.open();
        QVERIFY2(table.readOnlyReason().contains(QStringLiteral("block 100")),
                 qPrintable(table.readOnlyReason()));
        QVERIFY_THROWS_EXCEPTION(TableError, table.append(reading(20'001)));
        QVERIFY_THROWS_EXCEPTION(TableError, table.empty());
        table.applyUpdates();
        table.close();
        QCOMPARE(bytesOf(m_path), bytes);
    }

    // A copy cut short: every whole record before the cut is shown, read-only, and the reason
    // says how many are shown and at which record reading stopped. A new table's blocks hold 45
    // records; 20 readings fill one block, 200 fill blocks 1 to 4 and 20 of block 5.
    void truncatedTableShowsEveryWholeRecordAndSaysWhereReadingStopped_data() {
        QTest::addColumn<int>("written");
        QTest::addColumn<qsizetype>("size"); // of the file after the cut
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("where");
        const auto inBlock = [](int block, int records, int extra) {
            return blockStart(block) + 6 + qsizetype{records} * kRecordSize + extra;
        };
        QTest::newRow("small table cut in its only block")
            << 20 << inBlock(1, 15, 20) << 15 << "block 1, after 15 of its 20 records";
        QTest::newRow("small table cut after a whole record")
            << 20 << inBlock(1, 15, 0) << 15 << "block 1, after 15 of its 20 records";
        QTest::newRow("cut before the first whole record")
            << 20 << inBlock(1, 0, 44) << 0 << "block 1, after 0 of its 20 records";
        QTest::newRow("cut in a block's header") << 20 << blockStart(1) + 3 << 0 << "block 1";
        QTest::newRow("cut in block 4 of 5")
            << 200 << qsizetype{(kHeaderSize + 5 * kBlockSize) - 3000} << 159
            << "block 4, after 24 of its 45 records";
        QTest::newRow("cut between blocks") << 200 << blockStart(4) << 135 << "block 4";
        QTest::newRow("cut in the last block")
            << 200 << inBlock(5, 19, 7) << 199 << "block 5, after 19 of its 20 records";
    }
    void truncatedTableShowsEveryWholeRecordAndSaysWhereReadingStopped() {
        QFETCH(int, written);
        QFETCH(qsizetype, size);
        QFETCH(int, shown);
        QFETCH(QString, where);
        writeTable(m_path, written);
        const QByteArray cut = bytesOf(m_path).left(size);
        putBytes(m_path, cut);

        ReadingsTable table;
        table.setTableName(m_path);
        table.open();
        QCOMPARE(table.recordCount(), qsizetype{shown});
        for (int row = 0; row < shown; ++row)
            QCOMPARE(table.text(row, 0), QString::number(row + 1));
        const QString reason = table.readOnlyReason();
        QVERIFY2(reason.contains(m_path) && reason.contains(where), qPrintable(reason));
        QVERIFY2(reason.contains(QStringLiteral("reading stopped at record %1").arg(shown + 1)),
                 qPrintable(reason));
        const QString count = shown == 0 ? QStringLiteral("It shows no records")
                                         : QStringLiteral("It shows the %1 records").arg(shown);
        QVERIFY2(reason.contains(count), qPrintable(reason));
        QVERIFY_THROWS_EXCEPTION(TableError, table.append(reading(written + 1)));
        table.close();
        QCOMPARE(bytesOf(m_path), cut);
    }

    // Every byte of the header's numbers, the field list, the field names and each block header,
    // set to a few values, and the file cut at many lengths: no hang, no crash, and either every
    // reading or a reason (refusal, or viewing only) - never a short table that could be saved.
    void everyMutantOfTheHeaderAndBlockLinksIsReadWholeOrRefused() {
        writeTable(m_path, 200);
        const QByteArray original = bytesOf(m_path);
        std::vector<QByteArray> mutants;
        std::vector<qsizetype> offsets;
        for (qsizetype at = 0; at < 0x78 + 7 * 2; ++at)
            offsets.push_back(at);
        for (qsizetype at = 0x1B0; at < 0x200; ++at) // the end of the table name, field names
            offsets.push_back(at);
        for (int block = 1; block <= 5; ++block) {
            for (int i = 0; i < 6; ++i)
                offsets.push_back(blockStart(block) + i);
        }
        for (const qsizetype at : offsets) {
            for (const int change : {0x00, 0xFF, 0x01, 0x80, -1}) {
                QByteArray bytes = original;
                bytes[at] = static_cast<char>(change < 0 ? bytes[at] + 1 : change);
                if (bytes != original)
                    mutants.push_back(bytes);
            }
        }
        for (qsizetype size = 0; size < original.size(); size += 97)
            mutants.push_back(original.left(size));

        const int outcome = runBounded(
            [&] {
                for (std::size_t i = 0; i < mutants.size(); ++i) {
                    putBytes(m_path, mutants[i]);
                    if (qEnvironmentVariableIsSet("VELMAR_MUTANT_TRACE"))
                        std::fprintf(stderr, "mutant %zu\n", i);
                    ReadingsTable table;
                    table.setTableName(m_path);
                    try {
                        table.open();
                    } catch (const TableError& error) {
                        if (error.message().isEmpty())
                            return 1;
                        continue;
                    }
                    if (!table.readOnlyReason().isEmpty())
                        continue;
                    if (table.recordCount() != 200) {
                        std::fprintf(stderr, "mutant %zu: %lld records, writable\n", i,
                                     static_cast<long long>(table.recordCount()));
                        return 2;
                    }
                }
                return 0;
            },
            120);
        QCOMPARE(outcome, 0);
        qInfo("%zu mutants", mutants.size());
    }

    // A field whose size does not suit its type would be decoded past its bytes: such a table is
    // refused when it opens, with the field named. The first two fields (a Long and a Time of 4
    // bytes each) are rewritten, keeping their sum, so that only the sizes are wrong.
    void fieldWhoseSizeDoesNotSuitItsTypeIsRefused_data() {
        QTest::addColumn<int>("firstType");
        QTest::addColumn<int>("firstSize");
        QTest::addColumn<int>("secondType");
        QTest::addColumn<int>("secondSize");
        QTest::newRow("Long of 6") << 0x04 << 6 << 0x01 << 2;
        QTest::newRow("Short of 3") << 0x03 << 3 << 0x01 << 5;
        QTest::newRow("Number of 2") << 0x06 << 2 << 0x01 << 6;
        QTest::newRow("Time of 7") << 0x14 << 7 << 0x01 << 1;
        QTest::newRow("Date of 3") << 0x02 << 3 << 0x01 << 5;
        QTest::newRow("Logical of 4") << 0x09 << 4 << 0x14 << 4;
        QTest::newRow("Alpha of 0") << 0x01 << 0 << 0x01 << 8;
        QTest::newRow("type unknown") << 0x30 << 4 << 0x14 << 4;
    }

    void fieldWhoseSizeDoesNotSuitItsTypeIsRefused() {
        QFETCH(int, firstType);
        QFETCH(int, firstSize);
        QFETCH(int, secondType);
        QFETCH(int, secondSize);
        writeTable(m_path, 50);
        QByteArray bytes = bytesOf(m_path);
        constexpr qsizetype kFieldList = 0x78;
        bytes[kFieldList] = static_cast<char>(firstType);
        bytes[kFieldList + 1] = static_cast<char>(firstSize);
        bytes[kFieldList + 2] = static_cast<char>(secondType);
        bytes[kFieldList + 3] = static_cast<char>(secondSize);
        putBytes(m_path, bytes);
        ReadingsTable table;
        table.setTableName(m_path);
        try {
            table.open();
        } catch (const TableError& error) {
            QVERIFY2(error.message().contains(m_path), qPrintable(error.message()));
            QVERIFY2(error.message().contains(QStringLiteral("'No'")), qPrintable(error.message()));
            return;
        }
        QFAIL("The table opened");
    }

    void wholeTableStaysWritable() {
        writeTable(m_path, 200);
        ReadingsTable table;
        table.setTableName(m_path);
        table.open();
        QCOMPARE(table.readOnlyReason(), QString());
        QCOMPARE(table.recordCount(), 200);
        table.append(reading(201));
        table.applyUpdates();
        table.close();
        QCOMPARE(PxlibTable::read(m_path).recordCount, 201);
    }
};

QTEST_GUILESS_MAIN(DamagedTablesTest)
#include "tst_damagedtables.moc"
