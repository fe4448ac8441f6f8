#pragma once

#include <QStyledItemDelegate>

// Draws a grid cell's text straight with the painter. The grid repaints its visible rows for every
// stored reading, and the style's general text layout costs several times more per cell.
class GridTextDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
