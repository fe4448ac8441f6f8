#include "ReadingsGrid.h"
#include "StatusGrid.h"
#include "StatusPlace.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

// The one place for lasting conditions: each cause said once, cleared when it ends.
class StatusPlaceTest : public QObject {
    Q_OBJECT

private slots:
    void nothingSaidShowsNothing() {
        QTableView grid;
        grid.resize(299, 146);
        StatusPlace status(&grid);
        grid.show();
        QVERIFY(status.currentText().isEmpty());
        QVERIFY(!status.isVisibleTo(&grid));
    }

    void aCauseSaidAgainIsSaidOnce() {
        QTableView grid;
        StatusPlace status(&grid);
        QSignalSpy changed(&status, &StatusPlace::changed);
        status.set(QStringLiteral("link"), QStringLiteral("Link lost"));
        status.set(QStringLiteral("link"), QStringLiteral("Link lost"));
        QCOMPARE(status.currentText(), QStringLiteral("Link lost"));
        QCOMPARE(changed.size(), 1);
        QVERIFY(status.isVisibleTo(&grid));
        // A new text for the same cause replaces the old one.
        status.set(QStringLiteral("link"), QStringLiteral("Link lost 3 times"));
        QCOMPARE(status.currentText(), QStringLiteral("Link lost 3 times"));
        QCOMPARE(changed.size(), 2);
    }

    void causesShowInTheOrderFirstSaidAndClearOneByOne() {
        QTableView grid;
        StatusPlace status(&grid);
        status.set(QStringLiteral("recording"), QStringLiteral("Recording paused: disk full"));
        status.set(QStringLiteral("table"), QStringLiteral("Table opened read-only"));
        status.set(QStringLiteral("recording"), QStringLiteral("Recording paused: table locked"));
        QCOMPARE(status.currentText(),
                 QStringLiteral("Recording paused: table locked | Table opened read-only"));
        QVERIFY(status.has(QStringLiteral("table")));

        status.clear(QStringLiteral("recording"));
        QCOMPARE(status.currentText(), QStringLiteral("Table opened read-only"));
        status.clear(QStringLiteral("never said")); // changes nothing
        QCOMPARE(status.currentText(), QStringLiteral("Table opened read-only"));
        status.clear(QStringLiteral("table"));
        QVERIFY(status.currentText().isEmpty());
        QVERIFY(!status.isVisibleTo(&grid));
        QVERIFY(!status.has(QStringLiteral("table")));
    }

    // Between the rows and the horizontal scroll bar, a line per cause: the rows end above it,
    // and the last row still scrolls into view.
    void theLinesSitBetweenTheRowsAndTheScrollBar() {
        QStandardItemModel model(40, 12);
        for (int r = 0; r < 40; ++r)
            model.setItem(r, 0, new QStandardItem(QString::number(r)));
        StatusGrid grid;
        grid.setModel(&model);
        grid.verticalHeader()->setDefaultSectionSize(17);
        grid.resize(299, 146);
        grid.show();
        StatusPlace& status = *grid.statusPlace();
        const auto rowsBottom = [&grid] { return grid.viewport()->geometry().bottom(); };
        const int rowsAlone = rowsBottom();
        QVERIFY(grid.horizontalScrollBar()->isVisible());
        const int barTop = grid.horizontalScrollBar()->mapTo(&grid, QPoint(0, 0)).y();

        status.set(QStringLiteral("link"), QStringLiteral("Link lost"));
        QCOMPARE(status.geometry().top(), rowsBottom() + 1);
        QCOMPARE(status.geometry().bottom(), barTop - 1);
        QCOMPARE(status.height(), StatusPlace::kLineHeight);
        QCOMPARE(rowsBottom(), rowsAlone - StatusPlace::kLineHeight);
        status.set(QStringLiteral("table"), QStringLiteral("Table opened read-only"));
        QCOMPARE(status.height(), 2 * StatusPlace::kLineHeight);
        QCOMPARE(status.geometry().bottom(), barTop - 1);

        grid.scrollToBottom();
        const QRect last = grid.visualRect(model.index(39, 0));
        QVERIFY2(last.bottom() < grid.viewport()->height(),
                 qPrintable(QString("%1 in %2").arg(last.bottom()).arg(grid.viewport()->height())));

        grid.resize(299, 300);
        QCOMPARE(status.geometry().top(), rowsBottom() + 1);
        status.clear(QStringLiteral("link"));
        status.clear(QStringLiteral("table"));
        QCOMPARE(rowsBottom(), grid.horizontalScrollBar()->mapTo(&grid, QPoint(0, 0)).y() - 1);
    }

