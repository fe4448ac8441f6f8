#pragma once

#include <QStyledItemDelegate>

// Draws a grid cell as the style draws an empty one (background, selection, focus) and then its
// text straight with the painter, in the cell's colour and alignment. The grid repaints its
// visible rows for every stored reading, and the style's general text layout costs several
// times more per cell. Subclasses draw the text in other lettering.
class CellTextDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit CellTextDelegate(QObject* parent = nullptr) : QStyledItemDelegate(parent) {}

    // Used where the model gives no alignment of its own for a cell.
    void setAlignment(Qt::Alignment alignment) { m_alignment = alignment; }
    [[nodiscard]] Qt::Alignment alignment() const { return m_alignment; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // Where a cell's text is laid out: the cell less its margins at either side.
    [[nodiscard]] static QRectF textArea(const QRect& cell) {
        return QRectF(cell).adjusted(kCellMargin, 0, -kCellMargin, 0);
    }

protected:
    // Narrow, so that a time of day in the grid font fits its designed column whole.
    static constexpr int kCellMargin = 2;

    virtual void drawCellText(QPainter& painter, const QRectF& area, Qt::Alignment alignment,
                              const QString& text, const QFont& font, const QColor& color) const;

private:
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
};
