// The grid's vertical scroll bar: it keeps driving the grid, and the grid's layouts, which come
// with every new row, leave it alone when it shows the same.
#include "AppendingTableView.h"
#include "StatusGrid.h"
#include "StatusPlace.h"

#include <QAbstractTableModel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* watched) { watched->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Lets every pending paint happen.
void settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Rows that come in pages, as a model that reads its rows lazily offers them.
class PagedModel : public QAbstractTableModel {
public:
    int fetches = 0;
    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : m_rows;
    }
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 2;
    }
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override {
        return role == Qt::DisplayRole ? QVariant(index.row()) : QVariant();
    }
    [[nodiscard]] bool canFetchMore(const QModelIndex& parent) const override {
        return !parent.isValid() && m_rows < 1000;
    }
    void fetchMore(const QModelIndex& parent) override {
        if (parent.isValid())
            return;
        ++fetches;
        beginInsertRows({}, m_rows, m_rows + 49);
        m_rows += 50;
        endInsertRows();
    }

private:
    int m_rows = 50;
};

} // namespace

class GridScrollBarTest : public QObject {
    Q_OBJECT

private slots:
    // A move of the bar scrolls the rows, and the end of a model that reads its rows lazily asks
    // for more, whatever bar the grid carries.
    void barScrollsTheRowsAndFetchesAtTheEnd() {
        PagedModel model;
        AppendingTableView grid;
        grid.setModel(&model);
        grid.resize(300, 200);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        settle();

        grid.verticalScrollBar()->setValue(20);
        settle();
        QCOMPARE(grid.rowAt(0), 20);
        const int fetchesBefore = model.fetches;
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
        settle();
        QCOMPARE(model.fetches, fetchesBefore + 1);
    }

    // With the pointer over the rows, a scroll enters the row that comes under it.
    void scrollUnderThePointerEntersTheRowBelowIt() {
        QStandardItemModel model(200, 2);
        AppendingTableView grid;
        grid.setModel(&model);
        grid.setMouseTracking(true);
        grid.resize(300, 200);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        settle();
        QSignalSpy entered(&grid, &QAbstractItemView::entered);
        QTest::mouseMove(grid.viewport(), grid.visualRect(model.index(3, 0)).center());
        settle();
        QVERIFY(grid.viewport()->underMouse());

        entered.clear();
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->value() + 5);
        settle();
        QVERIFY(!entered.isEmpty());
        QCOMPARE(entered.last().at(0).value<QModelIndex>().row(), 8);
    }

    // The view raises its vertical bar at every layout: a status place kept above it would have
    // the bar moved back in front, and repainted, at each of them.
    void layoutsLeaveTheBarUnpainted() {
        QStandardItemModel model(200, 2);
        StatusGrid grid;
        grid.setModel(&model);
        grid.resize(300, 200);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.scrollToBottom();
        grid.doItemsLayout();
        settle();
        PaintCounter bar(grid.verticalScrollBar());

        for (int i = 0; i < 3; ++i) {
            grid.doItemsLayout();
            settle();
        }
        QCOMPARE(bar.paints, 0);
    }

    // Said, the status place stays in front of the rows through the layouts.
    void statusPlaceStaysInFrontOfTheRows() {
        QStandardItemModel model(200, 2);
        StatusGrid grid;
        grid.setModel(&model);
        grid.resize(300, 200);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.statusPlace()->set(QStringLiteral("link"), QStringLiteral("Link lost"));
        for (int i = 0; i < 2; ++i) {
            grid.doItemsLayout();
            settle();
        }
        QVERIFY(grid.statusPlace()->isVisible());
        QCOMPARE(grid.childAt(grid.statusPlace()->geometry().center()), grid.statusPlace());
    }
};

QTEST_MAIN(GridScrollBarTest)
#include "tst_gridscrollbar.moc"
