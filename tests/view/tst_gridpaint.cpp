// The grid of readings draws what a plain table view draws, for less: its lines, its cells and
// its row indicator look the same pixel for pixel, and a moved selection repaints only its rows.
#include "AppendingTableView.h"
#include "CellTextDelegate.h"
#include "RowIndicatorHeader.h"

#include "../support/PaintCounter.h"

#include <QHeaderView>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
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

// A cell as the style draws it empty, with its text drawn on a transparent image of the cell's
// size laid over it: what the delegate drew before it kept only the parts that cover anything.
void drawCellWhole(QPainter& painter, const QTableView& view, QStyleOptionViewItem option,
                   const QModelIndex& index, qreal ratio) {
    const QString text = index.data().toString();
    option.backgroundBrush = qvariant_cast<QBrush>(index.data(Qt::BackgroundRole));
    view.style()->drawControl(QStyle::CE_ItemViewItem, &option, &painter, &view);
    const QPalette::ColorGroup group =
        option.state.testFlag(QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    const QColor color = option.palette.color(group, option.state.testFlag(QStyle::State_Selected)
                                                         ? QPalette::HighlightedText
                                                         : QPalette::Text);
    const QVariant aligned = index.data(Qt::TextAlignmentRole);
    const int alignment =
        aligned.isValid() ? aligned.toInt() : int(Qt::AlignLeft | Qt::AlignVCenter);
    QImage image(option.rect.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter textPainter(&image);
        textPainter.setFont(option.font);
        textPainter.setPen(color);
        textPainter.drawText(CellTextDelegate::textArea(QRect(QPoint(0, 0), option.rect.size())),
                             alignment, text);
    }
    painter.drawImage(option.rect.topLeft(), image);
}

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

    // A row selected in full, and the row the selection leaves, repaint as whole bands across the
    // viewport and nothing else; a selection that leaves a row for the one below it repaints one
    // rectangle. The screen then shows what a full repaint draws.
    void movedSelectionRepaintsOnlyItsRows() {
        QObject owner;
        QStandardItemModel* model = filledModel(&owner, 12, 4);
        AppendingTableView grid;
        grid.setModel(model);
        grid.verticalHeader()->setDefaultSectionSize(17);
        grid.setSelectionBehavior(QAbstractItemView::SelectRows);
        grid.resize(400, 200);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.selectRow(2);
        settle();
        PaintCounter cells(grid.viewport());
        const int width = grid.viewport()->width();
        const auto band = [&](int row) {
            return QRect(0, grid.rowViewportPosition(row), width, grid.rowHeight(row));
        };

        grid.selectRow(6);
        settle();
        QCOMPARE(cells.painted, QRegion(band(2)) + band(6));
        cells.reset();
        grid.selectRow(7);
        settle();
        QCOMPARE(cells.painted, QRegion(band(6).united(band(7))));
        QCOMPARE(cells.painted.rectCount(), 1);

        const QImage shown = grid.screen()->grabWindow(grid.winId()).toImage();
        const QImage drawn = grid.grab().toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 drawn.convertToFormat(QImage::Format_RGB32));
    }

    // Selecting the last row just appended ends where a plain table view ends, from the end of
    // the rows and from rows scrolled back, and the screen shows what a full repaint draws, the
    // row indicator included.
    void selectingAnAppendedLastRowEndsAsAPlainView() {
        QStandardItemModel plainRows(0, 3);
        QStandardItemModel gridRows(0, 3);
        const auto append = [](QStandardItemModel& model) {
            QList<QStandardItem*> row;
            for (int c = 0; c < 3; ++c)
                row << new QStandardItem(QStringLiteral("%1.%2").arg(model.rowCount()).arg(c));
            model.appendRow(row);
        };
        for (int r = 0; r < 20; ++r) {
            append(plainRows);
            append(gridRows);
        }
        QWidget host;
        host.resize(620, 200);
        QTableView plain(&host);
        AppendingTableView grid(&host);
        // As the readings grid: the row indicator comes before the model.
        grid.setVerticalHeader(new RowIndicatorHeader(&grid));
        plain.setVerticalHeader(new RowIndicatorHeader(&plain));
        plain.setModel(&plainRows);
        grid.setModel(&gridRows);
        for (QTableView* view : {&plain, static_cast<QTableView*>(&grid)}) {
            view->verticalHeader()->setDefaultSectionSize(17);
            view->setSelectionBehavior(QAbstractItemView::SelectRows);
        }
        plain.setGeometry(0, 0, 300, 150);
        grid.setGeometry(310, 0, 300, 150);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        plain.selectRow(19);
        grid.selectLastRow();
        settle();

        for (int r = 0; r < 6; ++r) {
            if (r == 3) {
                plain.verticalScrollBar()->setValue(2);
                grid.verticalScrollBar()->setValue(2);
                settle();
            }
            append(plainRows);
            append(gridRows);
            plain.selectRow(plainRows.rowCount() - 1);
            grid.selectLastRow();
            settle();
            QCOMPARE(grid.verticalScrollBar()->value(), plain.verticalScrollBar()->value());
            QCOMPARE(grid.verticalHeader()->offset(), plain.verticalHeader()->offset());
            QCOMPARE(grid.currentIndex().row(), gridRows.rowCount() - 1);
            const QImage shown =
                grid.screen()->grabWindow(host.winId()).toImage().copy(grid.geometry());
            const QImage drawn = grid.grab().toImage();
            QVERIFY2(shown.convertToFormat(QImage::Format_RGB32) ==
                         drawn.convertToFormat(QImage::Format_RGB32),
                     qPrintable(QStringLiteral("row %1").arg(gridRows.rowCount() - 1)));
        }
    }

    // The marked row's section is the plain section with the triangle drawn over it, wherever the
    // mark stands and after it moved; the others are the plain section.
    void rowIndicatorMarksOnlyTheCurrentRow() {
        QObject owner;
        QStandardItemModel* model = filledModel(&owner, 6, 2);
        QTableView view;
        view.setVerticalHeader(new RowIndicatorHeader(&view));
        view.setModel(model);
        view.verticalHeader()->setDefaultSectionSize(17);
        view.resize(200, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QHeaderView* header = view.verticalHeader();
        const auto sectionRect = [&](int row) {
            return QRect(0, header->sectionViewportPosition(row), header->width(),
                         header->sectionSize(row));
        };
        for (const int marked : {2, 4, 0}) {
            view.selectionModel()->setCurrentIndex(model->index(marked, 0),
                                                   QItemSelectionModel::NoUpdate);
            QCoreApplication::processEvents();
            const QImage shown = header->viewport()->grab().toImage();
            const int plainRow = marked == 0 ? 1 : 0;
            const QImage plain = shown.copy(sectionRect(plainRow));
            QImage expected = shown;
            {
                QPainter painter(&expected);
                for (int row = 0; row < model->rowCount(); ++row)
                    painter.drawImage(sectionRect(row).topLeft(), plain);
                const QPointF centre = QRectF(sectionRect(marked)).center();
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setPen(Qt::NoPen);
                painter.setBrush(header->palette().color(QPalette::WindowText));
                painter.drawPolygon(QPolygonF(
                    {centre + QPointF(-2, -4), centre + QPointF(2.5, 0), centre + QPointF(-2, 4)}));
            }
            QVERIFY2(shown == expected, qPrintable(QStringLiteral("marked row %1").arg(marked)));
        }
    }

    // A cell looks as its text drawn whole over the style's empty cell, in every state a grid's
    // cell takes, on screens of one and two pixels to the point, whatever the delegate drew
    // before.
    void cellsLookAsTheirTextDrawnWhole() {
        QStandardItemModel model(6, 1);
        const QStringList texts = {"08:29:21", "-0.0123", "", "W", "1", "AC"};
        for (int row = 0; row < texts.size(); ++row)
            model.setData(model.index(row, 0), texts[row]);
        model.setData(model.index(1, 0), int(Qt::AlignRight | Qt::AlignVCenter),
                      Qt::TextAlignmentRole);
        model.setData(model.index(4, 0), int(Qt::AlignCenter), Qt::TextAlignmentRole);
        model.setData(model.index(5, 0), QBrush(QColor(250, 200, 40)), Qt::BackgroundRole);
        QTableView view;
        view.setModel(&model);
        QPalette palette = view.palette();
        palette.setColor(QPalette::Base, QColor(202, 255, 228));
        view.setPalette(palette);
        const QStyle::State plain = QStyle::State_Enabled | QStyle::State_Active;
        const QList<QStyle::State> states = {
            plain,
            plain | QStyle::State_Selected,
            plain | QStyle::State_Selected | QStyle::State_HasFocus,
            QStyle::State_Selected,
            plain,
        };
        CellTextDelegate delegate;
        for (const qreal ratio : {1.0, 2.0}) {
            for (int row = 0; row < model.rowCount(); ++row) {
                for (const QStyle::State state : states) {
                    for (const QRect cell : {QRect(3, 2, 53, 16), QRect(0, 0, 20, 9)}) {
                        QImage drawn(QSize(60, 20) * ratio, QImage::Format_ARGB32_Premultiplied);
                        drawn.setDevicePixelRatio(ratio);
                        drawn.fill(QColor(202, 255, 228));
                        QImage expected = drawn;
                        {
                            QPainter painter(&drawn);
                            delegate.paint(&painter, cellOption(view, state, cell),
                                           model.index(row, 0));
                        }
                        {
                            QPainter painter(&expected);
                            drawCellWhole(painter, view, cellOption(view, state, cell),
                                          model.index(row, 0), ratio);
                        }
                        QVERIFY2(drawn == expected,
                                 qPrintable(QStringLiteral("\"%1\", state %2, %3x%4, ratio %5")
                                                .arg(texts[row])
                                                .arg(int(state), 0, 16)
                                                .arg(cell.width())
                                                .arg(cell.height())
                                                .arg(ratio)));
                    }
                }
            }
        }
    }
};

QTEST_MAIN(GridPaintTest)
#include "tst_gridpaint.moc"
