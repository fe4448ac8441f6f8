#include "SegraDelegate.h"

#include <cmath>

SegraDelegate::SegraDelegate(QObject* parent) : CellTextDelegate(parent) {}

SegraDelegate::SegraDelegate(qreal pixelHeight, Qt::Alignment alignment, QObject* parent)
    : CellTextDelegate(parent), m_style{pixelHeight, false, false} {
    setAlignment(alignment);
}

void SegraDelegate::drawCellText(QPainter& painter, const QRectF& area, Qt::Alignment alignment,
                                 const QString& text, const QFont&, const QColor& color) const {
    SegraGlyphs::drawText(painter, area, alignment, text, m_style, color);
}

QSize SegraDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QString text = index.data(Qt::DisplayRole).toString();
    const QSize base = QStyledItemDelegate::sizeHint(option, index);
    const int width =
        static_cast<int>(std::ceil(SegraGlyphs::textWidth(text, m_style))) + 2 * kCellMargin;
    const int height = qRound(SegraGlyphs::lineHeight(m_style.pixelHeight));
    return {width, std::max(base.height(), height)};
}
