#include "AppendingTableView.h"

#include <QHeaderView>
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
}

void AppendingTableView::setModel(QAbstractItemModel* newModel) {
    if (QAbstractItemModel* old = model())
        disconnect(old, nullptr, this, nullptr);
    QTableView::setModel(newModel);
    noteWholeChange();
    if (!newModel)
        return;
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
    // scroll the layout makes meanwhile moves no pixels, so it is made here once updates are on.
    const QPoint offsetBefore(horizontalOffset(), verticalOffset());
    viewport()->setAttribute(Qt::WA_UpdatesDisabled, true);
    QTableView::doItemsLayout();
    viewport()->setAttribute(Qt::WA_UpdatesDisabled, false);
    const QPoint moved = offsetBefore - QPoint(horizontalOffset(), verticalOffset());
    if (!moved.isNull())
        viewport()->scroll(moved.x(), moved.y());
    const int top = rowViewportPosition(firstAppended);
    if (top >= viewport()->height())
        return;
    viewport()->update(0, std::max(top, 0), viewport()->width(), viewport()->height());
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
