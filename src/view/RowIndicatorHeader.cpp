#include "RowIndicatorHeader.h"

#include <QItemSelectionModel>
#include <QPainter>
#include <QPolygonF>
#include <QStyleOptionHeader>

RowIndicatorHeader::RowIndicatorHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
    setSectionResizeMode(QHeaderView::Fixed);
    setSectionsClickable(false);
    setHighlightSections(false);
}

// The grid takes only the width. The base class would measure the row numbers' text in up to
// 200 sections for the height, again after every row the grid gains, for a column that shows none.
QSize RowIndicatorHeader::sizeHint() const {
    return {kWidth, defaultSectionSize()};
}

int RowIndicatorHeader::markedRow() const {
    const QItemSelectionModel* selection = selectionModel();
    if (!selection || !selection->currentIndex().isValid())
        return -1;
    return selection->currentIndex().row();
}

void RowIndicatorHeader::paintSection(QPainter* painter, const QRect& rect,
                                      int logicalIndex) const {
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = rect;
    option.section = logicalIndex;
    style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);
    if (logicalIndex != markedRow())
        return;

    // A solid triangle pointing at the row, centred in the column.
    const QPointF centre = QRectF(rect).center();
    const QPolygonF triangle(
        {centre + QPointF(-2, -4), centre + QPointF(2.5, 0), centre + QPointF(-2, 4)});
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(palette().color(QPalette::WindowText));
    painter->drawPolygon(triangle);
    painter->restore();
}
