#include "decode/SegraDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

#include <cmath>

namespace {
constexpr int kCellMargin = 3;
}

SegraDelegate::SegraDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

SegraDelegate::SegraDelegate(qreal pixelHeight, Qt::Alignment alignment, QObject* parent)
    : QStyledItemDelegate(parent), m_style{pixelHeight, false, false}, m_alignment(alignment) {}

void SegraDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();

    // The style paints the cell as if it were empty: background, selection, focus frame.
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
    const QRectF area = QRectF(opt.rect).adjusted(kCellMargin, 0, -kCellMargin, 0);

    painter->save();
    painter->setClipRect(opt.rect);
    SegraGlyphs::drawText(*painter, area, alignment, text, m_style, color);
    painter->restore();
}

QSize SegraDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QString text = index.data(Qt::DisplayRole).toString();
    const QSize base = QStyledItemDelegate::sizeHint(option, index);
    const int width =
        static_cast<int>(std::ceil(SegraGlyphs::textWidth(text, m_style))) + 2 * kCellMargin;
    const int height = qRound(SegraGlyphs::lineHeight(m_style.pixelHeight));
    return {width, std::max(base.height(), height)};
}
