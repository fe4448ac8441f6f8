#include "AppendingTableView.h"

#include "SteadyScrollBar.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

// The column header. A header repaints the sections a selection covers so that it can highlight
// them; with highlighting off, a row selected in full would repaint every column's caption.
class ColumnHeader : public QHeaderView {
public:
    explicit ColumnHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    [[nodiscard]] QRegion visualRegionForSelection(const QItemSelection& selection) const override {
        return highlightSections() ? QHeaderView::visualRegionForSelection(selection) : QRegion();
    }
};

} // namespace

AppendingTableView::AppendingTableView(QWidget* parent) : QTableView(parent) {
    auto* header = new ColumnHeader(this);
    // As the table view sets up its own header.
    header->setSectionsClickable(true);
    header->setHighlightSections(true);
    setHorizontalHeader(header);
    // The base class strokes its grid lines a pixel at a time; they are drawn here instead (see
    // drawGridLines).
    setGridStyle(Qt::NoPen);
    // The item view hears its own scroll bars only through connections it makes once, to the bars
    // it started with: new bars are connected here as those were, or the lazy model would stop
    // fetching at the end and the item under the pointer would not follow a scroll.
    auto* vertical = new SteadyScrollBar(Qt::Vertical, this);
    auto* horizontal = new SteadyScrollBar(Qt::Horizontal, this);
    setVerticalScrollBar(vertical);
    setHorizontalScrollBar(horizontal);
    connect(vertical, &QScrollBar::actionTriggered, this,
            &AppendingTableView::verticalScrollbarAction);
    connect(vertical, &QScrollBar::valueChanged, this,
            &AppendingTableView::verticalScrollbarValueChanged);
    connect(horizontal, &QScrollBar::actionTriggered, this,
            &AppendingTableView::horizontalScrollbarAction);
    connect(horizontal, &QScrollBar::valueChanged, this,
            &AppendingTableView::horizontalScrollbarValueChanged);
}

void AppendingTableView::setModel(QAbstractItemModel* newModel) {
    if (QAbstractItemModel* old = model())
        disconnect(old, nullptr, this, nullptr);
    QTableView::setModel(newModel);
    noteWholeChange();
    if (!newModel)
        return;
    // The row header repaints all its sections when rows come; rows that come at the end move
    // none of those already shown.
    connect(newModel, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex& parent, int first) {
                if (!parent.isValid() && first == model()->rowCount())
                    verticalHeader()->viewport()->setAttribute(Qt::WA_UpdatesDisabled, true);
            });
    connect(newModel, &QAbstractItemModel::rowsInserted, this,
            &AppendingTableView::noteRowsInserted);
    connect(newModel, &QAbstractItemModel::rowsRemoved, this, &AppendingTableView::noteWholeChange);
    connect(newModel, &QAbstractItemModel::rowsMoved, this, &AppendingTableView::noteWholeChange);
    connect(newModel, &QAbstractItemModel::columnsInserted, this,
            &AppendingTableView::noteWholeChange);
    connect(newModel, &QAbstractItemModel::columnsRemoved, this,
            &AppendingTableView::noteWholeChange);
    connect(newModel, &QAbstractItemModel::columnsMoved, this,
            &AppendingTableView::noteWholeChange);
    connect(newModel, &QAbstractItemModel::modelReset, this, &AppendingTableView::noteWholeChange);
    connect(newModel, &QAbstractItemModel::layoutChanged, this,
            &AppendingTableView::noteWholeChange);
}

void AppendingTableView::noteRowsInserted(const QModelIndex& parent, int first, int last) {
    if (parent.isValid())
        return;
    QWidget* rowHeader = verticalHeader()->viewport();
    if (!rowHeader->updatesEnabled()) {
        rowHeader->setAttribute(Qt::WA_UpdatesDisabled, false);
        const int top = verticalHeader()->sectionViewportPosition(first);
        if (top < rowHeader->height())
            rowHeader->update(0, std::max(top, 0), rowHeader->width(), rowHeader->height());
    }
    // Only rows that end up at the end of the model are an append.
    if (last != model()->rowCount() - 1) {
        noteWholeChange();
        return;
    }
    m_firstAppended = m_firstAppended < 0 ? first : std::min(m_firstAppended, first);
}

