#include "../support/FileSizeLimit.h"

#include "ReadingsTable.h"
#include "TableError.h"

#include "ParadoxLayoutReader.h"
#include "PxlibTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

ReadingRecord reading(qint32 no, const QString& value = QStringLiteral("1.234")) {
    return {no,
            12 * 3'600'000 + 34 * 60'000 + 56'789,
            QStringLiteral("DC"),
            value,
            QStringLiteral("mV"),
            QStringLiteral("AUTO"),
            value.toDouble()};
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the body with the message of the TableError it throws; fails if it throws none.
template <typename Body> QString errorOf(Body body) {
    try {
        body();
    } catch (const TableError& error) {
        return error.message();
    }
    return {};
}

// Writes a table through pxlib alone, as other software would, with one record of values.
void writeWithPxlib(const QString& path, const std::vector<PxlibField>& fields,
                    const std::function<void(pxdoc_t*, char*)>& fillRecord,
                    const char* password = nullptr) {
    pxdoc_t* doc = PX_new();
    auto* list = static_cast<pxfield_t*>(doc->malloc(doc, sizeof(pxfield_t) * fields.size(), "f"));
    int recordSize = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        list[i].px_fname = PX_strdup(doc, fields[i].name.toLatin1().constData());
        list[i].px_ftype = static_cast<char>(fields[i].type);
        list[i].px_flen = fields[i].size;
        list[i].px_fdc = 0;
        recordSize += fields[i].size;
    }
    QVERIFY(PX_create_file(doc, list, static_cast<int>(fields.size()),
                           QFile::encodeName(path).constData(), pxfFileTypNonIndexDB) == 0);
    if (password)
        PX_set_parameter(doc, "password", password);
    std::vector<char> record(static_cast<std::size_t>(recordSize), 0);
    fillRecord(doc, record.data());
    QVERIFY(PX_put_record(doc, record.data()) >= 0);
    PX_close(doc);
    PX_delete(doc);
}

} // namespace

class ReadingsTableTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;

    void openNew(ReadingsTable& table) {
        table.setTableName(m_path);
        table.openOrCreate();
    }

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("Velmarbdb.DB"));
        QFile::remove(m_path);
    }

    void readingReadsBackAfterSaveAndReopen_data() {
        QTest::addColumn<ReadingRecord>("reading");
        QTest::addColumn<QStringList>("texts"); // No, Time, DC/AC, Value, Unit, AUTO, Nval

        QTest::newRow("ordinary") << ReadingRecord{7, 45'296'789, "AC", "230.4", "V", "AUTO", 230.4}
                                  << QStringList{"7", "12:34:56", "AC",   "230.4",
                                                 "V", "AUTO",     "230.4"};
        QTest::newRow("negative, manual range")
            << ReadingRecord{2, 1000, "DC", "-0.0012", "+A", "MANU", -0.0012}
            << QStringList{"2", "00:00:01", "DC", "-0.0012", "+A", "MANU", "-0.0012"};
        QTest::newRow("midnight, empty texts, zero")
            << ReadingRecord{1, 0, "", "", "", "", 0.0}
            << QStringList{"1", "00:00:00", "", "", "", "", "0"};
        QTest::newRow("last millisecond of the day")
            << ReadingRecord{2147483647, 86'399'999, "DC", "OL", "M*", "AUTO", 1e9}
            << QStringList{"2147483647", "23:59:59", "DC", "OL", "M*", "AUTO", "1000000000"};
        QTest::newRow("texts filling their fields")
            << ReadingRecord{-5, 3'600'000, "AC/DC", "-1234.5678", "0123456789", "MANU", -1234.5678}
            << QStringList{"-5",         "01:00:00", "AC/DC",     "-1234.5678",
                           "0123456789", "MANU",     "-1234.5678"};
        QTest::newRow("characters of code page 1252")
            << ReadingRecord{3, 60'000, "DC", "1.5", "µV°€", "AUTO", 1.5}
            << QStringList{"3", "00:01:00", "DC", "1.5", "µV°€", "AUTO", "1.5"};
    }

    void readingReadsBackAfterSaveAndReopen() {
        QFETCH(ReadingRecord, reading);
        QFETCH(QStringList, texts);
        {
            ReadingsTable table;
            openNew(table);
            table.append(reading);
            table.applyUpdates();
        }
        ReadingsTable table;
        table.setTableName(m_path);
        table.open();
        QCOMPARE(table.recordCount(), 1);
        const QStringList names{"No", "Time", "DC/AC", "Value", "Unit", "AUTO", "Nval"};
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(table.text(0, table.fieldIndex(names[i])), texts[i]);
    }

    void pendingReadingsReachTheFileOnlyWhenSaved() {
        ReadingsTable table;
        openNew(table);
        for (int no = 1; no <= 3; ++no)
            table.append(reading(no));
        QCOMPARE(table.recordCount(), 3);
        QCOMPARE(table.pendingCount(), 3);
        QCOMPARE(PxlibTable::read(m_path).recordCount, 0);

        table.applyUpdates();
        QCOMPARE(table.pendingCount(), 0);
        QCOMPARE(table.recordCount(), 3);
        QCOMPARE(PxlibTable::read(m_path).recordCount, 3);
    }

    void closeDropsPendingReadings() {
        ReadingsTable table;
        openNew(table);
        table.append(reading(1));
        table.append(reading(2));
        table.applyUpdates();
        table.append(reading(3));
        table.close();
        QVERIFY(!table.isOpen());

        table.open();
        QCOMPARE(table.recordCount(), 2);
        QCOMPARE(table.text(1, table.fieldIndex(u"No")), QStringLiteral("2"));
    }

    void secondOpenOfAnOpenTableIsRefused() {
        ReadingsTable first;
        openNew(first);

        ReadingsTable second;
        second.setTableName(m_path);
        const QString message = errorOf([&] { second.open(); });
        QVERIFY2(message.contains(QStringLiteral("in use")), qPrintable(message));
        QVERIFY(message.contains(m_path));
        QVERIFY(!second.isOpen());

        first.close();
        second.open();
        QVERIFY(second.isOpen());
    }

    void anotherProcessCannotOpenAnOpenTable() {
        ReadingsTable table;
        openNew(table);
        table.append(reading(1));
        table.applyUpdates(); // the file is a new one now; it must be locked all the same

        const pid_t child = fork();
        if (child == 0) {
            ReadingsTable other;
            other.setTableName(m_path);
            const QString message = errorOf([&] { other.open(); });
            _exit(message.contains(QStringLiteral("in use")) ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
    }

    void saveBeyondTheFileSizeLimitKeepsOldFileAndPendingReadings() {
        ReadingsTable table;
        openNew(table);
        table.append(reading(1));
        table.applyUpdates();
        const QByteArray before = fileBytes(m_path);
        for (int no = 2; no <= 201; ++no)
            table.append(reading(no));

        QString message;
        {
            const FileSizeLimit limit(static_cast<rlim_t>(before.size()) + 2048);
            message = errorOf([&] { table.applyUpdates(); });
        }
        QVERIFY2(message.contains(m_path) && message.contains(QStringLiteral("too large")),
                 qPrintable(message));
        QCOMPARE(fileBytes(m_path), before);
        QCOMPARE(table.pendingCount(), 200);
        // The table and the journal of its pending readings, and no copy left behind.
        QCOMPARE(
            QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
            (QStringList{QStringLiteral(".Velmarbdb.DB.pending"), QStringLiteral("Velmarbdb.DB")}));

        table.applyUpdates();
        QCOMPARE(table.pendingCount(), 0);
        QCOMPARE(PxlibTable::read(m_path).recordCount, 201);
    }

    void saveIntoAVanishedFolderReportsAndKeepsPendingReadings() {
        const QString folder = m_dir.filePath(QStringLiteral("data"));
        QVERIFY(QDir().mkpath(folder));
        ReadingsTable table;
        table.setTableName(folder + QStringLiteral("/Velmarbdb"));
        table.openOrCreate();
        table.append(reading(1));
        QVERIFY(QDir(folder).removeRecursively());

        const QString message = errorOf([&] { table.applyUpdates(); });
        QVERIFY2(message.contains(QStringLiteral("No such file")), qPrintable(message));
        QCOMPARE(table.pendingCount(), 1);

        QVERIFY(QDir().mkpath(folder));
        table.applyUpdates();
        QCOMPARE(PxlibTable::read(folder + QStringLiteral("/Velmarbdb.DB")).recordCount, 1);
    }

    void saveKeepsPermissionsAndSymbolicLinks() {
        const QString real = m_dir.filePath(QStringLiteral("real.DB"));
        const QString link = m_dir.filePath(QStringLiteral("link.DB"));
        {
            ReadingsTable table;
            table.setTableName(real);
            table.openOrCreate();
        }
        QVERIFY(::chmod(QFile::encodeName(real).constData(), 0640) == 0);
        QVERIFY(QFile::link(real, link));

        ReadingsTable table;
        table.setTableName(link);
        table.open();
        table.append(reading(1));
        table.applyUpdates();

        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(PxlibTable::read(real).recordCount, 1);
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(real).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 0777, 0640u);
    }

    void emptyLeavesAFreshTableOnDisk() {
        ReadingsTable table;
        openNew(table);
        for (int no = 1; no <= 5; ++no)
            table.append(reading(no));
        table.applyUpdates();
        table.append(reading(6));

        table.empty();
        QCOMPARE(table.recordCount(), 0);
        QCOMPARE(table.pendingCount(), 0);
        const PxlibTable onDisk = PxlibTable::read(m_path);
        QCOMPARE(onDisk.recordCount, 0);
        QCOMPARE(onDisk.fields.size(), std::size_t{7});

        ReadingsTable other;
        other.setTableName(m_path);
        QVERIFY(errorOf([&] { other.open(); }).contains(QStringLiteral("in use")));

        table.append(reading(1));
        table.applyUpdates();
        table.close();
        table.open();
        QCOMPARE(table.recordCount(), 1);
    }

    void openingAMissingTableIsAnError() {
        ReadingsTable table;
        table.setTableName(m_path);
        const QString message = errorOf([&] { table.open(); });
        QVERIFY2(message.contains(QStringLiteral("does not exist")), qPrintable(message));
        QVERIFY(!table.isOpen());
        QVERIFY(!QFile::exists(m_path));
    }

    void openOrCreateMakesAnEmptyTableOfReadingsInItsFolder() {
        ReadingsTable table;
        table.setFolder(m_dir.path());
        table.setTableName(QStringLiteral("Velmarbdb"));
        table.openOrCreate();

        QCOMPARE(table.filePath(), QFileInfo(m_path).canonicalFilePath());
        const PxlibTable onDisk = PxlibTable::read(m_path);
        QCOMPARE(onDisk.recordCount, 0);
        QCOMPARE(onDisk.fileVersion, 70);
        QCOMPARE(onDisk.codePage, 1252);
        const std::vector<std::tuple<QString, int, int>> expected{
            {"No", pxfLong, 4},      {"Time", pxfTime, 4},   {"DC/AC", pxfAlpha, 5},
            {"Value", pxfAlpha, 10}, {"Unit", pxfAlpha, 10}, {"AUTO", pxfAlpha, 4},
            {"Nval", pxfNumber, 8}};
        QCOMPARE(onDisk.fields.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            QCOMPARE(onDisk.fields[i].name, std::get<0>(expected[i]));
            QCOMPARE(onDisk.fields[i].type, std::get<1>(expected[i]));
            QCOMPARE(onDisk.fields[i].size, std::get<2>(expected[i]));
        }
    }

    // The process's folder is nobody's choice: a relative name without a folder opens and
    // creates nothing there.
    void aRelativeNameWithoutAFolderIsRefused() {
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        ReadingsTable table;
        table.setTableName(QStringLiteral("Velmarbdb"));
        const QString message = errorOf([&] { table.openOrCreate(); });
        QDir::setCurrent(previous);
        QVERIFY2(message.contains(QStringLiteral("no folder")), qPrintable(message));
        QVERIFY(!table.isOpen());
        QVERIFY(!QFile::exists(m_path));
    }

    void tableNameFindsAFileThatDiffersOnlyInCase() {
        const QString lowerCase = m_dir.filePath(QStringLiteral("velmarbdb.db"));
        {
            ReadingsTable table;
            table.setTableName(lowerCase);
            table.openOrCreate();
            table.append(reading(1));
            table.applyUpdates();
        }
        ReadingsTable table;
        openNew(table);
        QCOMPARE(table.recordCount(), 1);
        QCOMPARE(table.filePath(), QFileInfo(lowerCase).canonicalFilePath());
        QVERIFY(!QFileInfo::exists(m_path));
        QFile::remove(lowerCase);
    }

    void badReadingIsRefusedWithoutAddingARecord_data() {
        QTest::addColumn<ReadingRecord>("bad");
        QTest::addColumn<QString>("mentioned");

        const ReadingRecord good = reading(1);
        auto with = [&](auto change) {
            ReadingRecord r = good;
            change(r);
            return r;
        };
        QTest::newRow("value longer than its field")
            << with([](ReadingRecord& r) { r.value = "12345678901"; }) << "Value";
        QTest::newRow("unit longer than its field")
            << with([](ReadingRecord& r) { r.unit = "0123456789A"; }) << "Unit";
        QTest::newRow("range longer than its field")
            << with([](ReadingRecord& r) { r.range = "MANUAL"; }) << "AUTO";
        QTest::newRow("DC/AC longer than its field")
            << with([](ReadingRecord& r) { r.acDc = "AC+DC!"; }) << "DC/AC";
        QTest::newRow("character outside code page 1252")
            << with([](ReadingRecord& r) { r.unit = QStringLiteral("kΩ"); }) << "Unit";
        QTest::newRow("zero character in a text")
            << with([](ReadingRecord& r) { r.value = QStringLiteral("1") + QChar(0); }) << "Value";
        QTest::newRow("time before midnight")
            << with([](ReadingRecord& r) { r.timeOfDayMs = -1; }) << "time";
        QTest::newRow("time past the end of the day")
            << with([](ReadingRecord& r) { r.timeOfDayMs = 86'400'000; }) << "time";
        QTest::newRow("number that would read back as null")
            << with([](ReadingRecord& r) { r.no = std::numeric_limits<qint32>::min(); }) << "no";
    }

    void badReadingIsRefusedWithoutAddingARecord() {
        QFETCH(ReadingRecord, bad);
        QFETCH(QString, mentioned);
        ReadingsTable table;
        openNew(table);

        const QString message = errorOf([&] { table.append(bad); });
        QVERIFY2(message.contains(QStringLiteral("'%1'").arg(mentioned), Qt::CaseInsensitive),
                 qPrintable(message));
        QCOMPARE(table.recordCount(), 0);

        table.append(reading(2));
        QCOMPARE(table.recordCount(), 1);
        QCOMPARE(table.text(0, table.fieldIndex(u"Value")), QStringLiteral("1.234"));
    }

    void failedFieldLeavesNoHalfRecordBehind() {
        ReadingsTable table;
        openNew(table);
        table.append();
        table.setText(u"value", QStringLiteral("9.9"));
        const QString message = errorOf([&] { table.setNumber(u"Bogus", 1.0); });
        QVERIFY2(message.contains(QStringLiteral("Field 'Bogus' not found")), qPrintable(message));

        table.append(); // starts afresh; the half-filled record is not posted
        table.setInteger(u"NO", 4);
        table.post();
        QCOMPARE(table.recordCount(), 1);
        QCOMPARE(table.text(0, table.fieldIndex(u"value")), QString());
        QCOMPARE(table.text(0, table.fieldIndex(u"no")), QStringLiteral("4"));
        QVERIFY(!errorOf([&] { table.post(); }).isEmpty());
    }

    void fieldNamesMatchWithoutRegardToCase() {
        ReadingsTable table;
        openNew(table);
        table.append(reading(1));
        QCOMPARE(table.fieldIndex(u"dc/ac"), table.fieldIndex(u"DC/AC"));
        QCOMPARE(table.fieldIndex(u"nVAL"), 6);
        QCOMPARE(table.fieldIndex(u"Nvalue"), -1);
        table.first();
        QCOMPARE(table.fieldText(u"auto"), QStringLiteral("AUTO"));
    }

    void tableOfAnotherLayoutTakesReadingsByFieldName() {
        writeWithPxlib(m_path,
                       {{"nval", pxfNumber, 8},
                        {"UNIT", pxfAlpha, 12},
                        {"Extra", pxfLong, 4},
                        {"TIME", pxfTime, 4},
                        {"value", pxfAlpha, 15},
                        {"NO", pxfLong, 4},
                        {"dc/ac", pxfAlpha, 2},
                        {"auto", pxfAlpha, 4}},
                       [](pxdoc_t* doc, char* r) {
                           PX_put_data_double(doc, r, 8, 2.5);
                           PX_put_data_alpha(doc, r + 8, 12, const_cast<char*>("mA"));
                           PX_put_data_long(doc, r + 20, 4, 99);
                           PX_put_data_long(doc, r + 24, 4, 3'723'000);
                           PX_put_data_alpha(doc, r + 28, 15, const_cast<char*>("2.500"));
                           PX_put_data_long(doc, r + 43, 4, 1);
                           PX_put_data_alpha(doc, r + 47, 2, const_cast<char*>("DC"));
                           PX_put_data_alpha(doc, r + 49, 4, const_cast<char*>("MANU"));
                       });
        {
            ReadingsTable table;
            table.setTableName(m_path);
            table.open();
            QCOMPARE(table.text(0, table.fieldIndex(u"Time")), QStringLiteral("01:02:03"));
            QCOMPARE(table.text(0, table.fieldIndex(u"Extra")), QStringLiteral("99"));
            table.append(ReadingRecord{2, 60'000, "AC", "123.456789012", "kHz_long", "AUTO", 7.0});
            table.applyUpdates();
        }
        const PxlibTable onDisk = PxlibTable::read(m_path);
        QCOMPARE(onDisk.recordCount, 2);
        const std::vector<QVariant>& row = onDisk.rows[1];
        QCOMPARE(row[onDisk.fieldIndex("nval")].toDouble(), 7.0);
        QCOMPARE(row[onDisk.fieldIndex("UNIT")].toString(), QStringLiteral("kHz_long"));
        QVERIFY(!row[onDisk.fieldIndex("Extra")].isValid());
        QCOMPARE(row[onDisk.fieldIndex("TIME")].toLongLong(), 60'000);
        QCOMPARE(row[onDisk.fieldIndex("value")].toString(), QStringLiteral("123.456789012"));
        QCOMPARE(row[onDisk.fieldIndex("NO")].toLongLong(), 2);
        QCOMPARE(row[onDisk.fieldIndex("dc/ac")].toString(), QStringLiteral("AC"));
        QCOMPARE(onDisk.rows[0][onDisk.fieldIndex("Extra")].toLongLong(), 99);
    }

    void tableWithoutAReadingFieldRefusesReadingsByName() {
        writeWithPxlib(m_path, {{"No", pxfLong, 4}, {"Value", pxfAlpha, 10}},
                       [](pxdoc_t* doc, char* r) { PX_put_data_long(doc, r, 4, 1); });
        ReadingsTable table;
        table.setTableName(m_path);
        table.open();
        const QString message = errorOf([&] { table.append(reading(2)); });
        QVERIFY2(message.contains(QStringLiteral("Field 'Nval' not found")), qPrintable(message));
        QCOMPARE(table.recordCount(), 1);
    }

    void passwordProtectedTableIsShownButNotChanged() {
        writeWithPxlib(
            m_path, {{"No", pxfLong, 4}, {"Value", pxfAlpha, 10}},
            [](pxdoc_t* doc, char* r) {
                PX_put_data_long(doc, r, 4, 42);
                PX_put_data_alpha(doc, r + 4, 10, const_cast<char*>("secret"));
            },
            "password");
        ReadingsTable table;
        table.setTableName(m_path);
        table.open();
        QCOMPARE(table.text(0, 0), QStringLiteral("42"));
        QCOMPARE(table.text(0, 1), QStringLiteral("secret"));
        const QString message = errorOf([&] { table.append(); });
        QVERIFY2(message.contains(QStringLiteral("password")), qPrintable(message));
        QVERIFY(!errorOf([&] { table.empty(); }).isEmpty());
        QCOMPARE(PxlibTable::read(m_path).recordCount, 1);
    }

    void writtenTableReadsBackThroughPxlib() {
        ReadingsTable table;
        openNew(table);
        for (int no = 1; no <= 100; ++no)
            table.append(ReadingRecord{no, no * 1000, no % 2 ? "AC" : "DC",
                                       QString::number(no * 0.5), "µV", "MANU", no * -0.25});
        table.applyUpdates();

        const PxlibTable onDisk = PxlibTable::read(m_path);
        QCOMPARE(onDisk.recordCount, 100);
        for (int i = 0; i < 100; ++i) {
            const std::vector<QVariant>& row = onDisk.rows[i];
            const int no = i + 1;
            QCOMPARE(row[0].toLongLong(), no);
            QCOMPARE(row[1].toLongLong(), no * 1000);
            QCOMPARE(row[2].toString(), QString(no % 2 ? "AC" : "DC"));
            QCOMPARE(row[3].toString(), QString::number(no * 0.5));
            QCOMPARE(row[4].toString(), QStringLiteral("µV"));
            QCOMPARE(row[5].toString(), QStringLiteral("MANU"));
            QCOMPARE(row[6].toDouble(), no * -0.25);
        }
    }

    void writtenTableFollowsThePublishedLayout() {
        ReadingsTable table;
        openNew(table);
        for (int no = 1; no <= 500; ++no)
            table.append(ReadingRecord{no, 86'399'000 - no, "DC", QString::number(no), "°C", "AUTO",
                                       no / 8.0});
        table.applyUpdates();

        const auto layout = ParadoxLayoutReader::parse(fileBytes(m_path));
        QVERIFY(layout.has_value());
        QCOMPARE(layout->fileType, 2);
        QCOMPARE(layout->version, 0x0C);
        QCOMPARE(layout->codePage, 1252);
        QCOMPARE(layout->refIntegrityByte, 0);
        QCOMPARE(layout->recordSize, 45);
        QCOMPARE(layout->headerRecordCount, 500);
        QCOMPARE(layout->records.size(), std::size_t{500});
        QVERIFY(layout->blocksInUse > 1);
        const int no = layout->offsetOf("No");
        const int time = layout->offsetOf("Time");
        const int unit = layout->offsetOf("Unit");
        const int nval = layout->offsetOf("Nval");
        QCOMPARE(layout->fields[layout->fields.size() - 1].type, 0x06);
        for (int i = 0; i < 500; ++i) {
            const QByteArray& record = layout->records[i];
            QCOMPARE(ParadoxLayoutReader::longAt(record, no), i + 1);
            QCOMPARE(ParadoxLayoutReader::longAt(record, time), 86'399'000 - (i + 1));
            QCOMPARE(ParadoxLayoutReader::alphaAt(record, unit, 10), QByteArray("\xb0"
                                                                                "C"));
            QCOMPARE(ParadoxLayoutReader::doubleAt(record, nval), (i + 1) / 8.0);
        }
    }

    void cursorVisitsSavedThenPendingRecordsInOrder() {
        ReadingsTable table;
        openNew(table);
        table.first();
        QVERIFY(table.eof());
        QVERIFY(!errorOf([&] { (void)table.fieldText(u"No"); }).isEmpty());

        table.append(reading(1));
        table.append(reading(2));
        table.applyUpdates();
        table.append(reading(3));
        QCOMPARE(table.currentRow(), 2);

        QStringList visited;
        for (table.first(); !table.eof(); table.next())
            visited << table.fieldText(u"no");
        QCOMPARE(visited, (QStringList{"1", "2", "3"}));
        QCOMPARE(table.currentRow(), 3);
    }

    void copyHoldsEverySavedAndPendingReading() {
        ReadingsTable table;
        openNew(table);
        table.append(reading(1));
        table.applyUpdates();
        table.append(reading(2));
        const QString copy = m_dir.filePath(QStringLiteral("export.db"));
        QFile stale(copy);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("an old export that the user chose to replace");
        stale.close();

        table.copyTo(copy);

        const PxlibTable copied = PxlibTable::read(copy);
        QCOMPARE(copied.recordCount, 2);
        QCOMPARE(copied.fields.size(), std::size_t{7});
        QCOMPARE(copied.rows[1][0].toLongLong(), 2);
        QCOMPARE(PxlibTable::read(m_path).recordCount, 1);
        QCOMPARE(table.pendingCount(), 1);
    }

    void copyRefusesToReplaceATableInUse() {
        ReadingsTable table;
        openNew(table);
        table.append(reading(1));

        QVERIFY2(errorOf([&] { table.copyTo(m_path); }).contains(QStringLiteral("onto itself")),
                 "copy onto the open table itself");

        const QString other = m_dir.filePath(QStringLiteral("other.DB"));
        ReadingsTable holder;
        holder.setTableName(other);
        holder.openOrCreate();
        QVERIFY(errorOf([&] { table.copyTo(other); }).contains(QStringLiteral("in use")));
        QCOMPARE(PxlibTable::read(other).recordCount, 0);
    }

    void fileThatIsNotATableIsReportedClearly_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("text file") << QByteArray("No\tTime\tDC/AC\r\n1\t12:00:00\tDC\r\n");
        QTest::newRow("zeros") << QByteArray(4096, '\0');
        QByteArray header(0x800, '\0');
        header[0] = 45;   // record size
        header[3] = 0x08; // header size 0x800
        header[4] = 2;
        header[5] = 2;
        header[0x21] = 7;
        header[0x39] = 0x0C;
        QTest::newRow("header without its field list") << header;
    }

    void fileThatIsNotATableIsReportedClearly() {
        QFETCH(QByteArray, contents);
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();

        ReadingsTable table;
        table.setTableName(m_path);
        const QString message = errorOf([&] { table.open(); });
        QVERIFY2(message.contains(m_path), qPrintable(message));
        QVERIFY(!table.isOpen());
        QCOMPARE(fileBytes(m_path), contents);
    }

    void savesInPlaceReadBackWholeAndReuseFreedBlocks_data() {
        QTest::addColumn<QList<int>>("batches"); // readings added before each save
        QTest::newRow("one at a time") << QList<int>{1, 1, 1, 1, 1, 1};
        QTest::newRow("exactly a block, then one more") << QList<int>{45, 1, 44, 45};
        QTest::newRow("several blocks at once") << QList<int>{100, 200, 7, 300};
    }

    void savesInPlaceReadBackWholeAndReuseFreedBlocks() {
        QFETCH(QList<int>, batches);
        ReadingsTable table;
        openNew(table);
        int no = 0;
        for (const int batch : batches) {
            for (int i = 0; i < batch; ++i)
                table.append(reading(++no));
            table.applyUpdates();
            const PxlibTable onDisk = PxlibTable::read(m_path);
            QCOMPARE(onDisk.recordCount, no);
            for (int r = 0; r < no; ++r)
                QCOMPARE(onDisk.rows[r][0].toLongLong(), r + 1);
            const auto layout = ParadoxLayoutReader::parse(fileBytes(m_path));
            QVERIFY(layout.has_value());
            QCOMPARE(int(layout->records.size()), no);
            // At most the blocks in use and the one a save frees.
            const int blocks = (no + 44) / 45;
            QVERIFY2(QFileInfo(m_path).size() <= 2048 + (blocks + 1) * 2048,
                     qPrintable(QString::number(QFileInfo(m_path).size())));
        }
        table.close();
        table.open();
        QCOMPARE(table.readOnlyReason(), QString());
        QCOMPARE(table.recordCount(), no);
        QCOMPARE(table.text(no - 1, 0), QString::number(no));
    }

    void tableTooBigForSmallBlocksGetsLargerOnes() {
        // pxlib reads block numbers as signed 16-bit values, so 1.5 million records of 45 bytes
        // do not fit in the 2 KiB blocks a small table uses.
        constexpr int kRecords = 1'500'000;
        ReadingsTable table;
        openNew(table);
        for (int no = 1; no <= kRecords; ++no)
            table.append(reading(no));
        table.applyUpdates();
        table.close();

        table.open();
        QCOMPARE(table.recordCount(), kRecords);
        QCOMPARE(table.text(kRecords - 1, 0), QString::number(kRecords));
        const PxlibTable header = PxlibTable::read(m_path, 0);
        QCOMPARE(header.recordCount, kRecords);
        QVERIFY(header.maxTableSize > 2);
    }
};

QTEST_GUILESS_MAIN(ReadingsTableTest)
#include "tst_readingstable.moc"
