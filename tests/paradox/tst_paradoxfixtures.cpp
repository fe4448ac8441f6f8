#include "ReadingsTable.h"
#include "TableError.h"

#include "../record/PxlibTable.h"
#include "../support/Fixtures.h"

#include <QDate>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>

// Tables written by the original desktop database engine (several format versions, code pages
// 850 and 1252, keyed and unkeyed) read through the program's general read path, checked field
// by field against pxlib's own reader.
class ParadoxFixturesTest : public QObject {
    Q_OBJECT

private:
    static QString fixture(const QString& name) {
        return QDir(QStringLiteral(VELMAR_PARADOX_FIXTURES)).filePath(name);
    }

    // The text the program should show for a value pxlib decoded, built from pxlib's value with
    // pxlib's own calendar.
    static bool matches(const QString& text, const QVariant& value, int type) {
        if (!value.isValid())
            return text.isEmpty();
        switch (type) {
        case pxfAlpha:
            return text == value.toString();
        case pxfShort:
        case pxfLong:
        case pxfAutoInc:
            return text == QString::number(value.toLongLong());
        case pxfNumber:
        case pxfCurrency:
            return text.toDouble() == value.toDouble();
        case pxfTime:
            return QTime::fromString(text, QStringLiteral("HH:mm:ss")).msecsSinceStartOfDay() ==
                   value.toLongLong() / 1000 * 1000;
        case pxfDate: {
            int year = 0, month = 0, day = 0;
            PX_SdnToGregorian(value.toLongLong() + 1721425, &year, &month, &day);
            return QDate::fromString(text, Qt::ISODate) == QDate(year, month, day);
        }
        default:
            return true; // no text form is promised for memo and binary fields
        }
    }

private slots:
    void fixtureReadsLikePxlibReadsIt_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("records");
        QTest::newRow("Paradox 5, time of day, code page 850") << "time.db" << 3;
        QTest::newRow("Paradox 5, keyed, auto-increment and long") << "long.db" << 3;
        QTest::newRow("Paradox 5, date and time") << "date5.db" << 3;
        QTest::newRow("Paradox 7, number") << "DECIMAL.DB" << 9;
        QTest::newRow("Paradox 7, keyed, many fields") << "CUSTOMER.DB" << 20;
    }

    void fixtureReadsLikePxlibReadsIt() {
        VELMAR_REQUIRE_FIXTURE(fixture(QStringLiteral("CUSTOMER.DB")));
        QFETCH(QString, file);
        QFETCH(int, records);
        const PxlibTable expected = PxlibTable::read(fixture(file));

        ReadingsTable table;
        table.setTableName(fixture(file));
        table.open();
        QCOMPARE(table.recordCount(), records);
        QCOMPARE(expected.recordCount, records);
        QCOMPARE(table.fieldCount(), static_cast<int>(expected.fields.size()));
        for (int f = 0; f < table.fieldCount(); ++f) {
            const PxlibField& field = expected.fields[f];
            QCOMPARE(table.fieldName(f), field.name);
            QCOMPARE(table.fieldIndex(field.name.toUpper()), f);
            for (int r = 0; r < records; ++r) {
                const QString text = table.text(r, f);
                QVERIFY2(matches(text, expected.rows[r][f], field.type),
                         qPrintable(QStringLiteral("%1 row %2: '%3' against %4")
                                        .arg(field.name)
                                        .arg(r)
                                        .arg(text, expected.rows[r][f].toString())));
            }
        }
    }

    void emptyTimeOfDayReadsAsEmptyText() {
        VELMAR_REQUIRE_FIXTURE(fixture(QStringLiteral("CUSTOMER.DB")));
        ReadingsTable table;
        table.setTableName(fixture(QStringLiteral("time.db")));
        table.open();
        QStringList times;
        for (table.first(); !table.eof(); table.next())
            times << table.fieldText(u"TIME");
        QCOMPARE(times.count(QString()), 1);
        QCOMPARE(times.count(), 3);
    }

    void fieldNamesWithSlashesMatchWithoutRegardToCase() {
        VELMAR_REQUIRE_FIXTURE(fixture(QStringLiteral("CUSTOMER.DB")));
        ReadingsTable table;
        table.setTableName(fixture(QStringLiteral("CUSTOMER.DB")));
        table.open();
        QVERIFY(table.fieldIndex(u"state/prov") >= 0);
        QVERIFY(table.fieldIndex(u"ZIP/POSTAL CODE") >= 0);
    }

    void keyedTableIsShownButNotChanged_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("long.db") << "long.db";
        QTest::newRow("CUSTOMER.DB") << "CUSTOMER.DB";
    }

    void keyedTableIsShownButNotChanged() {
        VELMAR_REQUIRE_FIXTURE(fixture(QStringLiteral("CUSTOMER.DB")));
        QFETCH(QString, file);
        const QByteArray before = [&] {
            QFile f(fixture(file));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        ReadingsTable table;
        table.setTableName(fixture(file));
        table.open();
        QVERIFY(table.readOnlyReason().contains(QStringLiteral("keyed")));
        try {
            table.append();
            QFAIL("a keyed table took a record");
        } catch (const TableError& error) {
            QVERIFY(error.message().contains(QStringLiteral("keyed")));
        }
        QVERIFY_THROWS_EXCEPTION(TableError, table.empty());
        table.applyUpdates(); // nothing is pending: the file is not touched
        table.close();
        QFile after(fixture(file));
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
    }

    void readingsSavedOntoATableOfOtherSoftwareReadBackThroughPxlib() {
        VELMAR_REQUIRE_FIXTURE(fixture(QStringLiteral("CUSTOMER.DB")));
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("DECIMAL.DB"));
        QVERIFY(QFile::copy(fixture(QStringLiteral("DECIMAL.DB")), copy));
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner));
        {
            ReadingsTable table;
            table.setTableName(copy);
            table.open();
            QCOMPARE(table.readOnlyReason(), QString());
            for (int i = 0; i < 300; ++i) {
                table.append();
                table.setNumber(u"decimal", i + 0.5);
                table.post();
            }
            table.applyUpdates();
        }
        const PxlibTable original = PxlibTable::read(fixture(QStringLiteral("DECIMAL.DB")));
        const PxlibTable saved = PxlibTable::read(copy);
        QCOMPARE(saved.recordCount, 309);
        for (int r = 0; r < 9; ++r)
            QCOMPARE(saved.rows[r][0], original.rows[r][0]);
        QCOMPARE(saved.rows[308][0].toDouble(), 299.5);
    }

    void primaryIndexFileIsNotTakenForATable() {
        VELMAR_REQUIRE_FIXTURE(fixture(QStringLiteral("CUSTOMER.DB")));
        ReadingsTable table;
        table.setTableName(fixture(QStringLiteral("CUSTOMER.PX")));
        try {
            table.open();
            QFAIL("an index file opened as a table");
        } catch (const TableError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("index")),
                     qPrintable(error.message()));
        }
    }
};

QTEST_GUILESS_MAIN(ParadoxFixturesTest)
#include "tst_paradoxfixtures.moc"