void AppendingTableView::noteWholeChange() {
    m_wholeChange = true;
}

void AppendingTableView::doItemsLayout() {
    const bool appendOnly = !m_wholeChange && m_firstAppended >= 0;
    const int firstAppended = m_firstAppended;
    m_firstAppended = -1;
    m_wholeChange = false;
    if (!appendOnly || !viewport()->updatesEnabled()) {
        QTableView::doItemsLayout();
        return;
    }
    // The base class ends with a repaint of the whole viewport, which an append does not need. A
    // scroll the layout makes meanwhile moves no pixels, so it is made here once updates are on,
    // for the rows and their indicator alike; when the last row is about to be selected, the
    // scroll to it is made here too, so that the rows move once, not a pixel and then a row.
    const QPoint offsetBefore(horizontalOffset(), verticalOffset());
    QWidget* rowHeader = verticalHeader()->viewport();
    const bool rowHeaderUpdates = rowHeader->updatesEnabled();
    viewport()->setAttribute(Qt::WA_UpdatesDisabled, true);
    rowHeader->setAttribute(Qt::WA_UpdatesDisabled, true);
    QTableView::doItemsLayout();
    if (m_endAfterLayout)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->setAttribute(Qt::WA_UpdatesDisabled, false);
    rowHeader->setAttribute(Qt::WA_UpdatesDisabled, !rowHeaderUpdates);
    const QPoint moved = offsetBefore - QPoint(horizontalOffset(), verticalOffset());
    if (!moved.isNull()) {
        viewport()->scroll(moved.x(), moved.y());
        if (moved.y() != 0)
            rowHeader->scroll(0, moved.y());
    }
    const int top = rowViewportPosition(firstAppended);
    if (top >= viewport()->height())
        return;
    viewport()->update(0, std::max(top, 0), viewport()->width(), viewport()->height());
}

void AppendingTableView::selectLastRow() {
    QAbstractItemModel* rows = model();
    if (!rows || rows->rowCount(rootIndex()) == 0)
        return;
    // Selecting the last row scrolls to it, after the layout the rows just appended wait for. A
    // model that still has rows to fetch may fetch them at the end, which then is not the end;
    // rows scrolled under the pointer change the item it hovers, which repaints.
    m_endAfterLayout =
        hasAutoScroll() && !rows->canFetchMore(rootIndex()) && !viewport()->underMouse();
    selectRow(rows->rowCount(rootIndex()) - 1);
    m_endAfterLayout = false;
}

void AppendingTableView::paintEvent(QPaintEvent* event) {
    const QRegion& region = event->region();
    // Painting stays inside the region whatever the event says, so the bounds of a few rectangles
    // cost only the cells between them, which here are few.
    bool whole = false;
    if (region.rectCount() >= 2) {
        qint64 area = 0;
        for (const QRect& rect : region)
            area += qint64(rect.width()) * rect.height();
        const QRect bounds = region.boundingRect();
        whole = qint64(bounds.width()) * bounds.height() * 4 <= area * 5;
    }
    if (whole) {
        QPaintEvent merged(region.boundingRect());
        QTableView::paintEvent(&merged);
        drawGridLines(merged.region());
    } else {
        QTableView::paintEvent(event);
        drawGridLines(region);
    }
}

// Rows selected in full repaint as bands across the whole viewport, grid lines included, not as
// their cells: the row a selection leaves and the row below it that an append brings then make
// one rectangle, and the painter draws into one rectangle far faster than into several.
QRegion AppendingTableView::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion cells = QTableView::visualRegionForSelection(selection);
    if (selectionBehavior() != SelectRows)
        return cells;
    const int width = viewport()->width();
    const int grid = showGrid() ? 1 : 0;
    QRegion bands;
    for (const QRect& rect : cells)
        bands += QRect(0, rect.top(), width, rect.height() + grid);
    return bands;
}

