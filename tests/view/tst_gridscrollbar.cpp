// The grid's vertical scroll bar: it keeps driving the grid, and the grid's layouts, which come
// with every new row, leave it alone when it shows the same.
#include "AppendingTableView.h"
#include "StatusGrid.h"
#include "StatusPlace.h"
#include "SteadyScrollBar.h"

#include <QAbstractTableModel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStyleFactory>
#include <QTest>

#include <memory>

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

// Sets a bar up as a grid would: a range and a page of rows, scrolled to `value`.
template <typename Bar>
void setUpBar(Bar& bar, int height, int maximum, int pageStep, int value, bool enabled) {
    bar.resize(16, height);
    bar.setRange(0, maximum);
    bar.setPageStep(pageStep);
    bar.setValue(value);
    bar.setEnabled(enabled);
}

QImage pictureOf(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

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

    // At rest, the bar drawn from its kept pieces shows what the style paints, for handles of
    // every length, at the ends and in between, enabled or not.
    void keptPiecesShowWhatTheStylePaints_data() {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("pageStep");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("young table, at the top") << 300 << 3 << 20 << 0 << true;
        QTest::newRow("young table, at the end") << 300 << 3 << 20 << 3 << true;
        QTest::newRow("half the rows shown, in the middle") << 300 << 40 << 40 << 20 << true;
        QTest::newRow("shortest handle, at the end") << 300 << 100000 << 20 << 100000 << true;
        QTest::newRow("shortest handle, one row off the end")
            << 300 << 100000 << 20 << 99999 << true;
        QTest::newRow("shortest handle, at the top") << 300 << 100000 << 20 << 0 << true;
        QTest::newRow("shortest handle, in the middle") << 300 << 100000 << 20 << 50000 << true;
        QTest::newRow("short bar") << 70 << 500 << 20 << 250 << true;
        QTest::newRow("tall bar") << 800 << 60 << 20 << 59 << true;
        QTest::newRow("disabled") << 300 << 100 << 20 << 100 << false;
    }
    void keptPiecesShowWhatTheStylePaints() {
        QFETCH(int, height);
        QFETCH(int, maximum);
        QFETCH(int, pageStep);
        QFETCH(int, value);
        QFETCH(bool, enabled);
        SteadyScrollBar bar(Qt::Vertical);
        QScrollBar reference(Qt::Vertical);
        setUpBar(bar, height, maximum, pageStep, value, enabled);
        setUpBar(reference, height, maximum, pageStep, value, enabled);
        QCOMPARE(pictureOf(bar), pictureOf(reference));
        QCOMPARE(bar.piecePaintCount(), 1);
    }

    // Kept pieces follow what they were drawn for: a handle that moves and changes length, a
    // new size, a new palette and a disabled bar each show what the style paints for them.
    void keptPiecesFollowTheBarsChanges() {
        SteadyScrollBar bar(Qt::Vertical);
        QScrollBar reference(Qt::Vertical);
        for (QScrollBar* each : {static_cast<QScrollBar*>(&bar), &reference})
            setUpBar(*each, 300, 10, 20, 10, true);
        const auto same = [&](const char* step) {
            QVERIFY2(pictureOf(bar) == pictureOf(reference), step);
        };
        same("first");
        for (int rows = 11; rows < 400; rows += 37) {
            bar.setRange(0, rows);
            bar.setValue(rows);
            reference.setRange(0, rows);
            reference.setValue(rows);
            same("growing");
        }
        for (const int value : {0, 200, 363}) {
            bar.setValue(value);
            reference.setValue(value);
            same("scrolled");
        }
        bar.resize(16, 180);
        reference.resize(16, 180);
        same("resized");
        QPalette palette = reference.palette();
        palette.setColor(QPalette::Button, QColor(200, 120, 40));
        palette.setColor(QPalette::Window, QColor(30, 60, 90));
        bar.setPalette(palette);
        reference.setPalette(palette);
        same("new palette");
        bar.setEnabled(false);
        reference.setEnabled(false);
        same("disabled");
        bar.setEnabled(true);
        reference.setEnabled(true);
        same("enabled again");
        QCOMPARE(bar.stylePaintCount(), 0);

        // Another style, whose pieces may or may not add up: either way it shows as it paints.
        const std::unique_ptr<QStyle> other(QStyleFactory::create(QStringLiteral("Windows")));
        QVERIFY(other);
        bar.setStyle(other.get());
        reference.setStyle(other.get());
        same("another style");
        bar.setValue(0);
        reference.setValue(0);
        same("another style, at the top");
    }

    // With the pointer over the bar, or a part of it held, the style paints the bar, which alone
    // knows which part to light; at rest again, the pieces serve.
    void pointerOverTheBarOrAHeldPartLeavesThePaintToTheStyle() {
        SteadyScrollBar bar(Qt::Vertical);
        setUpBar(bar, 300, 100, 20, 50, true);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        settle();
        QTest::mouseMove(&bar, QPoint(8, 150));
        settle();
        QVERIFY(bar.underMouse());
        int byStyle = bar.stylePaintCount();
        bar.repaint();
        QCOMPARE(bar.stylePaintCount(), byStyle + 1);

        QTest::mouseMove(&bar, QPoint(300, 300));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&bar, &leave);
        settle();
        bar.setSliderDown(true);
        byStyle = bar.stylePaintCount();
        bar.repaint();
        QCOMPARE(bar.stylePaintCount(), byStyle + 1);
        bar.setSliderDown(false);
        const int byPieces = bar.piecePaintCount();
        bar.repaint();
        QCOMPARE(bar.piecePaintCount(), byPieces + 1);
    }

    // A horizontal bar is left to the style: its handle shades along its length's other way.
    void horizontalBarIsPaintedByTheStyle() {
        SteadyScrollBar bar(Qt::Horizontal);
        QScrollBar reference(Qt::Horizontal);
        for (QScrollBar* each : {static_cast<QScrollBar*>(&bar), &reference}) {
            each->resize(300, 16);
            each->setRange(0, 50);
            each->setValue(25);
        }
        QCOMPARE(pictureOf(bar), pictureOf(reference));
        QCOMPARE(bar.piecePaintCount(), 0);
    }
};

QTEST_MAIN(GridScrollBarTest)
#include "tst_gridscrollbar.moc"
