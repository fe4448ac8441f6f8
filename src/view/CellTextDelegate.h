#pragma once

#include <QCache>
#include <QFont>
#include <QHashFunctions>
#include <QImage>
#include <QStyledItemDelegate>

#include <memory>

// Draws a grid cell as the style draws an empty one (background, selection, focus) and then its
// text straight with the painter, in the cell's colour and alignment. The grid repaints its
// visible rows for every stored reading, and the style's general text layout costs several
// times more per cell. Each row moves up through the grid unchanged, so a cell's text is drawn
// once into a small image and that image is reused while the same text, size and colour come
// again. The style's empty cell is kept the same way: it depends on the cell's size, state and
// colours, not on where the cell stands, and most cells have nothing drawn under their text at
// all. Subclasses draw the text in other lettering.
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

    // What the style's picture of an empty cell depends on.
    struct BackgroundKey {
        QSize size;
        int state = 0;
        int features = 0;
        int position = 0;
        int direction = 0;
        bool decorationSelected = false;
        QRgb brush = 0;
        qint64 palette = 0;
        const void* style = nullptr;
        friend bool operator==(const BackgroundKey&, const BackgroundKey&) = default;
        friend size_t qHash(const BackgroundKey& key, size_t seed = 0) {
            return qHashMulti(seed, key.size.width(), key.size.height(), key.state, key.features,
                              key.position, key.direction, key.decorationSelected, key.brush,
                              key.palette, key.style);
        }
    };
    // A picture drawn once and drawn again many times: only the part of it that covers anything
    // is kept, or just its colour where it covers all its area in one opaque colour, so that
    // drawing it again blends no more pixels than it must.
    struct KeptPicture {
        // Null where nothing is covered, or where `solid`.
        QImage image;
        // Where `image` lies in the whole picture, in device pixels.
        QPoint offset;
        bool solid = false;
        QRgb color = 0;

        // `whole` is premultiplied; `maySolid` where one colour may stand for it.
        [[nodiscard]] static KeptPicture of(const QImage& whole, bool maySolid);
        // Draws the picture again in `area`, the place of the whole.
        void draw(QPainter& painter, const QRect& area) const;
    };

    // Draws the style's empty cell from its kept picture; false where it cannot be kept (a
    // gradient or a texture from the model, a focus frame), which the style then draws.
    bool drawBackground(QPainter& painter, const QStyleOptionViewItem& option) const;

    // The cell's text as drawn on a transparent image of the cell's size.
    [[nodiscard]] const KeptPicture& textImage(const QRect& cell, qreal pixelRatio,
                                               Qt::Alignment alignment, const QString& text,
                                               const QFont& font, const QColor& color) const;

    // Bounded by the heap the kept pictures take: a few rows' texts. Most texts of a grid of
    // readings (number, time, value) are drawn twice, selected and then not, and never again
    // unless the grid is uncovered, so a larger bound would only fill with them, a kilobyte or
    // two each, over the first minutes.
    static constexpr int kCachedBytes = 24 * 1024;
    [[nodiscard]] static int costOf(const TextImageKey& key, const KeptPicture& picture);

    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    mutable QCache<TextImageKey, KeptPicture> m_textImages{kCachedBytes};
    // The same texts in their first opaque colour, keyed without it; they share their pixels with
    // the images above.
    mutable QCache<TextImageKey, KeptPicture> m_textShapes{kCachedBytes};
    // The last picture made that was too large to keep.
    mutable std::unique_ptr<KeptPicture> m_oversized;
    // A few states (plain, selected, focused) for each column's width.
    static constexpr int kCachedBackgrounds = 64;
    mutable QCache<BackgroundKey, KeptPicture> m_backgrounds{kCachedBackgrounds};
    mutable qreal m_backgroundsPixelRatio = 0;
    mutable QFont m_imagesFont;
    mutable qreal m_imagesPixelRatio = 0;
};