// Where and in what colour the base class draws solid grid lines, a rectangle of the region at a
// time, but as filled one-pixel rectangles: its pen draws each pixel on its own. The painter
// clips both alike, to the region the paint event covers. The pen draws nothing for a line a
// pixel long.
void AppendingTableView::drawGridLines(const QRegion& region) {
    const QHeaderView* rows = verticalHeader();
    const QHeaderView* columns = horizontalHeader();
    if (!showGrid() || gridStyle() != Qt::NoPen || !model() || !itemDelegate() ||
        rows->count() == 0 || columns->count() == 0)
        return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QColor color =
        QColor::fromRgba(QRgb(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
    const bool rightToLeft = isRightToLeft();
    const int width = viewport()->width();
    const int lastX = columns->length() - columns->offset() - (rightToLeft ? 0 : 1);
    const int lastY = rows->length() - rows->offset() - 1;
    const bool alwaysTopLeft =
        style()->styleHint(QStyle::SH_Table_AlwaysDrawLeftTopGridLines, &option, this) != 0;

    QPainter painter(viewport());
    for (QRect dirty : region) {
        dirty.setBottom(std::min(dirty.bottom(), lastY));
        if (rightToLeft)
            dirty.setLeft(std::max(dirty.left(), width - lastX));
        else
            dirty.setRight(std::min(dirty.right(), lastX));
        if (!dirty.isValid())
            continue;
        int left = columns->visualIndexAt(dirty.left());
        int right = columns->visualIndexAt(dirty.right());
        if (rightToLeft)
            std::swap(left, right);
        if (left == -1)
            left = 0;
        if (right == -1)
            right = columns->count() - 1;
        int bottom = rows->visualIndexAt(dirty.bottom());
        if (bottom == -1)
            bottom = rows->count() - 1;
        const int top = rows->visualIndexAt(dirty.top());
        if (top == -1 || top > bottom)
            continue;
        while (bottom > top && rows->isSectionHidden(rows->logicalIndex(bottom)))
            --bottom;

        for (int visual = top; visual <= bottom && dirty.width() > 1; ++visual) {
            const int row = rows->logicalIndex(visual);
            if (rows->isSectionHidden(row))
                continue;
            const int y = rowViewportPosition(row) + rowHeight(row) - 1;
            painter.fillRect(QRect(dirty.left(), y, dirty.width(), 1), color);
        }
        for (int visual = left; visual <= right && dirty.height() > 1; ++visual) {
            const int column = columns->logicalIndex(visual);
            if (columns->isSectionHidden(column))
                continue;
            const int x =
                columnViewportPosition(column) + (rightToLeft ? 0 : columnWidth(column) - 1);
            painter.fillRect(QRect(x, dirty.top(), 1, dirty.height()), color);
        }
        // With a header hidden, the style may ask for the line it would have drawn along the
        // grid's edge.
        if (alwaysTopLeft && columns->isHidden()) {
            const int row = rows->logicalIndex(top);
            if (!rows->isSectionHidden(row) && rowViewportPosition(row) == dirty.top())
                painter.fillRect(QRect(dirty.left(), dirty.top(), dirty.width(), 1), color);
        }
        if (alwaysTopLeft && rows->isHidden()) {
            const int column = columns->logicalIndex(left);
            if (!columns->isSectionHidden(column)) {
                int x = columnViewportPosition(column);
                if (rightToLeft)
                    x += columnWidth(left) - 1;
                if (x == (rightToLeft ? dirty.right() : dirty.left()))
                    painter.fillRect(QRect(x, dirty.top(), 1, dirty.height()), color);
            }
        }
    }
}

// The base class asks the window system where the pointer is at every scroll, to update the item
// under it; over X11 that is a round trip the GUI thread waits for, with every new row the grid
// follows. With the pointer elsewhere there is no such item, and only the lazy model's next rows
// are left to ask for.
void AppendingTableView::verticalScrollbarValueChanged(int value) {
    if (viewport()->underMouse()) {
        QTableView::verticalScrollbarValueChanged(value);
        return;
    }
    QAbstractItemModel* rows = model();
    if (rows && value == verticalScrollBar()->maximum() && rows->canFetchMore(rootIndex()))
        rows->fetchMore(rootIndex());
}
