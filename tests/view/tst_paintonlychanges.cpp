// Widgets that show readings paint only what changed: the bar graph and the grid of readings.
#include "AppendingTableView.h"
#include "BarGraphView.h"
#include "CellTextDelegate.h"
#include "SegraDelegate.h"
#include "SteadyScrollBar.h"

#include "../support/PaintCounter.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QStandardItemModel>
#include <QTest>

namespace {

QList<QStandardItem*> rowOf(int number) {
    QList<QStandardItem*> row;
    for (int c = 0; c < 4; ++c)
        row << new QStandardItem(QStringLiteral("%1.%2").arg(number).arg(c));
    return row;
}

// A cell of `view`'s in the given state, as the view hands it to its delegate.
QStyleOptionViewItem cellOption(const QTableView& view, QStyle::State state, const QRect& rect) {
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.widget = &view;
    option.rect = rect;
    option.state = state;
    option.showDecorationSelected = true;
    return option;
}

} // namespace

class PaintOnlyChangesTest : public QObject {
    Q_OBJECT

private slots:
    void barGraphLooksAsTheProgressBarDoes_data() {
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << 0;
        QTest::newRow("one") << 1;
        QTest::newRow("half") << 20;
        QTest::newRow("full") << 41;
    }
    void barGraphLooksAsTheProgressBarDoes() {
        QFETCH(int, value);
        QWidget host;
        host.resize(320, 40);
        QProgressBar bar(&host);
        bar.setGeometry(10, 5, 289, 12);
        bar.setRange(0, 41);
        bar.setTextVisible(false);
        bar.setValue(value);
        BarGraphView view(&host);
        view.setGeometry(10, 20, 289, 12);
        view.setRange(0, 41);
        view.setValue(value);
        QCOMPARE(view.grab().toImage().convertToFormat(QImage::Format_RGB32),
                 bar.grab().toImage().convertToFormat(QImage::Format_RGB32));
    }

    void barGraphPaintsOnceForSeveralValuesAndNotForTheSameValue() {
        BarGraphView view;
        view.setRange(0, 41);
        view.resize(289, 12);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        settle();
        PaintCounter counter(&view);

        view.setValue(7);
        view.setValue(8);
        view.setValue(9);
        QCOMPARE(counter.paints, 0); // nothing is painted before the event loop runs
        settle();
        QCOMPARE(counter.paints, 1);

        counter.reset();
        view.setValue(9);
        settle();
        QCOMPARE(counter.paints, 0);
    }

    void barGraphHoldsValuesAtTheEndsOfItsRange() {
        BarGraphView view;
        view.setRange(0, 41);
        view.setValue(64);
        QCOMPARE(view.value(), 41);
        view.setValue(-3);
        QCOMPARE(view.value(), 0);
        view.setValue(30);
        view.setRange(0, 20);
        QCOMPARE(view.value(), 20);
    }

    // The empty cell a delegate copies from its kept picture is what the style draws, in every
    // state a grid's cell takes and wherever the cell stands, also when the same delegate drew
    // the cell in another state just before.
    void cellBackgroundsLookAsTheStyleDrawsThem() {
        QStandardItemModel model(2, 1);
        model.setData(model.index(1, 0), QBrush(QColor(250, 200, 40)), Qt::BackgroundRole);
        QTableView view;
        view.setModel(&model);
        CellTextDelegate delegate;
        const QStyle::State plain = QStyle::State_Enabled | QStyle::State_Active;
        const QList<QStyle::State> states = {
            plain,
            plain | QStyle::State_Selected,
            plain | QStyle::State_Selected | QStyle::State_HasFocus,
            plain | QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange,
            plain | QStyle::State_Selected | QStyle::State_HasFocus |
                QStyle::State_KeyboardFocusChange,
            QStyle::State_Enabled | QStyle::State_Selected,
            QStyle::State_Selected,
            plain,
        };
        for (int row = 0; row < 2; ++row) {
            for (const QStyle::State state : states) {
                for (const QPoint at : {QPoint(0, 0), QPoint(17, 9)}) {
                    const QRect cell(at, QSize(52, 16));
                    QImage drawn(80, 30, QImage::Format_ARGB32_Premultiplied);
                    drawn.fill(Qt::transparent);
                    QImage expected = drawn;
                    {
                        QPainter painter(&drawn);
                        delegate.paint(&painter, cellOption(view, state, cell),
                                       model.index(row, 0));
                    }
                    {
                        QPainter painter(&expected);
                        QStyleOptionViewItem option = cellOption(view, state, cell);
                        option.backgroundBrush =
                            qvariant_cast<QBrush>(model.index(row, 0).data(Qt::BackgroundRole));
                        view.style()->drawControl(QStyle::CE_ItemViewItem, &option, &painter,
                                                  &view);
                    }
                    QVERIFY2(drawn == expected,
                             qPrintable(QStringLiteral("row %1, state %2, at %3,%4")
                                            .arg(row)
                                            .arg(int(state), 0, 16)
                                            .arg(at.x())
                                            .arg(at.y())));
                }
            }
        }
    }

