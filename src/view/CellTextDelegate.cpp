#include "CellTextDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

// The colour `color` (opaque) wherever the premultiplied `image` covers, as much as it covers:
// what the painter's "source in" fill makes of it, without a painter's cost.
void recolour(QImage& image, QRgb color) {
    const auto scaled = [](quint32 channel, quint32 alpha) {
        const quint32 t = channel * alpha;
        return (t + (t >> 8) + 0x80) >> 8;
    };
    const quint32 red = quint32(qRed(color));
    const quint32 green = quint32(qGreen(color));
    const quint32 blue = quint32(qBlue(color));
    const int width = image.width();
    const int height = image.height();
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            // Most of a cell is bare, and bare stays bare.
            const quint32 alpha = qAlpha(line[x]);
            if (alpha == 0)
                continue;
            line[x] = qRgba(int(scaled(red, alpha)), int(scaled(green, alpha)),
                            int(scaled(blue, alpha)), int(alpha));
        }
    }
}

} // namespace

void CellTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();

    if (!drawBackground(*painter, opt)) {
        const QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    }
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

bool CellTextDelegate::drawBackground(QPainter& painter, const QStyleOptionViewItem& option) const {
    // A focus frame may be dotted in a pattern that lines up with the widget, not the cell.
    const Qt::BrushStyle brushStyle = option.backgroundBrush.style();
    if ((brushStyle != Qt::NoBrush && brushStyle != Qt::SolidPattern) || option.rect.isEmpty() ||
        !option.icon.isNull() || option.state.testFlag(QStyle::State_HasFocus))
        return false;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (ratio != m_backgroundsPixelRatio) {
        m_backgrounds.clear();
        m_backgroundsPixelRatio = ratio;
    }
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    BackgroundKey key{option.rect.size(),
                      int(option.state),
                      int(option.features),
                      int(option.viewItemPosition),
                      int(option.direction),
                      option.showDecorationSelected,
                      brushStyle == Qt::NoBrush ? 0 : option.backgroundBrush.color().rgba(),
                      option.palette.cacheKey(),
                      style};
    const Background* background = m_backgrounds.object(key);
    if (!background) {
        QImage image(option.rect.size() * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        {
            QPainter imagePainter(&image);
            QStyleOptionViewItem empty = option;
            empty.rect = QRect(QPoint(0, 0), option.rect.size());
            style->drawControl(QStyle::CE_ItemViewItem, &empty, &imagePainter, option.widget);
        }
        auto kept = std::make_unique<Background>();
        const auto* pixels = reinterpret_cast<const QRgb*>(image.constBits());
        const qsizetype count = image.sizeInBytes() / qsizetype(sizeof(QRgb));
        if (std::any_of(pixels, pixels + count, [](QRgb pixel) { return pixel != 0; }))
            kept->image = std::move(image);
        background = kept.get();
        m_backgrounds.insert(key, kept.release());
    }
    if (!background->image.isNull())
        painter.drawImage(option.rect.topLeft(), background->image);
    return true;
}

const QImage& CellTextDelegate::textImage(const QRect& cell, qreal pixelRatio,
                                          Qt::Alignment alignment, const QString& text,
                                          const QFont& font, const QColor& color) const {
    if (font != m_imagesFont || pixelRatio != m_imagesPixelRatio) {
        m_textImages.clear();
        m_textShapes.clear();
        m_imagesFont = font;
        m_imagesPixelRatio = pixelRatio;
    }
    TextImageKey key{text, cell.size(), int(alignment), color.rgba()};
    if (const QImage* cached = m_textImages.object(key))
        return *cached;
    // A row's texts come again in the other colour when the selection leaves it. Text drawn in
    // one opaque colour and filled with another where it covers is the text drawn in that other
    // colour, for a fraction of the layout's cost.
    const bool opaque = color.alpha() == 255;
    TextImageKey shapeKey = key;
    shapeKey.color = 0;
    auto image = std::make_unique<QImage>();
    if (const QImage* shape = opaque ? m_textShapes.object(shapeKey) : nullptr) {
        *image = shape->copy();
        recolour(*image, color.rgba());
    } else {
        *image = QImage(cell.size() * pixelRatio, QImage::Format_ARGB32_Premultiplied);
        image->setDevicePixelRatio(pixelRatio);
        image->fill(Qt::transparent);
        {
            QPainter painter(image.get());
            drawCellText(painter, textArea(QRect(QPoint(0, 0), cell.size())), alignment, text, font,
                         color);
        }
        if (opaque)
            m_textShapes.insert(shapeKey, new QImage(*image));
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
