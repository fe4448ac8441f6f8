#include "../support/Fixtures.h"
#include "../support/TableFiles.h"
#include "NextModalBox.h"
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
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <malloc.h>

#include <algorithm>
#include <memory>

namespace {

double heapInUseMiB() {
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

QString fixture(const QString& name) {
    return QDir(QStringLiteral(VELMAR_PARADOX_FIXTURES)).filePath(name);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
        // A table that cannot be opened is said in a box; the grid stays with the table open.
        frame(1);
        window->RecordSaveClick();
        window->session().finishSyncs();
        open(path(QStringLiteral("missing.DB")));
        QCOMPARE(messages->errors.size(), 1);
        QVERIFY(messages->errors.front().contains(QStringLiteral("stays open")));
        QCOMPARE(window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))->rowCount(), 1);
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

    // What the status place says stays in sight whatever the grid shows: between the rows and
    // the horizontal scroll bar, covering neither, each line short enough to read whole at the
    // design size, with the whole sentences in its tool tip.
    void theStatusLineStaysInSightAboveTheScrollBar_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("index");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("customer: wide, keyed, memo") << "CUSTOMER.DB"
                                                     << "CUSTOMER.PX" << true;
        QTest::newRow("decimal: other columns") << "DECIMAL.DB" << QString() << false;
    }
    void theStatusLineStaysInSightAboveTheScrollBar() {
        QFETCH(QString, file);
        QFETCH(QString, index);
        VELMAR_REQUIRE_FIXTURE(fixture(file));
        QVERIFY(QFile::copy(fixture(file), path(file)));
        if (!index.isEmpty())
            QVERIFY(QFile::copy(fixture(index), path(index)));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        open(path(file));
        QVERIFY2(messages->errors.isEmpty(), qPrintable(messages->errors.join('\n')));
        QCoreApplication::processEvents();

        auto* grid = window->findChild<QTableView*>("DBGrid1");
        auto* status = grid->findChild<QLabel*>("StatusPlace");
        QVERIFY(status && status->isVisible());
        QFETCH(bool, scrolls);
        if (scrolls)
            QVERIFY(grid->horizontalScrollBar()->isVisible());
        const QRect line(status->mapTo(grid, QPoint(0, 0)), status->size());
        const QScrollBar* bar = grid->horizontalScrollBar();
        QRect scrollBar(bar->mapTo(grid, QPoint(0, 0)), bar->size());
        if (!bar->isVisible()) // the line then ends at the grid's frame
            scrollBar.moveTop(grid->contentsRect().bottom() + 1);
        const QRect rows(grid->viewport()->mapTo(grid, QPoint(0, 0)), grid->viewport()->size());
        QVERIFY2(line.bottom() < scrollBar.top(),
                 qPrintable(QString("line %1..%2, scroll bar from %3")
                                .arg(line.top())
                                .arg(line.bottom())
                                .arg(scrollBar.top())));
        QVERIFY2(rows.bottom() < line.top(), qPrintable(QString::number(rows.bottom())));
        QVERIFY(grid->contentsRect().contains(line));
        QCOMPARE(grid->childAt(line.center()), static_cast<QWidget*>(status));

        // Each line reads whole; the tool tip has the whole sentence.
        const QFontMetrics metrics(status->font());
        const QStringList lines = status->text().split('\n');
        QVERIFY(!lines.isEmpty());
        for (const QString& shown : lines)
            QVERIFY2(metrics.horizontalAdvance(shown) <= status->contentsRect().width(),
                     qPrintable(QString("\"%1\" is %2 wide in %3")
                                    .arg(shown)
                                    .arg(metrics.horizontalAdvance(shown))
                                    .arg(status->contentsRect().width())));
        QVERIFY2(lines.first().startsWith("Recording paused"), qPrintable(lines.first()));
        QVERIFY(status->toolTip().contains(window->session().table().readOnlyReason()));

        // Back to the table of readings: nothing said, the rows reach the scroll bar again.
        open(path(QStringLiteral("Velmarbdb.DB")));
        QCoreApplication::processEvents();
        QVERIFY(!status->isVisible());
        window->hide();
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

    void saveAsTextWritesTheRecords() {
        recordPending(2);
        const QString target = path(QStringLiteral("readings.txt"));
        messages->chosenPaths << target;
        window->saveasClick();
        window->session().finishSyncs();
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
        window->session().finishSyncs();
        frame(3); // pending: the copy holds it too
        const QString copy = path(QStringLiteral("copy.DB"));
        messages->chosenPaths << copy;
        window->saveasClick();
        window->session().finishSyncs();
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
        window->session().finishSyncs();
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
        window->session().finishSyncs();
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
        window->session().finishSyncs();
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
        window->session().finishSyncs();
        QVERIFY(messages->progressLabels.isEmpty());
        QCOMPARE(messages->informations.size(), 1);
    }

    // An empty table has no report: Print shows nothing, and says nothing.
    void printShowsThePreviewWithItsPages_data() {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("pages");
        QTest::newRow("empty: no preview") << 0 << 0;
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("50") << 50 << 2;
    }
    void printShowsThePreviewWithItsPages() {
        QFETCH(int, records);
        QFETCH(int, pages);
        recordPending(records);
        int shownPages = 0;
        messages->onPreview = [&](QWidget* preview) {
            if (auto* p = qobject_cast<ReportPreview*>(preview))
                shownPages = p->pageCount();
        };
        window->BtPrintClick();
        QCOMPARE(messages->previews.size(), records == 0 ? 0 : 1);
        QCOMPARE(shownPages, pages);
        QVERIFY(messages->errors.isEmpty());
    }

    // The report of a large table is laid out and painted a page at a time, from the table as it
    // was at Print: the preview, painting and saving as PDF add little to the heap (all pages at
    // once took about 25 MiB here), and closing the preview gives it all back.
    void printOfALargeTableHoldsOnlyThePagesInUse() {
        constexpr qint32 kRecords = 40'000; // 1,082 pages
        window.reset();
        makeReadingsTable(path(QStringLiteral("Velmarbdb.DB")), kRecords);
        makeWindow();
        auto* print = window->findChild<QToolButton*>(QStringLiteral("SpeedButton2"));
        QVERIFY(print);
        const QString pdf = path(QStringLiteral("report.pdf"));
        malloc_trim(0);
        const double before = heapInUseMiB();
        double peak = before;
        const auto sample = [&] { peak = std::max(peak, heapInUseMiB()); };
        int pages = 0;
        messages->onProgress = [&](qsizetype, qsizetype) {
            sample();
            return true;
        };
        messages->onPreview = [&](QWidget* preview) {
            preview->show();
            QCoreApplication::processEvents();
            sample();
            auto* shown = qobject_cast<ReportPreview*>(preview);
            pages = shown ? shown->pageCount() : 0;
            messages->chosenPaths << pdf;
            preview->findChild<QAction*>(QStringLiteral("save"))->trigger();
            sample();
            // Records arriving while the preview is open are not part of its report.
            frame(1);
            pages = shown && shown->pageCount() == pages ? pages : -1;
        };
        print->click();
        const double after = heapInUseMiB();
        QCOMPARE(pages, 1082);
        QVERIFY(fileBytes(pdf).startsWith("%PDF"));
        QVERIFY(messages->errors.isEmpty());
        QVERIFY2(peak - before < 8, qPrintable(QStringLiteral("%1 MiB more").arg(peak - before)));
        QVERIFY2(after - before < 2, qPrintable(QStringLiteral("%1 MiB kept").arg(after - before)));
        QVERIFY(print->isEnabled());
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

    // The real dialogs, as a user meets them: the set-up's button says what it does (it only
    // keeps the choices), and the print dialog that Print opens shows those choices.
    void printerSetUpSaysOkAndThePrintDialogShowsItsChoices() {
        makeWindow();
        window->show();
        DialogMessages real(window.get());
        QPrinter printer;
        // A file not there yet: the dialog then has nothing to ask before it takes its OK.
        printer.setOutputFileName(path(QStringLiteral("report.pdf")));
        QString setUpButton;
        {
            NextModalBox box([&](QWidget* dialog) {
                auto* buttons = dialog->findChild<QDialogButtonBox*>();
                QVERIFY(buttons);
                setUpButton = buttons->button(QDialogButtonBox::Ok)->text();
                auto* copies = dialog->findChild<QSpinBox*>("copies");
                QVERIFY(copies);
                copies->setValue(3);
                buttons->button(QDialogButtonBox::Ok)->click();
            });
            QVERIFY(real.setUpPrinter(printer));
            QVERIFY(box.seen().seen);
        }
        QCOMPARE(setUpButton.remove('&'), QString("OK"));
        QCOMPARE(printer.copyCount(), 3);

        QString printButton;
        int copiesShown = 0;
        {
            NextModalBox box([&](QWidget* dialog) {
                auto* buttons = dialog->findChild<QDialogButtonBox*>();
                QVERIFY(buttons);
                printButton = buttons->button(QDialogButtonBox::Ok)->text();
                copiesShown = dialog->findChild<QSpinBox*>("copies")->value();
                QTest::keyClick(dialog, Qt::Key_Escape);
            });
            QVERIFY(!real.askToPrint(printer)); // Escape prints nothing
            QVERIFY(box.seen().seen);
        }
        QCOMPARE(printButton.remove('&'), QString("Print"));
        QCOMPARE(copiesShown, 3);
        window->hide();
    }
};

QTEST_MAIN(DataFilesWindowTest)
#include "tst_datafileswindow.moc"