    // A row's text drawn in the selection's colour and then, when the selection left the row, in
    // the plain colour looks as text drawn in the plain colour at once, and the other way round.
    void cellTextLooksTheSameWhicheverColourCameFirst() {
        QStandardItemModel model(1, 1);
        model.setData(model.index(0, 0), QStringLiteral("08:29:21"));
        QTableView view;
        view.setModel(&model);
        const QStyle::State plain = QStyle::State_Enabled | QStyle::State_Active;
        const QRect cell(3, 2, 53, 16);
        const auto draw = [&](const CellTextDelegate& delegate, QStyle::State state) {
            QImage image(60, 20, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            delegate.paint(&painter, cellOption(view, state, cell), model.index(0, 0));
            return image;
        };
        for (const QString& text : {QStringLiteral("08:29:21"), QStringLiteral("k*")}) {
            model.setData(model.index(0, 0), text);
            for (const QStyle::State first : {plain, plain | QStyle::State_Selected}) {
                const QStyle::State then = first ^ QStyle::State_Selected;
                CellTextDelegate fresh;
                CellTextDelegate used;
                SegraDelegate freshSegra(12, Qt::AlignCenter);
                SegraDelegate usedSegra(12, Qt::AlignCenter);
                draw(used, first);
                draw(usedSegra, first);
                QVERIFY2(draw(used, then) == draw(fresh, then), qPrintable(text));
                QVERIFY2(draw(usedSegra, then) == draw(freshSegra, then), qPrintable(text));
            }
        }
    }

    // A scroll bar repaints when its handle moves or its value reaches an end, not for a change of
    // range or value that leaves its picture as it was, and shows what a full repaint draws.
    void scrollBarRepaintsOnlyWhenItsPictureChanges() {
        SteadyScrollBar bar(Qt::Vertical);
        bar.resize(16, 100);
        bar.setPageStep(7);
        bar.setRange(0, 10000);
        bar.setValue(10000);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        settle();
        PaintCounter counter(&bar);
        // A grid gaining rows at its end, scrolled to the last: a short handle at the bottom.
        for (int rows = 1; rows <= 5; ++rows) {
            bar.setRange(0, 10000 + rows);
            bar.setValue(10000 + rows);
            settle();
        }
        QCOMPARE(counter.paints, 0);
        // The same on a range short enough that the handle, for the moment the value is off the
        // end of the wider range, stands a pixel higher.
        bar.setRange(0, 130);
        bar.setValue(130);
        settle();
        counter.reset();
        for (int rows = 131; rows <= 140; ++rows) {
            bar.setRange(0, rows);
            bar.setValue(rows);
            settle();
        }
        QCOMPARE(counter.paints, 0);

        bar.setRange(0, 10005);
        bar.setValue(10005);
        settle();
        counter.reset();
        bar.setValue(5000);
        settle();
        QCOMPARE(counter.paints, 1);
        counter.reset();
        bar.setValue(5001); // less than a pixel
        settle();
        QCOMPARE(counter.paints, 0);
        bar.setValue(0);
        settle();
        QCOMPARE(counter.paints, 1);
        // Off an end by less than a pixel: the arrow that led nowhere may lead somewhere now.
        counter.reset();
        bar.setValue(1);
        settle();
        QCOMPARE(counter.paints, 1);

        // A long handle that grows as the range shrinks.
        counter.reset();
        bar.setRange(0, 3);
        settle();
        QCOMPARE(counter.paints, 1);
        const QImage shown = bar.screen()->grabWindow(bar.winId()).toImage();
        const QImage drawn = bar.grab().toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 drawn.convertToFormat(QImage::Format_RGB32));
    }