    // A status line shortens the rows' area, which may call for the vertical scroll bar, which
    // narrows the rows: whatever the count of rows, the layout settles instead of going round for
    // ever (which froze the window at the row where the bar first appears).
    void theLayoutSettlesAsRowsComeWhileALineIsShown_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        for (const int width : {260, 280, 299, 320})
            for (const int height : {110, 140, 145, 146, 150, 180})
                QTest::addRow("%dx%d", width, height) << width << height;
    }

    void theLayoutSettlesAsRowsComeWhileALineIsShown() {
        QFETCH(int, width);
        QFETCH(int, height);
        QStandardItemModel model(0, ReadingsGrid::kColumns);
        ReadingsGrid grid(nullptr);
        grid.setModel(&model);
        grid.showColumns(true, false);
        grid.resize(width, height);
        grid.statusPlace()->set(QStringLiteral("journal"),
                                QStringLiteral("Earlier readings kept for next start"));
        grid.statusPlace()->set(QStringLiteral("link"), QStringLiteral("Link lost"));
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        // A layout that goes round for ever never returns from here: the test's watchdog ends it.
        for (int row = 0; row < 30; ++row) {
            model.appendRow(QList<QStandardItem*>{new QStandardItem(QString::number(row + 1))});
            grid.selectLastRow();
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
            const QRect last = grid.visualRect(model.index(row, 0));
            QVERIFY2(last.bottom() < grid.viewport()->height(), qPrintable(QString::number(row)));
            QCOMPARE(grid.statusPlace()->geometry().top(),
                     grid.viewport()->geometry().bottom() + 1);
        }
    }

    // Each cause shows its few words; the whole sentences are the tool tip; a sentence without
    // few words is shortened to the line rather than cut at its edge.
    void linesShowTheFewWordsAndTheToolTipTheSentences() {
        StatusGrid grid;
        grid.resize(299, 146);
        grid.show();
        StatusPlace& status = *grid.statusPlace();
        status.set(QStringLiteral("a"), QStringLiteral("Recording paused: the disk is full."),
                   QStringLiteral("Recording paused: disk full"));
        const QString long_ = QStringLiteral("A sentence much too long for the narrow line below "
                                             "the grid, which goes on and on");
        status.set(QStringLiteral("b"), long_);
        const QStringList lines = status.text().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QStringLiteral("Recording paused: disk full"));
        QVERIFY(lines[1].endsWith(QChar(0x2026)));
        QVERIFY(QFontMetrics(status.font()).horizontalAdvance(lines[1]) <=
                status.contentsRect().width());
        QCOMPARE(status.toolTip(), QStringLiteral("Recording paused: the disk is full.\n") + long_);
        QCOMPARE(status.currentText(),
                 QStringLiteral("Recording paused: the disk is full. | ") + long_);
        // More causes than lines: the last line counts the rest.
        status.set(QStringLiteral("c"), QStringLiteral("Third"));
        status.set(QStringLiteral("d"), QStringLiteral("Fourth"));
        QCOMPARE(status.height(), StatusPlace::kMostLines * StatusPlace::kLineHeight);
        QVERIFY(status.text().endsWith(QStringLiteral("and 2 more (point here)")));
    }
};

QTEST_MAIN(StatusPlaceTest)
#include "tst_statusplace.moc"
