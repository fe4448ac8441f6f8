#include "../support/Fixtures.h"
#include "RecordingMessages.h"
#include "WindowTestBench.h"

#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "RecordingPause.h"
#include "ReportPreview.h"
#include "StatusPlace.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace {

QString fixture(const QString& name) {
    return QDir(QStringLiteral(VELMAR_PARADOX_FIXTURES)).filePath(name);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A table of readings at path holding count saved readings.
void makeReadingsTable(const QString& path, qint32 count) {
    ReadingsTable table;
    table.setTableName(path);
    table.openOrCreate();
    for (qint32 no = 1; no <= count; ++no) {
        table.append(ReadingRecord{no, no * 1000, QStringLiteral("DC"), QStringLiteral("1.000"),
                                   QStringLiteral("V"), QStringLiteral("AUTO"), 1.0});
    }
    table.applyUpdates();
}

} // namespace

// The window's data-file commands driven through their handlers: opening other tables (and
// falling back when one cannot be opened), saving as text and as a table, and printing.
class DataFilesWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CurrentTempFolder> dir;
    std::shared_ptr<RecordingMessages> messages;
    std::unique_ptr<TFCOMM> window;

    void makeWindow() { window = quietWindow(messages); }

    void frame(std::uint8_t last) { sendReadingFrame(*window, last); }

    void recordPending(qint32 count) {
        for (qint32 i = 0; i < count; ++i)
            window->session().table().append(
                ReadingRecord{i + 1, i * 500, QStringLiteral("AC"), QStringLiteral("0.123"),
                              QStringLiteral("k*"), QStringLiteral("MANU"), 0.123});
        window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))->refresh();
    }

    QString path(const QString& name) const { return dir->filePath(name); }
    QString canonical(const QString& name) const {
        return QFileInfo(path(name)).canonicalFilePath();
    }

    QStringList gridHeadings() const {
        QStringList headings;
        for (int c = 0;
             c < window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))->columnCount();
             ++c)
            headings << window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))
                            ->headerData(c, Qt::Horizontal, Qt::DisplayRole)
                            .toString();
        return headings;
    }

    void open(const QString& chosen) {
        messages->chosenPaths << chosen;
        window->OpenDataFilesClick();
    }

