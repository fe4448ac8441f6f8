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

CellTextDelegate::KeptPicture CellTextDelegate::KeptPicture::of(const QImage& whole,
                                                                bool maySolid) {
    KeptPicture kept;
    const int width = whole.width();
    const int height = whole.height();
    if (width == 0 || height == 0)
        return kept;
    const QRgb first = reinterpret_cast<const QRgb*>(whole.constScanLine(0))[0];
    bool uniform = true;
    int left = width;
    int right = -1;
    int top = height;
    int bottom = -1;
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(whole.constScanLine(y));
        int x = 0;
        while (x < width && line[x] == 0)
            ++x;
        if (x > 0)
            uniform = false;
        if (x == width)
            continue;
        int last = width - 1;
        while (line[last] == 0)
            --last;
        left = std::min(left, x);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y;
        for (; uniform && x <= last; ++x)
            uniform = line[x] == first;
        if (last < width - 1)
            uniform = false;
    }
    if (bottom < 0)
        return kept;
    if (maySolid && uniform && qAlpha(first) == 255) {
        kept.solid = true;
        kept.color = first;
        return kept;
    }
    kept.offset = QPoint(left, top);
    kept.image = whole.copy(QRect(left, top, right - left + 1, bottom - top + 1));
    return kept;
}

void CellTextDelegate::KeptPicture::draw(QPainter& painter, const QRect& area) const {
    if (solid) {
        painter.fillRect(area, QColor::fromRgba(color));
        return;
    }
    if (image.isNull())
        return;
    painter.drawImage(QPointF(area.topLeft()) + QPointF(offset) / image.devicePixelRatio(), image);
}

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
    textImage(opt.rect, ratio, alignment, text, opt.font, color).draw(*painter, opt.rect);
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
    const KeptPicture* background = m_backgrounds.object(key);
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
        auto kept = std::make_unique<KeptPicture>(KeptPicture::of(image, true));
        background = kept.get();
        m_backgrounds.insert(key, kept.release());
    }
    background->draw(painter, option.rect);
    return true;
}

const CellTextDelegate::KeptPicture&
CellTextDelegate::textImage(const QRect& cell, qreal pixelRatio, Qt::Alignment alignment,
                            const QString& text, const QFont& font, const QColor& color) const {
    if (font != m_imagesFont || pixelRatio != m_imagesPixelRatio) {
        m_textImages.clear();
        m_textShapes.clear();
        m_imagesFont = font;
        m_imagesPixelRatio = pixelRatio;
    }
    TextImageKey key{text, cell.size(), int(alignment), color.rgba()};
    if (const KeptPicture* cached = m_textImages.object(key))
        return *cached;
    // A row's texts come again in the other colour when the selection leaves it. Text drawn in
    // one opaque colour and filled with another where it covers is the text drawn in that other
    // colour, for a fraction of the layout's cost.
    const bool opaque = color.alpha() == 255;
    TextImageKey shapeKey = key;
    shapeKey.color = 0;
    auto picture = std::make_unique<KeptPicture>();
    if (const KeptPicture* shape = opaque ? m_textShapes.object(shapeKey) : nullptr) {
        *picture = *shape;
        if (!picture->image.isNull())
            recolour(picture->image, color.rgba());
    } else {
        QImage image(cell.size() * pixelRatio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(pixelRatio);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            drawCellText(painter, textArea(QRect(QPoint(0, 0), cell.size())), alignment, text, font,
                         color);
        }
        // A shape recoloured takes its coverage, not its colour.
        *picture = KeptPicture::of(image, false);
        if (opaque)
            m_textShapes.insert(shapeKey, new KeptPicture(*picture), costOf(shapeKey, *picture));
    }
    const int cost = costOf(key, *picture);
    KeptPicture* stored = picture.release();
    // A picture larger than the whole bound is not kept; it is drawn from the last one made.
    if (cost > m_textImages.maxCost()) {
        m_oversized.reset(stored);
        return *stored;
    }
    m_textImages.insert(key, stored, cost);
    return *stored;
}

int CellTextDelegate::costOf(const TextImageKey& key, const KeptPicture& picture) {
    return int(sizeof(KeptPicture) + sizeof(TextImageKey) + picture.image.sizeInBytes() +
               key.text.size() * qsizetype(sizeof(QChar)));
}

void CellTextDelegate::drawCellText(QPainter& painter, const QRectF& area, Qt::Alignment alignment,
                                    const QString& text, const QFont& font,
                                    const QColor& color) const {
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(area, int(alignment), text);
}