    // A row appended at the end repaints from that row down, never the rows already shown and
    // never the column header.
    void gridRepaintsOnlyAnAppendedRow() {
        QStandardItemModel model(0, 4);
        model.setHorizontalHeaderLabels({"No", "Time", "Value", "Unit"});
        for (int r = 0; r < 3; ++r)
            model.appendRow(rowOf(r));
        AppendingTableView grid;
        grid.setModel(&model);
        grid.verticalHeader()->setDefaultSectionSize(17);
        grid.horizontalHeader()->setHighlightSections(false); // as the window's grid
        grid.resize(300, 200);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        settle();
        PaintCounter cells(grid.viewport());
        PaintCounter header(grid.horizontalHeader()->viewport());
        PaintCounter rowHeader(grid.verticalHeader()->viewport());

        model.appendRow(rowOf(3));
        settle();
        QVERIFY(cells.paints >= 1);
        const int newRowTop = grid.rowViewportPosition(3);
        QVERIFY(newRowTop > 0);
        QCOMPARE(cells.painted.boundingRect().top(), newRowTop);
        QCOMPARE(header.paints, 0);
        // The row header too repaints the new row's section, not the sections above it.
        QVERIFY(rowHeader.paints >= 1);
        QCOMPARE(rowHeader.painted.boundingRect().top(), newRowTop);

        // A row selected in full repaints the rows it leaves and enters, not the column header.
        cells.reset();
        grid.selectRow(3);
        settle();
        QCOMPARE(header.paints, 0);
        QVERIFY(cells.paints >= 1);
        QVERIFY(cells.painted.boundingRect().height() < grid.viewport()->height());

        // What the screen shows after both is what a full repaint draws.
        const QImage shown = grid.screen()->grabWindow(grid.winId()).toImage();
        const QImage drawn = grid.grab().toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 drawn.convertToFormat(QImage::Format_RGB32));
    }

    // A grid full of rows that scrolls to its new last row shows what a full repaint draws: rows
    // kept are moved, not left where they were.
    void gridScrolledToAnAppendedRowShowsWhatAFullRepaintDraws() {
        QStandardItemModel model(0, 4);
        for (int r = 0; r < 40; ++r)
            model.appendRow(rowOf(r));
        AppendingTableView grid;
        grid.setModel(&model);
        grid.resize(300, 150);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.selectRow(39);
        settle();

        for (int r = 40; r < 43; ++r) {
            model.appendRow(rowOf(r));
            grid.selectRow(r);
            settle();
        }
        QVERIFY(grid.rowViewportPosition(42) < grid.viewport()->height());
        const QImage shown = grid.screen()->grabWindow(grid.winId()).toImage();
        const QImage drawn = grid.grab().toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 drawn.convertToFormat(QImage::Format_RGB32));
    }

    // Anything but an append still repaints the whole grid.
    void gridRepaintsWhollyAfterAReset() {
        QStandardItemModel model(0, 4);
        for (int r = 0; r < 3; ++r)
            model.appendRow(rowOf(r));
        AppendingTableView grid;
        grid.setModel(&model);
        grid.resize(300, 200);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        settle();
        PaintCounter cells(grid.viewport());
        model.removeRow(0);
        settle();
        QCOMPARE(cells.painted.boundingRect(), grid.viewport()->rect());
    }
};

QTEST_MAIN(PaintOnlyChangesTest)
#include "tst_paintonlychanges.moc"
