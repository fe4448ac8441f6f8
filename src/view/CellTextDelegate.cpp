#include "CellTextDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

void CellTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();

    const QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    if (text.isEmpty())
        return;

    const bool selected = opt.state.testFlag(QStyle::State_Selected);
    const QPalette::ColorGroup group =
        opt.state.testFlag(QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    const QColor color = selected ? opt.palette.color(group, QPalette::HighlightedText)
                                  : opt.palette.color(group, QPalette::Text);

    const bool modelAligns = index.data(Qt::TextAlignmentRole).isValid();
    const Qt::Alignment alignment = modelAligns ? opt.displayAlignment : m_alignment;
    const QRectF area = textArea(opt.rect);

    painter->save();
    painter->setClipRect(opt.rect);
    drawCellText(*painter, area, alignment, text, opt.font, color);
    painter->restore();
}

void CellTextDelegate::drawCellText(QPainter& painter, const QRectF& area, Qt::Alignment alignment,
                                    const QString& text, const QFont& font,
                                    const QColor& color) const {
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(area, int(alignment), text);
}
