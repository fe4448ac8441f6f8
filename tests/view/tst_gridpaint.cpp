// The grid of readings draws what a plain table view draws, for less: its lines, its cells and
// its row indicator look the same pixel for pixel, and a moved selection repaints only its rows.
#include "AppendingTableView.h"

#include <QHeaderView>
#include <QPainter>
#include <QStandardItemModel>
#include <QTest>

namespace {

QStandardItemModel* filledModel(QObject* parent, int rows, int columns) {
    auto* model = new QStandardItemModel(rows, columns, parent);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            model->setData(model->index(r, c), QStringLiteral("%1.%2").arg(r).arg(c));
    return model;
}

// What `view`'s viewport paints for `region`, on a background no view paints.
QImage rendered(QTableView& view, const QRegion& region) {
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(1, 2, 3));
    view.viewport()->render(&image, region.boundingRect().topLeft(), region,
                            QWidget::DrawWindowBackground);
    return image;
}

// A plain table view and the grid set up alike.
struct Pair {
    QWidget host;
    QTableView plain{&host};
    AppendingTableView grid{&host};
    explicit Pair(QAbstractItemModel* model) {
        host.resize(700, 300);
        for (QTableView* view : {&plain, static_cast<QTableView*>(&grid)}) {
            view->setModel(model);
            view->verticalHeader()->setDefaultSectionSize(17);
            view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            view->setFocusPolicy(Qt::NoFocus);
        }
        plain.setGeometry(0, 0, 340, 150);
        grid.setGeometry(350, 0, 340, 150);
    }
    template <typename Change> void apply(Change change) {
        change(plain);
        change(grid);
    }
};

} // namespace

class GridPaintTest : public QObject {
    Q_OBJECT

private slots:
    void gridLinesLookAsTheTableViewDrawsThem_data() {
        QTest::addColumn<QString>("setup");
        QTest::newRow("plain") << "plain";
        QTest::newRow("short and narrow") << "short";
        QTest::newRow("right to left") << "rtl";
        QTest::newRow("hidden row and column") << "hidden";
        QTest::newRow("scrolled") << "scrolled";
        QTest::newRow("no column header") << "nocolumns";
        QTest::newRow("no row header") << "norows";
        QTest::newRow("no headers, right to left") << "noheadersrtl";
    }
    // Whole and in parts of several rectangles, as an append and a selection repaint them.
    void gridLinesLookAsTheTableViewDrawsThem() {
        QFETCH(QString, setup);
        QObject owner;
        const bool few = setup == "short";
        Pair pair(filledModel(&owner, few ? 3 : 30, few ? 2 : 6));
        pair.apply([&](QTableView& view) {
            for (int c = 0; c < view.model()->columnCount(); ++c)
                view.setColumnWidth(c, 41 + 3 * c);
            if (setup == "rtl" || setup == "noheadersrtl")
                view.setLayoutDirection(Qt::RightToLeft);
            if (setup == "hidden") {
                view.setRowHidden(2, true);
                view.setColumnHidden(1, true);
            }
            if (setup == "nocolumns" || setup == "noheadersrtl")
                view.horizontalHeader()->hide();
            if (setup == "norows" || setup == "noheadersrtl")
                view.verticalHeader()->hide();
        });
        pair.host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pair.host));
        if (setup == "scrolled")
            pair.apply([](QTableView& view) { view.scrollTo(view.model()->index(20, 5)); });
        QCoreApplication::processEvents();
        QCOMPARE(pair.grid.viewport()->size(), pair.plain.viewport()->size());

        const QRect all = pair.grid.viewport()->rect();
        const QList<QRegion> regions = {
            QRegion(all),
            QRegion(0, 17, 300, 17) + QRegion(0, 51, all.width(), 40),
            QRegion(20, 5, 30, 30) + QRegion(100, 60, 250, 9) + QRegion(3, 120, 8, 8),
            // Lines a pixel long, which the table view's pen leaves out, and two pixels long.
            QRegion(0, 34, all.width(), 1) + QRegion(84, 40, 1, 30) + QRegion(40, 80, 1, 30),
            QRegion(0, 33, all.width(), 2) + QRegion(83, 40, 2, 30) + QRegion(39, 80, 2, 30),
        };
        for (const QRegion& region : regions) {
            QVERIFY2(rendered(pair.grid, region) == rendered(pair.plain, region),
                     qPrintable(QStringLiteral("%1 rectangles in %2,%3 %4x%5")
                                    .arg(region.rectCount())
                                    .arg(region.boundingRect().x())
                                    .arg(region.boundingRect().y())
                                    .arg(region.boundingRect().width())
                                    .arg(region.boundingRect().height())));
        }
    }
};

QTEST_MAIN(GridPaintTest)
#include "tst_gridpaint.moc"
