#include "CellTextDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

#include <memory>
#include <utility>

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
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawImage(opt.rect.topLeft(),
                       textImage(opt.rect, ratio, alignment, text, opt.font, color));
}

const QImage& CellTextDelegate::textImage(const QRect& cell, qreal pixelRatio,
                                          Qt::Alignment alignment, const QString& text,
                                          const QFont& font, const QColor& color) const {
    if (font != m_imagesFont || pixelRatio != m_imagesPixelRatio) {
        m_textImages.clear();
        m_imagesFont = font;
        m_imagesPixelRatio = pixelRatio;
    }
    TextImageKey key{text, cell.size(), int(alignment), color.rgba()};
    if (const QImage* cached = m_textImages.object(key))
        return *cached;
    auto image =
        std::make_unique<QImage>(cell.size() * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    image->setDevicePixelRatio(pixelRatio);
    image->fill(Qt::transparent);
    {
        QPainter painter(image.get());
        drawCellText(painter, textArea(QRect(QPoint(0, 0), cell.size())), alignment, text, font,
                     color);
    }
    QImage* stored = image.release();
    m_textImages.insert(key, stored);
    return *stored;
}

void CellTextDelegate::drawCellText(QPainter& painter, const QRectF& area, Qt::Alignment alignment,
                                    const QString& text, const QFont& font,
                                    const QColor& color) const {
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(area, int(alignment), text);
}
