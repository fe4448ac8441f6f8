#pragma once

#include <QImage>
#include <QPalette>
#include <QRect>
#include <QScrollBar>
#include <QStyle>

#include <vector>

class QPainter;
class QStyleOptionSlider;

// A scroll bar that repaints only when a change of its range or value moves what it shows. A grid
// that gains a row a second changes its scroll bar's range and value as often, while the handle,
// once as short as it gets, stays where it is at the end of the bar; the style's scroll bar is
// among the dearest pictures to draw.
//
// When it must repaint, a vertical bar at rest (no pointer over it, nothing held) draws itself from
// pieces its style drew once: the bar without its handle, and the handle cut into a top, a middle
// row repeated to any length and a bottom. Pieces are used only where they were seen to give what
// the style itself paints; anything else is left to the style.
class SteadyScrollBar : public QScrollBar {
    Q_OBJECT

public:
    explicit SteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // How many paints the kept pieces drew, and how many the style did (for tests and benchmarks).
    [[nodiscard]] int piecePaintCount() const { return m_piecePaints; }
    [[nodiscard]] int stylePaintCount() const { return m_stylePaints; }

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // What a change of range or value can change in the picture: where the handle is, and
    // whether the value stands at either end (a style may grey the arrow that leads nowhere).
    struct Look {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        friend bool operator==(const Look&, const Look&) = default;
    };
    [[nodiscard]] Look look() const;

    // Everything besides the handle's place and length that the style's picture depends on.
    struct PieceKey {
        const QStyle* style = nullptr;
        QSize size;
        QStyle::State state;
        qint64 palette = 0;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        bool atMinimum = false;
        bool atMaximum = false;
        friend bool operator==(const PieceKey&, const PieceKey&) = default;
    };

    // What the style drew for one key. `usable` is false when the pieces did not add up to the
    // style's own picture: that key is then always painted by the style.
    struct Pieces {
        PieceKey key;
        bool usable = false;
        QImage bar;       // the whole bar without its handle, opaque
        QImage groove;    // the same without the arrow buttons, for where the handle reaches under
        QImage arrows;    // the arrow buttons alone, drawn over a handle that reaches under them
        QImage handleTop; // rows above the repeated one, from `overTop` rows over the handle
        QImage handleRow; // the row the middle repeats
        QImage handleBottom;
        int overTop = 0;    // rows the handle's picture reaches above its rectangle
        int overBottom = 0; // and below it
        QImage handle;      // the last handle put together, kept while its length stays
    };

    [[nodiscard]] PieceKey pieceKey(const QStyleOptionSlider& option) const;
    [[nodiscard]] bool atRest() const;
    Pieces& piecesFor(const QStyleOptionSlider& option);
    // `sameHandle`, when given, has the handle's cut for this key: only the bar is drawn anew.
    [[nodiscard]] Pieces makePieces(const QStyleOptionSlider& option,
                                    const Pieces* sameHandle) const;
    // Cuts the style's handle into its pieces; false when its rows do not repeat as they must.
    bool cutHandle(const QStyleOptionSlider& option, Pieces& pieces) const;
    [[nodiscard]] QImage styleLayer(const QStyleOptionSlider& option,
                                    QStyle::SubControls parts) const;
    // Draws the bar from its pieces onto `painter`; false (drawing nothing) when they cannot
    // show this handle.
    static bool drawPieces(QPainter& painter, Pieces& pieces, const QRect& handle,
                           const QRect& subLine, const QRect& addLine);
    [[nodiscard]] QRect subControl(const QStyleOptionSlider& option, QStyle::SubControl part) const;

    Look m_painted;
    bool m_hasPainted = false;
    bool m_checkQueued = false;
    std::vector<Pieces> m_pieces; // a few keys, the latest used last
    int m_piecePaints = 0;
    int m_stylePaints = 0;
};