private slots:
    void init() {
        dir = std::make_unique<CurrentTempFolder>();
        QVERIFY(dir->isCurrent());
        messages = std::make_shared<RecordingMessages>();
        makeWindow();
    }

    void cleanup() {
        window.reset();
        dir.reset();
    }

    void openDialogOffersTablesInEitherCase() {
        window->OpenDataFilesClick(); // cancelled: nothing changes
        QCOMPARE(messages->openChoices.size(), 1);
        const QString filter = messages->openChoices.front().filter;
        QVERIFY(filter.contains(QStringLiteral("*.DB")));
        QVERIFY(filter.contains(QStringLiteral("*.db")));
        QCOMPARE(window->session().table().filePath(), canonical(QStringLiteral("Velmarbdb.DB")));
    }

    void fixtureTablesOpenWithTheirOwnColumns_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("index");
        QTest::addColumn<int>("records");
        QTest::addColumn<bool>("viewOnly");
        QTest::newRow("time") << "time.db" << QString() << 3 << false;
        QTest::newRow("long, keyed") << "long.db"
                                     << "long.px" << 3 << true;
        QTest::newRow("date5") << "date5.db" << QString() << 3 << false;
        QTest::newRow("decimal, version 7") << "DECIMAL.DB" << QString() << 9 << false;
        QTest::newRow("customer, keyed, memo") << "CUSTOMER.DB"
                                               << "CUSTOMER.PX" << 20 << true;
    }
    void fixtureTablesOpenWithTheirOwnColumns() {
        QFETCH(QString, file);
        QFETCH(QString, index);
        QFETCH(int, records);
        QFETCH(bool, viewOnly);
        VELMAR_REQUIRE_FIXTURE(fixture(file));
        QVERIFY(QFile::copy(fixture(file), path(file)));
        if (!index.isEmpty())
            QVERIFY(QFile::copy(fixture(index), path(index)));
        open(path(file));

        QVERIFY2(messages->errors.isEmpty(), qPrintable(messages->errors.join('\n')));
        QCOMPARE(window->session().table().filePath(), canonical(file));
        QCOMPARE(window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))->rowCount(),
                 records);
        QStringList fields;
        for (int f = 0; f < window->session().table().fieldCount(); ++f)
            fields << window->session().table().fieldName(f);
        QCOMPARE(gridHeadings(), fields);
        // None of them has the fields recording writes: recording waits, said once, with the
        // reason a table for viewing only is one.
        const QString said = window->statusPlace()->currentText();
        QVERIFY2(said.startsWith(QStringLiteral("Recording paused")), qPrintable(said));
        QCOMPARE(said.contains(RecordingPause::briefCause(TableCause::ReadOnly)), viewOnly);
        if (viewOnly)
            QCOMPARE(said.count(window->session().table().readOnlyReason()), 1);

        // Back to a table of readings: its six columns, the status place has nothing to say.
        open(path(QStringLiteral("Velmarbdb.DB")));
        QCOMPARE(gridHeadings(), QStringList({"No", "Time", "DC/AC", "Value", "Unit", "AUTO"}));
        QCOMPARE(window->findChild<QTableView*>(QStringLiteral("DBGrid1"))->columnWidth(4), 39);
        QVERIFY(
            window->findChild<QTableView*>(QStringLiteral("DBGrid1"))->itemDelegateForColumn(4) !=
            nullptr);
        QCOMPARE(window->statusPlace()->currentText(), QString());
    }

    void aMixedCasePathOpensAsChosen() {
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("Data")));
        // Made under other names: a missing name is looked up without regard to case.
        makeReadingsTable(path(QStringLiteral("Data/four.DB")), 4);
        makeReadingsTable(path(QStringLiteral("Data/seven.DB")), 7);
        QVERIFY(QFile::rename(path("Data/four.DB"), path("Data/Bench.Db")));
        QVERIFY(QFile::rename(path("Data/seven.DB"), path("Data/BENCH.DB")));
        open(path(QStringLiteral("Data/Bench.Db")));
        QVERIFY(messages->errors.isEmpty());
        QCOMPARE(window->session().table().filePath(), canonical(QStringLiteral("Data/Bench.Db")));
        QCOMPARE(window->session().table().recordCount(), 4);
    }

    void pendingReadingsAskFirst_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<int>("savedInOld"); // records the old table's file holds afterwards
        QTest::newRow("Yes saves, then opens") << int(UserMessages::Answer::Yes) << true << 2;
        QTest::newRow("No drops, then opens") << int(UserMessages::Answer::No) << true << 0;
        QTest::newRow("Cancel keeps everything") << int(UserMessages::Answer::Cancel) << false << 0;
    }
    void pendingReadingsAskFirst() {
        QFETCH(int, answer);
        QFETCH(bool, opened);
        QFETCH(int, savedInOld);
        makeReadingsTable(path(QStringLiteral("other.DB")), 5);
        recordPending(2);
        messages->threeWayAnswer = UserMessages::Answer(answer);
        open(path(QStringLiteral("other.DB")));
        QCOMPARE(messages->questions.size(), 1);
        QVERIFY(messages->questions.front().startsWith(QStringLiteral("2 recorded readings")));
        QVERIFY(messages->errors.isEmpty());
        const QString expected = canonical(opened ? "other.DB" : "Velmarbdb.DB");
        QCOMPARE(window->session().table().filePath(), expected);
        if (!opened) {
            QCOMPARE(window->session().table().pendingCount(), 2);
            QCOMPARE(window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))->rowCount(),
                     2);
            return;
        }
        QCOMPARE(window->session().table().recordCount(), 5);
        window.reset();
        ReadingsTable old;
        old.setTableName(path(QStringLiteral("Velmarbdb.DB")));
        old.open();
        QCOMPARE(old.recordCount(), savedInOld);
    }

    void noPendingReadingsNoQuestion() {
        makeReadingsTable(path(QStringLiteral("other.DB")), 1);
        open(path(QStringLiteral("other.DB")));
        QVERIFY(messages->questions.isEmpty());
        QCOMPARE(window->session().table().recordCount(), 1);
    }

    void aFailingOpenFallsBackAndRecordingGoesOn_data() {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::newRow("not a table") << QByteArray("these are not the bytes of a table");
        QTest::newRow("missing") << QByteArray();
    }
    void aFailingOpenFallsBackAndRecordingGoesOn() {
        QFETCH(QByteArray, bytes);
        const QString bad = path(QStringLiteral("bad.DB"));
        if (!bytes.isEmpty()) {
            QFile file(bad);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        frame(1);
        QCOMPARE(window->session().table().recordCount(), 1);
        window->RecordSaveClick();
        const qint32 nextNo = window->session().recording().NextRecordNo;
        open(bad);

        QCOMPARE(messages->errors.size(), 1);
        QVERIFY(messages->errors.front().contains(bad));
        QVERIFY(messages->errors.front().contains(QStringLiteral("stays open")));
        QCOMPARE(window->session().table().filePath(), canonical(QStringLiteral("Velmarbdb.DB")));
        QCOMPARE(window->session().table().recordCount(), 1);
        frame(2);
        QCOMPARE(window->session().table().recordCount(), 2);
        // Numbering carries on where it was.
        QCOMPARE(window->session().table().text(1, window->session().table().fieldIndex(u"No")),
                 QString::number(nextNo));
        QCOMPARE(window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))->rowCount(), 2);
    }

    void saveAsTextWritesTheRecords() {
        recordPending(2);
        const QString target = path(QStringLiteral("readings.txt"));
        messages->chosenPaths << target;
        window->saveasClick();
        QCOMPARE(messages->saveChoices.size(), 1);
        QCOMPARE(messages->saveChoices.front().defaultSuffix, QStringLiteral("xls"));
        QVERIFY(messages->saveChoices.front().confirmOverwrite);
        QVERIFY(messages->saveChoices.front().filter.contains(QStringLiteral("(*.xls)")));
        QCOMPARE(messages->informations,
                 QStringList{"save table to specified file: " + target + " Scuss!"});
        QCOMPARE(fileBytes(target), QByteArray("No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n"
                                               "1\t00:00:00\tAC\t0.123\tk*\tMANU\r\n"
                                               "2\t00:00:00\tAC\t0.123\tk*\tMANU\r\n"));
    }

    void saveAsTableOpensAgainAndTakesReadings() {
        frame(1);
        frame(2);
        window->RecordSaveClick();
        frame(3); // pending: the copy holds it too
        const QString copy = path(QStringLiteral("copy.DB"));
        messages->chosenPaths << copy;
        window->saveasClick();
        QVERIFY(messages->errors.isEmpty());
        QVERIFY(QFileInfo::exists(copy));

        messages->threeWayAnswer = UserMessages::Answer::No;
        open(copy);
        QVERIFY2(messages->errors.isEmpty(), qPrintable(messages->errors.join('\n')));
        QCOMPARE(window->session().table().filePath(), canonical(QStringLiteral("copy.DB")));
        QCOMPARE(window->session().table().recordCount(), 3);
        QCOMPARE(window->session().table().readOnlyReason(), QString());
        frame(4);
        QCOMPARE(window->session().table().recordCount(), 4);
        window->RecordSaveClick();
        QVERIFY(messages->errors.isEmpty());

        window.reset();
        ReadingsTable again;
        again.setTableName(copy);
        again.open();
        QCOMPARE(again.recordCount(), 4);
        QCOMPARE(again.text(3, again.fieldIndex(u"No")), QStringLiteral("4"));
    }

    void saveOntoTheOpenTableIsRefusedWithItsName() {
        recordPending(1);
        messages->chosenPaths << path(QStringLiteral("Velmarbdb.DB"));
        window->saveasClick();
        QCOMPARE(messages->errors.size(), 1);
        QVERIFY(messages->errors.front().startsWith("Could not save table to specified file: " +
                                                    path(QStringLiteral("Velmarbdb.DB"))));
        QCOMPARE(window->session().table().recordCount(), 1);
    }

    void longExportShowsProgressAndBlocksTheTableCommands() {
        recordPending(20'001);
        const QString target = path(QStringLiteral("long.txt"));
        messages->chosenPaths << target;
        bool blocked = false;
        messages->onProgress = [&](qsizetype, qsizetype) {
            // The commands that would change or drop the table wait for the export.
            window->OpenDataFilesClick();
            blocked =
                window->isRunningLongWork() &&
                !window->findChild<QToolButton*>(QStringLiteral("RecordNew"))->isEnabled() &&
                !window->findChild<QToolButton*>(QStringLiteral("OpenDataFiles"))->isEnabled() &&
                messages->openChoices.isEmpty();
            return false; // cancel
        };
        window->saveasClick();
        QVERIFY(blocked);
        QCOMPARE(messages->progressLabels.size(), 1);
        QVERIFY(!QFileInfo::exists(target));
        QVERIFY(messages->informations.isEmpty());
        QVERIFY(messages->errors.isEmpty());
        QVERIFY(!window->isRunningLongWork());
        QVERIFY(window->findChild<QToolButton*>(QStringLiteral("RecordNew"))->isEnabled());
    }

    void shortExportShowsNoProgress() {
        recordPending(3);
        messages->chosenPaths << path(QStringLiteral("short.xls"));
        window->saveasClick();
        QVERIFY(messages->progressLabels.isEmpty());
        QCOMPARE(messages->informations.size(), 1);
    }

    void printOfAnEmptyTableShowsNothing() {
        window->BtPrintClick();
        QVERIFY(messages->previews.isEmpty());
        QVERIFY(messages->errors.isEmpty());
    }

    void printShowsThePreviewWithItsPages_data() {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("pages");
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("50") << 50 << 2;
    }
    void printShowsThePreviewWithItsPages() {
        QFETCH(int, records);
        QFETCH(int, pages);
        recordPending(records);
        int shownPages = -1;
        messages->onPreview = [&](QWidget* preview) {
            if (auto* p = qobject_cast<ReportPreview*>(preview))
                shownPages = p->pageCount();
        };
        window->BtPrintClick();
        QCOMPARE(messages->previews.size(), 1);
        QCOMPARE(shownPages, pages);
    }

    void previewDialogsGoThroughTheWindowsMessages() {
        recordPending(2);
        const QString pdf = path(QStringLiteral("report.pdf"));
        messages->onPreview = [&](QWidget* preview) {
            auto* p = qobject_cast<ReportPreview*>(preview);
            QVERIFY(p);
            messages->chosenPaths << pdf;
            p->save();
            p->printerSetup();
        };
        window->BtPrintClick();
        QCOMPARE(messages->saveChoices.size(), 1);
        QCOMPARE(messages->printerSetUps, 1);
        QVERIFY(fileBytes(pdf).startsWith("%PDF"));
    }
};

QTEST_MAIN(DataFilesWindowTest)
#include "tst_datafileswindow.moc"
