#pragma once

#include <QCache>
#include <QFont>
#include <QHashFunctions>
#include <QImage>
#include <QStyledItemDelegate>

// Draws a grid cell as the style draws an empty one (background, selection, focus) and then its
// text straight with the painter, in the cell's colour and alignment. The grid repaints its
// visible rows for every stored reading, and the style's general text layout costs several
// times more per cell. Each row moves up through the grid unchanged, so a cell's text is drawn
// once into a small image and that image is reused while the same text, size and colour come
// again. Subclasses draw the text in other lettering.
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
    // What a cell's text image depends on besides the font and the pixel ratio, which change
    // for the whole grid at once.
    struct TextImageKey {
        QString text;
        QSize size;
        int alignment = 0;
        QRgb color = 0;
        friend bool operator==(const TextImageKey&, const TextImageKey&) = default;
        friend size_t qHash(const TextImageKey& key, size_t seed = 0) {
            return qHashMulti(seed, key.text, key.size.width(), key.size.height(), key.alignment,
                              key.color);
        }
    };

    // The cell's text drawn on a transparent image of the cell's size.
    [[nodiscard]] const QImage& textImage(const QRect& cell, qreal pixelRatio,
                                          Qt::Alignment alignment, const QString& text,
                                          const QFont& font, const QColor& color) const;

    // A screenful of grid cells several times over; each image is a few kilobytes.
    static constexpr int kCachedCells = 256;

    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    mutable QCache<TextImageKey, QImage> m_textImages{kCachedCells};
    mutable QFont m_imagesFont;
    mutable qreal m_imagesPixelRatio = 0;
};
