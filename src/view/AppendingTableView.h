#pragma once

#include <QTableView>

// The grid of readings. A table view lays its items out again after every row the model gains and
// then repaints its whole viewport; for a grid that gains one row at its end per reading, that is
// every visible cell once a second or more. Here a layout that follows rows appended at the end
// repaints only from the first new row down: rows already shown keep their pixels, and a scroll to
// the new row moves them by copying. Any other change (a reset, columns, rows removed or moved)
// repaints the whole grid, as a plain table view does. Its scroll bars repaint only when their
// handle moves. A repaint made of a few rectangles over the same rows (the row a selection leaves
// beside the rows an append brings) is drawn as one: the view draws its grid lines again for each
// rectangle. Its grid lines are solid, drawn where and as the table view draws them but several
// times faster; the grid style stays Qt::NoPen for that, and any other style set later is drawn
// by the table view as usual.
class AppendingTableView : public QTableView {
    Q_OBJECT

public:
    explicit AppendingTableView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    void doItemsLayout() override;
    // Selects the last row and scrolls to it, as selectRow() does.
    void selectLastRow();

protected:
    void paintEvent(QPaintEvent* event) override;
    [[nodiscard]] QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void verticalScrollbarValueChanged(int value) override;

private:
    void drawGridLines(const QRegion& region);
    void noteRowsInserted(const QModelIndex& parent, int first, int last);
    void noteWholeChange();

    // The first row appended since the last layout, or -1; `m_wholeChange` when anything else
    // changed since then.
    int m_firstAppended = -1;
    bool m_wholeChange = false;
    // While the last row is being selected: a layout ends at the end of the rows.
    bool m_endAfterLayout = false;
};
